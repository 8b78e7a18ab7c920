#include "exchange/RequestChannel.h"

#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/ProcessState.h"
#include "diagnostics/DebugLog.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

int g_stallTimeout = 60000;

void reportFailure(Confirmation& form, const QString& description)
{
    DebugLog::WriteLog(QStringLiteral("Bі№d w SendXMLDOMRequest():") + description, 2);
    form.messages().show(
        {QStringLiteral("Bі№d w SendXMLDOMRequest()!"), description, Message::Icon::Critical});
}

// The page's cookie goes to the page's own site only.
bool sameSite(const QUrl& target, const QUrl& page)
{
    return page.isValid() && target.scheme() == page.scheme() &&
           target.host().compare(page.host(), Qt::CaseInsensitive) == 0 &&
           target.port(target.scheme() == QLatin1String("https") ? 443 : 80) ==
               page.port(page.scheme() == QLatin1String("https") ? 443 : 80);
}

struct Transfer {
    bool ok = false;
    QString error;
    QByteArray body;
};

Transfer post(const QUrl& url, const QByteArray& cookie, bool sendCookie, const QByteArray& body)
{
    Transfer transfer;
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        transfer.error = QStringLiteral("Неверный адрес сервера: «%1»").arg(url.toString());
        return transfer;
    }
    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("text/xml; charset=utf-8"));
    // A null value would drop the header; an empty cookie is still sent, empty.
    if (sendCookie)
        request.setRawHeader("Cookie", cookie.isNull() ? QByteArray("") : cookie);
    QNetworkReply* reply = manager.post(request, body);

    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    bool stalled = false;
    QObject::connect(&stall, &QTimer::timeout, &loop, [&] {
        stalled = true;
        reply->abort();
    });
    auto progressed = [&stall] { stall.start(g_stallTimeout); };
    QObject::connect(reply, &QNetworkReply::uploadProgress, &loop, progressed);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, progressed);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    stall.start(g_stallTimeout);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (stalled) {
        transfer.error = QStringLiteral("Сервер не отвечает (%1 с без ответа): %2")
                             .arg(g_stallTimeout / 1000.0)
                             .arg(url.toString());
    } else if (error != QNetworkReply::NoError && !answered) {
        transfer.error = reply->errorString();
    } else {
        // The status of an answer is not judged: its body is what counts.
        transfer.ok = true;
        transfer.body = reply->readAll();
    }
    reply->deleteLater();
    return transfer;
}

} // namespace

namespace RequestChannel {
void setStallTimeout(int milliseconds)
{
    g_stallTimeout = milliseconds;
}
} // namespace RequestChannel

XmlDocument SendXMLDOMRequest(Confirmation& form, const QString& address,
                              const XmlDocument& request)
{
    const QString cookie = ProcessState::instance().pageCookie;
    DebugLog::WriteLogXml(QStringLiteral("Request: ") + address + QLatin1Char(' ') + cookie,
                          request.root(), 4);
    const QUrl url(address);
    const Transfer transfer = post(url, cookie.toUtf8(), sameSite(url, QUrl(form.host().pageUrl())),
                                   request.xml().toUtf8());
    if (!transfer.ok) {
        reportFailure(form, transfer.error);
        // Without an answer, reading it fails as well: once for the trace, once for the
        // parse.
        const QString noAnswer = QStringLiteral("Ответ сервера недоступен: ") + transfer.error;
        reportFailure(form, noAnswer);
        reportFailure(form, noAnswer);
        XmlDocument empty;
        DebugLog::WriteLogXml(QStringLiteral("ResponseParsed: "), empty.root(), 4);
        return empty;
    }
    const QString body = QString::fromUtf8(transfer.body);
    DebugLog::WriteLog(QStringLiteral("Response: ") + body, 4);
    XmlDocument answer = XmlDocument::fromBytes(transfer.body);
    DebugLog::WriteLogXml(QStringLiteral("ResponseParsed: "), answer.root(), 4);
    return answer;
}
