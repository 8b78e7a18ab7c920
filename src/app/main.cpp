#include "cli/CommandLine.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>

#include <memory>

namespace {

// The command-line verbs need no screen; rendering the control needs the widgets, and
// works without a display through the offscreen platform.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[])
{
    bool widgets = false;
    for (int i = 1; i < argc; ++i)
        widgets = widgets || qstrcmp(argv[i], "--screenshot") == 0;
    if (!widgets)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("WEXA"));
    QCoreApplication::setApplicationName(QStringLiteral("wexa-confirm"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return CommandLine::UsageError;
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") ||
        arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("help")) {
        // Asked-for help goes to standard output; a bare call is a usage error like any other.
        (arguments.isEmpty() ? err : out).write(CommandLine::usage().toUtf8());
        return arguments.isEmpty() ? CommandLine::UsageError : CommandLine::Success;
    }
    return CommandLine::run(arguments, out, err);
}
