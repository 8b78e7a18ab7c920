#include "PlatformProcess.h"

#include "core/rules/XmlDocument.h"
#include "server/FairGate.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
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
        httpStatus = answer ? answer->status : -1;
        return XmlDocument::fromBytes(answer ? QByteArray::fromStdString(answer->body) : "");
    }
    QString errorMessage(const std::string& path, const QByteArray& body)
    {
        return post(path, body).selectSingleNode("/error-response/message").text();
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
    int httpStatus = -1;
};

// A connection that has sent the start of a request and then only trickles.
struct SlowClient {
    explicit SlowClient(int port) : sock(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            send("POST /edi/supplier/Upload.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                 "Content-Length: 1000\r\n\r\n<Document-OrderResponse>");
    }
    ~SlowClient() { ::close(sock); }
    // Whether the server has closed the connection (reading without waiting).
    bool cutOff() const
    {
        char byte;
        const ssize_t got = ::recv(sock, &byte, 1, MSG_DONTWAIT);
        return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
    void send(const char* text) const { (void)::send(sock, text, strlen(text), MSG_NOSIGNAL); }

    int sock;
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
    // Checks queue for the processors in the order they came, never more at once than
    // the gate is wide; those let through together may start in either order.
    // One letter a pass, for its party, in the order they come while the gate is full;
    // `order` lists them in the order they are let through.
    void checksTakeTurns_data()
    {
        QTest::addColumn<unsigned>("width");
        QTest::addColumn<QString>("parties");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("one at a time, as they came") << 1u << "ABCDE" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("two at a time, as they came") << 2u << "ABCDE" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("a party's second waits for another's first")
            << 1u << "AAAB" << QList<int>{0, 3, 1, 2};
        QTest::newRow("each round goes round every party")
            << 1u << "AABBC" << QList<int>{0, 2, 4, 1, 3};
    }
    void checksTakeTurns()
    {
        QFETCH(unsigned, width);
        QFETCH(QString, parties);
        QFETCH(QList<int>, order);
        FairGate gate(width);
        std::vector<std::unique_ptr<FairGate::Pass>> held;
        for (unsigned n = 0; n < width; ++n)
            held.push_back(std::make_unique<FairGate::Pass>(gate, "holder" + std::to_string(n)));
        std::mutex lock;
        std::vector<int> through;
        std::atomic<int> inside{0};
        std::atomic<int> most{0};
        std::vector<std::thread> threads;
        for (int n = 0; n < parties.size(); ++n) {
            threads.emplace_back([&, n, party = parties.mid(n, 1).toStdString()] {
                const FairGate::Pass turn(gate, party);
                most = std::max(most.load(), ++inside);
                {
                    const std::lock_guard guard(lock);
                    through.push_back(n);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --inside;
            });
            // The next comes only once this one waits.
            QTRY_COMPARE(gate.waiting(), std::uint64_t(n + 1));
        }
        held.clear();
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(through.size(), size_t(order.size()));
        // Those let through together may start in either order.
        for (qsizetype at = 0; at < order.size(); ++at) {
            const auto where = std::find(through.begin(), through.end(), order[at]);
            QVERIFY2(std::abs(int(where - through.begin()) - int(at)) < int(width),
                     qPrintable(QString::number(at)));
        }
        QVERIFY(most.load() <= int(width));
    }

    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(m_root->filePath("mailbox/supplier")));
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
        QTRY_COMPARE(names("delivered").size(), Orders);
    }

    // An order handed out with deleteafter false stays first in the queue.
    void aKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        QCOMPARE(Client(m_platform->port()).status(response("1")), "OK");
        QCOMPARE(Client(m_platform->port()).takeOrder(OrderData, "false"), "01");
        QCOMPARE(Client(m_platform->port()).takeOrder(), "01");
        QTRY_COMPARE(names("delivered"), QStringList{"01.xml"});
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

    // Killed at any moment, the server hands an order out again rather than lose it.
    void killsLoseNoOrder()
    {
        constexpr int Orders = 300, Kills = 30;
        QStringList numbers;
        // Long orders keep the answer on its way for a while.
        const QByteArray padding(128 * 1024, 'x');
        for (int n = 0; n < Orders; ++n) {
            numbers.append(QString::number(100 + n));
            QVERIFY(m_platform->place("mailbox/supplier/waiting/" + numbers.last() + ".xml",
                                      "<Document-Order>" + numbers.last().toUtf8() + "<Pad>" +
                                          padding + "</Pad></Document-Order>"));
        }
        QSet<QString> received;
        int duplicates = 0;
        QElapsedTimer timer;
        timer.start();
        int kills = 0;
        for (; kills < Kills && names("waiting").size() > 0; ++kills) {
            std::atomic<bool> stop{false};
            std::thread client([&, port = m_platform->port()] {
                Client c(port);
                while (!stop) {
                    const QString n = c.takeOrder().left(3);
                    if (n.isEmpty())
                        continue;
                    if (received.contains(n))
                        ++duplicates;
                    received.insert(n);
                }
            });
            QTest::qWait(int(QRandomGenerator::global()->bounded(2, 30)));
            ::kill(pid_t(m_platform->process().processId()), SIGKILL);
            QVERIFY(m_platform->process().waitForFinished(5000));
            stop = true;
            client.join();
            m_platform = std::make_unique<PlatformProcess>(m_root->path());
            QVERIFY(m_platform->start());
        }
        Client last(m_platform->port());
        for (QString n = last.takeOrder(); !n.isEmpty(); n = last.takeOrder())
            received.insert(n.left(3));
        QTRY_COMPARE(names("waiting"), QStringList());

        QStringList delivered, lost;
        for (const QString& name : names("delivered"))
            delivered.append(name.section('.', 0, 0));
        delivered.sort();
        for (const QString& n : numbers)
            if (!received.contains(n))
                lost.append(n);
        qInfo("%d orders, %d kills in %lld ms: lost %lld, handed out twice %d", Orders, kills,
              qlonglong(timer.elapsed()), qlonglong(lost.size()), duplicates);
        QCOMPARE(delivered, numbers);
        QCOMPARE(lost, QStringList());
    }

    void uploadsAboveTheLimitAreRefused_data()
    {
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");
        QTest::newRow("17 MB is refused before it is read as XML")
            << 17 << 413 << "Документ слишком велик: больше 16 МБ";
        QTest::newRow("15 MB is taken") << 15 << 200 << "OK";
    }
    void uploadsAboveTheLimitAreRefused()
    {
        QFETCH(int, megabytes);
        QFETCH(int, status);
        QFETCH(QString, answer);
        QByteArray body = "<Document-OrderResponse>";
        for (int kilobyte = 0; kilobyte < megabytes * 1024; ++kilobyte)
            body += "<Remarks>" + QByteArray(1024 - 19, 'x') + "</Remarks>";
        body += "</Document-OrderResponse>";
        Client client(m_platform->port());

        const XmlDocument got = client.post(Upload, body);

        QCOMPARE(client.httpStatus, status);
        QCOMPARE(got.selectSingleNode(status == 200 ? "/send-document-response/submission-status"
                                                    : "/error-response/message")
                     .text(),
                 answer);
        QCOMPARE(names("received").size(), status == 200 ? 1 : 0);
    }

    void mailboxesAreNeverMadeForAClient_data()
    {
        QTest::addColumn<std::string>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("an upload to an unknown mailbox")
            << std::string("/edi/nobody/Upload.aspx") << "mailbox/nobody";
        QTest::newRow("an order asked of an unknown mailbox")
            << std::string("/edi/nobody/OrderData.aspx") << "mailbox/nobody";
        QTest::newRow("an upload with an empty PartnerURL")
            << std::string("/edi//Upload.aspx") << "mailbox/_";
    }
    void mailboxesAreNeverMadeForAClient()
    {
        QFETCH(std::string, path);
        QFETCH(QString, folder);
        Client client(m_platform->port());

        const QString message = client.errorMessage(path, response("1"));

        QCOMPARE(client.httpStatus, 404);
        QCOMPARE(message, "Нет такого почтового ящика");
        QVERIFY(!QFileInfo::exists(m_root->filePath(folder)));
    }

    void idleSessionsExpire_data()
    {
        QTest::addColumn<QString>("idle");
        QTest::addColumn<QString>("taken");
        QTest::newRow("a session idle longer than allowed is refused") << "0"
                                                                       << "";
        QTest::newRow("a session in use is kept") << "3600"
                                                  << "01";
    }
    void idleSessionsExpire()
    {
        QFETCH(QString, idle);
        QFETCH(QString, taken);
        placeOrders({"01"});
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->start({"--session-idle", idle}));
        Client client(m_platform->port());
        QVERIFY(!client.cookie.empty());
        QTest::qWait(20);

        QCOMPARE(client.takeOrder(), taken);
        QTRY_COMPARE(names("waiting").size(), taken.isEmpty() ? 1 : 0);
    }

