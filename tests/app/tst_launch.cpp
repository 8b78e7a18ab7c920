#include "PlatformProcess.h"
#include "Tools.h"

#include "app/host/LaunchOptions.h"
#include "app/host/LaunchTicket.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString BuyerIln = QStringLiteral("4607000000017");

QByteArray sampleOrder()
{
    return PlatformProcess::read(WEXA_SOURCE_DIR "/samples/order.xml");
}

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<PlatformProcess> m_platform;

    bool startPlatform(int ticketLifetime = 120)
    {
        m_platform = std::make_unique<PlatformProcess>(m_home->filePath("platform"));
        return m_platform->placeMailbox("supplier", BuyerIln, "ТД «Северный»", {sampleOrder()}) &&
               m_platform->start({"--ticket-lifetime", QString::number(ticketLifetime)});
    }
    // Runs wexa-confirm as the desktop runs it for a link, with its own settings; returns
    // the exit code, everything it printed in `output`.
    int run(const QStringList& arguments, QString& output)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home->path());
        environment.insert("XDG_CONFIG_HOME", m_home->filePath("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(WEXA_BIN_DIR "/wexa-confirm", arguments);
        if (!process.waitForFinished(60000))
            return -1;
        output =
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QStringList mailbox(const QString& folder) const
    {
        return PlatformProcess::names(m_home->filePath("platform/mailbox/supplier/" + folder));
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QString output;
        QCOMPARE(run({"setup", "--working-folder", m_home->filePath("work"), "--user-iln",
                      "4607000000024", "--user-name", "ООО «Молочный двор»"},
                     output),
                 0);
    }
    void cleanup()
    {
        m_platform.reset();
        m_home.reset();
    }

    void linksAreRead_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("partnerName");
        QTest::newRow("a page's link gives the page, the settings and the ticket")
            << "wexa-confirm:open?page=http%3A%2F%2Fedi.example%3A8080%2Fedi%2Fs%2FOrder.aspx"
               "&PartnerName=Severny&OnLine=On&ticket=ab12"
            << "http://edi.example:8080/edi/s/Order.aspx"
            << "Severny";
        QTest::newRow("encoded & and = stay inside their value")
            << "wexa-confirm:open?page=https%3A%2F%2Fh%2Fedi%2Fs%2FOrder.aspx"
               "&PartnerName=A%26B%3DC&ticket=ab12"
            << "https://h/edi/s/Order.aspx"
            << "A&B=C";
        QTest::newRow("a link without a ticket is refused")
            << "wexa-confirm:open?page=http%3A%2F%2Fh%2Fedi%2Fs%2FOrder.aspx" << QString()
            << QString();
        QTest::newRow("a link to a page that is not on the web is refused")
            << "wexa-confirm:open?page=ftp%3A%2F%2Fh%2Fedi%2Fs%2FOrder.aspx&ticket=ab12"
            << QString() << QString();
    }
    void linksAreRead()
    {
        QFETCH(QString, link);
        QFETCH(QString, page);
        QFETCH(QString, partnerName);
        QString error;
        const std::optional<LaunchOptions> options = LaunchOptions::parse({link}, error);
        QCOMPARE(options.has_value(), !page.isEmpty());
        if (!options)
            return;
        QCOMPARE(options->pageUrl.value_or(QString()), page);
        QCOMPARE(options->ticket, "ab12");
        QVERIFY(options->cookie.isEmpty());
        QCOMPARE(options->properties.value("PartnerName"), partnerName);
    }

    // A page address with no site above it names no origin to send the ticket to.
    void theTicketGoesNowhereButThePagesSite()
    {
        const LaunchTicket::Redeemed redeemed =
            LaunchTicket::redeem("http://127.0.0.1:9/Order.aspx", "ab12");
        QVERIFY(!redeemed.cookie);
        QVERIFY2(redeemed.refusal.startsWith("Неверный адрес страницы"),
                 qPrintable(redeemed.refusal));
    }

    // GIVEN the platform's order page WHEN its button's link is handed to wexa-confirm
    // THEN the editor starts on-line with the order fetched, once: the same link again, or
    // one whose ticket has expired, is refused with a word to open the page again.
    void thePageLinkOpensTheEditorOnce_data()
    {
        QTest::addColumn<int>("lifetime");
        QTest::addColumn<int>("runs");
        QTest::addColumn<bool>("opened");
        QTest::newRow("the link opens the editor with the order") << 120 << 1 << true;
        QTest::newRow("the same link a second time is refused") << 120 << 2 << false;
        QTest::newRow("a link whose ticket expired is refused") << 0 << 1 << false;
    }
    void thePageLinkOpensTheEditorOnce()
    {
        QFETCH(int, lifetime);
        QFETCH(int, runs);
        QFETCH(bool, opened);
        QVERIFY(startPlatform(lifetime));
        const PlatformProcess::Page page = m_platform->page("supplier");
        const QString shot = m_home->filePath("shot.png");

        int exitCode = -1;
        QString output;
        for (int i = 0; i < runs; ++i) {
            QFile::remove(shot);
            exitCode = run({page.link, "--screenshot", shot}, output);
        }

        QCOMPARE(exitCode, opened ? 0 : 1);
        QCOMPARE(QFile::exists(shot), opened);
        QCOMPARE(output.contains("Откройте страницу заказа на площадке ещё раз"), !opened);
        if (runs == 1)
            QCOMPARE(mailbox("delivered").size(), opened ? 1 : 0);
        const QString session = page.cookie.section('=', 1);
        QVERIFY(!session.isEmpty());
        QVERIFY2(!output.contains(session), qPrintable(output));
    }

    // One render by a real browser: the page shows its button.
    void aBrowserShowsTheButton()
    {
        WEXA_REQUIRE_TOOL("chromium");
        QVERIFY(startPlatform());
        const QString shot = m_home->filePath("page.png");
        QProcess chromium;
        chromium.start("chromium",
                       {"--headless", "--no-sandbox", "--disable-gpu",
                        "--user-data-dir=" + m_home->filePath("chromium"), "--window-size=800,600",
                        "--screenshot=" + shot, m_platform->siteBase() + "supplier/Order.aspx"});
        QVERIFY(chromium.waitForFinished(120000));
        const QImage image(shot);
        QVERIFY2(!image.isNull(), chromium.readAllStandardError().constData());
        // The button is the one thing on the page in the control's teal.
        int button = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                button += image.pixelColor(x, y) == QColor(0x1e, 0x86, 0x9f) ? 1 : 0;
        QVERIFY2(button > 2000, qPrintable(QString::number(button)));
    }
};

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
