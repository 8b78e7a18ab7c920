// wexa-confirm: answers orders on the command line with the core alone, so that an
// answer never waits for the window's libraries to be mapped; for the window, the demo,
// a rendered control and the usage it runs the window's program instead.
#include "app/cli/CommandLine.h"
#include "app/cli/Setup.h"

#include <QCoreApplication>
#include <QFile>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

bool runsWithoutWindow(int argc, char* argv[])
{
    if (argc < 2)
        return false;
    if (qstrcmp(argv[1], "setup") == 0)
        return true;
    if (qstrcmp(argv[1], "respond") != 0 && qstrcmp(argv[1], "show") != 0)
        return false;
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--screenshot") == 0)
            return false;
    }
    return true;
}

// The window's program: beside this one in a build, under libexec once installed.
int execWindowProgram(char* argv[])
{
    char self[PATH_MAX];
    const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
    if (size > 0) {
        std::string folder(self, size_t(size));
        folder.erase(folder.rfind('/') + 1);
        for (const std::string& candidate :
             {folder + "wexa-confirm-window",
              folder + "../libexec/wexa-confirm/wexa-confirm-window"}) {
            if (access(candidate.c_str(), X_OK) != 0)
                continue;
            std::string program = candidate;
            argv[0] = program.data();
            execv(program.c_str(), argv);
        }
    }
    std::fputs("wexa-confirm: the window's program (wexa-confirm-window) is missing; "
               "reinstall wexa-confirm\n",
               stderr);
    return CommandLine::UsageError;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!runsWithoutWindow(argc, argv))
        return execWindowProgram(argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("WEXA"));
    QCoreApplication::setApplicationName(QStringLiteral("wexa-confirm"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return CommandLine::UsageError;
    if (arguments.value(0) == QLatin1String("setup"))
        return Setup::run(arguments.mid(1), out, err);
    CommandLine::skipFreeingAtExit();
    return CommandLine::run(arguments, out, err);
}
