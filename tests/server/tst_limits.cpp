#include "CoreTable.h"
#include "ServerFixture.h"

#include "core/actions/RequestChannel.h"
#include "server/WorkerPool.h"

#if defined(__SANITIZE_ADDRESS__)
#define WEXA_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WEXA_SANITIZED
#endif
#endif

namespace {

constexpr qint64 MB = 1024 * 1024;
const QByteArray Page = "GET /edi/supplier/Order.aspx HTTP/1.1\r\nHost: h\r\n\r\n";

// An order response of exactly `bytes` bytes.
QByteArray response(qint64 bytes)
{
    const QByteArray open = "<Document-OrderResponse><Remarks>";
    const QByteArray close = "</Remarks></Document-OrderResponse>";
    return open + QByteArray(bytes - open.size() - close.size(), 'x') + close;
}

QByteArray head(const QByteArray& cookie, const QByteArray& framing)
{
    return "POST /edi/supplier/Upload.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
           "text/xml\r\nCookie: " +
           cookie + "\r\n" + framing + "\r\n";
}

QByteArray chunk(const QByteArray& data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

} // namespace

class TestLimits : public QObject, ServerFixture {
    Q_OBJECT

    QByteArray m_cookie;

    // A plain server also opens a session, whose cookie the requests then carry.
    bool start(const QStringList& options = {})
    {
        return server().placeMailbox("supplier", "4607000000017", "ТД «Северный»", {}) &&
               platform->start(options) &&
               (options.contains("--tls-cert") ||
                !(m_cookie = QByteArray::fromStdString(ServiceClient(port()).cookie)).isEmpty());
    }
    QStringList received() const { return names("mailbox/supplier/received"); }
    // A connection from `from` that had its page and is sending the next request; false
    // while the server still holds the places of connections closed.
    bool hold(std::vector<std::unique_ptr<RawConnection>>& open, const QByteArray& from)
    {
        auto connection = std::make_unique<RawConnection>(port(), from.constData());
        if (!connection->send(Page) || connection->answer() != 200)
            return false;
        open.push_back(std::move(connection));
        return open.back()->send("GET /edi/");
    }

private slots:
    void init() { fresh(); }

