#include "AppTest.h"
#include "CoreTable.h"
#include "PlatformProcess.h"
#include "RawServer.h"

#include "app/host/FirstStartDialog.h"
#include "app/host/LaunchTicket.h"
#include "core/session/LaunchLink.h"
#include "core/session/TrustedOrigins.h"
#include "core/session/WorkingFolder.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImage>

using namespace Qt::StringLiterals;

namespace {

const QString UserIln = QStringLiteral("4607000000024");
const QString Refused = QStringLiteral("Ссылка на подтверждение заказа отклонена: ");

// Every file below a folder, by its path from there, with a digest of its bytes.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path),
                     QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1));
    }
    return files;
}

// A site that plays the platform with whatever a test makes it answer: the session for
// a ticket, the partner's information and an order.
struct HostileSite {
    RawServer server;
    QByteArray cookie = "WEXASESSION=7f3a";
    QByteArray orderNumber = "ZK-1";
    QStringList paths; // of the requests, in turn

    HostileSite()
    {
        server.respond = [this](QTcpSocket* socket, const Received& request) {
            paths.append(QString::fromUtf8(request.path));
            QByteArray body = "<error-response><message>no such service</message></error-response>";
            if (request.path.endsWith("/Ticket.aspx"))
                body = "<launch-ticket-response><cookie>" + cookie +
                       "</cookie></launch-ticket-response>";
            else if (request.path.contains("/Partners.aspx"))
                body = "<partner-info-response><partner-info><info><nip>1</nip><name>EVIL BUYER"
                       "</name><account>2</account></info></partner-info></partner-info-response>";
            else if (request.path.endsWith("/OrderData.aspx"))
                body = "<receive-document-response><document-content><Document-Order>"
                       "<Order-Header><OrderNumber>" +
                       orderNumber +
                       "</OrderNumber><OrderDate>2026-12-03</OrderDate></Order-Header>"
                       "<Order-Lines><Line><Line-Item><LineNumber>1</LineNumber><EAN>1</EAN>"
                       "<OrderedQuantity>2</OrderedQuantity><UnitOfMeasure>PCE</UnitOfMeasure>"
                       "</Line-Item></Line></Order-Lines></Document-Order></document-content>"
                       "</receive-document-response>";
            socket->write(answer("200 OK", {}, body));
            socket->disconnectFromHost();
        };
    }
    QString site() const { return server.origin(); }
    QString page() const { return site() + "/edi/supplier/Order.aspx"; }
    // The editor's link to the site's page with more of a query, unless the query names a page.
    QString link(const QString& query = "PartnerURL=supplier") const
    {
        const QString onPage = "page=" + QString::fromLatin1(QUrl::toPercentEncoding(page())) + '&';
        return "wexa-confirm:open?" + (query.startsWith("page=") ? "" : onPage) + query +
               "&ticket=ab12";
    }
};

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PlatformProcess> m_platform;

    QString work() const { return m_root->filePath("home/work"); }
    QString systemConfig() const { return m_root->filePath("xdg"); }
    QString settingsFile() const { return m_root->filePath("home/config/WEXA.conf"); }
    // The administrator's list of trusted sites, for every program of this configuration.
    bool trust(const QStringList& origins) const
    {
        return writeFile(systemConfig() + "/WEXA/wexa-confirm.conf",
                         "[TrustedOrigins]\norigins=" + origins.join(", ").toUtf8() + "\n");
    }

    bool startPlatform()
    {
        m_platform = std::make_unique<PlatformProcess>(m_root->filePath("platform"));
        return m_platform->placeMailbox("supplier", "4607000000017", "ТД «Северный»",
                                        {readFile(WEXA_SOURCE_DIR "/samples/order.xml")}) &&
               m_platform->start() && trust({m_platform->siteBase()});
    }
    // wexa-confirm as the desktop runs it, while the test's own site answers.
    Ran run(const QStringList& arguments) const
    {
        return Run{.arguments = arguments, .deadline = 60000, .serveEvents = true}
            .set("HOME", m_root->filePath("home"))
            .set("XDG_CONFIG_HOME", m_root->filePath("home/config"))
            .set("XDG_CONFIG_DIRS", systemConfig())
            .set("QT_QPA_PLATFORM", "offscreen")();
    }
    // The window a link to the site launches in this process, once the launch is over.
    std::unique_ptr<HostWindow> launch(const HostileSite& site)
    {
        QString error;
        std::optional<LaunchOptions> options = LaunchOptions::parse({site.link()}, error);
        return options ? startedWindow(std::move(*options)) : nullptr;
    }
    OnScreen::BoxAnswerer m_boxes;

