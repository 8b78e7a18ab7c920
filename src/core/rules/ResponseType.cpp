#include "core/rules/ResponseType.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/rules/LineCheck.h"
#include "core/rules/Totals.h"

namespace ResponseType {

QString code(int index)
{
    switch (index) {
    case Refuse:
        return QStringLiteral("27");
    case Accept:
        return QStringLiteral("29");
    default:
        return QStringLiteral("4");
    }
}

int indexForCode(const QString& code)
{
    if (code == QLatin1String("27"))
        return Refuse;
    if (code == QLatin1String("29"))
        return Accept;
    return Change;
}

void applyType(Form& form, int16_t t)
{
    Grid& lines = form.lines();
    {
        RedrawPause pause(lines);
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            switch (t) {
            case Change:
                break;
            case Refuse:
                lines.setText(r, ColConfirmed, QStringLiteral("0"));
                break;
            case Accept:
                lines.setText(r, ColConfirmed, lines.text(r, ColOrdered));
                break;
            default:
                continue;
            }
            lines.setCurrentRow(r);
            LineCheck::markLine(form, r, LineIsValid(form, r), t);
        }
        PoprawGrdSuma(form);
    }
    lines.repaint();
    lines.setCurrentCell(1, 1);
}

} // namespace ResponseType