    // With a cap of 1 MB. A body framed as it should be is taken whole and its connection
    // kept; one over the cap is answered 413, one whose framing cannot be trusted is refused,
    // and of either nothing is stored and the connection ends. A client that waits to be
    // asked for its body is asked only for one that will be taken.
    void bodiesAreTakenUnderTheCapAndFramedAsTheyShouldBe_data()
    {
        // The body as sent, and the document stored when it is taken.
        columns<QByteArray, QByteArray, int, QByteArray>("framing", "body", "status", "kept");
        const auto row = [](const char* name, const QByteArray& framing, const QByteArray& body,
                            int status, const QByteArray& kept = {}) {
            QTest::newRow(name) << framing << body << status << kept;
        };
        const auto length = [](qint64 bytes) {
            return "Content-Length: " + QByteArray::number(bytes) + "\r\n";
        };
        const auto inChunks = [](const QByteArray& body) {
            QByteArray all;
            for (qsizetype at = 0; at < body.size(); at += 65536)
                all += chunk(body.mid(at, 65536));
            return all + "0\r\n\r\n";
        };
        const QByteArray chunked = "Transfer-Encoding: chunked\r\n",
                         asks = "Expect: 100-continue\r\n";
        const QByteArray under = response(MB - 1), at = response(MB), half = response(MB / 2);
        row("a declared body a byte under the cap is taken", length(MB - 1), under, 200, under);
        row("a declared body at the cap is taken", length(MB), at, 200, at);
        row("a declared body a byte over the cap is refused before it is sent", length(MB + 1), "",
            413);
        row("a declared gigabyte is refused before it is sent", length(1024 * MB), "", 413);
        row("a chunked body a byte under the cap is taken", chunked, inChunks(under), 200, under);
        row("a chunked body at the cap is taken", chunked, inChunks(at), 200, at);
        row("a chunked body a byte over the cap is refused", chunked, inChunks(response(MB + 1)),
            413);
        row("a chunk that claims more than the cap is refused before it is sent", chunked,
            QByteArray::number(4096 * MB, 16) + "\r\n", 413);
        row("a body under the cap is asked for", asks + length(MB / 2), half, 200, half);
        row("a body over the cap is refused without being asked for", asks + length(2 * MB), "",
            413);

        const QByteArray doc = "<Document-OrderResponse/>", last = "\r\n0\r\n\r\n";
        // Trailer fields of 8 KB in all, line ends included, and one byte more.
        const QByteArray trailer =
            (QByteArray(1022, 't').replace(0, 3, "X: ") + "\r\n").repeated(8);
        row("a size line of 1 KB, extensions after spaces, is taken", chunked,
            "19 ;" + QByteArray(1020, 'e') + "\r\n" + doc + last, 200, doc);
        row("a trailer of 8 KB is taken", chunked, "19\r\n" + doc + "\r\n0\r\n" + trailer + "\r\n",
            200, doc);
        row("a size line a byte over 1 KB", chunked,
            "19 ;" + QByteArray(1021, 'e') + "\r\n" + doc + last, 400);
        row("a trailer a byte over 8 KB", chunked,
            "19\r\n" + doc + "\r\n0\r\n" + QByteArray(trailer).insert(3, 't') + "\r\n", 400);
        row("a chunk size followed by something else", chunked, "19z\r\n" + doc + last, 400);
        row("a chunk longer than its size", chunked, "19\r\n" + doc + "x" + last, 400);
        row("both a length and chunks", length(25) + chunked, chunk(doc) + "0\r\n\r\n", 400);
        row("two lengths that differ", length(25) + length(24), doc, 400);
        row("a length that is not a number", "Content-Length: 2e1\r\n", doc, 400);
        row("a transfer coding other than chunks", "Transfer-Encoding: gzip, chunked\r\n",
            chunk(doc), 400);
        row("a compressed body, which would unpack past the cap",
            length(25) + "Content-Encoding: gzip\r\n", doc, 415);
    }
    void bodiesAreTakenUnderTheCapAndFramedAsTheyShouldBe()
    {
        const auto [framing, body, status] =
            fetch<QByteArray, QByteArray, int>("framing", "body", "status");
        QVERIFY(start({"--body-limit", "1"}));
        RawConnection connection(port());
        QVERIFY(connection.isConnected());
        const bool asked = framing.startsWith("Expect") && status == 200;

        QVERIFY(connection.send(head(m_cookie, framing) + (asked ? QByteArray() : body)));
        if (asked) {
            QCOMPARE(connection.answer(), 100);
            QVERIFY(connection.send(body));
        }

        QByteArray answer;
        QCOMPARE(connection.answer(&answer), status);
        if (status == 200) {
            QVERIFY2(answer.contains("<submission-status>OK<"), answer.constData());
            QCOMPARE(received().size(), 1);
            QTEST(readFile(path("mailbox/supplier/received/" + received().value(0))), "kept");
            QVERIFY(!connection.closedByServer());
            return;
        }
        if (status == 413)
            QVERIFY2(
                answer.contains("<error-response><message>Документ слишком велик: больше 1 МБ<"),
                answer.constData());
        QVERIFY2(connection.head().contains("\r\nConnection: close\r\n"), connection.head());
        QTRY_VERIFY(connection.closedByServer());
        QCOMPARE(received(), QStringList());
    }

