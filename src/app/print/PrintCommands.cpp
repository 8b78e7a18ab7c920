#include "app/print/PrintCommands.h"

#include "app/host/Preferences.h"

#include "app/print/ConfirmationPrint.h"
#include "core/actions/Confirmation.h"
#include "core/form/MessageSink.h"
#include "core/form/ProcessState.h"
#include "core/rules/Chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>

namespace PrintCommands {
namespace {

const QString FolderKey = QStringLiteral("Print/folder");

QString proposedPath(const Confirmation& form)
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("WEXA"));
    const QString folder = store.value(FolderKey, form.process().workingFolder).toString();
    QString name = Chooser::proposedFileName(form.field(Confirmation::Field::txtNrPotw));
    name.replace(name.size() - 4, 4, QStringLiteral(".pdf"));
    return QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(name);
}

} // namespace

void preview(QWidget* parent, const Confirmation& form)
{
    const ConfirmationSheet sheet = ConfirmationSheet::of(form);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(sheet.title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Печать: ") + sheet.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&sheet](QPrinter* device) { ConfirmationPrint::paint(sheet, *device); });
    dialog.resize(1000, 700);
    dialog.exec();
}

QString exportPdf(QWidget* parent, const Confirmation& form, MessageSink& messages, QString path)
{
    if (path.isEmpty())
        path = QFileDialog::getSaveFileName(parent, QStringLiteral("Экспорт в PDF"),
                                            proposedPath(form),
                                            QStringLiteral("Документы PDF (*.pdf)"));
    if (path.isEmpty())
        return {};
    QString error;
    if (!ConfirmationPrint::writePdf(form, path, error)) {
        messages.show(
            {Messages::Title,
             QStringLiteral("Файл «%1» не записан: %2").arg(QDir::toNativeSeparators(path), error),
             Message::Icon::Exclamation});
        return {};
    }
    Preferences::write(QStringLiteral("папка файлов PDF"), [&path](QSettings& store) {
        store.setValue(FolderKey, QFileInfo(path).absolutePath());
    });
    return path;
}

} // namespace PrintCommands
