#include "PlatformProcess.h"

#include "documents/XmlDocument.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

const std::string Upload = "/edi/supplier/Upload.aspx";
const std::string OrderData = "/edi/supplier/OrderData.aspx";

QByteArray order(const QString& number)
{
    return "<Document-Order>" + number.toUtf8() + "</Document-Order>";
}
// windows-1251 with CR LF, which the platform must keep byte for byte.
QByteArray response(const QString& number)
{
    return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Document-OrderResponse>\r\n"
           "  <Remarks>\xc7\xe2\xee\xed\xe8\xf2\xfc " +
           number.toUtf8() + "</Remarks>\r\n</Document-OrderResponse>\r\n";
}

// A client with the session the platform's page opens.
struct Client {
    explicit Client(int port) : http("127.0.0.1", port)
    {
        http.set_url_encode(false);
        if (const httplib::Result page = http.Get("/edi/supplier/Order.aspx"))
            cookie = page->get_header_value("Set-Cookie");
        cookie = cookie.substr(0, cookie.find(';'));
    }
    XmlDocument post(const std::string& path, const QByteArray& body)
    {
        httplib::Headers headers;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        const httplib::Result answer = http.Post(path, headers, body.toStdString(), "text/xml");
        return XmlDocument::fromBytes(answer ? QByteArray::fromStdString(answer->body) : "");
    }
    // The number of the order handed out; empty when there was none.
    QString takeOrder(const std::string& path = OrderData, const QString& deleteAfter = "true")
    {
        return post(path, "<order-request><deleteafter>" + deleteAfter.toUtf8() +
                              "</deleteafter></order-request>")
            .selectSingleNode("/receive-document-response/document-content/Document-Order")
            .text();
    }
    QString status(const QByteArray& body)
    {
        return post(Upload, body)
            .selectSingleNode("/send-document-response/submission-status")
            .text();
    }