    // A client that keeps sending far past the cap: the server reads up to the cap, answers,
    // and never holds twice the cap in memory.
    void aBodyFarOverTheCapIsNeverHeld_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::newRow("chunked") << true;
        QTest::newRow("of declared length") << false;
    }
    void aBodyFarOverTheCapIsNeverHeld()
    {
        QFETCH(bool, chunked);
        const qint64 cap = 32 * MB, sent = 4 * cap;
        QVERIFY(start({"--body-limit", "32"}));
        RawConnection connection(port());
        QVERIFY(connection.send(
            head(m_cookie, chunked ? "Transfer-Encoding: chunked\r\n"
                                   : "Content-Length: " + QByteArray::number(sent) + "\r\n")));
        std::atomic<bool> refused{false};
        std::thread sender([&, each = chunked ? chunk(QByteArray(MB, 'x')) : QByteArray(MB, 'x')] {
            for (qint64 at = 0; at < sent && !refused && connection.send(each); at += MB) {
            }
        });
        QByteArray answer;
        const int status = connection.answer(&answer, 60);
        refused = true;
        sender.join();

        QCOMPARE(status, 413);
        QVERIFY(answer.contains("больше 32 МБ"));
        QCOMPARE(received(), QStringList());
#ifdef WEXA_SANITIZED
        QSKIP("the sanitizers' shadow and quarantine count in the server's memory");
#endif
        const qint64 peak = platform->peakMemoryKb() * 1024;
        qInfo("server's peak memory %lld MB, cap %lld MB", peak / MB, cap / MB);
        QVERIFY(peak > 0 && peak < 2 * cap);
    }

    // A client that sends a byte now and then, each in time, is still cut off: its head
    // at the head's deadline, its body at the request's. Plain HTTP to the TLS port fails
    // the handshake: the connection ends then, not at the head's deadline.
    void aSlowRequestIsCutOff_data()
    {
        columns<QStringList, QByteArray>("options", "start");
        QTest::newRow("a head a byte at a time")
            << QStringList{"--head-deadline", "1"}
            << QByteArray("POST /edi/Ticket.aspx HTTP/1.1\r\n");
        QTest::newRow("a body a byte at a time")
            << QStringList{"--request-deadline", "1"}
            << QByteArray("POST /edi/Ticket.aspx HTTP/1.1\r\nContent-Type: text/xml\r\n"
                          "Content-Length: 100000\r\n\r\n<");
        QTest::newRow("a TLS handshake a byte at a time")
            << QStringList{"--head-deadline", "1"} + tls() << QByteArray("\x16\x03\x01");
        QTest::newRow("plain HTTP to the TLS port is dropped at once")
            << QStringList{"--head-deadline", "60"} + tls() << Page;
    }
    void aSlowRequestIsCutOff()
    {
        const auto [options, start] = fetch<QStringList, QByteArray>("options", "start");
        QVERIFY(this->start(options));
        RawConnection slow(port());
        QVERIFY(slow.send(start));
        // A byte at each look: the server sees a client that is never idle for long.
        QTRY_VERIFY_WITH_TIMEOUT(!slow.send(" ") || slow.closedByServer(), 10000);
    }

    // GIVEN three connections that each had an answer and are sending the next request
    // WHEN one more comes THEN it is answered 503 and closed; once two of the three have
    // closed, their places are taken again, and no more than them.
    void connectionsAreCapped_data()
    {
        // Where one more comes from, and an address still served, if any.
        columns<QStringList, QStringList, QByteArray, QByteArray>("options", "held", "refused",
                                                                  "served");
        QTest::newRow("three from one address, and a fourth from it")
            << QStringList{"--connections-per-address", "3"}
            << QStringList{"127.0.0.2", "127.0.0.2", "127.0.0.2"} << QByteArray("127.0.0.2")
            << QByteArray("127.0.0.3");
        QTest::newRow("three in all, and a fourth from one of their addresses")
            << QStringList{"--connections", "3"}
            << QStringList{"127.0.0.2", "127.0.0.3", "127.0.0.4"} << QByteArray("127.0.0.4")
            << QByteArray();
    }
    void connectionsAreCapped()
    {
        const auto [options, held, refused, served] =
            fetch<QStringList, QStringList, QByteArray, QByteArray>("options", "held", "refused",
                                                                    "served");
        QVERIFY(start(options + QStringList{"--head-deadline", "60"}));
        std::vector<std::unique_ptr<RawConnection>> open;
        // The connection start() opened for the page may still be closing at the server.
        for (const QString& from : held) {
            bool taken = false;
            QTRY_VERIFY_WITH_TIMEOUT(taken || (taken = hold(open, from.toLatin1())), 10000);
        }
        RawConnection more(port(), refused.constData());
        QByteArray refusal;
        QCOMPARE(more.answer(&refusal), 503);
        QVERIFY(refusal.contains("<error-response><message>"));
        QTRY_VERIFY(more.closedByServer());
        if (!served.isEmpty()) {
            RawConnection other(port(), served.constData());
            QVERIFY(other.send(Page));
            QCOMPARE(other.answer(), 200);
        }

        open.resize(1);
        for (bool taken : {false, false})
            QTRY_VERIFY_WITH_TIMEOUT(taken || (taken = hold(open, refused)), 10000);
        RawConnection again(port(), refused.constData());
        QCOMPARE(again.answer(), 503);
    }