private slots:
    void init()
    {
        m_platform.reset(); // the last test's platform goes before its folder
        m_root = std::make_unique<QTemporaryDir>();
        // This process's own settings, for the windows it opens.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_root->filePath("home/config"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemConfig());
        freshProcess();
        m_boxes.clear();
        const Ran setup = run({"setup", "--working-folder", work(), "--user-iln", UserIln,
                               "--user-name", "ООО «Молочный двор»"});
        QCOMPARE(setup.exitCode, 0);
    }

    void linksAreRead_data()
    {
        columns<QString, QString, QString, QString>("link", "page", "partnerName", "refusal");
        auto row = [](const char* name, const QString& link, const char* page,
                      const char* partnerName, const char* refusal = nullptr) {
            QTest::newRow(name) << link << page << partnerName
                                << (refusal ? QString::fromUtf8(refusal) : QString());
        };
        const auto on = [](const QByteArray& page, const QString& rest = "&ticket=ab12") {
            return "wexa-confirm:open?page=" + QString::fromLatin1(QUrl::toPercentEncoding(page)) +
                   rest;
        };
        const auto refused = [&](const char* name, const QString& link, const char* refusal) {
            row(name, link, "", "", refusal);
        };
        row("a page's link gives the page, the settings and the ticket",
            on("http://edi.example:8080/edi/s/Order.aspx",
               "&PartnerName=Severny&OnLine=On&ticket=ab12"),
            "http://edi.example:8080/edi/s/Order.aspx", "Severny");
        row("encoded & and = stay inside their value",
            on("https://h/edi/s/Order.aspx", "&PartnerName=A%26B%3DC&ticket=ab12"),
            "https://h/edi/s/Order.aspx", "A&B=C");
        const QByteArray page = "http://h/edi/s/Order.aspx";
        refused("a link without a ticket is refused", on(page, ""),
                "ссылка не называет страницу площадки и билет");
        refused("a page with a user name before its host is refused",
                on("http://edi.example@h/edi/s/Order.aspx"),
                "значение page содержит имя пользователя");
        refused("a page with no folder above it is refused", on("http://h/Order.aspx"),
                "значение page не лежит в папке сайта");
        refused("a value given twice is refused",
                on(page, "&ticket=ab12&PartnerILN=1&PartnerILN=2"),
                "значение PartnerILN дано дважды");
        refused("a ticket with a line break is refused", on(page, "&ticket=a%0Db"),
                "значение ticket содержит управляющий символ с кодом 13");
        refused("a partner URL with a backslash is refused", on(page, "&ticket=a&PartnerURL=a%5Cb"),
                "значение PartnerURL содержит разделитель папок «\\»");
        refused("two dots inside a partner's name are refused",
                on(page, "&ticket=a&PartnerName=a..b"), "значение PartnerName содержит «..»");
        refused("a partner ILN with a quote is refused", on(page, "&ticket=a&PartnerILN=1%22"),
                "значение PartnerILN содержит знак разметки «\"»");
        // A page address of 2048 characters is the longest taken.
        const QByteArray longest = "http://h/edi/s/" + QByteArray(2028, 'x') + ".aspx";
        row("a page address at the length limit is taken", on(longest), longest.constData(), "");
        refused("a page address a character over the limit is refused", on(longest + 'x'),
                "значение page длиннее 2048 знаков");
    }
    // Only the editor's own scheme is read as a link, whatever the rest of it says.
    void otherSchemesAreNoLinks()
    {
        QString refusal;
        QVERIFY(!LaunchLink::parse(
            "https://h/open?page=http%3A%2F%2Fh%2Fedi%2Fs%2FOrder.aspx&ticket=ab12", refusal));
        QCOMPARE(refusal, "ссылка не читается");
    }
    void linksAreRead()
    {
        const auto [link, page, partnerName, refusal] =
            fetch<QString, QString, QString, QString>("link", "page", "partnerName", "refusal");
        QString error;
        const std::optional<LaunchOptions> options = LaunchOptions::parse({link}, error);
        QVERIFY2(error.startsWith(refusal), qPrintable(error));
        QCOMPARE(options.has_value(), refusal.isEmpty());
        if (options)
            QCOMPARE(std::tuple(options->pageUrl.value_or(QString()), options->pageTrusted,
                                options->ticket, options->cookie,
                                options->properties.value("PartnerName")),
                     std::tuple(page, false, u"ab12"_s, QString(), partnerName));
    }

    void aSiteIsItsSchemeHostAndPort_data()
    {
        columns<QString, QString, bool>("listed", "page", "trusted");
        const auto row = [](const char* name, const char* listed, const char* page, bool trusted) {
            QTest::newRow(name) << QString(listed) << QString(page) << trusted;
        };
        row("letter case and the default port do not matter", "HTTP://EDI.Example",
            "http://edi.example:80/edi/s/Order.aspx", true);
        row("https has its own default port", "https://edi.example/",
            "https://edi.example:443/edi/s/Order.aspx", true);
        row("another port is another site", "http://edi.example",
            "http://edi.example:8080/edi/s/Order.aspx", false);
        row("another scheme is another site", "https://edi.example",
            "http://edi.example/edi/s/Order.aspx", false);
        row("a host that only ends like the listed one is another site", "https://edi.example",
            "https://evil-edi.example/edi/s/Order.aspx", false);
        row("an entry that is no site trusts nothing", "edi.example",
            "http://edi.example/edi/s/Order.aspx", false);
    }
    void aSiteIsItsSchemeHostAndPort()
    {
        const auto [listed, page] = fetch<QString, QString>("listed", "page");
        QVERIFY(trust({listed}));
        QTEST(TrustedOrigins().verdict(TrustedOrigins::originOf(QUrl(page))) ==
                  TrustedOrigins::Verdict::Trusted,
              "trusted");
    }

    // The clerk's answers as the trusted sites' list changes them: one answer a site, the
    // last one given; a site forgotten is asked about again.
    void aSiteHasOneAnswerUntilItIsForgotten_data()
    {
        columns<QStringList, QStringList, QStringList>("steps", "allowed", "refused");
        const QString site = "https://edi.example:443", other = "https://b.example:443";
        QTest::newRow("allowed, then refused")
            << QStringList{"allow", "refuse"} << QStringList() << QStringList{site};
        QTest::newRow("refused, then allowed")
            << QStringList{"refuse", "allow"} << QStringList{site} << QStringList();
        QTest::newRow("allowed, then forgotten")
            << QStringList{"allow", "forget"} << QStringList() << QStringList();
        QTest::newRow("refused, then forgotten, beside another refused")
            << QStringList{"refuse other", "refuse", "forget"} << QStringList()
            << QStringList{other};
    }
    void aSiteHasOneAnswerUntilItIsForgotten()
    {
        const auto [steps, allowed, refused] =
            fetch<QStringList, QStringList, QStringList>("steps", "allowed", "refused");
        const QString site = "https://edi.example:443";
        TrustedOrigins origins;
        for (const QString& step : steps)
            QVERIFY(step == "forget"         ? origins.forget(site)
                    : step == "refuse other" ? origins.remember("https://b.example:443", false)
                                             : origins.remember(site, step == "allow"));
        using V = TrustedOrigins::Verdict;
        QCOMPARE(std::tuple(origins.allowed(), origins.refused(), origins.verdict(site)),
                 std::tuple(allowed, refused,
                            !allowed.isEmpty()       ? V::Trusted
                            : refused.contains(site) ? V::Refused
                                                     : V::Unknown));
    }

    // A host spelled in another alphabet is named both ways in the question.
    void aLookAlikeHostIsShownBothWays()
    {
        QCOMPARE(TrustedOrigins::shown(TrustedOrigins::originOf(QUrl("https://пример.рф/edi/s/x"))),
                 "https://xn--e1afmkfd.xn--p1ai:443 (пример.рф)");
    }

    // A page address with no site above it names no origin to send the ticket to.
    void theTicketGoesNowhereButThePagesSite()
    {
        const LaunchTicket::Redeemed redeemed =
            LaunchTicket::redeem("http://127.0.0.1:9/Order.aspx", "ab12", RequestDeadlines{});
        QVERIFY2(!redeemed.cookie && redeemed.refusal.startsWith("Неверный адрес страницы"),
                 qPrintable(redeemed.refusal));
    }

    // A link any page could make, and a site answering what it likes: what is refused is
    // refused before any request and writes nothing; what is let in writes in the folder only.
    void hostileLinksAndSites_data()
    {
        columns<QString, bool, QByteArray, QString, QStringList>("query", "trusted", "cookie",
                                                                 "message", "requests");
        const QStringList all = {"/edi/Ticket.aspx", "/edi/Partners.aspx?format=xml",
                                 "/edi/supplier/OrderData.aspx"};
        const auto row = [](const char* name, const QString& query, const QString& message = {},
                            const QStringList& requests = {}, bool trusted = true,
                            const QByteArray& cookie = "WEXASESSION=7f3a") {
            QTest::newRow(name) << query << trusted << cookie << message << requests;
        };
        const auto refused = [&](const char* name, const QString& query, const char* reason) {
            row(name, query, Refused + reason);
        };
        row("an order whose number climbs folders is answered inside the folder",
            "PartnerURL=supplier&DebugLevel=4", {}, all);
        refused("folder steps in the partner's name are refused",
                "PartnerName=..%2F..%2F..%2F..%2Felsewhere%2Fevil&DebugLevel=4",
                "значение PartnerName содержит разделитель папок «/»");
        refused("a NUL that would cut the log's name short is refused",
                "PartnerName=victim.sh%00&DebugLevel=4",
                "значение PartnerName содержит управляющий символ с кодом 0");
        // A hundred kilobytes: the most the system passes as one argument is 128.
        refused("a hundred kilobytes of a partner's name are refused",
                "PartnerName=" + QString(100 * 1024, 'x'), "ссылка длиннее");
        refused("a NUL in the partner's ILN is refused", "PartnerILN=4607%00x",
                "значение PartnerILN содержит управляющий символ с кодом 0");
        refused("markup in the partner's ILN is refused", "PartnerILN=1%3Cb%3E",
                "значение PartnerILN содержит знак разметки «<»");
        refused("a partner URL that climbs the site is refused", "PartnerURL=..%2F..%2Fother",
                "значение PartnerURL содержит разделитель папок «/»");
        row("a query in the partner URL stays inside its segment", "PartnerURL=x%3Fq%3D1", {},
            {all[0], all[1], "/edi/x%3Fq%3D1/OrderData.aspx"});
        row("a huge debug level opens no log", "PartnerURL=supplier&DebugLevel=99999999999", {},
            all);
        row("a negative debug level opens no log", "PartnerURL=supplier&DebugLevel=-4", {}, all);
        refused("a page on a file is refused", "page=file%3A%2F%2F%2Fetc%2Fpasswd",
                "значение page не является адресом страницы");
        row("a site nobody trusts is not contacted", "PartnerURL=supplier",
            "не входит в число доверенных", {}, false);
        row("a session with a line break from the site is refused as a session",
            "PartnerURL=supplier",
            "сайт выдал недопустимый сеанс: он содержит недопустимый символ с кодом 10", {all[0]},
            true, "A=1\nSet-Cookie: B=2");
    }
    void hostileLinksAndSites()
    {
        const auto [query, trusted, cookie, message] =
            fetch<QString, bool, QByteArray, QString>("query", "trusted", "cookie", "message");
        HostileSite site;
        site.cookie = cookie;
        site.orderNumber = "../../../../evil";
        QVERIFY(trust({trusted ? site.site() : u"https://edi.example"_s}));
        const QMap<QString, QByteArray> before = snapshot(m_root->path());

        const Ran ran = run({site.link(query), "--screenshot", m_root->filePath("home/shot.png")});
        const QString output = ran.all();

        QTEST(site.paths, "requests");
        const QMap<QString, QByteArray> after = snapshot(m_root->path());
        QCOMPARE(ran.exitCode, message.isEmpty() ? 0 : 1);
        if (message.isEmpty()) {
            QVERIFY2(!output.contains("WEXA: "), qPrintable(output));
            for (const QString& path : after.keys() + before.keys())
                QVERIFY2(before.value(path) == after.value(path) || path.startsWith("home/work/") ||
                             path == "home/shot.png",
                         qPrintable(path));
            QCOMPARE(QFile::exists(work() + "/supplierPotwierdzenie.log") ||
                         QFile::exists(work() + "/Potwierdzenie.log"),
                     query.contains("DebugLevel=4"));
        } else {
            QVERIFY2(output.contains(message), qPrintable(output.left(2000)));
            // The settings file included: byte for byte as it was.
            QCOMPARE(after, before);
        }
        // The site's session never goes to the terminal.
        QVERIFY(!output.contains("7f3a"));
    }

    void anUnknownSiteIsAskedAboutOnce_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes opens the order and trusts the site") << true;
        QTest::newRow("No contacts nothing and refuses the site from then on") << false;
    }
    void anUnknownSiteIsAskedAboutOnce()
    {
        QFETCH(bool, yes);
        HostileSite site;
        m_boxes.answer = yes ? QMessageBox::Yes : QMessageBox::No;
        const QString origin = TrustedOrigins::originOf(QUrl(site.page()));

        std::unique_ptr<HostWindow> first = launch(site);
        QVERIFY(first);
        QVERIFY2(m_boxes.texts.size() == 1 &&
                     m_boxes.texts[0].startsWith("Открыть заказы с сайта " + origin + "?"),
                 qPrintable(m_boxes.texts.join('\n')));
        // Enter alone trusts nobody.
        QCOMPARE(m_boxes.defaults, QList{QMessageBox::No});
        QCOMPARE(
            std::tuple(first->isVisible(), int(first->form().lineCount()),
                       int(site.server.requests.size()), TrustedOrigins().verdict(origin)),
            std::tuple(yes, yes ? 1 : 0, yes ? 3 : 0,
                       yes ? TrustedOrigins::Verdict::Trusted : TrustedOrigins::Verdict::Refused));
        first.reset();

        m_boxes.clear();
        std::unique_ptr<HostWindow> second = launch(site);
        QVERIFY(second);
        QCOMPARE(std::pair(second->isVisible(), int(site.server.requests.size())),
                 std::pair(yes, yes ? 6 : 0));
        QCOMPARE(m_boxes.texts,
                 yes ? QStringList()
                     : QStringList{"Открытие заказов с сайта " + origin +
                                   " было отклонено. Разрешить его можно в меню «Файл → "
                                   "Доверенные сайты…»."});
    }

    // Without a working folder the first-start dialog comes before any request.
    void aFirstStartLeadsToTheLinksOrder_data()
    {
        columns<QString, QString, bool>("iln", "error", "proceed");
        QTest::newRow("the folder set up, the order comes") << UserIln << QString() << true;
        QTest::newRow("an ILN that climbs folders is said, then mended")
            << "../4607"
            << "ILN поставщика содержит разделитель папок «/»" << true;
        QTest::newRow("given up, nothing is asked or written") << UserIln << QString() << false;
    }
    void aFirstStartLeadsToTheLinksOrder()
    {
        const auto [iln, error, proceed] = fetch<QString, QString, bool>("iln", "error", "proceed");
        QVERIFY(QFile::remove(settingsFile()));
        QVERIFY(QDir(work()).removeRecursively());
        HostileSite site;
        QVERIFY(trust({site.site()}));
        const QString folder = m_root->filePath("home/WEXA");
        const QMap<QString, QByteArray> before = snapshot(m_root->path());
        QString said;
        int shown = 0;
        OnScreen::whenShown<FirstStartDialog>(
            this, [&, &iln = iln, &error = error, proceed = proceed](FirstStartDialog& dialog) {
                if (!proceed)
                    return dialog.reject(), true;
                // Shown again after a refused value, with the reason.
                if (++shown > 1)
                    said = dialog.findChild<QLabel*>("error")->text();
                dialog.folder()->setText(folder);
                dialog.iln()->setText(shown == 1 ? iln : UserIln);
                dialog.name()->setText("ООО «Молочный двор»");
                return dialog.okButton()->click(), shown > 1 || error.isEmpty();
            });

        std::unique_ptr<HostWindow> window = launch(site);

        QVERIFY(window);
        QVERIFY2(said.contains(error), qPrintable(said));
        QCOMPARE(std::pair(window->isVisible(), int(site.server.requests.size())),
                 std::pair(proceed, proceed ? 3 : 0));
        if (!proceed)
            QCOMPARE(snapshot(m_root->path()), before);
        else // set up, and the order on an enabled form
            QCOMPARE(std::tuple(WorkingFolder::read(), QFile::exists(folder + "/userinfo.xml"),
                                int(window->form().lineCount()), window->form().isEnabled()),
                     std::tuple(folder, true, 1, true));
    }

    // The link opens the editor with the order; the same link a second time is refused.
    void thePageLinkOpensTheEditorOnce()
    {
        QVERIFY(startPlatform());
        const PlatformProcess::Page page = m_platform->page("supplier");
        const QString shot = m_root->filePath("shot.png"), session = page.cookie.section('=', 1);
        QVERIFY(!session.isEmpty());
        for (const bool first : {true, false}) {
            QFile::remove(shot);
            const QByteArray settings = readFile(settingsFile());
            const Ran ran = run({page.link, "--screenshot", shot});
            const QString output = ran.all();
            QCOMPARE(std::tuple(ran.exitCode, QFile::exists(shot),
                                output.contains("Откройте страницу заказа на площадке ещё раз")),
                     std::tuple(first ? 0 : 1, first, !first));
            if (first) // the order answered
                QCOMPARE(
                    PlatformProcess::names(m_root->filePath("platform/mailbox/supplier/delivered")),
                    QStringList{"01.xml"});
            else
                QCOMPARE(readFile(settingsFile()), settings);
            QVERIFY2(!output.contains(session), qPrintable(output));
        }
    }

    void aBrowserShowsTheButton()
    {
        WEXA_REQUIRE_TOOL("chromium");
        QVERIFY(startPlatform());
        const QString shot = m_root->filePath("page.png");
        const Ran chromium{Run{.program = "chromium",
                               .arguments = {"--headless", "--no-sandbox", "--disable-gpu",
                                             "--user-data-dir=" + m_root->filePath("chromium"),
                                             "--window-size=800,600", "--screenshot=" + shot,
                                             m_platform->siteBase() + "supplier/Order.aspx"},
                               .deadline = 120000}()};
        QVERIFY(chromium.exitCode != -1);
        const QImage image(shot);
        QVERIFY2(!image.isNull(), chromium.err.constData());
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
