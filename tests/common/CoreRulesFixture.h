#pragma once

#include "RecordingMessages.h"

#include <QStringList>

// Each message shown as one line, "title (icon): text", to compare all of them at once.
inline QStringList shownLines(const RecordingMessages& messages)
{
    static const QStringList icons = {QStringLiteral("none"), QStringLiteral("critical"),
                                      QStringLiteral("question"), QStringLiteral("exclamation"),
                                      QStringLiteral("information")};
    QStringList lines;
    for (const Message& m : messages.shown)
        lines.append(m.title + QStringLiteral(" (") + icons.value(int(m.icon)) +
                     QStringLiteral("): ") + m.text);
    return lines;
}
