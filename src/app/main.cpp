// wexa-confirm: answers orders on the command line with the core alone, so that an
// answer never waits for the window's libraries to be mapped; for the window, the demo,
// a rendered control, a printed one and the usage it runs the window's program instead.
#include "app/cli/CommandLine.h"
#include "app/cli/JournalList.h"
#include "app/cli/Setup.h"
#include "os/Memory.h"
#include "os/Process.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <string>

namespace {

bool runsWithoutWindow(int argc, char* argv[])
{
    if (argc < 2)
        return false;
    if (qstrcmp(argv[1], "setup") == 0 || qstrcmp(argv[1], "journal") == 0 ||
        qstrcmp(argv[1], "--version") == 0)
        return true;
    if (qstrcmp(argv[1], "respond") != 0 && qstrcmp(argv[1], "show") != 0)
        return false;
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--screenshot") == 0 || qstrcmp(argv[i], "--pdf") == 0)
            return false;
    }
    return true;
}

// The window's program: beside this one in a build, under libexec once installed.
int execWindowProgram(char* argv[])
{
    const std::string folder = Process::programFolder();
    if (!folder.empty()) {
        Process::replaceWith(folder + "wexa-confirm-window", argv);
        Process::replaceWith(folder + "../libexec/wexa-confirm/wexa-confirm-window", argv);
    }
    std::fputs("wexa-confirm: the window's program (wexa-confirm-window) is missing; "
               "reinstall wexa-confirm\n",
               stderr);
    return CommandLine::UsageError;
}

// One answer is a short life spent mostly on fresh memory: a page fault for every 4 KB
// of a document costs more than reading it. The heap is grown once, ahead, in pages of
// 2 MB where the system offers them, and memory freed stays for the next allocation.
void preferLargePages()
{
    if (Memory::keepFreed(std::size_t(32) << 20, std::size_t(512) << 20))
        Memory::preferLargePages(std::size_t(30) << 20);
}

} // namespace

int main(int argc, char* argv[])
{
    if (!runsWithoutWindow(argc, argv))
        return execWindowProgram(argv);
    QFile out;
    QFile err;
    if (qstrcmp(argv[1], "respond") != 0 && qstrcmp(argv[1], "show") != 0) {
        QCoreApplication app(argc, argv);
        if (!CommandLine::startProgram(out, err))
            return CommandLine::UsageError;
        if (qstrcmp(argv[1], "--version") == 0)
            return CommandLine::answer(CommandLine::Request::Version, {}, out);
        const QStringList arguments = QCoreApplication::arguments().mid(2);
        return qstrcmp(argv[1], "setup") == 0 ? Setup::run(arguments, out, err)
                                              : JournalList::run(arguments, out, err);
    }
    // An answer runs no event loop, starts no timer and reads no settings, so it goes
    // without the application object: building one sets up the C library's locale and an
    // event dispatcher, which would cost an answer of a hundred lines a tenth of its time.
    preferLargePages();
    if (!CommandLine::startProgram(out, err))
        return CommandLine::UsageError;
    QStringList arguments;
    arguments.reserve(argc - 1);
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine::skipFreeingAtExit();
    return CommandLine::run(arguments, out, err);
}