    // Clients that send half a request and wait hold a worker each; the others are served.
    void slowClientsDoNotHoldUpOthers()
    {
        placeOrders({"01"});
        std::vector<std::unique_ptr<SlowClient>> slow;
        for (int i = 0; i < 32; ++i)
            slow.push_back(std::make_unique<SlowClient>(m_platform->port()));
        QTest::qWait(100);
        QElapsedTimer timer;
        timer.start();
        std::atomic<bool> answered{false};
        QString taken;
        std::thread normal([&] {
            taken = Client(m_platform->port()).takeOrder();
            answered = true;
        });
        // A byte now and then: each read is on time, the request is never complete.
        while (!answered && timer.elapsed() < 10000) {
            for (const auto& client : slow)
                client->send(" ");
            QTest::qWait(200);
        }
        normal.join();
        qInfo("answered beside 32 slow clients in %lld ms", qlonglong(timer.elapsed()));
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(taken, "01");
    }

    // A client that sends a byte now and then, each in time, is still cut off at the deadline.
    void aRequestIsCutOffAtItsDeadline()
    {
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->start({"--request-deadline", "1"}));
        const SlowClient slow(m_platform->port());
        QElapsedTimer timer;
        timer.start();
        while (!slow.cutOff() && timer.elapsed() < 10000) {
            slow.send(" ");
            QTest::qWait(200);
        }
        qInfo("cut off after %lld ms", qlonglong(timer.elapsed()));
        QVERIFY(timer.elapsed() < 10000);
    }

    // An order the server cannot read is set aside with a line in its log, and the next
    // one is handed out in the same request.
    void unreadableOrdersAreSetAside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("why");
        QTest::newRow("a document that is not well-formed")
            << "01.xml" << QByteArray("<Document-Order><Order-Header>") << "01.xml"
            << "not well-formed XML: ";
        QTest::newRow("an empty file") << "01.xml" << QByteArray() << "01.xml"
                                       << "not well-formed XML: ";
        QTest::newRow("a document of another kind")
            << "01.xml" << QByteArray("<Document-OrderResponse/>") << "01.xml"
            << "its root is Document-OrderResponse, not Document-Order";
        QTest::newRow("a name with a line break is logged on one line")
            << "01\nforged line.xml" << QByteArray("<") << "01 forged line.xml"
            << "not well-formed XML: ";
    }
    void unreadableOrdersAreSetAside()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, logged);
        QFETCH(QString, why);
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->place("mailbox/supplier/waiting/" + name, content));
        placeOrders({"02"});
        QVERIFY(m_platform->start({}, true));

        QCOMPARE(Client(m_platform->port()).takeOrder(), "02");

        QCOMPARE(names("rejected"), QStringList{name});
        QCOMPARE(m_platform->read(m_root->filePath("mailbox/supplier/rejected/" + name)), content);
        QTRY_COMPARE(names("delivered"), QStringList{"02.xml"});
        QTRY_VERIFY(m_platform->errors().contains("rejected/"));
        QStringList told;
        for (const QByteArray& line : m_platform->errors().split('\n'))
            if (line.contains("forged") || line.contains("waiting/01"))
                told.append(QString::fromUtf8(line));
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains("mailbox/supplier/waiting/" + logged + " ") &&
                     told[0].contains(why) &&
                     told[0].endsWith("moved to mailbox/supplier/rejected/" + logged),
                 qPrintable(told[0]));
    }

    // A server whose parent is gone stops, even if nobody told it to.
    void anOrphanedServerStops()
    {
        QProcess shell;
        shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        shell.start("sh", {"-c", "\"$0\" --root \"$1\" --listen 127.0.0.1:0 --parent-pid $$ & wait",
                           WEXA_BIN_DIR "/wexa-platform", m_root->path()});
        QVERIFY(shell.waitForReadyRead(10000));
        const int port =
            QString::fromUtf8(shell.readLine()).section(':', -1).section('/', 0, 0).toInt();
        QVERIFY(port > 0);
        QVERIFY(httplib::Client("127.0.0.1", port).Get("/edi/supplier/Order.aspx"));

        shell.kill();
        QVERIFY(shell.waitForFinished(5000));

        QTRY_VERIFY_WITH_TIMEOUT(
            !httplib::Client("127.0.0.1", port).Get("/edi/supplier/Order.aspx"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
