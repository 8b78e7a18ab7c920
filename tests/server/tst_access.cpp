#include "CoreTable.h"
#include "ServerFixture.h"

#include "core/actions/RequestChannel.h"
#include "server/PublicAddress.h"
#include "server/Sessions.h"

#include <QSslConfiguration>
#include <QUrlQuery>

namespace {

const QString NorthIln = QStringLiteral("4607000000017");
const QString SouthIln = QStringLiteral("4607000000031");

// A request of a session that north's page opened, with its cookie replaced unless null,
// the Origin it names, the type of its body and the status it gets.
struct Ask {
    int status;
    QString route, mailbox;
    QByteArray cookie = {};
    QString origin = {};
    QByteArray type = "text/xml; charset=utf-8";
};

} // namespace

Q_DECLARE_METATYPE(Ask)

class TestAccess : public QObject, ServerFixture {
    Q_OBJECT

    bool start(const QStringList& options = {})
    {
        PlatformProcess& platform = server();
        return platform.placeMailbox("north", NorthIln, "ТД «Северный»",
                                     {"<Document-Order>N1</Document-Order>"}) &&
               platform.placeMailbox("south", SouthIln, "ТД «Южный»",
                                     {"<Document-Order>S1</Document-Order>"}) &&
               platform.start(options);
    }
    QStringList names(const QString& folder) const
    {
        return ServerFixture::names("mailbox/" + folder);
    }

private slots:
    void init() { fresh(); }

    // A session opened on north's page, asking for what `mailbox` names: orders and uploads
    // of that mailbox, or the partner information of that mailbox's buyer.
    void servicesGrantTheSessionsMailboxAlone_data()
    {
        QTest::addColumn<Ask>("ask");
        const char* forged = "WEXASESSION=0123abcd";
        const auto row = [](const char* name, const Ask& ask) { QTest::newRow(name) << ask; };
        // Each service grants the session's own mailbox alone, and nothing without a
        // session or with one the server never opened.
        for (const char* route : {"OrderData", "Upload", "Partners"}) {
            const auto each = [&](const char* what, const Ask& ask) {
                row(qPrintable(QStringLiteral("%1: %2").arg(route, what)), ask);
            };
            each("a session reaches its own buyer's mailbox", {200, route, "north"});
            each("a session cannot reach another buyer's", {403, route, "south"});
            each("a mailbox or partner that does not exist is refused, making no folder",
                 {403, route, "nobody"});
            each("without a session nothing is given", {403, route, "north", ""});
            each("a session the server never opened is given nothing",
                 {403, route, "north", forged});
        }
        row("the empty mailbox name is no way around the session", {403, "OrderData", ""});
        row("another port of the same host is another site",
            {403, "OrderData", "north", {}, "http://127.0.0.1:1"});
        row("a page without an origin of its own is refused",
            {403, "OrderData", "north", {}, "null"});
        row("a form's body is refused before the session is looked at",
            {415, "OrderData", "north", "", "", "application/x-www-form-urlencoded"});
        row("plain text, which a page may post without asking, is refused",
            {415, "Upload", "north", {}, "", "text/plain"});
        row("a body of no declared type is refused", {415, "OrderData", "north", {}, "", ""});
        row("application/xml is a document too",
            {200, "Upload", "north", {}, "", "application/xml"});
        row("a page of another site cannot redeem a ticket",
            {403, "Ticket", "north", {}, "https://shop.example"});
        row("a ticket sent as a form is refused",
            {415, "Ticket", "north", {}, "", "multipart/form-data"});
    }
    void servicesGrantTheSessionsMailboxAlone()
    {
        QFETCH(Ask, ask);
        const auto& [status, route, mailbox, cookie, origin, type] = ask;
        QVERIFY(start());
        ServiceClient client(port(), "north");
        QVERIFY(client.setCookie.find("WEXASESSION=") == 0);
        const QString ticket = QUrlQuery(pageLink(client.pageHtml)).queryItemValue("ticket");
        if (!cookie.isNull())
            client.cookie = cookie.toStdString();
        httplib::Headers headers;
        if (!origin.isEmpty())
            headers.emplace("Origin", origin.toStdString());
        const std::string box = "/edi/" + mailbox.toStdString();
        const QString iln = mailbox == "north" ? NorthIln : mailbox == "south" ? SouthIln : "";
        const QByteArray partner =
            iln.isEmpty() ? "" : "<partner-iln>" + iln.toUtf8() + "</partner-iln>";
        // Each route's path, body and what its answer holds when granted.
        const QMap<QString, std::tuple<std::string, QByteArray, const char*>> routes{
            {"OrderData",
             {box + "/OrderData.aspx",
              "<order-request><deleteafter>true</deleteafter></order-request>",
              "/receive-document-response/document-content"}},
            {"Upload",
             {box + "/Upload.aspx", "<Document-OrderResponse/>",
              "/send-document-response/submission-status"}},
            {"Partners",
             {"/edi/Partners.aspx?format=xml",
              "<partners-request>" + partner + "<info-name>INFO</info-name></partners-request>",
              "/partner-info-response/partner-info/info/name"}},
            {"Ticket",
             {"/edi/Ticket.aspx",
              "<launch-ticket-request><ticket>" + ticket.toUtf8() +
                  "</ticket></launch-ticket-request>",
              "/launch-ticket-response/cookie"}}};
        const auto& [where, body, granted] = routes[route];

        const XmlDocument answer = client.post(where, body, headers, type.constData());

        QCOMPARE(client.httpStatus, status);
        QVERIFY(!answer.selectSingleNode(status == 200 ? granted : "/error-response/message")
                     .text()
                     .isEmpty());
        // A refused request leaves every mailbox as it was, and makes none.
        QTRY_COMPARE(names("north/waiting").size(), route == "OrderData" && status == 200 ? 0 : 1);
        QCOMPARE((QList<qsizetype>{names("south/waiting").size(), names("north/received").size(),
                                   names("south/received").size()}),
                 (QList<qsizetype>{1, route == "Upload" && status == 200 ? 1 : 0, 0}));
        QCOMPARE(QDir(path("mailbox")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{"north", "south"}));
    }

