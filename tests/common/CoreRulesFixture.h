#pragma once

#include "RecordingMessages.h"

#include "core/form/Grid.h"

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

// The texts of a table's cells from (top, left) to (bottom, right), row by row.
inline QStringList texts(const Grid& grid, int top, int left, int bottom, int right)
{
    QStringList values;
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c)
            values.append(grid.text(int16_t(r), int16_t(c)));
    return values;
}

// The backgrounds of the same cells.
inline QList<Rgb> backgrounds(const Grid& grid, int top, int left, int bottom, int right)
{
    QList<Rgb> values;
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c)
            values.append(grid.background(r, c));
    return values;
}
