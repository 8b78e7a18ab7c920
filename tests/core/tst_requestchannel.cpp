#include "CoreForm.h"
#include "RawServer.h"

#include "core/actions/RequestChannel.h"
#include "core/form/Host.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/session/Exchanges.h"

#include <QDeadlineTimer>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Cookie = "WEXASESSION=7f3a";
const QByteArray Request = "<partners-request><partner-iln>4607000000017</partner-iln>"
                           "<info-name>INFO</info-name></partners-request>";
const QString Service = u"/edi/Partners.aspx?format=xml"_s;

struct Page : Host, OrderForm {
    explicit Page(const QString& origin) : origin(origin) { form.setHost(*this); }
    QString pageUrl() const override { return origin + u"/edi/supplier/Order.aspx"_s; }
    XmlDocument send() { return SendXMLDOMRequest(form, origin + Service, request); }
    QString origin;
    const XmlDocument request = XmlDocument::fromBytes(Request);
};

// A failed transfer is reported as the failed send, then each failed reading of its answer.
void verifyTransferFailed(const RecordingMessages& messages, const QString& error)
{
    const QString failed = u"Bі№d w SendXMLDOMRequest()! (critical): "_s;
    const QString unread = failed + u"Ответ сервера недоступен: "_s + error;
    QCOMPARE(messages.lines(), (QStringList{failed + error, unread, unread}));
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

    // The page's cookie and document go only where the page comes from, as the same POST.
    void redirectsStayAtThePagesOrigin_data()
    {
        columns<QByteArray, QString>("status", "where");
        const QByteArray s307 = "307 Temporary Redirect";
        const QString home = u"home"_s, away = u"away"_s;
        QTest::newRow("a 307 to another port of the same host is not followed") << s307 << away;
        QTest::newRow("a 302 to another port of the host is not followed")
            << "302 Found"_ba << away;
        QTest::newRow("a 307 to the same host and port over another scheme is not followed")
            << s307 << u"https"_s;
        QTest::newRow("a 307 at home repeats the POST with its body and cookie") << s307 << home;
        QTest::newRow("a 308 at home repeats the POST") << "308 Permanent Redirect"_ba << home;
        QTest::newRow("a 303 at home still repeats the POST") << "303 See Other"_ba << home;
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
        QCOMPARE(answered.isEmpty(), where != u"home"_s);
        if (where != u"home"_s) {
            QCOMPARE(home.requests.size(), 1);
            verifyTransferFailed(page.messages,
                                 u"Сервер перенаправил запрос на другой адрес: "_s + target);
            return;
        }
        QCOMPARE(page.messages.texts(), QStringList());
        QCOMPARE(home.requests.size(), 2);
        const Received& followed = home.requests.at(1);
        QCOMPARE(
            std::tie(followed.method, followed.path, followed.body, followed.cookie),
            std::tuple("POST"_ba, "/moved"_ba, home.requests.at(0).body, std::optional(Cookie)));
        QCOMPARE(XmlDocument::fromBytes(followed.body).xml(), QString::fromUtf8(Request));
        QCOMPARE(answered.root().name(), u"moved"_s);
    }

    // A server that keeps sending a little, or too much, fails like one that does not answer.
    void endlessAnswersFail_data()
    {
        columns<QByteArray, QString>("written", "error");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        QTest::newRow("a byte every 100 ms ends at the deadline")
            << ok + "Content-Length: 60\r\n\r\n<r>" << u"Сервер не отвечает (1 с без ответа): "_s;
        QTest::newRow("an announced length above the limit ends at once")
            << ok + "Content-Length: 70000000\r\n\r\n<r>" << u"Ответ сервера больше 64 МБ: "_s;
        QTest::newRow("a body that passes the limit without a length ends there")
            << ok + "Connection: close\r\n\r\n<r>" + QByteArray(XmlDocument::MaxInputSize, 'w') +
                   "</r>"
            << u"Ответ сервера больше 64 МБ: "_s;
        QTest::newRow("silence ends at the stall")
            << QByteArray() << u"Сервер не отвечает (0.3 с без ответа): "_s;
    }
    void endlessAnswersFail()
    {
        const auto [written, error] = fetch<QByteArray, QString>("written", "error");
        RawServer server;
        QTimer drip;
        server.respond = [&, written = written](QTcpSocket* s, const Received&) {
            s->write(written);
            if (written.endsWith("</r>"))
                s->disconnectFromHost();
            else if (written.endsWith("60\r\n\r\n<r>"))
                QObject::connect(&drip, &QTimer::timeout, s, [s] { s->write("w"); });
            drip.start(100);
        };
        testProcess().deadlines =
            error.contains(u"МБ"_s) ? RequestDeadlines{5000, 20000} : RequestDeadlines{300, 1000};
        Page page(server.origin());
        const QDeadlineTimer beforeTheStallEndedIt(4000);

        QVERIFY(page.send().isEmpty());

        QVERIFY(!beforeTheStallEndedIt.hasExpired());
        verifyTransferFailed(page.messages, error + page.origin + Service);
    }

    // The partner's number is the request's text: markup that would make more of it empties it.
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

    // An error page is no failure; why it was not read is traced above the product's levels.
    void unreadAnswerIsTraced()
    {
        for (const int level : {4, 5}) {
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

            QVERIFY(page.messages.texts().isEmpty() && answered.isEmpty());
            const QString traced = Cp1251::decode(readFile(dir.filePath(u"trace.log"_s)));
            QCOMPARE(traced.contains(answered.errorString()), level >= 5);
        }
    }
};

QTEST_GUILESS_MAIN(TestRequestChannel)
#include "tst_requestchannel.moc"
