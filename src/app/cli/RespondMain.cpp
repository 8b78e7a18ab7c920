// The command line's verbs in a program of their own: it links the core only, so an
// answer does not wait for the window's libraries to be mapped.
#include "app/cli/CommandLine.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("WEXA"));
    QCoreApplication::setApplicationName(QStringLiteral("wexa-confirm"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return CommandLine::UsageError;
    const QString verb = arguments.value(0);
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h") ||
        verb == QLatin1String("help")) {
        out.write(CommandLine::usage().toUtf8());
        return CommandLine::Success;
    }
    CommandLine::skipFreeingAtExit();
    return CommandLine::run(arguments, out, err);
}
