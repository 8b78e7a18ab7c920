#include "core/rules/DebugLog.h"

#include "core/form/ProcessState.h"
#include "core/rules/Cp1251.h"
#include "core/rules/SafeNames.h"
#include "core/rules/XmlDocument.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

namespace {

void writeLine(const TraceLog& trace, const QString& text)
{
    if (!trace.file)
        return;
    QByteArray bytes = Cp1251::encode(text);
    bytes.append("\r\n");
    trace.file->write(bytes);
    trace.file->flush();
}

QString stamped(const QString& text)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), QLocale::LongFormat) + QLatin1Char(' ') + text;
}

} // namespace

void DebugLog::StartLog(ProcessState& process, const QString& path, int16_t level)
{
    TraceLog& trace = process.trace;
    trace.level = level;
    auto file = std::make_shared<QFile>(path);
    if (path.isEmpty() ||
        !file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        trace.file.reset();
        return;
    }
    trace.file = std::move(file);
    writeLine(trace, stamped(QStringLiteral("Start logowania...")));
}

void DebugLog::WriteLog(const ProcessState& process, const QString& text, int16_t level)
{
    if (level <= process.trace.level)
        writeLine(process.trace, stamped(text));
}

void DebugLog::WriteParseError(const ProcessState& process, const QString& source,
                               const XmlDocument& document)
{
    WriteLog(process,
             SafeNames::oneLine(QStringLiteral("XML ") + source + QStringLiteral(": ") +
                                document.errorString()),
             5);
}

void DebugLog::WriteLogXml(const ProcessState& process, const QString& text, const XmlNode& node,
                           int16_t level)
{
    if (level > process.trace.level || !process.trace.file)
        return;
    writeLine(process.trace, stamped(text));
    writeLine(process.trace, node.xml());
}
