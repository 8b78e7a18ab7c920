#pragma once

#include <QString>

#include <cstdint>

struct ProcessState;
class XmlDocument;
class XmlNode;

// The optional trace in the working folder, one for the process. Lines are windows-1251
// text ended by CR LF, each written through to the file at once so that a crash keeps the
// trace; nothing here ever reports a failure.
namespace DebugLog {
void StartLog(ProcessState& process, const QString& path, int16_t level);
void WriteLog(const ProcessState& process, const QString& text, int16_t level);
void WriteLogXml(const ProcessState& process, const QString& text, const XmlNode& node,
                 int16_t level);
// A document that was not read, with the parser's reason, for support only: at level 5
// and above, beyond the trace the levels up to 4 hold.
void WriteParseError(const ProcessState& process, const QString& source,
                     const XmlDocument& document);
} // namespace DebugLog
