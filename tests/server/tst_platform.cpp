#include "CoreTable.h"
#include "ServerFixture.h"

#include "core/form/BuildVersion.h"
#include "server/FairGate.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>

namespace {

QByteArray order(const QString& number, const QByteArray& pad = {})
{
    return "<Document-Order>" + number.toUtf8() + pad + "</Document-Order>";
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

class TestPlatform : public QObject, ServerFixture {
    Q_OBJECT

    QStringList names(const QString& folder) const
    {
        return ServerFixture::names("mailbox/supplier/" + folder);
    }
    QByteArray received(const QString& name) const
    {
        return readFile(path("mailbox/supplier/received/" + name));
    }
    // Placed out of name order.
    void placeOrders(const QStringList& numbers, const QByteArray& pad = {})
    {
        for (qsizetype i = numbers.size() - 1; i >= 0; --i)
            QVERIFY(writeFile(path("mailbox/supplier/waiting/" + numbers[i] + ".xml"),
                              order(numbers[i], pad)));
    }

private slots:
    // Checks queue for the processors in the order they came, never more at once than the
    // gate is wide. One letter a pass, for its party, in the order they come while the gate
    // is full; `order` lists them in the order they are let through, and those let through
    // together may start in either order.
    void checksTakeTurns_data()
    {
        columns<unsigned, QString, QList<int>>("width", "parties", "order");
        QTest::newRow("one at a time, as they came") << 1u << "ABCDE" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("two at a time, as they came") << 2u << "ABCDE" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("a party's second waits for another's first")
            << 1u << "AAAB" << QList<int>{0, 3, 1, 2};
        QTest::newRow("each round goes round every party")
            << 1u << "AABBC" << QList<int>{0, 2, 4, 1, 3};
    }
    void checksTakeTurns()
    {
        const auto [width, parties, order] =
            fetch<unsigned, QString, QList<int>>("width", "parties", "order");
        FairGate gate(width);
        std::vector<std::unique_ptr<FairGate::Pass>> held;
        for (unsigned n = 0; n < width; ++n)
            held.push_back(std::make_unique<FairGate::Pass>(gate, "holder" + std::to_string(n)));
        std::vector<int> through(parties.size());
        std::atomic<int> inside{0}, most{0}, recorded{0};
        std::vector<std::thread> threads;
        for (int n = 0; n < parties.size(); ++n) {
            threads.emplace_back(
                [&, &parties = parties, n, party = parties.mid(n, 1).toStdString()] {
                    const FairGate::Pass turn(gate, party);
                    most = std::max(most.load(), ++inside);
                    through[recorded++] = n;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    // Leaves only once all let in have said so: one slow to wake keeps its place
                    // before those let in after it.
                    while (recorded + qsizetype(gate.waiting()) < parties.size())
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    --inside;
                });
            // The next comes only once this one waits.
            QTRY_COMPARE(gate.waiting(), std::uint64_t(n + 1));
        }
        held.clear();
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(recorded.load(), int(order.size()));
        for (qsizetype at = 0; at < order.size(); ++at) {
            const auto where = std::find(through.begin(), through.end(), order[at]);
            QVERIFY2(std::abs(int(where - through.begin()) - int(at)) < int(width),
                     qPrintable(QString::number(at)));
        }
        QVERIFY(most.load() <= int(width));
    }

    void init()
    {
        fresh();
        QVERIFY(QDir().mkpath(path("mailbox/supplier")));
        QVERIFY(restart());
    }

    // A document that is not well-formed is refused saying why, the parser's reason after
    // the prefix; an order sent back is refused naming its root. Neither is kept.
    void foreignUploadsAreRefused()
    {
        Client client(port());
        const QString malformed =
            client.uploadStatus("<Document-OrderResponse><a></Document-OrderResponse>");
        const QString why = "Документ не является правильным XML: ";
        QVERIFY2(malformed.startsWith(why) && malformed.size() > why.size(), qPrintable(malformed));
        QCOMPARE(client.uploadStatus(order("1")),
                 "Ожидался Document-OrderResponse, получен Document-Order");
        QCOMPARE(names("received"), QStringList());
    }

    void concurrentClientsLoseAndRepeatNothing()
    {
        constexpr int Threads = 8, Each = 10;
        QStringList numbers, taken;
        for (int n = 100; n < 140; ++n)
            numbers.append(QString::number(n));
        placeOrders(numbers);
        std::vector<QStringList> statuses(Threads), takenBy(Threads);
        QSet<QByteArray> sent, kept;
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t)
            threads.emplace_back([&, t] {
                Client client(port());
                for (int i = 0; i < Each; ++i)
                    statuses[t].append(
                        client.uploadStatus(response(QString("%1-%2").arg(t).arg(i))));
                for (QString n = client.takeOrder(); !n.isEmpty(); n = client.takeOrder())
                    takenBy[t].append(n);
            });
        for (int n = 0; n < Threads * Each; ++n)
            sent.insert(response(QString("%1-%2").arg(n / Each).arg(n % Each)));
        QStringList said;
        for (int t = 0; t < Threads; ++t) {
            threads[t].join();
            said += statuses[t];
            taken += takenBy[t];
        }
        for (const QString& name : names("received"))
            kept.insert(received(name));
        QCOMPARE(said, QStringList(Threads * Each, "OK"));
        QCOMPARE(names("received").size(), Threads * Each);
        QCOMPARE(kept, sent);
        taken.sort();
        QCOMPARE(taken, numbers);
        QTRY_COMPARE(names("delivered").size(), numbers.size());
    }

    // Each answer tells how many orders wait behind the one it carries: the one only looked
    // at (deleteafter false) is counted among them and stays first in the queue. A killed
    // server loses nothing it took or handed out.
    void theAnswerCountsTheOrdersBehindItAndAKilledServerLosesNothing()
    {
        placeOrders({"01", "02", "03"});
        const auto take = [&](const char* deleteAfter) {
            const XmlDocument answer = Client(port()).post(
                "/edi/supplier/OrderData.aspx", QByteArray("<order-request><deleteafter>") +
                                                    deleteAfter + "</deleteafter></order-request>");
            return answer.selectSingleNode("/receive-document-response/document-content").text() +
                   "+" +
                   answer.selectSingleNode("/receive-document-response/waiting-orders").text();
        };
        QCOMPARE(Client(port()).uploadStatus(response("1")), "OK");
        QCOMPARE(take("false"), "01+2");
        QCOMPARE(take("true"), "01+2");
        QTRY_COMPARE(names("delivered"), QStringList{"01.xml"});
        QVERIFY(restart());
        QCOMPARE(std::tuple(names("waiting"), names("delivered"), names("received").size()),
                 std::tuple(QStringList{"02.xml", "03.xml"}, QStringList{"01.xml"}, 1));
        QCOMPARE(received(names("received").value(0)), response("1"));
        QCOMPARE((QStringList{take("true"), take("true"), take("true")}),
                 (QStringList{"02+1", "03+0", "+"}));
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
        QVERIFY(writeFile(path("waiting/03.xml"), order("03")));
        QVERIFY(writeFile(path("mailbox/waiting/04.xml"), order("04")));
        Client client(port());
        const std::string base = "/edi/" + partnerUrl.toStdString();
        QCOMPARE(client.post(base + "/Upload.aspx", response("1")).root().name(), "error-response");
        QCOMPARE(client.takeOrder(base + "/OrderData.aspx"), "");
        QCOMPARE(ServerFixture::names("waiting"), QStringList{"03.xml"});
        QCOMPARE(ServerFixture::names("mailbox/waiting"), QStringList{"04.xml"});
        QVERIFY(!QDir(path("received")).exists());
        QVERIFY(!QDir(path("mailbox/received")).exists());
    }

    void killsLoseNoOrder()
    {
        constexpr int Kills = 30;
        QStringList numbers;
        for (int n = 100; n < 400; ++n)
            numbers.append(QString::number(n));
        // Long orders keep the answer on its way for a while.
        placeOrders(numbers, "<Pad>" + QByteArray(128 * 1024, 'x') + "</Pad>");
        QStringList takes; // each order handed out, as often as it was
        int kills = 0;
        QElapsedTimer timer;
        timer.start();
        for (; kills < Kills && names("waiting").size() > 0; ++kills) {
            std::atomic<bool> stop{false};
            std::thread client([&, port = port()] {
                for (Client c(port); !stop;)
                    if (const QString n = c.takeOrder().left(3); !n.isEmpty())
                        takes.append(n);
            });
            QTest::qWait(int(QRandomGenerator::global()->bounded(2, 30)));
            ::kill(pid_t(platform->process().processId()), SIGKILL);
            QVERIFY(platform->process().waitForFinished(5000));
            stop = true;
            client.join();
            QVERIFY(restart());
        }
        Client last(port());
        for (QString n = last.takeOrder(); !n.isEmpty(); n = last.takeOrder())
            takes.append(n.left(3));
        QTRY_COMPARE(names("waiting"), QStringList());

        QStringList received = QSet<QString>(takes.cbegin(), takes.cend()).values();
        received.sort();
        qInfo("%lld orders, %d kills in %lld ms: lost %lld, handed out twice %lld",
              qlonglong(numbers.size()), kills, qlonglong(timer.elapsed()),
              qlonglong(numbers.size() - received.size()),
              qlonglong(takes.size() - received.size()));
        QCOMPARE(names("delivered").replaceInStrings(".xml", ""), numbers);
        QCOMPARE(received, numbers);
    }

    // The server's idle time for sessions is its option's (the rule itself: tst_access).
    void aSessionIdleLongerThanTheOptionAllowsIsRefused()
    {
        placeOrders({"01"});
        QVERIFY(restart({"--session-idle", "0"}));
        Client client(port());
        QVERIFY(!client.cookie.empty());
        QCOMPARE(client.takeOrder(), "");
        QCOMPARE(names("waiting").size(), 1);
    }

    // An order the server cannot read is set aside with a line in its log, and the next
    // one is handed out in the same request.
    void unreadableOrdersAreSetAside_data()
    {
        columns<QString, QByteArray, QString, QString>("name", "content", "logged", "why");
        auto row = [](const char* name, const QByteArray& content, const char* why,
                      const char* file = "01.xml", const char* logged = "01.xml") {
            QTest::newRow(name) << file << QByteArray(content) << logged << why;
        };
        const char* malformed = "not well-formed XML: ";
        row("a document that is not well-formed", "<Document-Order><Order-Header>", malformed);
        row("an empty file", "", malformed);
        row("a document of another kind", "<Document-OrderResponse/>",
            "its root is Document-OrderResponse, not Document-Order");
        row("an order over 64 MB, which is not read", QByteArray(64 * 1024 * 1024 + 1, '<'),
            "larger than 64 MB");
        row("a name with a line break is logged on one line", "<", malformed, "01\nforged line.xml",
            "01 forged line.xml");
    }
    void unreadableOrdersAreSetAside()
    {
        const auto [name, content, logged, why] =
            fetch<QString, QByteArray, QString, QString>("name", "content", "logged", "why");
        platform.reset();
        QVERIFY(writeFile(path("mailbox/supplier/waiting/" + name), content));
        placeOrders({"02"});
        QVERIFY(restart({}, true));

        QCOMPARE(Client(port()).takeOrder(), "02");

        QCOMPARE(std::pair(names("rejected"), readFile(path("mailbox/supplier/rejected/" + name))),
                 std::pair(QStringList{name}, content));
        QTRY_COMPARE(names("delivered"), QStringList{"02.xml"});
        QTRY_VERIFY(platform->errors().contains("rejected/"));
        const QStringList told = QString::fromUtf8(platform->errors())
                                     .split('\n')
                                     .filter(QRegularExpression("forged|waiting/01"));
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
        columns<QByteArray, QString>("request", "logged");
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
        const auto [request, logged] = fetch<QByteArray, QString>("request", "logged");
        QVERIFY(restart({}, true));
        RawConnection connection(port());
        QVERIFY(connection.send(request));
        QByteArray body;
        const int status = connection.answer(&body);

        // One line, whose time and duration vary.
        QTRY_VERIFY(platform->errors().endsWith('\n'));
        static const QRegularExpression stamped(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z (.+) \\d+ms\\n$");
        QCOMPARE(QString::fromLatin1(platform->errors()).replace(stamped, "\\1"),
                 "127.0.0.1 " + logged + ' ' + QString::number(body.size()));
        QVERIFY(logged.endsWith(' ' + QString::number(status)));
    }

    // What keeps the server from starting is said on one line, and it ends at once. A file
    // is placed, below the root, where the row says.
    void wrongCallsAndStartUpProblemsEndTheServer_data()
    {
        columns<QStringList, int, QString, QString, QString>("arguments", "code", "out", "err",
                                                             "file");
        const auto row = [](const char* name, const QStringList& arguments, int code,
                            const QString& out, const QString& err = {}, const char* file = "") {
            QTest::newRow(name) << arguments << code << out
                                << (err.isEmpty() ? err : "wexa-platform: " + err) << file;
        };
        const QString tryHelp = "\nTry 'wexa-platform --help'.\n";
        row("--help lists the options", {"--help"}, 0, "--connections-per-address NUMBER");
        row("--version names the version", {"--root", "ROOT", "--version"}, 0,
            "wexa-platform " + BuildVersion::text() + "\n");
        row("an unknown option is named", {"--root", "ROOT", "--bogus", "1"}, 2, "",
            "unknown option '--bogus'" + tryHelp);
        row("an option without its value is named", {"--root"}, 2, "",
            "--root needs a value" + tryHelp);
        row("a root that does not exist", {"--root", "ROOT/none"}, 1, "",
            "cannot start: the root ROOT/none does not exist\n");
        row("a root that is a file", {"--root", "ROOT/file"}, 1, "",
            "cannot start: the root ROOT/file is not a folder\n", "file");
        row("a file where the mailboxes' folder belongs", {"--root", "ROOT/store"}, 1, "",
            "cannot start: ROOT/store/mailbox is not a folder\n", "store/mailbox");
        row("a file where a mailbox's orders wait", {"--root", "ROOT/store"}, 1, "",
            "cannot start: ROOT/store/mailbox/b/waiting cannot be written\n",
            "store/mailbox/b/waiting");
        row("a certificate file that holds none, with the library's reason",
            {"--root", "ROOT", "--listen", "127.0.0.1:0", "--tls-cert", "ROOT/file", "--tls-key",
             "ROOT/file"},
            1, "",
            "cannot start: cannot use the certificate: ROOT/file: error:0480006C:PEM "
            "routines::no start line\n",
            "file");
    }
    void wrongCallsAndStartUpProblemsEndTheServer()
    {
        auto [arguments, out, err, file] =
            fetch<QStringList, QString, QString, QString>("arguments", "out", "err", "file");
        if (!file.isEmpty())
            QVERIFY(writeFile(path(file), "x"));
        QProcess server;
        server.start(WEXA_BIN_DIR "/wexa-platform",
                     arguments.replaceInStrings("ROOT", root->path()));
        QVERIFY(server.waitForFinished(10000));

        QTEST(server.exitCode(), "code");
        const QString said = QString::fromUtf8(server.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? said.isEmpty() : said.contains(out), qPrintable(said));
        QCOMPARE(QString::fromUtf8(server.readAllStandardError()),
                 err.replace("ROOT", root->path()));
    }

    // Told to stop, as the service manager does, the server ends with exit status 0; one
    // whose parent is gone stops even if nobody told it to.
    void aServerStopsWhenToldOrOrphaned()
    {
        platform->process().terminate();
        QVERIFY(platform->process().waitForFinished(10000));
        QCOMPARE(std::pair(platform->process().exitStatus(), platform->process().exitCode()),
                 std::pair(QProcess::NormalExit, 0));

        QProcess shell;
        shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        shell.start("sh", {"-c", "\"$0\" --root \"$1\" --listen 127.0.0.1:0 --parent-pid $$ & wait",
                           WEXA_BIN_DIR "/wexa-platform", root->path()});
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
