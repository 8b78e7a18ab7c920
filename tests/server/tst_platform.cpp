#include "PlatformProcess.h"

#include "documents/XmlDocument.h"

#include <QDateTime>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <httplib.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

const std::string Upload = "/edi/supplier/Upload.aspx";
const std::string OrderData = "/edi/supplier/OrderData.aspx";

std::string orderRequest(const QString& deleteAfter)
{
    return QStringLiteral("<order-request><deleteafter>%1</deleteafter></order-request>")
        .arg(deleteAfter)
        .toStdString();
}

QByteArray order(const QString& number)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-Order>"
                          "<Order-Header><OrderNumber>%1</OrderNumber></Order-Header>"
                          "</Document-Order>")
        .arg(number)
        .toUtf8();
}

QByteArray response(const QString& number)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document-OrderResponse>"
                          "<OrderResponse-Header><OrderResponseNumber>%1</OrderResponseNumber>"
                          "</OrderResponse-Header></Document-OrderResponse>\n")
        .arg(number)
        .toUtf8();
}

// A client of the platform with a session opened by the page, as the control's page has.
struct Client {
    explicit Client(int port) : http("127.0.0.1", port)
    {
        http.set_url_encode(false);
        if (const httplib::Result page = http.Get("/edi/supplier/Order.aspx"))
            cookie = page->get_header_value("Set-Cookie");
        cookie = cookie.substr(0, cookie.find(';'));
    }
    // The answer's text, empty when the transfer failed.
    QByteArray post(const std::string& path, const std::string& body,
                    std::optional<QByteArray> withCookie = std::nullopt)
    {
        httplib::Headers headers;
        const std::string sent = withCookie ? withCookie->toStdString() : cookie;
        if (!sent.empty())
            headers.emplace("Cookie", sent);
        const httplib::Result answer = http.Post(path.c_str(), headers, body, "text/xml");
        return answer ? QByteArray::fromStdString(answer->body) : QByteArray();
    }
    // The number of the order handed out; empty when there was none.
    QString takeOrder(const std::string& path = OrderData,
                      const QString& deleteAfter = QStringLiteral("true"))
    {
        return XmlDocument::fromBytes(post(path, orderRequest(deleteAfter)))
            .selectSingleNode("/receive-document-response/document-content/Document-Order/"
                              "Order-Header/OrderNumber")
            .text();
    }
    QString status(const std::string& path, const QByteArray& body)
    {
        return XmlDocument::fromBytes(post(path, body.toStdString()))
            .selectSingleNode("/send-document-response/submission-status")
            .text();
    }

    httplib::Client http;
    std::string cookie;
};

