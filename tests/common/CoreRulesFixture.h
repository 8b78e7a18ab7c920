#pragma once

#include "core/form/Grid.h"

#include <QStringList>

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
