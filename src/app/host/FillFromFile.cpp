#include "app/host/FillFromFile.h"

#include "app/host/FillReportDialog.h"
#include "app/host/ListColumnsDialog.h"
#include "app/host/Preferences.h"
#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/QuantityFill.h"
#include "core/rules/QuantityFile.h"
#include "core/rules/ResponseType.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace FillFromFile {
namespace {
const QString FolderKey = QStringLiteral("FillFromFile/folder");
} // namespace

QString run(QWidget* parent, Confirmation& form, MessageSink& messages, QString path)
{
    if (!form.isEnabled() || form.lineCount() < 1)
        return {};
    form.editor().commit();
    if (form.cboxTyp() != ResponseType::Change) {
        const Answer switchType = messages.show(
            {Messages::Title,
             QStringLiteral("Количества заполняются при типе подтверждения «Изменение».\n"
                            "Переключить тип подтверждения и заполнить?"),
             Message::Icon::Question, Message::Buttons::YesNo});
        if (switchType != Answer::Yes)
            return {};
    }
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("WEXA"));
    if (path.isEmpty())
        path = QFileDialog::getOpenFileName(
            parent, Title, store.value(FolderKey).toString(),
            QStringLiteral("Списки количеств (*.csv *.txt *.xlsx);;Все файлы (*)"));
    if (path.isEmpty())
        return {};
    QString error;
    const std::optional<QuantityFile> list = QuantityFile::read(path, &error);
    if (!list) {
        messages.show({Messages::Title,
                       QStringLiteral("Файл «%1» не прочитан: %2").arg(path, error),
                       Message::Icon::Exclamation});
        return {};
    }
    // The next list is most likely in the same folder.
    Preferences::write(QStringLiteral("папка списков количеств"), [&path](QSettings& store) {
        store.setValue(FolderKey, QFileInfo(path).absolutePath());
    });
    std::optional<QuantityFill::Columns> columns = QuantityFill::columnsOf(*list);
    if (!columns) {
        ListColumnsDialog dialog(*list, parent);
        if (list->rows.isEmpty() || dialog.exec() != QDialog::Accepted)
            return {};
        columns = dialog.columns();
    }
    form.selectCboxTyp(ResponseType::Change);
    const std::optional<QuantityFill::Report> report = QuantityFill::fill(form, *list, *columns);
    if (!report)
        return {};
    const QString text = report->text();
    FillReportDialog shown(text, parent);
    shown.exec();
    return text;
}

} // namespace FillFromFile
