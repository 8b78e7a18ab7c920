#include "core/rules/SafeNames.h"

#include <QUrl>

namespace SafeNames {
namespace {

// Every character isControl names lies in the basic plane: the halves of a surrogate pair
// are never taken for one.
QString firstControl(const QString& value)
{
    for (const QChar c : value) {
        if (isControl(c.unicode()))
            return QStringLiteral("содержит управляющий символ с кодом %1").arg(c.unicode());
    }
    return {};
}

QString tooLong(qsizetype maxLength)
{
    return QStringLiteral("длиннее %1 знаков").arg(maxLength);
}

} // namespace

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString lineRefusal(const QString& value, qsizetype maxLength)
{
    if (value.size() > maxLength)
        return tooLong(maxLength);
    return firstControl(value);
}

QString namePartRefusal(const QString& value, qsizetype maxLength)
{
    if (const QString refusal = lineRefusal(value, maxLength); !refusal.isEmpty())
        return refusal;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')}) {
        if (value.contains(separator))
            return QStringLiteral("содержит разделитель папок «%1»").arg(separator);
    }
    if (value.contains(QLatin1String("..")))
        return QStringLiteral("содержит «..»");
    return {};
}

QString fileNameRefusal(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("пусто");
    if (name == QLatin1String("."))
        return QStringLiteral("состоит из одной точки");
    if (const QString refusal = namePartRefusal(name, MaxFileNameBytes); !refusal.isEmpty())
        return refusal;
    if (name.toUtf8().size() > MaxFileNameBytes)
        return QStringLiteral("длиннее %1 байт, которые допускает файловая система")
            .arg(MaxFileNameBytes);
    return {};
}

std::optional<QString> pathSegment(const QString& value)
{
    if (value == QLatin1String(".") || value == QLatin1String(".."))
        return std::nullopt;
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line) {
        if (isControl(c.unicode()))
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace SafeNames
