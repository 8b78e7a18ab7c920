#include "core/actions/RemoveLine.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/ResetForm.h"
#include "core/form/Columns.h"
#include "core/form/RuntimeError.h"
#include "core/rules/LineCheck.h"

void btnUsun_Click(Confirmation& form)
{
    if (form.lineCount() == 0)
        return;
    Grid& lines = form.lines();
    try {
        // A value still open in the cell editor lands in its cell before the row goes.
        form.editor().commit();
        RedrawPause pause(lines);
        if (form.lineCount() != 1) {
            const int row = lines.currentRow();
            if (row < 1)
                throw RuntimeError(RuntimeError::Generic,
                                   QStringLiteral("Нельзя удалить строку заголовка"));
            form.setLineCount(int16_t(form.lineCount() - 1));
            lines.removeRow(row);
            lines.setRows(form.lineCount() + 1);
        } else {
            form.setLineCount(0);
            ResetForm(form);
        }
        LineCheck::recount(form);
        form.requestFocus(QStringLiteral("grdPozycje"));
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnUsun_Click()"), e.description());
    }
}
