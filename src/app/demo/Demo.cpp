#include "app/demo/Demo.h"

#include "app/cli/CommandLine.h"
#include "app/cli/Setup.h"
#include "app/demo/SampleOrders.h"
#include "app/host/HostWindow.h"
#include "core/rules/FileWriter.h"
#include "core/session/InfoFiles.h"
#include "core/session/WorkingFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <memory>

namespace Demo {
namespace {

const UserInfo Supplier{QStringLiteral("4607000000024"), QStringLiteral("7705000024"),
                        QStringLiteral("ООО «Молочный двор»"),
                        QStringLiteral("40702810900000000024")};
const QString BuyerIln = QStringLiteral("4607000000017");
const PartnerInfo Buyer{QStringLiteral("7801000017"), QStringLiteral("ТД «Северный»"),
                        QStringLiteral("40702810500000000017")};
const QString PartnerUrl = QStringLiteral("supplier");

// Printed at once: the demo runs until its window closes.
void print(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        file->flush();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return FileWriter::write(path, bytes);
}

QByteArray resource(const QString& name)
{
    QFile file(QStringLiteral(":/samples/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The working folder and the platform's mailbox; a kept folder that already holds them
// is used as it is, so that a second run takes the next waiting order.
bool prepare(const QString& root)
{
    const QString work = root + QStringLiteral("/work");
    const QString platform = root + QStringLiteral("/platform");
    if (QFile::exists(InfoFiles::userInfoPath(work)))
        return true;
    const QString waiting =
        platform + QStringLiteral("/mailbox/") + PartnerUrl + QStringLiteral("/waiting/");
    return writeFile(InfoFiles::userInfoPath(work), Setup::userInfoFile(Supplier)) &&
           writeFile(platform + QStringLiteral("/partners/") + BuyerIln + QStringLiteral(".xml"),
                     Setup::partnerInfoFile(Buyer)) &&
           writeFile(waiting + QStringLiteral("01-ZK-2026-1187.xml"),
                     resource(QStringLiteral("order.xml"))) &&
           writeFile(waiting + QStringLiteral("02-ZK-2026-1190.xml"),
                     resource(QStringLiteral("order-to-check.xml"))) &&
           writeFile(waiting + QStringLiteral("03-ZK-2026-4411.xml"),
                     SampleOrders::generate(300, QStringLiteral("ZK/2026/4411"), 300));
}

// Opens the platform's page as a browser would and keeps the session cookie it sets.
QString openPage(const QString& pageUrl)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(pageUrl)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QString cookie;
    const auto cookies =
        reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    for (const QNetworkCookie& c : cookies)
        cookie = QString::fromUtf8(c.toRawForm(QNetworkCookie::NameAndValueOnly));
    reply->deleteLater();
    return cookie;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "  wexa-confirm demo [--keep DIR]\n"
        "      starts the reference platform server on a free loopback port with a partner and\n"
        "      three waiting orders, and opens the control on-line as the platform's page\n"
        "      does; each start takes the next order. --keep DIR keeps the working folder\n"
        "      (DIR/work) and the mailbox (DIR/platform) instead of a temporary folder.\n");
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    QString keep;
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--keep")) {
        keep = QDir(arguments[1]).absolutePath();
    } else if (!arguments.isEmpty()) {
        print(err, QStringLiteral("wexa-confirm demo: unknown arguments\n\nUsage:\n") + usage());
        return CommandLine::UsageError;
    }
    QTemporaryDir temporary;
    const QString root = keep.isEmpty() ? temporary.path() : keep;
    if ((keep.isEmpty() && !temporary.isValid()) || !QDir().mkpath(root) || !prepare(root)) {
        print(err, QStringLiteral("wexa-confirm demo: cannot prepare %1\n").arg(root));
        return CommandLine::Refused;
    }

    // The demo's setting lives beside its folder; the user's own stays untouched.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       root + QStringLiteral("/settings"));
    WorkingFolder::write(QDir::toNativeSeparators(root + QStringLiteral("/work")));

    QProcess server;
    server.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/wexa-platform"));
    // The server goes with the demo however the demo ends: the kernel sends it SIGTERM
    // when the demo dies, and it watches for being orphaned in case that was missed.
    const pid_t demo = getpid();
    server.setArguments({QStringLiteral("--root"), root + QStringLiteral("/platform"),
                         QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                         QStringLiteral("--parent-pid"), QString::number(demo)});
    server.setChildProcessModifier([demo] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != demo)
            _exit(1);
    });
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForStarted(10000) || !server.waitForReadyRead(10000)) {
        print(err, QStringLiteral("wexa-confirm demo: the platform server did not start\n"));
        return CommandLine::Refused;
    }
    const QString line = QString::fromUtf8(server.readLine()).trimmed();
    const QString site = line.section(QLatin1Char(' '), -1);
    const QString pageUrl = site + PartnerUrl + QStringLiteral("/Order.aspx");
    print(out,
          QStringLiteral("Platform: %1\nWorking folder: %2/work\nMailbox: %2/platform/mailbox/%3\n")
              .arg(site, root, PartnerUrl));

    LaunchOptions options;
    options.properties = {{QStringLiteral("OnLine"), QStringLiteral("On")},
                          {QStringLiteral("DebugLevel"), QStringLiteral("4")},
                          {QStringLiteral("PartnerName"), QStringLiteral("Severny")},
                          {QStringLiteral("PartnerILN"), BuyerIln},
                          {QStringLiteral("PartnerURL"), PartnerUrl}};
    options.pageUrl = pageUrl;
    options.cookie = openPage(pageUrl);
    int result = 0;
    {
        ProcessState process;
        HostWindow window(options, process);
        window.show();
        result = QApplication::exec();
    }
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
    if (!keep.isEmpty())
        print(out, QStringLiteral("Kept in %1\n").arg(root));
    return result;
}

} // namespace Demo
