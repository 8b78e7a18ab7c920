#include "core/form/BuildVersion.h"
#include "core/rules/SafeNames.h"
#include "os/Memory.h"
#include "server/Mailbox.h"
#include "server/PlatformServer.h"
#include "server/TlsContext.h"

#include <QCoreApplication>

#include <QDir>
#include <QStringList>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

// Set by SIGTERM or SIGINT; the watch in main() stops the server.
std::atomic<bool> g_stopAsked = false;

void stopOnSignal(int)
{
    g_stopAsked = true;
}

// The usage, on standard output.
int usage()
{
    std::fputs(
        "Usage: wexa-platform --root DIR [--listen 127.0.0.1:PORT]\n"
        "                     [--public-url URL] [--tls-cert FILE --tls-key FILE]\n"
        "                     [--session-idle SECONDS] [--sessions NUMBER]\n"
        "                     [--ticket-lifetime SECONDS] [--head-deadline SECONDS]\n"
        "                     [--request-deadline SECONDS] [--body-limit MEGABYTES]\n"
        "                     [--connections NUMBER] [--connections-per-address NUMBER]\n"
        "                     [--parent-pid PID]\n"
        "       wexa-platform --help | --version\n"
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
        "stops by itself once process PID is no longer its parent.\n"
        "Each request is logged on standard error as one line: the time, the client's\n"
        "address, the method, the path, the status, the bytes answered and the milliseconds\n"
        "taken.\n"
        "Exit status: 0 once stopped by SIGTERM or SIGINT, 1 when it cannot start (the root\n"
        "or a folder of it is missing or cannot be written, the address is taken, the\n"
        "certificate is unusable), 2 for a wrong call.\n",
        stdout);
    return 0;
}

// A wrong call: what was wrong, named, and where the usage is.
int wrongCall(const QString& error)
{
    std::fprintf(stderr, "wexa-platform: %s\nTry 'wexa-platform --help'.\n",
                 SafeNames::oneLine(error).toUtf8().constData());
    return 2;
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
    Memory::keepFreed(std::size_t(64) << 20, std::size_t(256) << 20);
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
    static const QStringList texts = {QStringLiteral("--root"), QStringLiteral("--listen"),
                                      QStringLiteral("--public-url"), QStringLiteral("--tls-cert"),
                                      QStringLiteral("--tls-key")};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help") || option == QLatin1String("-h"))
            return usage();
        if (option == QLatin1String("--version")) {
            std::printf("wexa-platform %s\n", qPrintable(BuildVersion::text()));
            return 0;
        }
        if (!texts.contains(option) && !numbers.contains(option))
            return wrongCall(QStringLiteral("unknown option '%1'").arg(option));
        if (i + 1 >= arguments.size())
            return wrongCall(QStringLiteral("%1 needs a value").arg(option));
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
                return wrongCall(QStringLiteral("%1 takes a number, not '%2'").arg(option, value));
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
        }
    }
    if (root.isEmpty())
        return wrongCall(QStringLiteral("--root is needed"));
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = listen.mid(colon + 1).toInt(&ok);
    if (colon < 1 || !ok || port < 0 || port > 65535)
        return wrongCall(QStringLiteral("--listen takes HOST:PORT"));
    const QString host = listen.left(colon);
    if (!publicUrl.isEmpty()) {
        options.publicAddress = PublicAddress::parse(publicUrl);
        if (!options.publicAddress.isValid())
            return wrongCall(
                QStringLiteral("--public-url takes http or https, a host, an optional port and "
                               "nothing after them"));
    } else if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::") ||
               host == QLatin1String("[::]")) {
        return wrongCall(QStringLiteral("--public-url is needed when listening on every address"));
    }
    if (certificate.isEmpty() != key.isEmpty())
        return wrongCall(QStringLiteral("--tls-cert and --tls-key go together"));
    if (!certificate.isEmpty()) {
        auto tls = std::make_shared<const TlsContext>(certificate.toStdString(), key.toStdString());
        if (!tls->isValid()) {
            std::fprintf(
                stderr, "wexa-platform: cannot start: cannot use the certificate: %s\n",
                SafeNames::oneLine(QString::fromStdString(tls->error())).toUtf8().constData());
            return 1;
        }
        options.tls = std::move(tls);
    }
    // What keeps the server from its work is said once, before it listens.
    if (const QString problem = Mailbox::prepare(QDir(root).absolutePath()); !problem.isEmpty()) {
        std::fprintf(stderr, "wexa-platform: cannot start: %s\n",
                     SafeNames::oneLine(problem).toUtf8().constData());
        return 1;
    }
    raiseDescriptorLimit();

    PlatformServer server(QDir(root).absolutePath(), options);
    const int bound = server.bind(host, port);
    if (bound < 0) {
        std::fprintf(stderr, "wexa-platform: cannot start: cannot listen on %s\n",
                     SafeNames::oneLine(listen).toUtf8().constData());
        return 1;
    }
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    // Writing to a client that has gone must fail, not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("wexa-platform listening on %s://%s:%d/edi/\n", options.tls ? "https" : "http",
                qPrintable(host), bound);
    std::fflush(stdout);
    // The server stops when told to by a signal, or when it is left an orphan by a parent
    // killed without a chance to stop it. The watch stops it only once it listens: a stop
    // before that would be lost, and the server would serve on.
    std::atomic<bool> serving{true};
    std::thread watch([&] {
        for (; serving; std::this_thread::sleep_for(std::chrono::milliseconds(200))) {
            const bool orphan = parent > 0 && getppid() != parent;
            if ((g_stopAsked || orphan) && server.isRunning()) {
                server.stop();
                return;
            }
        }
    });
    server.listen();
    serving = false;
    watch.join();
    return 0;
}
