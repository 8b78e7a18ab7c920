// The window's program from its start to the first paint of a large order's lines, for
// bench/run to time as a whole process: the application, the host window with the
// changes panel, its off-line start-up in a prepared working folder, the order read as an
// on-line start-up reads the one it fetched, and the line table painted once.
//
//   wexa-first-paint ORDER PARTNER-ILN
//
// The process ends with the table's first paint that shows the order; it prints nothing.

#include "app/cli/CommandLine.h"
#include "app/host/HostWindow.h"
#include "app/host/Translations.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Startup.h"
#include "ui/control/PotwierdzenieZam.h"
#include "ui/editing/LineTableView.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

// Ends the program once the table has painted the order.
class FirstPaint : public QObject {
public:
    using QObject::QObject;
    bool armed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (armed && event->type() == QEvent::Paint) {
            armed = false;
            // Once the paint is over: what is timed ends there, not with the teardown.
            QMetaObject::invokeMethod(
                qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fputs("usage: wexa-first-paint ORDER PARTNER-ILN\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFile out, err;
    if (!CommandLine::startProgram(out, err))
        return 2;
    Translations::install(app);
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray order = file.readAll();

    LaunchOptions options;
    options.properties = {{QStringLiteral("OnLine"), QStringLiteral("Off")},
                          {QStringLiteral("PartnerILN"), QString::fromLocal8Bit(argv[2])}};
    ProcessState process;
    HostWindow window(std::move(options), process);
    FirstPaint painted;
    window.control()->linesView()->viewport()->installEventFilter(&painted);
    QObject::connect(&window, &HostWindow::started, &window, [&] {
        Confirmation& form = window.form();
        Startup::setParties(form);
        Startup::takeOrder(form, XmlDocument::fromBytes(order));
        Startup::finish(form);
        window.keeper().startupFinished();
        painted.armed = form.lineCount() > 0;
        if (!painted.armed)
            QCoreApplication::exit(1);
    });
    window.show();
    return QApplication::exec();
}
