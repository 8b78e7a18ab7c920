#include "CoreForm.h"
#include "RawServer.h"

#include "core/actions/RequestChannel.h"
#include "core/form/Host.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Exchanges.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString ChannelTitle = u"Bі№d w SendXMLDOMRequest()!"_s;
const QByteArray Cookie = "WEXASESSION=7f3a";
const QByteArray Request = "<partners-request><partner-iln>4607000000017</partner-iln>"
                           "<info-name>INFO</info-name></partners-request>";

struct Page : Host, OrderForm {
    explicit Page(const QString& origin) : origin(origin) { form.setHost(*this); }
    QString pageUrl() const override { return origin + u"/edi/supplier/Order.aspx"_s; }
    XmlDocument send()
    {
        return SendXMLDOMRequest(form, origin + u"/edi/Partners.aspx?format=xml"_s,
                                 XmlDocument::fromBytes(Request));
    }
    QString origin;
};

// The channel's report of a failed transfer: the failed send, then each failed reading.
void verifyTransferFailed(const RecordingMessages& messages)
{
    QCOMPARE(messages.shown.size(), 3);
    for (const Message& m : messages.shown) {
        QCOMPARE(m.title, ChannelTitle);
        QCOMPARE(m.icon, Message::Icon::Critical);
    }
}

} // namespace