QString rootName(const QByteArray& answer)
{
    return XmlDocument::fromBytes(answer).root().name();
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<PlatformProcess> m_platform;

    PlatformProcess& platform() { return *m_platform; }
    // Orders waiting in the mailbox, placed out of name order.
    void placeOrders(const QStringList& numbers,
                     const QString& mailbox = QStringLiteral("supplier"))
    {
        for (qsizetype i = numbers.size() - 1; i >= 0; --i)
            QVERIFY(platform().place(
                QStringLiteral("mailbox/%1/waiting/%2.xml").arg(mailbox, numbers[i]),
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
        QTest::addColumn<QByteArray>("cookie");
        QTest::newRow("a request without a cookie") << QByteArray();
        QTest::newRow("a session the server never opened") << QByteArray("WEXASESSION=0123abcd");
        QTest::newRow("another cookie only") << QByteArray("ASP.NET_SessionId=x");
    }

    void servicesNeedTheSession()
    {
        QFETCH(QByteArray, cookie);
        placeOrders({"01"});
        QVERIFY(platform().place("partners/4607000000017.xml",
                                 "<partner-info-response><partner-info><info><name>X</name>"
                                 "</info></partner-info></partner-info-response>"));
        Client client(platform().port());
        const std::string request =
            "<partners-request><partner-iln>4607000000017</partner-iln></partners-request>";
        QCOMPARE(rootName(client.post("/edi/Partners.aspx?format=xml", request, cookie)),
                 "error-response");
        QCOMPARE(rootName(client.post(OrderData, orderRequest("true"), cookie)), "error-response");
        QCOMPARE(rootName(client.post(Upload, response("1").toStdString(), cookie)),
                 "error-response");
        QCOMPARE(platform().names(platform().box("supplier", "waiting")), QStringList{"01.xml"});
        QVERIFY(platform().names(platform().box("supplier", "received")).isEmpty());
        // The page's own session is let through.
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
            << "false" << QStringList{"01-a", "01-a", "01-a"} << QStringList{};
        QTest::newRow("deleteafter with blanks around true counts as true")
            << " true " << QStringList{"01-a", "02-b"} << QStringList{"01-a.xml", "02-b.xml"};
    }

    void ordersAreHandedOutInNameOrder()
    {
        QFETCH(QString, deleteAfter);
        QFETCH(QStringList, handedOut);
        QFETCH(QStringList, delivered);
        placeOrders({"01-a", "02-b", "10-c"});
        QVERIFY(platform().place("mailbox/supplier/waiting/00-note.txt", "not an order"));
        Client client(platform().port());
        QStringList numbers;
        for (qsizetype i = 0; i < handedOut.size(); ++i)
            numbers.append(client.takeOrder(OrderData, deleteAfter));
        QCOMPARE(numbers, handedOut);
        QCOMPARE(platform().names(platform().box("supplier", "delivered")), delivered);
        QCOMPARE(platform().names(platform().box("supplier", "waiting")).size(),
                 4 - delivered.size());
    }

    void uploadsAreChecked_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("status");
        const QString notXml = QStringLiteral("Документ не является правильным XML: ");
        QTest::newRow("a document that is not well-formed is refused, saying why")
            << QByteArray("<Document-OrderResponse><a></Document-OrderResponse>") << notXml;
        QTest::newRow("an empty body is refused, saying why") << QByteArray() << notXml;
        QTest::newRow("an order sent back is refused naming its root")
            << order("1") << "Ожидался Document-OrderResponse, получен Document-Order";
        // windows-1251 text with CR LF line ends: nothing may be re-encoded or re-indented.
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
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        Client client(platform().port());
        const QString answered = client.status(Upload, body);
        const QString folder = platform().box("supplier", "received");
        const QStringList received = platform().names(folder);
        if (status != "OK") {
            QVERIFY2(answered.startsWith(status), qPrintable(answered));
            // The parser's reason follows.
            if (status.endsWith(": "))
                QVERIFY2(answered.size() > status.size(), qPrintable(answered));
            QCOMPARE(received, QStringList());
            return;
        }
        QCOMPARE(answered, status);
        QCOMPARE(received.size(), 1);
        QCOMPARE(PlatformProcess::read(folder + "/" + received[0]), body);
        // The name starts with the arrival time.
        QDateTime arrival = QDateTime::fromString(received[0].left(15), "yyyyMMdd-HHmmss");
        arrival.setTimeZone(QTimeZone::utc());
        QVERIFY2(arrival >= before.addMSecs(-before.time().msec()) &&
                     arrival <= QDateTime::currentDateTimeUtc(),
                 qPrintable(received[0]));
    }

    void concurrentUploadsAreAllKept()
    {
        constexpr int Threads = 8, Each = 10;
        std::vector<QStringList> statuses(Threads);
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back([&, t] {
                Client client(platform().port());
                for (int i = 0; i < Each; ++i)
                    statuses[t].append(
                        client.status(Upload, response(QString("%1-%2").arg(t).arg(i))));
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QSet<QByteArray> sent;
        for (int t = 0; t < Threads; ++t) {
            QCOMPARE(statuses[t], QStringList(Each, "OK"));
            for (int i = 0; i < Each; ++i)
                sent.insert(response(QString("%1-%2").arg(t).arg(i)));
        }
        const QString folder = platform().box("supplier", "received");
        QSet<QByteArray> kept;
        for (const QString& name : platform().names(folder))
            kept.insert(PlatformProcess::read(folder + "/" + name));
        QCOMPARE(platform().names(folder).size(), Threads * Each);
        QCOMPARE(kept, sent);
    }

    void concurrentFetchesHandOutEachOrderOnce()
    {
        constexpr int Threads = 8, Orders = 40;
        QStringList numbers;
        for (int n = 0; n < Orders; ++n)
            numbers.append(QString("%1").arg(n, 3, 10, QLatin1Char('0')));
        placeOrders(numbers);
        std::vector<QStringList> taken(Threads);
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back([&, t] {
                Client client(platform().port());
                for (QString number = client.takeOrder(); !number.isEmpty();
                     number = client.takeOrder())
                    taken[t].append(number);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QStringList all;
        for (const QStringList& list : taken)
            all += list;
        all.sort();
        QCOMPARE(all, numbers);
        QCOMPARE(platform().names(platform().box("supplier", "delivered")).size(), Orders);
        QVERIFY(platform().names(platform().box("supplier", "waiting")).isEmpty());
    }

    void aKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        {
            Client client(platform().port());
            QCOMPARE(client.status(Upload, response("1")), "OK");
            QCOMPARE(client.takeOrder(), "01");
        }
        platform().kill();
        QVERIFY(platform().start());
        QCOMPARE(platform().names(platform().box("supplier", "waiting")),
                 (QStringList{"02.xml", "03.xml"}));
        QCOMPARE(platform().names(platform().box("supplier", "delivered")), QStringList{"01.xml"});
        const QString folder = platform().box("supplier", "received");
        QCOMPARE(platform().names(folder).size(), 1);
        QCOMPARE(PlatformProcess::read(folder + "/" + platform().names(folder)[0]), response("1"));
        Client client(platform().port());
        QCOMPARE(client.takeOrder(), "02");
    }

    void partnerUrlNamesTheMailbox_data()
    {
        QTest::addColumn<QString>("partnerUrl");
        QTest::addColumn<QString>("mailbox");
        QTest::newRow("a plain segment is its own mailbox") << "supplier"
                                                            << "supplier";
        QTest::newRow("an empty PartnerURL is the mailbox _") << ""
                                                              << "_";
        QTest::newRow("a parent step is refused") << ".."
                                                  << "";
        QTest::newRow("an encoded parent step is refused") << "%2e%2e"
                                                           << "";
        QTest::newRow("a path of two segments is refused") << "_/.."
                                                           << "";
    }

    void partnerUrlNamesTheMailbox()
    {
        QFETCH(QString, partnerUrl);
        QFETCH(QString, mailbox);
        placeOrders({"01"}, "supplier");
        placeOrders({"02"}, "_");
        // What a refused name would reach: the store itself and the mailbox folder.
        QVERIFY(platform().place("waiting/03.xml", order("03")));
        QVERIFY(platform().place("mailbox/waiting/04.xml", order("04")));
        Client client(platform().port());
        const std::string base = "/edi/" + partnerUrl.toStdString();
        const QByteArray uploaded = client.post(base + "/Upload.aspx", response("1").toStdString());
        const QString taken = client.takeOrder(base + "/OrderData.aspx");
        if (mailbox.isEmpty()) {
            QCOMPARE(rootName(uploaded), "error-response");
            QCOMPARE(taken, QString());
            QCOMPARE(platform().names(m_root->filePath("waiting")), QStringList{"03.xml"});
            QCOMPARE(platform().names(m_root->filePath("mailbox/waiting")), QStringList{"04.xml"});
            QVERIFY(!QDir(m_root->filePath("received")).exists());
            QVERIFY(!QDir(m_root->filePath("mailbox/received")).exists());
            return;
        }
        QCOMPARE(rootName(uploaded), "send-document-response");
        QCOMPARE(taken, mailbox == "_" ? "02" : "01");
        QCOMPARE(platform().names(platform().box(mailbox, "received")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
