#include "storage/SaveResponse.h"

#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/ProcessState.h"
#include "control/RuntimeError.h"
#include "documents/ResponseLoader.h"
#include "documents/ResponseWriter.h"
#include "editing/CellEditor.h"
#include "editing/HeaderCheck.h"
#include "editing/ResponseType.h"
#include "storage/Chooser.h"
#include "storage/FileWriter.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QString error;
    if (!FileWriter::write(path, bytes, &error))
        throw RuntimeError(RuntimeError::Generic,
                           QStringLiteral("Файл «%1» не записан: %2").arg(path, error));
}

QString choose(ChooserPort& chooser, ChooserPort::Mode mode, const QString& proposedName)
{
    QString& chosen = ProcessState::instance().chosenFilePath;
    chosen.clear();
    chooser.run(mode, mode == ChooserPort::Mode::Load ? Chooser::LoadTitle : Chooser::SaveTitle,
                proposedName);
    return chosen;
}

} // namespace

void btnZapisz_Click(Confirmation& form, ChooserPort& chooser)
{
    form.editor().commit();
    if (!headerCheck(form))
        return;
    form.setEnabled(false);
    try {
        const QString path =
            choose(chooser, ChooserPort::Mode::Save,
                   Chooser::proposedFileName(form.field(Confirmation::Field::txtNrPotw)));
        if (!path.isEmpty()) {
            if (const std::optional<XmlDocument> response = MakeOrderResponse(form)) {
                writeFile(path, response->toUtf8());
                form.host().responseSaved(path);
            }
        }
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnZapisz_Click()"), e.description());
    }
    form.setEnabled(true);
}

void btnWczytaj_Click(Confirmation& form, ChooserPort& chooser)
{
    form.editor().commit();
    form.setEnabled(false);
    try {
        const QString path = choose(chooser, ChooserPort::Mode::Load, QString());
        if (!path.isEmpty()) {
            loadResponseFile(form, path);
            return;
        }
        // Nothing chosen: the form stays, but is made ready to send as after a load.
        form.setEnabled(true);
        form.set(Confirmation::Switch::btnPrzeslijEnabled, true);
        ResponseType::applyType(form, int16_t(form.cboxTyp()));
        ResponseType::applyType(form, int16_t(form.cboxTyp()));
        form.lines().repaint();
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnWczytaj_Click()"), e.description());
        form.setEnabled(true);
    }
}
