#include "core/actions/SaveResponse.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/form/Host.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Chooser.h"
#include "core/rules/FileWriter.h"
#include "core/rules/HeaderCheck.h"
#include "core/rules/ResponseWriter.h"

void btnZapisz_Click(Confirmation& form, ChooserPort& chooser)
{
    form.editor().commit();
    if (!headerCheck(form))
        return;
    form.setEnabled(false);
    try {
        const QString path =
            Chooser::choose(form.process(), chooser, ChooserPort::Mode::Save,
                            Chooser::proposedFileName(form.field(Confirmation::Field::txtNrPotw)));
        if (!path.isEmpty()) {
            if (const std::optional<XmlDocument> response = MakeOrderResponse(form)) {
                QString error;
                const QByteArray bytes = response->toUtf8();
                if (!FileWriter::write(path, bytes, &error))
                    throw RuntimeError(RuntimeError::Generic,
                                       QStringLiteral("Файл «%1» не записан: %2").arg(path, error));
                form.host().responseSaved(path, bytes);
            }
        }
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnZapisz_Click()"), e.description());
    }
    form.setEnabled(true);
}
