#include "ServerFixture.h"

#include "core/rules/XmlDocument.h"

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
    void cleanup() { platform.reset(); }

    // GIVEN a buyer's mailbox with two orders WHEN its page is opened THEN the page names
    // the buyer and the orders and links to the editor with everything but the cookie.
    void thePageOffersTheEditorWithoutTheCookie()
    {
        QVERIFY(start());
        const PlatformProcess::Page page = platform->page("supplier");
        QCOMPARE(page.status, 200);
        QVERIFY(page.html.contains(Buyer.toHtmlEscaped()));
        QVERIFY(page.html.contains("<dd id=\"waiting\">2</dd>"));
        QVERIFY(page.html.contains("Открыть подтверждение заказа"));

        const QUrl link(page.link, QUrl::StrictMode);
        QVERIFY2(link.isValid(), qPrintable(page.link));
        QCOMPARE(link.scheme(), "wexa-confirm");
        QMap<QString, QString> query;
        for (const auto& [name, value] : QUrlQuery(link).queryItems(QUrl::FullyDecoded))
            query.insert(name, value);
        QVERIFY(!query.value("ticket").isEmpty());
        QCOMPARE(query,
                 (QMap<QString, QString>{{"page", platform->siteBase() + "supplier/Order.aspx"},
                                         {"PartnerILN", BuyerIln},
                                         {"PartnerURL", "supplier"},
                                         {"PartnerName", "supplier"},
                                         {"OnLine", "On"},
                                         {"DebugLevel", "0"},
                                         {"ticket", query.value("ticket")}}));

        const QString session = page.cookie.section('=', 1);
        QVERIFY(session.size() >= 16);
        QVERIFY(!page.html.contains(session));
        QVERIFY(!page.link.contains(session));
    }

    // A ticket stands for the page's session once, within its lifetime.
    void ticketsAreGoodOnceAndInTime_data()
    {
        QTest::addColumn<int>("lifetime");
        QTest::addColumn<int>("uses");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("a fresh ticket gives the page's session") << 120 << 1 << QString();
        QTest::newRow("a ticket used once already is refused")
            << 120 << 2 << "Ссылка на редактор уже использована или неизвестна";
        QTest::newRow("an expired ticket is refused") << 0 << 1 << "Ссылка на редактор устарела";
    }
    void ticketsAreGoodOnceAndInTime()
    {
        QFETCH(int, lifetime);
        QFETCH(int, uses);
        QFETCH(QString, refusal);
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