    // The public address is where browsers reach the site: nothing but scheme, host and port.
    void aPublicAddressIsASiteOnly_data()
    {
        columns<QString, QString>("address", "origin");
        QTest::newRow("http with a slash") << "http://edi.example/"
                                           << "http://edi.example";
        const std::pair<const char*, const char*> refused[] = {
            {"a user", "https://clerk@edi.example"},    {"a path", "https://edi.example/edi/"},
            {"a query", "https://edi.example/?page=1"}, {"a fragment", "https://edi.example/#top"},
            {"another scheme", "ftp://edi.example"},    {"no host", "https://"}};
        for (const auto& [what, address] : refused)
            QTest::newRow(qPrintable(QStringLiteral("%1 is refused").arg(what))) << address << "";
    }
    void aPublicAddressIsASiteOnly()
    {
        QFETCH(QString, address);
        QTEST(PublicAddress::parse(address).origin(), "origin");
    }

    // Only an existing mailbox's page opens a session; coming back to it keeps the session.
    void onlyAMailboxsPageOpensASession()
    {
        QVERIFY(start());
        const PlatformProcess::Page missing = platform->page("nobody");
        QCOMPARE(std::tuple(missing.status, missing.cookie, missing.link),
                 std::tuple(404, QString(), QString()));
        QVERIFY(!QFileInfo::exists(path("mailbox/nobody")));
        ServiceClient north(port(), "north");
        const httplib::Result again =
            north.http.Get("/edi/north/Order.aspx", {{"Cookie", north.cookie}});
        QVERIFY(again);
        QCOMPARE(again->get_header_value("Set-Cookie").substr(0, north.cookie.size()),
                 north.cookie);
        const httplib::Result other =
            north.http.Get("/edi/south/Order.aspx", {{"Cookie", north.cookie}});
        QVERIFY(other);
        QVERIFY(other->get_header_value("Set-Cookie").find(north.cookie) == std::string::npos);
        // A browser sends the site's other cookies with the session's, separated either way.
        north.cookie = "theme=dark;" + north.cookie + "; lang=ru";
        QCOMPARE(north.takeOrder("/edi/north/OrderData.aspx"), "N1");
    }