    httplib::Client http;
    std::string cookie;
};

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PlatformProcess> m_platform;

    QStringList names(const QString& folder) const
    {
        return m_platform->names(m_root->filePath("mailbox/supplier/" + folder));
    }
    QByteArray received(const QString& name) const
    {
        return m_platform->read(m_root->filePath("mailbox/supplier/received/" + name));
    }
    // Placed out of name order.
    void placeOrders(const QStringList& numbers)
    {
        for (qsizetype i = numbers.size() - 1; i >= 0; --i)
            QVERIFY(m_platform->place("mailbox/supplier/waiting/" + numbers[i] + ".xml",
                                      order(numbers[i])));
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->start());
    }
    void cleanup() { m_platform.reset(); }

    // A session the server never opened is refused like none at all.
    void servicesNeedTheSession()
    {
        placeOrders({"01"});
        QVERIFY(m_platform->place("partners/4607000000017.xml", "<partner-info-response/>"));
        Client client(m_platform->port());
        const std::string session = std::exchange(client.cookie, "WEXASESSION=0123abcd");
        const std::pair<std::string, QByteArray> requests[] = {
            {"/edi/Partners.aspx?format=xml",
             "<partners-request><partner-iln>4607000000017</partner-iln></partners-request>"},
            {OrderData, "<order-request><deleteafter>true</deleteafter></order-request>"},
            {Upload, response("1")}};
        for (const auto& [path, body] : requests)
            QCOMPARE(client.post(path, body).root().name(), "error-response");
        QCOMPARE(names("waiting"), QStringList{"01.xml"});
        QCOMPARE(names("received"), QStringList());
        client.cookie = session;
        QCOMPARE(client.takeOrder(), "01");
    }

    void foreignUploadsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("status");
        QTest::newRow("a document that is not well-formed is refused, saying why")
            << QByteArray("<Document-OrderResponse><a></Document-OrderResponse>")
            << "Документ не является правильным XML: ";
        QTest::newRow("an order sent back is refused naming its root")
            << order("1") << "Ожидался Document-OrderResponse, получен Document-Order";
    }
    void foreignUploadsAreRefused()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, status);
        const QString answered = Client(m_platform->port()).status(body);
        // The parser's reason follows the prefix.
        QVERIFY2(answered.startsWith(status) &&
                     (!status.endsWith(": ") || answered.size() > status.size()),
                 qPrintable(answered));
        QCOMPARE(names("received"), QStringList());
    }

    // Each client uploads its responses, then takes orders until none is left.
    void concurrentClientsLoseAndRepeatNothing()
    {
        constexpr int Threads = 8, Each = 10, Orders = 40;
        QStringList numbers, taken;
        for (int n = 0; n < Orders; ++n)
            numbers.append(QString::number(100 + n));
        placeOrders(numbers);
        std::vector<QStringList> statuses(Threads), takenBy(Threads);
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t)
            threads.emplace_back([&, t] {
                Client client(m_platform->port());
                for (int i = 0; i < Each; ++i)
                    statuses[t].append(client.status(response(QString("%1-%2").arg(t).arg(i))));
                for (QString n = client.takeOrder(); !n.isEmpty(); n = client.takeOrder())
                    takenBy[t].append(n);
            });
        for (std::thread& thread : threads)
            thread.join();
        QSet<QByteArray> sent, kept;
        for (int t = 0; t < Threads; ++t) {
            QCOMPARE(statuses[t], QStringList(Each, "OK"));
            for (int i = 0; i < Each; ++i)
                sent.insert(response(QString("%1-%2").arg(t).arg(i)));
            taken += takenBy[t];
        }
        for (const QString& name : names("received"))
            kept.insert(received(name));
        QCOMPARE(names("received").size(), Threads * Each);
        QCOMPARE(kept, sent);
        taken.sort();
        QCOMPARE(taken, numbers);
        QCOMPARE(names("delivered").size(), Orders);
    }

    // An order handed out with deleteafter false stays first in the queue.
    void aKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        QCOMPARE(Client(m_platform->port()).status(response("1")), "OK");
        QCOMPARE(Client(m_platform->port()).takeOrder(OrderData, "false"), "01");
        QCOMPARE(Client(m_platform->port()).takeOrder(), "01");
        m_platform = std::make_unique<PlatformProcess>(m_root->path()); // kills the first
        QVERIFY(m_platform->start());
        QCOMPARE(names("waiting"), (QStringList{"02.xml", "03.xml"}));
        QCOMPARE(names("delivered"), QStringList{"01.xml"});
        QCOMPARE(names("received").size(), 1);
        QCOMPARE(received(names("received").value(0)), response("1"));
        QCOMPARE(Client(m_platform->port()).takeOrder(), "02");
    }

    void parentStepsAreRefused_data()
    {
        QTest::addColumn<QString>("partnerUrl");
        QTest::newRow("a parent step") << "..";
        QTest::newRow("an encoded parent step") << "%2e%2e";
    }
    void parentStepsAreRefused()
    {
        QFETCH(QString, partnerUrl);
        // What a refused name would reach: the store itself and the mailbox folder.
        QVERIFY(m_platform->place("waiting/03.xml", order("03")));
        QVERIFY(m_platform->place("mailbox/waiting/04.xml", order("04")));
        Client client(m_platform->port());
        const std::string base = "/edi/" + partnerUrl.toStdString();
        QCOMPARE(client.post(base + "/Upload.aspx", response("1")).root().name(), "error-response");
        QCOMPARE(client.takeOrder(base + "/OrderData.aspx"), "");
        QCOMPARE(m_platform->names(m_root->filePath("waiting")), QStringList{"03.xml"});
        QCOMPARE(m_platform->names(m_root->filePath("mailbox/waiting")), QStringList{"04.xml"});
        QVERIFY(!QDir(m_root->filePath("received")).exists());
        QVERIFY(!QDir(m_root->filePath("mailbox/received")).exists());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
