#include "app/cli/Screenshot.h"

#include "ui/control/PotwierdzenieZam.h"

#include <QApplication>
#include <QPixmap>

bool saveScreenshot(Confirmation& form, const QString& path, QString& error)
{
    PotwierdzenieZam control(form);
    control.setAttribute(Qt::WA_DontShowOnScreen);
    control.resize(control.sizeHint().expandedTo(QSize(1180, 760)));
    control.show();
    QApplication::processEvents();
    const QPixmap picture = control.grab();
    if (!picture.save(path, "PNG")) {
        error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}