    // Sessions close after a minute unused, tickets after two, and at most three of each are
    // kept, on a clock that stands still but for "+seconds". A row's steps open a session for
    // a mailbox, issue a ticket for one, use one (telling its mailbox, or "closed"), redeem
    // the ticket issued n-th (telling whose session it gives, or why not), count those open.
    void sessionsAndTicketsLapse_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("told");
        const auto row = [](const char* name, const QStringList& steps, const QStringList& told) {
            QTest::newRow(name) << steps << told;
        };
        row("a session used within its idle time stays open", {"open a", "+60", "use a"}, {"a"});
        row("a session idle a second longer than allowed is closed", {"open a", "+61", "use a"},
            {"closed"});
        row("each use starts its idle time again",
            {"open a", "+50", "use a", "+50", "use a", "+50", "use a"}, {"a", "a", "a"});
        row("when a fourth opens, the session unused longest is closed and the others stay",
            {"open a", "+1", "open b", "+1", "open c", "+1", "use a", "open d", "count", "use b",
             "use a", "use c", "use d"},
            {"a", "3", "closed", "a", "c", "d"});
        row("a ticket redeemed within its lifetime gives its open session",
            {"open a", "ticket a", "+59", "redeem 0"}, {"a's"});
        row("a ticket at the end of its lifetime has expired",
            {"open a", "ticket a", "+120", "redeem 0"}, {"expired"});
        row("a ticket used once already is unknown", {"open a", "ticket a", "redeem 0", "redeem 0"},
            {"a's", "unknown"});
        row("a ticket whose session closed meanwhile is refused",
            {"open a", "ticket a", "+61", "redeem 0"}, {"session gone"});
        row("tickets are capped like sessions, the oldest dropped",
            {"open a", "ticket a", "ticket a", "ticket a", "ticket a", "redeem 0"}, {"unknown"});
    }
    void sessionsAndTicketsLapse()
    {
        QFETCH(QStringList, steps);
        std::chrono::steady_clock::time_point now{};
        Sessions sessions({std::chrono::seconds(60), std::chrono::seconds(120), 3},
                          [&] { return now; });
        QMap<QString, std::string> opened; // by mailbox
        std::vector<std::string> tickets;
        QStringList told;
        for (const QString& step : steps) {
            const QString name = step.section(' ', 1);
            if (step.startsWith("open")) {
                opened[name] = sessions.open({name, NorthIln});
            } else if (step.startsWith("ticket")) {
                tickets.push_back(sessions.issueTicket(opened[name]));
            } else if (step.startsWith("use")) {
                const std::optional<Sessions::Grant> grant = sessions.use(opened[name]);
                told.append(grant ? grant->mailbox : "closed");
            } else if (step.startsWith("redeem")) {
                Sessions::Refusal refusal{};
                const auto session = sessions.redeem(tickets[name.toUInt()], refusal);
                // The refusals in the order the enumeration lists them.
                told.append(session ? opened.key(*session) + "'s"
                                    : QStringList{"unknown", "expired", "session gone"}.value(
                                          int(refusal)));
            } else if (step == "count") {
                told.append(QString::number(sessions.openCount()));
            } else {
                now += std::chrono::seconds(step.toInt());
            }
        }
        QTEST(told, "told");
    }

    // The editor's certificate check stays strict: it reaches the platform over TLS when
    // the platform's authority is among those it trusts, and refuses it otherwise.
    void theEditorReachesTlsOnlyWithATrustedAuthority_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("an authority the editor trusts") << true;
        QTest::newRow("an authority the editor does not know") << false;
    }
    void theEditorReachesTlsOnlyWithATrustedAuthority()
    {
        QFETCH(bool, trusted);
        QVERIFY(start(tls()));
        QVERIFY(platform->siteBase().startsWith("https://"));
        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        if (trusted) {
            QSslConfiguration withAuthority = system;
            withAuthority.addCaCertificates(Tls + "authority.pem");
            QSslConfiguration::setDefaultConfiguration(withAuthority);
        }

        const RequestChannel::Transfer transfer = RequestChannel::post(
            QUrl(platform->siteBase() + "Ticket.aspx"), {}, false,
            "<launch-ticket-request><ticket>0</ticket></launch-ticket-request>",
            RequestDeadlines{});
        QSslConfiguration::setDefaultConfiguration(system);

        QCOMPARE(transfer.ok, trusted);
        QCOMPARE(XmlDocument::fromBytes(transfer.body)
                     .selectSingleNode("/error-response/message")
                     .text(),
                 trusted ? "Ссылка на редактор уже использована или неизвестна" : "");
        if (!trusted)
            return;
        // Served over TLS, the session's cookie is for secure connections only.
        httplib::SSLClient browser("127.0.0.1", port());
        browser.set_ca_cert_path((Tls + "authority.pem").toStdString());
        browser.enable_server_certificate_verification(true);
        const httplib::Result page = browser.Get("/edi/north/Order.aspx");
        QVERIFY(page);
        QVERIFY(page->get_header_value("Set-Cookie").ends_with("; Secure"));
    }
};

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"
