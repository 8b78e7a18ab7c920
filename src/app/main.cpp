#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("WEXA"));
    QCoreApplication::setApplicationName(QStringLiteral("wexa-confirm"));
    QStringList arguments = QCoreApplication::arguments().mid(1);

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
