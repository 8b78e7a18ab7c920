#pragma once

#include <QString>

#include <optional>

// Values that come from outside (a link, a server, a file) and end up in a file name, an
// address or a log line pass through here, so that none of them chooses where a file
// goes, reaches another address or starts a line of its own. A check answers why a value
// is refused, in words a clerk can read after "значение … ", or nothing when it is fine.
namespace SafeNames {

// The longest name of one file that the file systems we run on accept, in UTF-8 bytes.
constexpr qsizetype MaxFileNameBytes = 255;

// A character that is no text: C0 and C1 controls (NUL, CR and LF among them), line and
// paragraph separators, and the marks that turn the direction of the text around.
bool isControl(char32_t c);
// Why the value cannot be part of a file name: a folder separator of any system, "..",
// a control character, or more than `maxLength` characters.
QString namePartRefusal(const QString& value, qsizetype maxLength);
// Why the name cannot name a file inside a folder: empty, any reason of namePartRefusal,
// or longer than a file system allows.
QString fileNameRefusal(const QString& name);
// Why the value cannot go on one line (of a header, a log or a message): a control
// character or more than `maxLength` characters.
QString lineRefusal(const QString& value, qsizetype maxLength);

// The value percent-encoded as one segment of a URL path: a "/", "?" or "#" in it stays
// inside the segment. "." and ".." give nothing, since no encoding keeps them in place.
std::optional<QString> pathSegment(const QString& value);
// The text with each control character turned into a space, for one line of a log.
QString oneLine(const QString& text);

} // namespace SafeNames
