#pragma once

#include "core/form/MessageSink.h"
#include "core/form/ProcessState.h"
#include "core/rules/Conversions.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

// Every message the control would show is answered at once, as the user's first choice.
class SilentMessages : public MessageSink {
public:
    Answer show(const Message& message) override
    {
        return message.buttons == Message::Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
};

// The process state the harnesses hand to the controls they create.
inline ProcessState& fuzzProcess()
{
    static ProcessState process;
    return process;
}

// A process as the start-up leaves it: the user's locale, a fixed day, no shared state.
inline void freshProcess()
{
    fuzzProcess() = ProcessState{};
    QLocale::setDefault(QLocale(QStringLiteral("ru_RU")));
    Conversions::determineDecimalSeparator();
    fuzzProcess().pinnedToday = QDate(2026, 12, 5);
}

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input as a file of a folder that lives as long as the process.
inline QString asFile(const QByteArray& bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xml"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}
