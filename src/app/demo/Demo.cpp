#include "app/demo/Demo.h"

#include "app/cli/CommandLine.h"
#include "app/cli/Setup.h"
#include "app/demo/SampleOrders.h"
#include "app/host/HostWindow.h"
#include "core/rules/FileWriter.h"
#include "core/session/InfoFiles.h"
#include "core/session/WorkingFolder.h"
#include "ui/control/PotwierdzenieZam.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

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
    const QString box = platform + QStringLiteral("/mailbox/") + PartnerUrl;
    const QString waiting = box + QStringLiteral("/waiting/");
    // The page's settings for this buyer; a full trace would also hold the session cookie.
    return writeFile(box + QStringLiteral("/page.ini"),
                     "[General]\nPartnerName=Severny\nPartnerILN=" + BuyerIln.toUtf8() +
                         "\nDebugLevel=2\n") &&
           writeFile(InfoFiles::userInfoPath(work), Setup::userInfoFile(Supplier)) &&
           writeFile(platform + QStringLiteral("/partners/") + BuyerIln + QStringLiteral(".xml"),
                     Setup::partnerInfoFile(Buyer)) &&
           writeFile(waiting + QStringLiteral("01-ZK-2026-1187.xml"),
                     resource(QStringLiteral("order.xml"))) &&
           writeFile(waiting + QStringLiteral("02-ZK-2026-1190.xml"),
                     resource(QStringLiteral("order-to-check.xml"))) &&
           writeFile(waiting + QStringLiteral("03-ZK-2026-4411.xml"),
                     SampleOrders::generate(300, QStringLiteral("ZK/2026/4411"), 300));
}

// Opens the platform's page as a browser would and follows its button's link, as the
// browser hands it to this program.
std::optional<LaunchOptions> openPage(const QString& pageUrl, QString& error)
{
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(pageUrl))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    static const QRegularExpression button(QStringLiteral("id=\"open\" href=\"([^\"]+)\""));
    const QRegularExpressionMatch link = button.match(QString::fromUtf8(reply->readAll()));
    if (!link.hasMatch()) {
        error = QStringLiteral("the platform's page offers no link to the editor");
        return std::nullopt;
    }
    QString href = link.captured(1);
    href.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return LaunchOptions::parse({href}, error);
}

// Nobody at the screen: the order is confirmed in full and sent as a user would do it,
// the platform's answer and what it received are told, and the window is pictured.
int confirmUnattended(HostWindow& window, const QString& root, QIODevice& out, QIODevice& err)
{
    QString sent;
    QObject::connect(&window, &HostWindow::sent, &window, [&](const QString& n) { sent = n; });
    QEventLoop started;
    QObject::connect(&window, &HostWindow::started, &started, &QEventLoop::quit);
    window.show();
    started.exec();
    if (!window.isVisible())
        return CommandLine::Refused;
    const QString number = window.form().field(Confirmation::Field::lblNrZamWart);
    if (number.isEmpty()) {
        print(err, QStringLiteral("wexa-confirm demo: no order was fetched\n"));
        return CommandLine::Refused;
    }
    print(
        out,
        QStringLiteral("Order fetched: %1, %2 lines\n").arg(number).arg(window.form().lineCount()));
    // Full acceptance, recalculated, then sent: the question before sending is answered Yes.
    window.control()->findChild<QComboBox*>(QStringLiteral("cboxTyp"))->setCurrentIndex(2);
    window.control()->button(QStringLiteral("btnPrzelicz"))->click();
    window.control()->button(QStringLiteral("btnPrzeslij"))->click();
    const QString shot = root + QStringLiteral("/screenshot.png");
    window.grab().save(shot, "PNG");
    window.close();
    if (sent.isEmpty()) {
        print(err, QStringLiteral("wexa-confirm demo: the response was not sent\n"));
        return CommandLine::Refused;
    }
    print(out, QStringLiteral("Sent confirmation %1: the platform answered OK\n").arg(sent));
    const QDir received(root + QStringLiteral("/platform/mailbox/") + PartnerUrl +
                        QStringLiteral("/received"));
    const QFileInfoList files = received.entryInfoList(QDir::Files, QDir::Time);
    if (!files.isEmpty())
        print(out, QStringLiteral("Received by the platform: %1 (%2 bytes)\n")
                       .arg(files.first().absoluteFilePath())
                       .arg(files.first().size()));
    print(out, QStringLiteral("Screenshot: %1\n").arg(shot));
    return CommandLine::Success;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "  wexa-confirm demo [--keep DIR]\n"
        "      starts the reference platform server on a free loopback port with a partner and\n"
        "      three waiting orders, and opens the control on-line as the platform's page\n"
        "      does; each start takes the next order. --keep DIR keeps the working folder\n"
        "      (DIR/work) and the mailbox (DIR/platform) instead of a temporary folder.\n"
        "      Without a display it confirms the order in full, sends it, tells the\n"
        "      platform's answer and the file it received, and pictures the window.\n");
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err, bool unattended)
{
    QString keep;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (const auto request = CommandLine::requestOf(arguments[i]);
            request != CommandLine::Request::None)
            return CommandLine::answer(request, QStringLiteral("Usage:\n") + usage(), out);
        if (arguments[i] != QLatin1String("--keep"))
            return CommandLine::wrongCall(QStringLiteral("wexa-confirm demo"),
                                          QStringLiteral("unknown option '%1'").arg(arguments[i]),
                                          err);
        if (++i == arguments.size())
            return CommandLine::wrongCall(QStringLiteral("wexa-confirm demo"),
                                          QStringLiteral("--keep needs a value"), err);
        keep = QDir(arguments[i]).absolutePath();
    }
    QTemporaryDir temporary;
    // Without a screen what the demo did stays to be looked at.
    temporary.setAutoRemove(!unattended);
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
    // Beside this program in a build; installed, this program is under libexec.
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.filePath(QStringLiteral("wexa-platform"));
    server.setProgram(QFileInfo(beside).isExecutable()
                          ? beside
                          : here.filePath(QStringLiteral("../../bin/wexa-platform")));
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

    QString error;
    std::optional<LaunchOptions> options = openPage(pageUrl, error);
    ProcessState process;
    int result = CommandLine::Refused;
    // The demo started this platform itself: its site needs no question.
    if (options)
        options->pageTrusted = true;
    if (!options) {
        print(err, QStringLiteral("wexa-confirm demo: %1\n").arg(error));
    } else if (unattended) {
        options->unattended = true;
        HostWindow window(std::move(*options), process);
        result = confirmUnattended(window, root, out, err);
    } else {
        HostWindow window(std::move(*options), process);
        window.show();
        result = QApplication::exec();
        if (window.wasRefused())
            result = CommandLine::Refused;
    }
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
    if (!keep.isEmpty() || unattended)
        print(out, QStringLiteral("Kept in %1\n").arg(root));
    return result;
}

} // namespace Demo
