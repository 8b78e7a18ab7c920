#include "PlatformProcess.h"

#include "documents/XmlDocument.h"

#include <QDateTime>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

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
QByteArray response(const QString& number)
{
    return "<Document-OrderResponse>" + number.toUtf8() + "</Document-OrderResponse>";
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
        return m_platform->names(m_platform->box("supplier", folder));
    }
    QByteArray received(const QString& name) const
    {
        return m_platform->read(m_platform->box("supplier", "received/") + name);
    }
    // Placed out of name order.
    void placeOrders(const QStringList& numbers, const QString& mailbox = "supplier")
    {
        for (qsizetype i = numbers.size() - 1; i >= 0; --i)
            QVERIFY(m_platform->place("mailbox/" + mailbox + "/waiting/" + numbers[i] + ".xml",
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

    void servicesNeedTheSession_data()
    {
        QTest::addColumn<QString>("cookie");
        QTest::newRow("a request without a cookie") << "";
        QTest::newRow("a session the server never opened") << "WEXASESSION=0123abcd";
    }
    void servicesNeedTheSession()
    {
        QFETCH(QString, cookie);
        placeOrders({"01"});
        QVERIFY(m_platform->place("partners/4607000000017.xml", "<partner-info-response/>"));
        Client client(m_platform->port());
        const std::string session = std::exchange(client.cookie, cookie.toStdString());
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

    void ordersAreHandedOutInNameOrder_data()
    {
        QTest::addColumn<QString>("deleteAfter");
        QTest::addColumn<QStringList>("handedOut");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("deleteafter true moves each order to delivered")
            << "true" << QStringList{"01-a", "02-b", "10-c", ""}
            << QStringList{"01-a.xml", "02-b.xml", "10-c.xml"};
        QTest::newRow("deleteafter false hands out the first order again")
            << "false" << QStringList{"01-a", "01-a"} << QStringList{};
    }
    void ordersAreHandedOutInNameOrder()
    {
        QFETCH(QString, deleteAfter);
        QFETCH(QStringList, handedOut);
        QFETCH(QStringList, delivered);
        placeOrders({"01-a", "02-b", "10-c"});
        QVERIFY(m_platform->place("mailbox/supplier/waiting/00-note.txt", "not an order"));
        Client client(m_platform->port());
        QStringList numbers;
        for (qsizetype i = 0; i < handedOut.size(); ++i)
            numbers.append(client.takeOrder(OrderData, deleteAfter));
        QCOMPARE(numbers, handedOut);
        QCOMPARE(names("delivered"), delivered);
        QCOMPARE(names("waiting").size(), 4 - delivered.size());
    }

    void uploadsAreChecked_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("status");
        QTest::newRow("a document that is not well-formed is refused, saying why")
            << QByteArray("<Document-OrderResponse><a></Document-OrderResponse>")
            << "Документ не является правильным XML: ";
        QTest::newRow("an order sent back is refused naming its root")
            << order("1") << "Ожидался Document-OrderResponse, получен Document-Order";
        // windows-1251 with CR LF: nothing may be re-encoded or re-indented.
        QTest::newRow("a response is accepted and kept byte for byte")
            << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                          "<Document-OrderResponse>\r\n  <Remarks>\xc7\xe2\xee\xed\xe8\xf2"
                          "\xfc</Remarks>\r\n</Document-OrderResponse>\r\n")
            << "OK";
    }
    void uploadsAreChecked()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, status);
        QDateTime before = QDateTime::currentDateTimeUtc();
        before = before.addMSecs(-before.time().msec());
        const QString answered = Client(m_platform->port()).status(body);
        const QStringList kept = names("received");
        if (status != "OK") {
            // The parser's reason follows the prefix.
            QVERIFY2(answered.startsWith(status) &&
                         (!status.endsWith(": ") || answered.size() > status.size()),
                     qPrintable(answered));
            QCOMPARE(kept, QStringList());
            return;
        }
        QCOMPARE(answered, status);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(received(kept[0]), body);
        // The name starts with the arrival time.
        QDateTime arrival = QDateTime::fromString(kept[0].left(15), "yyyyMMdd-HHmmss");
        arrival.setTimeZone(QTimeZone::utc());
        QVERIFY2(arrival >= before && arrival <= QDateTime::currentDateTimeUtc(),
                 qPrintable(kept[0]));
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

    void aKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        QCOMPARE(Client(m_platform->port()).status(response("1")), "OK");
        QCOMPARE(Client(m_platform->port()).takeOrder(), "01");
        m_platform->kill();
        QVERIFY(m_platform->start());
        QCOMPARE(names("waiting"), (QStringList{"02.xml", "03.xml"}));
        QCOMPARE(names("delivered"), QStringList{"01.xml"});
        QCOMPARE(names("received").size(), 1);
        QCOMPARE(received(names("received").value(0)), response("1"));
        QCOMPARE(Client(m_platform->port()).takeOrder(), "02");
    }

    void partnerUrlNamesTheMailbox_data()
    {
        QTest::addColumn<QString>("partnerUrl");
        QTest::addColumn<bool>("refused");
        QTest::newRow("an empty PartnerURL is the mailbox _") << "" << false;
        QTest::newRow("a parent step is refused") << ".." << true;
        QTest::newRow("an encoded parent step is refused") << "%2e%2e" << true;
    }
    void partnerUrlNamesTheMailbox()
    {
        QFETCH(QString, partnerUrl);
        QFETCH(bool, refused);
        placeOrders({"01"}, "supplier");
        placeOrders({"02"}, "_");
        // What a refused name would reach: the store itself and the mailbox folder.
        QVERIFY(m_platform->place("waiting/03.xml", order("03")));
        QVERIFY(m_platform->place("mailbox/waiting/04.xml", order("04")));
        Client client(m_platform->port());
        const std::string base = "/edi/" + partnerUrl.toStdString();
        QCOMPARE(client.post(base + "/Upload.aspx", response("1")).root().name(),
                 refused ? "error-response" : "send-document-response");
        QCOMPARE(client.takeOrder(base + "/OrderData.aspx"), refused ? "" : "02");
        QCOMPARE(m_platform->names(m_platform->box("_", "received")).size(), refused ? 0 : 1);
        QCOMPARE(m_platform->names(m_root->filePath("waiting")), QStringList{"03.xml"});
        QCOMPARE(m_platform->names(m_root->filePath("mailbox/waiting")), QStringList{"04.xml"});
        QVERIFY(!QDir(m_root->filePath("received")).exists());
        QVERIFY(!QDir(m_root->filePath("mailbox/received")).exists());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
