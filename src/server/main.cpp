#include "PlatformServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <csignal>
#include <cstdio>

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
        "Serves the platform's services under /edi/ from the mailbox in DIR.\n"
        "PORT 0 (the default) picks a free port; the address is printed on the first line.\n",
        error);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QString root;
    QString listen = QStringLiteral("127.0.0.1:0");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i + 1 >= arguments.size())
            return usage("an option needs a value");
        if (arguments[i] == QLatin1String("--root"))
            root = arguments[++i];
        else if (arguments[i] == QLatin1String("--listen"))
            listen = arguments[++i];
        else
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

    PlatformServer server(QDir(root).absolutePath());
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
    server.listen();
    return 0;
}
