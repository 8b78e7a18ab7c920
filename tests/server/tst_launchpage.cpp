#include "CoreTable.h"
#include "ServerFixture.h"

#include <QUrlQuery>

namespace {

const QString Buyer = QStringLiteral("ТД «Северный» & Co");
const QString BuyerIln = QStringLiteral("4607000000017");

} // namespace

class TestLaunchPage : public QObject, ServerFixture {
    Q_OBJECT

    bool start(const QStringList& options = {})
    {
        return server().placeMailbox("supplier", BuyerIln, Buyer,
                                     {"<Document-Order/>", "<Document-Order/>"}) &&
               platform->start(options);
    }

private slots:
    void init() { fresh(); }

    // The page names the buyer and its orders and links to the editor with all but the
    // cookie. The link names the address the platform is configured with, whatever the
    // request's Host says, and the cookie goes to no other site's requests.
    void thePageOffersTheEditorWithoutTheCookie_data()
    {
        columns<QString, QString, QString>("publicUrl", "page", "cookieEnd");
        auto row = [](const char* name, const char* publicUrl, const char* page,
                      const char* cookieEnd) {
            QTest::newRow(name) << publicUrl << page << cookieEnd;
        };
        row("without a public address, the address listened on", "", "supplier/Order.aspx",
            "; Path=/edi/; HttpOnly; SameSite=Strict");
        row("an https address, whose cookie goes over secure connections only",
            "https://edi.example:8443", "https://edi.example:8443/edi/supplier/Order.aspx",
            "; Path=/edi/; HttpOnly; SameSite=Strict; Secure");
        row("https's own port left out", "https://EDI.example:443/",
            "https://edi.example/edi/supplier/Order.aspx", "; Secure");
        row("http's own port left out", "http://edi.example:80",
            "http://edi.example/edi/supplier/Order.aspx", "; SameSite=Strict");
    }
    void thePageOffersTheEditorWithoutTheCookie()
    {
        const auto [publicUrl, page, cookieEnd] =
            fetch<QString, QString, QString>("publicUrl", "page", "cookieEnd");
        QVERIFY(
            start(publicUrl.isEmpty() ? QStringList() : QStringList{"--public-url", publicUrl}));
        const httplib::Result visit =
            httplib::Client("127.0.0.1", port())
                .Get("/edi/supplier/Order.aspx", {{"Host", "attacker.example"}});
        QVERIFY(visit);
        QCOMPARE(visit->status, 200);
        const QString html = QString::fromStdString(visit->body), link = pageLink(visit->body);
        QVERIFY(html.contains(Buyer.toHtmlEscaped()));
        QVERIFY(html.contains("<dd id=\"waiting\">2</dd>"));
        QVERIFY(html.contains("Открыть подтверждение заказа"));

        const QUrl url(link, QUrl::StrictMode);
        QVERIFY2(url.isValid(), qPrintable(link));
        QCOMPARE(url.scheme(), "wexa-confirm");
        const QUrlQuery query(url);
        const QString shown = publicUrl.isEmpty() ? platform->siteBase() + page : page;
        QVERIFY(!query.queryItemValue("ticket").isEmpty());
        QStringList items; // the ticket's value aside
        for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded))
            items.append(name + '=' + (name == "ticket" ? QString() : value));
        QCOMPARE(items.join('&'), "page=" + shown + "&PartnerName=supplier&PartnerILN=" + BuyerIln +
                                      "&PartnerURL=supplier&OnLine=On&DebugLevel=0&ticket=");

        const QString cookie = QString::fromStdString(visit->get_header_value("Set-Cookie"));
        QVERIFY2(cookie.endsWith(cookieEnd), qPrintable(cookie));
        const QString session = cookie.section(';', 0, 0).section('=', 1);
        QVERIFY(session.size() >= 16);
        QVERIFY(!(html + link).contains(session));
        // The page's own origin may post; the one the Host named may not.
        const QString origin = QUrl(shown).adjusted(QUrl::RemovePath).toString();
        ServiceClient client(port());
        const QByteArray peek = "<order-request><deleteafter>false</deleteafter></order-request>";
        client.post("/edi/supplier/OrderData.aspx", peek, {{"Origin", origin.toStdString()}});
        QCOMPARE(client.httpStatus, 200);
        client.post("/edi/supplier/OrderData.aspx", peek, {{"Origin", "http://attacker.example"}});
        QCOMPARE(client.httpStatus, 403);
    }

    void ticketsAreGoodOnceAndInTime_data()
    {
        columns<int, int, QString>("lifetime", "uses", "refusal");
        QTest::newRow("a fresh ticket gives the page's session") << 120 << 1 << QString();
        QTest::newRow("a ticket used once already is refused")
            << 120 << 2 << "Ссылка на редактор уже использована или неизвестна";
        QTest::newRow("an expired ticket is refused") << 0 << 1 << "Ссылка на редактор устарела";
    }
    void ticketsAreGoodOnceAndInTime()
    {
        const auto [lifetime, uses, refusal] =
            fetch<int, int, QString>("lifetime", "uses", "refusal");
        QVERIFY(start({"--ticket-lifetime", QString::number(lifetime)}));
        const PlatformProcess::Page page = platform->page("supplier");
        const QString ticket = QUrlQuery(QUrl(page.link)).queryItemValue("ticket");

        ServiceClient client(port(), "");
        XmlDocument answer;
        for (int use = 0; use < uses; ++use)
            answer = client.post("/edi/Ticket.aspx", "<launch-ticket-request><ticket>" +
                                                         ticket.toUtf8() +
                                                         "</ticket></launch-ticket-request>");

        const QString cookie = answer.selectSingleNode("/launch-ticket-response/cookie").text();
        QCOMPARE(answer.selectSingleNode("/error-response/message").text(), refusal);
        QCOMPARE(cookie, refusal.isEmpty() ? page.cookie : QString());
        if (refusal.isEmpty()) {
            client.cookie = cookie.toStdString();
            const XmlDocument order =
                client.post("/edi/supplier/OrderData.aspx", "<order-request/>");
            QVERIFY(!order.selectSingleNode("/receive-document-response").isNull());
        }
    }
};

QTEST_GUILESS_MAIN(TestLaunchPage)
#include "tst_launchpage.moc"
