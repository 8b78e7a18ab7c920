#pragma once

#include <QByteArray>
#include <QString>

// The single-byte code page (windows-1251) of saved files without a declaration and of
// the debug log.
namespace Cp1251 {
QString decode(const QByteArray& bytes);
// Characters the code page has no byte for become "?".
QByteArray encode(const QString& text);
} // namespace Cp1251
