#include "PlatformProcess.h"

#include "core/rules/XmlDocument.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <httplib.h>

#include <memory>

namespace {

const QString Buyer = QStringLiteral("ТД «Северный» & Co");
const QString BuyerIln = QStringLiteral("4607000000017");

XmlDocument post(int port, const std::string& path, const QString& body,
                 const std::string& cookie = {})
{
    httplib::Client http("127.0.0.1", port);
    httplib::Headers headers;
    if (!cookie.empty())
        headers.emplace("Cookie", cookie);
    const httplib::Result answer = http.Post(path, headers, body.toStdString(), "text/xml");
    return XmlDocument::fromBytes(answer ? QByteArray::fromStdString(answer->body) : "");
}

XmlDocument redeem(int port, const QString& ticket)
{
    return post(port, "/edi/Ticket.aspx",
                "<launch-ticket-request><ticket>" + ticket + "</ticket></launch-ticket-request>");
}

} // namespace

class TestLaunchPage : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PlatformProcess> m_platform;

    bool start(const QStringList& options = {})
    {
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        return m_platform->placeMailbox("supplier", BuyerIln, Buyer,
                                        {"<Document-Order/>", "<Document-Order/>"}) &&
               m_platform->start(options);
    }

private slots:
    void init() { m_root = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        m_platform.reset();
        m_root.reset();
    }

    // GIVEN a buyer's mailbox with two orders WHEN its page is opened THEN the page names
    // the buyer and the orders and links to the editor with everything but the cookie.
    void thePageOffersTheEditorWithoutTheCookie()
    {
        QVERIFY(start());
        const PlatformProcess::Page page = m_platform->page("supplier");
        QCOMPARE(page.status, 200);
        QVERIFY(page.html.contains(Buyer.toHtmlEscaped()));
        QVERIFY(page.html.contains("<dd id=\"waiting\">2</dd>"));
        QVERIFY(page.html.contains("Открыть подтверждение заказа"));

        const QUrl link(page.link, QUrl::StrictMode);
        QVERIFY2(link.isValid(), qPrintable(page.link));
        QCOMPARE(link.scheme(), "wexa-confirm");
        const QUrlQuery query(link);
        const auto value = [&](const char* name) {
            return query.queryItemValue(name, QUrl::FullyDecoded);
        };
        QCOMPARE(value("page"), m_platform->siteBase() + "supplier/Order.aspx");
        QCOMPARE(value("PartnerILN"), BuyerIln);
        QCOMPARE(value("PartnerURL"), "supplier");
        QCOMPARE(value("PartnerName"), "supplier");
        QCOMPARE(value("OnLine"), "On");
        QCOMPARE(value("DebugLevel"), "0");
        QVERIFY(!value("ticket").isEmpty());

        const QString session = page.cookie.section('=', 1);
        QVERIFY(session.size() >= 16);
        QVERIFY(!page.html.contains(session));
        QVERIFY(!page.link.contains(session));
    }

    void aMailboxThatDoesNotExistHasNoPage()
    {
        QVERIFY(start());
        const PlatformProcess::Page page = m_platform->page("nobody");
        QCOMPARE(page.status, 404);
        QVERIFY(page.link.isEmpty());
        QVERIFY(!QDir(m_root->filePath("mailbox/nobody")).exists());
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
        const PlatformProcess::Page page = m_platform->page("supplier");
        const QString ticket = QUrlQuery(QUrl(page.link)).queryItemValue("ticket");

        XmlDocument answer;
        for (int use = 0; use < uses; ++use)
            answer = redeem(m_platform->port(), ticket);

        const QString cookie = answer.selectSingleNode("/launch-ticket-response/cookie").text();
        QCOMPARE(answer.selectSingleNode("/error-response/message").text(), refusal);
        QCOMPARE(cookie, refusal.isEmpty() ? page.cookie : QString());
        if (refusal.isEmpty()) {
            const XmlDocument order = post(m_platform->port(), "/edi/supplier/OrderData.aspx",
                                           "<order-request/>", cookie.toStdString());
            QVERIFY(!order.selectSingleNode("/receive-document-response").isNull());
        }
    }
};

QTEST_GUILESS_MAIN(TestLaunchPage)
#include "tst_launchpage.moc"
