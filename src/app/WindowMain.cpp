// The window's program: the host window, the demo, the verbs that render the control and
// the usage. wexa-confirm runs it for everything the command line alone cannot do.
#include "app/cli/CommandLine.h"
#include "app/cli/JournalList.h"
#include "app/cli/Screenshot.h"
#include "app/cli/Setup.h"
#include "app/cli/StreamMessages.h"
#include "app/demo/Demo.h"
#include "app/host/HostWindow.h"
#include "app/host/Translations.h"
#include "app/print/ConfirmationPrint.h"
#include "core/session/LaunchLink.h"
#include "ui/control/Icons.h"
#include "ui/control/MessageBoxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>

#include <algorithm>
#include <memory>

namespace {

bool isVerb(const char* argument)
{
    for (const char* verb :
         {"respond", "show", "setup", "journal", "demo", "--help", "-h", "help", "--version"}) {
        if (qstrcmp(argument, verb) == 0)
            return true;
    }
    return false;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The verbs need no screen, except for rendering the control and for the demo, which
// then work without a display through the offscreen platform. Without a verb the
// window opens.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[])
{
    const bool demo = argc >= 2 && qstrcmp(argv[1], "demo") == 0;
    // Without any display the window cannot open; the usage is printed instead.
    const bool window = (argc < 2 || !isVerb(argv[1])) && hasDisplay();
    // Fonts for a rendered or printed control come from the window's libraries.
    bool screenshot = false;
    // --help and --version only print.
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        screenshot =
            screenshot || qstrcmp(argv[i], "--screenshot") == 0 || qstrcmp(argv[i], "--pdf") == 0;
        asked = asked || CommandLine::requestOf(QString::fromLocal8Bit(argv[i])) !=
                             CommandLine::Request::None;
    }
    if (asked || (!window && !screenshot && !demo))
        return std::make_unique<QCoreApplication>(argc, argv);
    if (!hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's class is "wexa-confirm" on both its parts, as the desktop entry's
    // StartupWMClass says, whatever the program's file is called; on Wayland the entry's
    // name ties the window to it.
    if (!qEnvironmentVariableIsSet("RESOURCE_NAME"))
        qputenv("RESOURCE_NAME", "wexa-confirm");
    auto application = std::make_unique<QApplication>(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.wexa.confirm"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.wexa.confirm"),
                                                 Icons::icon(Icons::Picture::Application)));
    return application;
}

// A link comes from a web page, not from a clerk at a terminal: why it was refused is
// shown on the screen, or printed when nobody is there.
int refuseLink(const QString& reason, bool printed)
{
    const Message message{
        Messages::Title,
        QStringLiteral("Ссылка на подтверждение заказа отклонена: %1.").arg(reason),
        Message::Icon::Exclamation};
    if (printed) {
        QFile err;
        err.open(stderr, QIODevice::WriteOnly);
        StreamMessages(err).show(message);
    } else {
        MessageBoxes().show(message);
    }
    return CommandLine::Refused;
}

QString usage()
{
    return QStringLiteral("Usage:\n") + Demo::usage() + LaunchOptions::usage() + Setup::usage() +
           JournalList::usage() + CommandLine::usage().section(QLatin1Char('\n'), 1);
}

} // namespace

int main(int argc, char* argv[])
{
    const bool unattended = !hasDisplay();
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QFile out;
    QFile err;
    if (!CommandLine::startProgram(out, err))
        return CommandLine::UsageError;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString verb = arguments.value(0);
    if (verb == QLatin1String("help"))
        return CommandLine::answer(CommandLine::Request::Help, usage(), out);
    if (verb == QLatin1String("setup"))
        return Setup::run(arguments.mid(1), out, err);
    if (verb == QLatin1String("journal"))
        return JournalList::run(arguments.mid(1), out, err);
    if (verb == QLatin1String("respond") || verb == QLatin1String("show"))
        return CommandLine::run(arguments, out, err, saveScreenshot, ConfirmationPrint::writePdf);

    const bool windowed = qobject_cast<QApplication*>(app.get());
    // The message boxes' standard buttons speak the user's language.
    if (windowed)
        Translations::install(*app);
    if (verb == QLatin1String("demo"))
        return Demo::run(arguments.mid(1), out, err, unattended);
    QString error;
    std::optional<LaunchOptions> options = LaunchOptions::parse(arguments, error);
    if (!options && std::any_of(arguments.begin(), arguments.end(), LaunchLink::isLink))
        return refuseLink(error, !windowed || unattended ||
                                     arguments.contains(QLatin1String("--screenshot")));
    if (!options)
        return CommandLine::wrongCall(QStringLiteral("wexa-confirm"), error, err);
    if (options->request != CommandLine::Request::None)
        return CommandLine::answer(options->request, usage(), out);
    if (!windowed) {
        if (!arguments.isEmpty())
            err.write("wexa-confirm: the window needs a display (DISPLAY or WAYLAND_DISPLAY); "
                      "QT_QPA_PLATFORM=offscreen runs it without one\n\n");
        err.write(usage().toUtf8());
        return CommandLine::UsageError;
    }
    ProcessState process;
    HostWindow window(std::move(*options), process);
    window.show();
    const int result = QApplication::exec();
    return window.wasRefused() ? int(CommandLine::Refused) : result;
}