    void thePoolRunsNoMoreJobsAtOnceThanItHasWorkers()
    {
        WorkerPool pool(2);
        std::mutex lock;
        std::condition_variable changed;
        int running = 0, most = 0, done = 0, runningThen = 0;
        bool release = false, two = false;
        for (int n = 0; n < 3; ++n)
            pool.enqueue([&] {
                std::unique_lock held(lock);
                most = std::max(most, ++running);
                changed.notify_all();
                changed.wait(held, [&] { return release; });
                --running;
                ++done;
            });
        // Every job is let go before anything is compared: the pool waits for them.
        {
            std::unique_lock held(lock);
            two = changed.wait_for(held, std::chrono::seconds(10), [&] { return running == 2; });
            // Time for a third worker to start, were there one.
            changed.wait_for(held, std::chrono::milliseconds(200), [&] { return running > 2; });
            runningThen = running;
            release = true;
        }
        changed.notify_all();
        pool.shutdown();
        QCOMPARE(std::tuple(two, runningThen, done, most), std::tuple(true, 2, 3, 2));
    }

    // More clients than any fixed number of workers send half a request and wait; a client
    // that sends a whole one is answered while they all still hang on, and so is one that
    // sends its next requests before the answers, each in turn on the one connection.
    void slowClientsDoNotHoldUpOthers()
    {
        QVERIFY(start());
        std::vector<std::unique_ptr<RawConnection>> slow;
        for (int n = 0; n < 100; ++n) {
            const QByteArray from = "127.0.1." + QByteArray::number(1 + n % 4);
            slow.push_back(std::make_unique<RawConnection>(port(), from.constData()));
            QVERIFY(slow.back()->send("POST /edi/Ticket.aspx HTTP/1.1\r\nHost: h\r\n"));
        }

        ServiceClient client(port());
        QVERIFY(!client.cookie.empty());
        client.post("/edi/supplier/OrderData.aspx", "<order-request/>");
        QCOMPARE(client.httpStatus, 200);
        RawConnection connection(port());
        QVERIFY(connection.send(Page + Page + Page));
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(connection.answer(), 200);
            QVERIFY2(!connection.head().contains("Connection: close"), connection.head());
        }
        for (const auto& each : slow)
            QVERIFY(!each->closedByServer());
    }

    // The editor, which sends its whole document before it reads the answer, hears why a
    // document a little over the cap was refused.
    void theEditorIsToldABodyIsTooLarge()
    {
        QVERIFY(start({"--body-limit", "1"}));
        const RequestChannel::Transfer transfer =
            RequestChannel::post(QUrl(platform->siteBase() + "supplier/Upload.aspx"), m_cookie,
                                 true, response(MB * 3 / 2), RequestDeadlines{});
        QVERIFY2(transfer.ok, qPrintable(transfer.error));
        QVERIFY(transfer.body.contains("Документ слишком велик: больше 1 МБ"));
    }
};

QTEST_GUILESS_MAIN(TestLimits)
#include "tst_limits.moc"
