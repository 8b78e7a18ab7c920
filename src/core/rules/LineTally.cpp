#include "core/rules/LineTally.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/rules/LineCheck.h"
#include "core/rules/ResponseWriter.h"

#include <algorithm>

LineTally LineTally::of(const Form& form)
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
