#include "ui/control/SharedDialog.h"

#include <QDialog>

void SharedDialog::setOwner(QDialog& dialog, QWidget* owner)
{
    if (dialog.parentWidget() == owner)
        return;
    if (dialog.parentWidget())
        QObject::disconnect(dialog.parentWidget(), &QObject::destroyed, &dialog, nullptr);
    dialog.setParent(owner, dialog.windowFlags());
    if (owner)
        QObject::connect(owner, &QObject::destroyed, &dialog,
                         [&dialog] { dialog.setParent(nullptr, dialog.windowFlags()); });
}
