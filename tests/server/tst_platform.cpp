#include "PlatformProcess.h"
#include "ServiceClient.h"

#include "core/form/BuildVersion.h"
#include "core/rules/XmlDocument.h"
#include "server/FairGate.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

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

using Client = ServiceClient;

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
                // Leaves only once all let in have said so: one slow to wake keeps its place
                // before those let in after it.
                for (;;) {
                    qsizetype recorded;
                    {
                        const std::lock_guard guard(lock);
                        recorded = qsizetype(through.size());
                    }
                    if (recorded + qsizetype(gate.waiting()) >= parties.size())
                        break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
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
        const QString answered = Client(m_platform->port()).uploadStatus(body);
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
                    statuses[t].append(
                        client.uploadStatus(response(QString("%1-%2").arg(t).arg(i))));
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

    // Each answer tells how many orders wait behind the one it carries: the one only looked
    // at is counted among them.
    void theAnswerCountsTheOrdersBehindIt()
    {
        placeOrders({"01", "02", "03"});
        Client client(m_platform->port());
        const auto take = [&](const char* deleteAfter) {
            const XmlDocument answer =
                client.post(OrderData, QByteArray("<order-request><deleteafter>") + deleteAfter +
                                           "</deleteafter></order-request>");
            return answer.selectSingleNode("/receive-document-response/document-content").text() +
                   "+" +
                   answer.selectSingleNode("/receive-document-response/waiting-orders").text();
        };
        QCOMPARE(take("false"), "01+2");
        QCOMPARE(take("true"), "01+2");
        QCOMPARE(take("true"), "02+1");
        QCOMPARE(take("true"), "03+0");
        QCOMPARE(take("true"), "+");
    }

    // An order handed out with deleteafter false stays first in the queue.
    void aKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        QCOMPARE(Client(m_platform->port()).uploadStatus(response("1")), "OK");
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

    // The server's idle time for sessions is its option's (the rule itself: tst_access).
    void aSessionIdleLongerThanTheOptionAllowsIsRefused()
    {
        placeOrders({"01"});
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->start({"--session-idle", "0"}));
        Client client(m_platform->port());
        QVERIFY(!client.cookie.empty());

        QCOMPARE(client.takeOrder(), "");
        QCOMPARE(names("waiting").size(), 1);
    }

    // An order the server cannot read is set aside with a line in its log, and the next
    // one is handed out in the same request.
    void unreadableOrdersAreSetAside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("why");
        auto row = [](const char* name, const char* content, const char* why,
                      const char* file = "01.xml", const char* logged = "01.xml") {
            QTest::newRow(name) << file << QByteArray(content) << logged << why;
        };
        const char* malformed = "not well-formed XML: ";
        row("a document that is not well-formed", "<Document-Order><Order-Header>", malformed);
        row("an empty file", "", malformed);
        row("a document of another kind", "<Document-OrderResponse/>",
            "its root is Document-OrderResponse, not Document-Order");
        row("a name with a line break is logged on one line", "<", malformed, "01\nforged line.xml",
            "01 forged line.xml");
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

    // Each request answered is one line of the log, whatever its path holds; neither its
    // cookie nor its body gets there.
    void eachRequestIsOneLineOfTheLog_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("logged");
        const QByteArray head = " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        QTest::newRow("the order page") << "GET /edi/supplier/Order.aspx" + head + "\r\n"
                                        << "GET /edi/supplier/Order.aspx 200";
        QTest::newRow("a service without a session, with a cookie and a body")
            << "POST /edi/supplier/OrderData.aspx" + head +
                   "Cookie: WEXASESSION=secretcookie\r\nContent-Type: text/xml\r\n"
                   "Content-Length: 10\r\n\r\nsecretbody"
            << "POST /edi/supplier/OrderData.aspx 403";
        QTest::newRow("a path with an encoded line break and escape")
            << "GET /edi/a%0D%0A2026-01-01T00:00:00.000Z%201.2.3.4%1B[2J/Order.aspx" + head + "\r\n"
            << "GET /edi/a%0D%0A2026-01-01T00:00:00.000Z%201.2.3.4%1B[2J/Order.aspx 404";
        QTest::newRow("a path with a raw escape and a letter beyond ASCII")
            << "GET /edi/\x1b]0;x\x07/\xd0\xb0.aspx" + head + "\r\n"
            << "GET /edi/%1B]0;x%07/%D0%B0.aspx 404";
    }
    void eachRequestIsOneLineOfTheLog()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, logged);
        m_platform = std::make_unique<PlatformProcess>(m_root->path());
        QVERIFY(m_platform->start({}, true));
        RawConnection connection(m_platform->port());
        QVERIFY(connection.send(request));
        QByteArray body;
        const int status = connection.answer(&body);

        QTRY_VERIFY(m_platform->errors().endsWith('\n'));
        const QList<QByteArray> lines = m_platform->errors().split('\n');
        QCOMPARE(lines.size(), 2);
        const QRegularExpression line("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z "
                                      "127\\.0\\.0\\.1 (.+) (\\d+) (\\d+)ms$");
        const auto match = line.match(QString::fromLatin1(lines[0]));
        QVERIFY2(match.hasMatch(), lines[0].constData());
        QCOMPARE(match.captured(1), logged);
        QVERIFY(logged.endsWith(' ' + QString::number(status)));
        QCOMPARE(match.captured(2).toLongLong(), body.size());
        QVERIFY(!lines[0].contains("secret"));
    }

    // What keeps the server from starting is said on one line, and it ends at once.
    void wrongCallsAndStartUpProblemsEndTheServer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("--help lists the options")
            << QStringList{"--help"} << "" << 0 << "--connections-per-address NUMBER"
            << "";
        QTest::newRow("--version names the version")
            << QStringList{"--root", "ROOT", "--version"} << "" << 0
            << "wexa-platform " + BuildVersion::text() + "\n"
            << "";
        QTest::newRow("an unknown option is named")
            << QStringList{"--root", "ROOT", "--bogus", "1"} << "" << 2 << ""
            << "wexa-platform: unknown option '--bogus'\nTry 'wexa-platform --help'.\n";
        QTest::newRow("an option without its value is named")
            << QStringList{"--root"} << "" << 2 << ""
            << "wexa-platform: --root needs a value\nTry 'wexa-platform --help'.\n";
        QTest::newRow("a root that does not exist")
            << QStringList{"--root", "ROOT/none"} << "" << 1 << ""
            << "wexa-platform: cannot start: the root ROOT/none does not exist\n";
        QTest::newRow("a root that is a file")
            << QStringList{"--root", "ROOT/file"} << "file" << 1 << ""
            << "wexa-platform: cannot start: the root ROOT/file is not a folder\n";
        QTest::newRow("a file where the mailboxes' folder belongs")
            << QStringList{"--root", "ROOT/store"} << "store/mailbox" << 1 << ""
            << "wexa-platform: cannot start: ROOT/store/mailbox is not a folder\n";
        QTest::newRow("a file where a mailbox's orders wait")
            << QStringList{"--root", "ROOT/store"} << "store/mailbox/b/waiting" << 1 << ""
            << "wexa-platform: cannot start: ROOT/store/mailbox/b/waiting cannot be written\n";
    }
    void wrongCallsAndStartUpProblemsEndTheServer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        if (!file.isEmpty())
            QVERIFY(m_platform->place(file, "x"));
        arguments.replaceInStrings("ROOT", m_root->path());
        QProcess server;
        server.start(WEXA_BIN_DIR "/wexa-platform", arguments);
        QVERIFY(server.waitForFinished(10000));

        QCOMPARE(server.exitCode(), code);
        const QString said = QString::fromUtf8(server.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? said.isEmpty() : said.contains(out), qPrintable(said));
        QCOMPARE(QString::fromUtf8(server.readAllStandardError()),
                 QString(err).replace("ROOT", m_root->path()));
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
