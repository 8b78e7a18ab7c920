#include "server/PlatformServer.h"

#include <QCoreApplication>

#include <QDir>
#include <QStringList>
#include <malloc.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

PlatformServer* g_server = nullptr;

void stopOnSignal(int)
{
    if (g_server)
        g_server->stop();
}

int usage(const char* error)
{
    std::fprintf(
        stderr,
        "wexa-platform: %s\n\nUsage: wexa-platform --root DIR [--listen 127.0.0.1:PORT]\n"
        "                     [--session-idle SECONDS] [--request-deadline SECONDS]\n"
        "                     [--ticket-lifetime SECONDS] [--parent-pid PID]\n"
        "Serves the platform's services under /edi/ from the mailbox in DIR.\n"
        "PORT 0 (the default) picks a free port; the address is printed on the first line.\n"
        "A session unused for SECONDS (8 hours by default) is closed; a request not done,\n"
        "answer included, within its deadline (30 seconds by default) is cut off. With\n"
        "--parent-pid the server stops by itself once process PID is no longer its parent.\n"
        "The order page's link to the editor is good once, within --ticket-lifetime\n"
        "(120 seconds by default).\n",
        error);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    // Uploads of a megabyte or more come in all the time: their buffers are kept for the
    // next request instead of being mapped afresh, page by page, for each one.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QString root;
    QString listen = QStringLiteral("127.0.0.1:0");
    PlatformServer::Options options;
    pid_t parent = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i + 1 >= arguments.size())
            return usage("an option needs a value");
        if (arguments[i] == QLatin1String("--root"))
            root = arguments[++i];
        else if (arguments[i] == QLatin1String("--listen"))
            listen = arguments[++i];
        else if (arguments[i] == QLatin1String("--session-idle") ||
                 arguments[i] == QLatin1String("--request-deadline") ||
                 arguments[i] == QLatin1String("--ticket-lifetime") ||
                 arguments[i] == QLatin1String("--parent-pid")) {
            const QString& option = arguments[i];
            bool number = false;
            const qlonglong value = arguments[++i].toLongLong(&number);
            if (!number || value < 0)
                return usage("--session-idle, --request-deadline, --ticket-lifetime and "
                             "--parent-pid take a number");
            if (option == QLatin1String("--session-idle"))
                options.sessionIdle = std::chrono::seconds(value);
            else if (option == QLatin1String("--request-deadline"))
                options.requestDeadline = std::chrono::seconds(value);
            else if (option == QLatin1String("--ticket-lifetime"))
                options.ticketLifetime = std::chrono::seconds(value);
            else
                parent = pid_t(value);
        } else
            return usage("unknown option");
    }
    if (root.isEmpty() || !QDir(root).exists())
        return usage("--root must name an existing folder");
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = listen.mid(colon + 1).toInt(&ok);
    if (colon < 1 || !ok || port < 0 || port > 65535)
        return usage("--listen takes HOST:PORT");
    const QString host = listen.left(colon);

    PlatformServer server(QDir(root).absolutePath(), options);
    const int bound = server.bind(host, port);
    if (bound < 0) {
        std::fprintf(stderr, "wexa-platform: cannot listen on %s\n", qPrintable(listen));
        return 1;
    }
    g_server = &server;
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    std::printf("wexa-platform listening on http://%s:%d/edi/\n", qPrintable(host), bound);
    std::fflush(stdout);
    // A parent that is gone, killed without a chance to stop the server, makes the
    // server an orphan: it stops by itself.
    std::atomic<bool> serving{true};
    std::thread watch;
    if (parent > 0)
        watch = std::thread([&] {
            for (; serving; std::this_thread::sleep_for(std::chrono::milliseconds(200))) {
                if (getppid() != parent && server.isRunning()) {
                    server.stop();
                    return;
                }
            }
        });
    server.listen();
    serving = false;
    if (watch.joinable())
        watch.join();
    return 0;
}
