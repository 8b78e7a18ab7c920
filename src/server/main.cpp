#include "server/PlatformServer.h"
#include "server/TlsContext.h"

#include <QCoreApplication>

#include <QDir>
#include <QStringList>
#include <malloc.h>

#include <sys/resource.h>
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

// The usage, on standard error after what was wrong, or alone on standard output.
int usage(const char* error)
{
    if (error)
        std::fprintf(stderr, "wexa-platform: %s\n\n", error);
    std::fprintf(
        error ? stderr : stdout,
        "Usage: wexa-platform --root DIR [--listen 127.0.0.1:PORT]\n"
        "                     [--public-url URL] [--tls-cert FILE --tls-key FILE]\n"
        "                     [--session-idle SECONDS] [--sessions NUMBER]\n"
        "                     [--ticket-lifetime SECONDS] [--head-deadline SECONDS]\n"
        "                     [--request-deadline SECONDS] [--body-limit MEGABYTES]\n"
        "                     [--connections NUMBER] [--connections-per-address NUMBER]\n"
        "                     [--parent-pid PID]\n"
        "Serves the platform's services under /edi/ from the mailbox in DIR.\n"
        "PORT 0 (the default) picks a free port; the address is printed on the first line.\n"
        "Links name --public-url (scheme://host[:port]), by default the address listened on;\n"
        "it is needed when listening on every address. With --tls-cert and --tls-key (PEM\n"
        "files: the certificate chain and its key) the server speaks HTTPS only.\n"
        "A session unused for --session-idle (8 hours) is closed, and at most --sessions\n"
        "(10000) are open: the one unused longest goes first. A launch ticket is good once,\n"
        "within --ticket-lifetime (120 seconds). A request's head must arrive within\n"
        "--head-deadline (10 seconds) of its first byte, and the request, answer included,\n"
        "be done within --request-deadline (30 seconds); a body over --body-limit (16 MB)\n"
        "is refused. At most --connections (512) are served at once, and at most\n"
        "--connections-per-address (64) from one address. With --parent-pid the server\n"
        "stops by itself once process PID is no longer its parent.\n");
    return error ? 2 : 0;
}

// Every connection takes a descriptor: the soft limit goes up to what the system allows.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
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
    QString publicUrl, certificate, key;
    PlatformServer::Options options;
    pid_t parent = 0;
    const QStringList numbers = {
        QStringLiteral("--session-idle"),     QStringLiteral("--sessions"),
        QStringLiteral("--ticket-lifetime"),  QStringLiteral("--head-deadline"),
        QStringLiteral("--request-deadline"), QStringLiteral("--body-limit"),
        QStringLiteral("--connections"),      QStringLiteral("--connections-per-address"),
        QStringLiteral("--parent-pid")};
    if (arguments.contains(QLatin1String("--help")))
        return usage(nullptr);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i + 1 >= arguments.size())
            return usage("an option needs a value");
        const QString& option = arguments[i];
        const QString& value = arguments[++i];
        if (option == QLatin1String("--root"))
            root = value;
        else if (option == QLatin1String("--listen"))
            listen = value;
        else if (option == QLatin1String("--public-url"))
            publicUrl = value;
        else if (option == QLatin1String("--tls-cert"))
            certificate = value;
        else if (option == QLatin1String("--tls-key"))
            key = value;
        else if (numbers.contains(option)) {
            bool number = false;
            const qlonglong n = value.toLongLong(&number);
            if (!number || n < 0 || n > 1'000'000'000)
                return usage("--session-idle, --sessions, --ticket-lifetime, --head-deadline, "
                             "--request-deadline, --body-limit, --connections, "
                             "--connections-per-address and --parent-pid take a number");
            const std::chrono::seconds seconds(n);
            if (option == QLatin1String("--session-idle"))
                options.sessionIdle = seconds;
            else if (option == QLatin1String("--sessions"))
                options.sessionLimit = std::max<std::size_t>(1, std::size_t(n));
            else if (option == QLatin1String("--ticket-lifetime"))
                options.ticketLifetime = seconds;
            else if (option == QLatin1String("--head-deadline"))
                options.limits.headDeadline = seconds;
            else if (option == QLatin1String("--request-deadline"))
                options.limits.requestDeadline = seconds;
            else if (option == QLatin1String("--body-limit"))
                options.limits.bodyLimit = std::size_t(n) * 1024 * 1024;
            else if (option == QLatin1String("--connections"))
                options.limits.connections = std::max<std::size_t>(1, std::size_t(n));
            else if (option == QLatin1String("--connections-per-address"))
                options.limits.connectionsPerAddress = std::max<std::size_t>(1, std::size_t(n));
            else
                parent = pid_t(n);
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
    if (!publicUrl.isEmpty()) {
        options.publicAddress = PublicAddress::parse(publicUrl);
        if (!options.publicAddress.isValid())
            return usage("--public-url takes http or https, a host, an optional port and "
                         "nothing after them");
    } else if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::") ||
               host == QLatin1String("[::]")) {
        return usage("--public-url is needed when listening on every address");
    }
    if (certificate.isEmpty() != key.isEmpty())
        return usage("--tls-cert and --tls-key go together");
    if (!certificate.isEmpty()) {
        auto tls = std::make_shared<const TlsContext>(certificate.toStdString(), key.toStdString());
        if (!tls->isValid()) {
            std::fprintf(stderr, "wexa-platform: cannot use the certificate: %s\n",
                         tls->error().c_str());
            return 1;
        }
        options.tls = std::move(tls);
    }
    raiseDescriptorLimit();

    PlatformServer server(QDir(root).absolutePath(), options);
    const int bound = server.bind(host, port);
    if (bound < 0) {
        std::fprintf(stderr, "wexa-platform: cannot listen on %s\n", qPrintable(listen));
        return 1;
    }
    g_server = &server;
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    // Writing to a client that has gone must fail, not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("wexa-platform listening on %s://%s:%d/edi/\n", options.tls ? "https" : "http",
                qPrintable(host), bound);
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