class TestRequestChannel : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        freshProcess();
        testProcess().pageCookie = QString::fromUtf8(Cookie);
        testProcess().deadlines = {10000, 20000};
    }

    // The page's cookie and document go only where the page comes from: a redirect
    // elsewhere is not followed, one at home is followed as the same POST.
    void redirectsStayAtThePagesOrigin_data()
    {
        // `where`: "home", "away" or "https"
        columns<QByteArray, QString>("status", "where");
        QTest::newRow("a 307 to another port of the same host is not followed")
            << "307 Temporary Redirect"_ba << u"away"_s;
        QTest::newRow("a 302 to another port of the same host is not followed")
            << "302 Found"_ba << u"away"_s;
        QTest::newRow("a 307 to the same host and port over another scheme is not followed")
            << "307 Temporary Redirect"_ba << u"https"_s;
        QTest::newRow("a 307 at home repeats the POST with its body and cookie")
            << "307 Temporary Redirect"_ba << u"home"_s;
        QTest::newRow("a 308 at home repeats the POST with its body and cookie")
            << "308 Permanent Redirect"_ba << u"home"_s;
        QTest::newRow("a 303 at home still repeats the POST with its body and cookie")
            << "303 See Other"_ba << u"home"_s;
    }
    void redirectsStayAtThePagesOrigin()
    {
        const auto [status, where] = fetch<QByteArray, QString>("status", "where");
        RawServer home, away;
        const QString target = where == u"away"_s    ? away.origin() + u"/edi/Partners.aspx"_s
                               : where == u"https"_s ? home.origin("https") + u"/moved"_s
                                                     : u"/moved"_s;
        home.respond = [&, status = status](QTcpSocket* socket, const Received& request) {
            socket->write(request.path == "/moved"
                              ? answer("200 OK", {}, "<moved/>")
                              : answer(status, "Location: " + target.toUtf8() + "\r\n", {}));
            socket->disconnectFromHost();
        };
        Page page(home.origin());

        const XmlDocument answered = page.send();

        QCOMPARE(away.requests.size(), 0);
        if (where != u"home"_s) {
            QCOMPARE(home.requests.size(), 1);
            verifyTransferFailed(page.messages);
            QVERIFY(answered.isEmpty());
            return;
        }
        QCOMPARE(page.messages.texts(), QStringList());
        QCOMPARE(home.requests.size(), 2);
        const Received& followed = home.requests.at(1);
        QCOMPARE(followed.method, "POST"_ba);
        QCOMPARE(followed.path, "/moved"_ba);
        QCOMPARE(followed.body, home.requests.at(0).body);
        QCOMPARE(XmlDocument::fromBytes(followed.body).xml(), QString::fromUtf8(Request));
        QCOMPARE(followed.cookie, std::optional<QByteArray>(Cookie));
        QCOMPARE(answered.root().name(), u"moved"_s);
    }

    // A server that keeps sending a little, or too much, fails like one that does not answer.
    void endlessAnswersFail_data()
    {
        columns<QString>("kind");
        QTest::newRow("a byte every 100 ms ends at the deadline") << u"trickle"_s;
        QTest::newRow("an announced length above the limit ends at once") << u"announced"_s;
        QTest::newRow("a body that passes the limit without a length ends there") << u"flood"_s;
    }
    void endlessAnswersFail()
    {
        QFETCH(QString, kind);
        RawServer server;
        QTimer trickle;
        server.respond = [&](QTcpSocket* socket, const Received&) {
            if (kind == u"trickle"_s) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\n<r>");
                QObject::connect(&trickle, &QTimer::timeout, socket,
                                 [socket] { socket->write("w"); });
                trickle.start(100);
            } else if (kind == u"announced"_s) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 70000000\r\n\r\n<r>");
            } else {
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<r>" +
                              QByteArray(XmlDocument::MaxInputSize, 'w') + "</r>");
                socket->disconnectFromHost();
            }
        };
        testProcess().deadlines =
            kind == u"trickle"_s ? RequestDeadlines{300, 1000} : RequestDeadlines{5000, 20000};
        Page page(server.origin());
        QElapsedTimer timer;
        timer.start();

        const XmlDocument answered = page.send();

        verifyTransferFailed(page.messages);
        QVERIFY(answered.isEmpty());
        // Before the stall would have ended it: the limit, not the silence, stopped it.
        QCOMPARE_LT(timer.elapsed(), 4000);
    }

    // The reason a transfer failed names the wait in seconds and the address.
    void aSilentServerIsNamedWithItsWait()
    {
        RawServer server;
        server.respond = [](QTcpSocket*, const Received&) {};
        const QUrl url(server.origin() + u"/edi/Partners.aspx"_s);

        const RequestChannel::Transfer sent =
            RequestChannel::post(url, {}, false, Request, RequestDeadlines{300, 5000});

        QVERIFY(!sent.ok);
        QCOMPARE(sent.error, u"Сервер не отвечает (0.3 с без ответа): "_s + url.toString());
    }

    // The partner's number is the request's text and nothing else: markup that would have
    // made more of the request leaves it empty.
    void thePartnerRequestHoldsTheNumberAsText_data()
    {
        columns<QString, QByteArray>("iln", "sent");
        QTest::newRow("a location number") << u"4607000000017"_s << Request;
        QTest::newRow("a second number slipped in leaves the request empty")
            << u"4607000000017</partner-iln><partner-iln>4607000000099"_s << QByteArray();
        QTest::newRow("an ampersand leaves the request empty") << u"A&B"_s << QByteArray();
    }
    void thePartnerRequestHoldsTheNumberAsText()
    {
        const auto [iln, sent] = fetch<QString, QByteArray>("iln", "sent");
        QCOMPARE(Exchanges::partnersRequest(iln).xml().toUtf8(), sent);
    }

    // An error page is no failure of the channel. Why it was not read is for support: a
    // trace above the levels of the product's own lines says it, the full trace does not.
    void unreadAnswerIsTraced_data()
    {
        columns<int>("level");
        QTest::newRow("a trace of level 5 names the parser's reason") << 5;
        QTest::newRow("the full trace of level 4 does not") << 4;
    }
    void unreadAnswerIsTraced()
    {
        QFETCH(int, level);
        RawServer server;
        server.respond = [](QTcpSocket* socket, const Received&) {
            socket->write(answer("500 Internal Server Error", {}, "<html><body>Ошибка"));
            socket->disconnectFromHost();
        };
        QTemporaryDir dir;
        DebugLog::StartLog(testProcess(), dir.filePath(u"trace.log"_s), int16_t(level));
        Page page(server.origin());

        const XmlDocument answered = page.send();
        testProcess().trace = {};

        QCOMPARE(page.messages.texts(), QStringList());
        QVERIFY(answered.isEmpty());
        const QString traced = Cp1251::decode(readFile(dir.filePath(u"trace.log"_s)));
        QCOMPARE(traced.contains(answered.errorString()), level >= 5);
    }
};

QTEST_GUILESS_MAIN(TestRequestChannel)
#include "tst_requestchannel.moc"
