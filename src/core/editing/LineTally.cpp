#include "editing/LineTally.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "documents/ResponseWriter.h"
#include "editing/LineCheck.h"

#include <algorithm>

LineTally LineTally::of(const Confirmation& form)
{
    LineTally tally;
    const Grid& lines = form.lines();
    // Only lines the cell index can address in full are counted.
    const int16_t last = std::min<int16_t>(form.lineCount(), (32767 - 18) / LineColumnCount);
    for (int16_t r = 1; r <= last; ++r) {
        const QString status = lineStatusOfRow(lines, r);
        if (status == QLatin1String("5"))
            ++tally.full;
        else if (status == QLatin1String("7"))
            ++tally.refused;
        else
            ++tally.changed;
        if (!LineIsValid(form, r))
            ++tally.failing;
    }
    return tally;
}
