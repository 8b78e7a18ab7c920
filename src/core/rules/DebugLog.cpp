#include "core/rules/DebugLog.h"

#include "core/rules/Cp1251.h"
#include "core/rules/SafeNames.h"
#include "core/rules/XmlDocument.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <memory>

namespace {

int16_t g_level = 0;
std::unique_ptr<QFile> g_stream;

void writeLine(const QString& text)
{
    if (!g_stream)
        return;
    QByteArray bytes = Cp1251::encode(text);
    bytes.append("\r\n");
    g_stream->write(bytes);
    g_stream->flush();
}

QString stamped(const QString& text)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), QLocale::LongFormat) + QLatin1Char(' ') + text;
}

} // namespace

void DebugLog::StartLog(const QString& path, int16_t level)
{
    g_level = level;
    auto file = std::make_unique<QFile>(path);
    if (path.isEmpty() ||
        !file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        g_stream.reset();
        return;
    }
    g_stream = std::move(file);
    writeLine(stamped(QStringLiteral("Start logowania...")));
}

void DebugLog::WriteLog(const QString& text, int16_t level)
{
    if (level <= g_level)
        writeLine(stamped(text));
}

void DebugLog::WriteParseError(const QString& source, const XmlDocument& document)
{
    WriteLog(SafeNames::oneLine(QStringLiteral("XML ") + source + QStringLiteral(": ") +
                                document.errorString()),
             5);
}

void DebugLog::WriteLogXml(const QString& text, const XmlNode& node, int16_t level)
{
    if (level > g_level || !g_stream)
        return;
    writeLine(stamped(text));
    writeLine(node.xml());
}

void DebugLog::reset()
{
    g_stream.reset();
    g_level = 0;
}
