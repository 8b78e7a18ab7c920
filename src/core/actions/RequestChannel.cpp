#include "core/actions/RequestChannel.h"

#include "core/actions/Confirmation.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"
#include "core/rules/DebugLog.h"
#include "core/rules/SafeNames.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

constexpr int MaxRedirects = 5;

void reportFailure(Confirmation& form, const QString& description)
{
    DebugLog::WriteLog(
        form.process(),
        QStringLiteral("Bі№d w SendXMLDOMRequest():") + SafeNames::oneLine(description), 2);
    form.messages().show(
        {QStringLiteral("Bі№d w SendXMLDOMRequest()!"), description, Message::Icon::Critical});
}

// Scheme, host and port: the page's cookie and document go nowhere else.
bool sameOrigin(const QUrl& target, const QUrl& origin)
{
    return origin.isValid() && target.scheme() == origin.scheme() &&
           target.host().compare(origin.host(), Qt::CaseInsensitive) == 0 &&
           target.port(target.scheme() == QLatin1String("https") ? 443 : 80) ==
               origin.port(origin.scheme() == QLatin1String("https") ? 443 : 80);
}

using RequestChannel::Transfer;

QString noAnswerWithin(int milliseconds, const QUrl& url)
{
    return QStringLiteral("Сервер не отвечает (%1 с без ответа): %2")
        .arg(milliseconds / 1000.0)
        .arg(url.toString());
}

// Waits for one reply; the reason it failed, or nothing when it was answered.
QString awaitReply(QNetworkReply* reply, QTimer& deadline, int stallTimeout, const QUrl& url)
{
    enum class End { Running, Stalled, Expired, TooLarge } end = End::Running;
    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    const auto stop = [&](End why) {
        end = why;
        reply->abort();
    };
    QObject::connect(&stall, &QTimer::timeout, &loop, [&] { stop(End::Stalled); });
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { stop(End::Expired); });
    QObject::connect(reply, &QNetworkReply::uploadProgress, &loop,
                     [&] { stall.start(stallTimeout); });
    // An answer too large to be parsed is not kept in memory either: its announced length
    // is judged as soon as the headers are in, the body as it arrives.
    const auto arrived = [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > XmlDocument::MaxInputSize ||
            (length.isValid() && length.toLongLong() > XmlDocument::MaxInputSize))
            stop(End::TooLarge);
        else
            stall.start(stallTimeout);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, arrived);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, arrived);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, arrived);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    stall.start(stallTimeout);
    if (!deadline.isActive())
        stop(End::Expired);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    switch (end) {
    case End::Stalled:
        return noAnswerWithin(stallTimeout, url);
    case End::Expired:
        return noAnswerWithin(deadline.interval(), url);
    case End::TooLarge:
        return QStringLiteral("Ответ сервера больше %1 МБ: %2")
            .arg(XmlDocument::MaxInputSize / (1024 * 1024))
            .arg(url.toString());
    case End::Running:
        break;
    }
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (reply->error() != QNetworkReply::NoError && !answered)
        return reply->errorString();
    return {};
}

} // namespace

Transfer RequestChannel::post(const QUrl& url, const QByteArray& cookie, bool sendCookie,
                              const QByteArray& body, const RequestDeadlines& deadlines)
{
    Transfer transfer;
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        transfer.error = QStringLiteral("Неверный адрес сервера: «%1»").arg(url.toString());
        return transfer;
    }
    // A line break in the cookie would end the header and start another.
    if (sendCookie && std::any_of(cookie.begin(), cookie.end(),
                                  [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; })) {
        transfer.error = QStringLiteral("Сеанс страницы содержит управляющий символ: запрос не "
                                        "отправлен");
        return transfer;
    }
    QNetworkAccessManager manager;
    // Redirects are followed here, not by the manager, which would copy the cookie to any
    // host and turn the POST into a GET. Only a redirect within the same origin is
    // followed, and always as the same POST with the same document (301, 302 and 303
    // too: the services take a document, a GET would only fetch a page); one elsewhere
    // fails the transfer.
    manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(deadlines.whole);
    QUrl target = url;
    for (int redirects = 0;; ++redirects) {
        QNetworkRequest request(target);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QStringLiteral("text/xml; charset=utf-8"));
        // A null value would drop the header; an empty cookie is still sent, empty.
        if (sendCookie)
            request.setRawHeader("Cookie", cookie.isNull() ? QByteArray("") : cookie);
        std::unique_ptr<QNetworkReply> reply(manager.post(request, body));
        transfer.error = awaitReply(reply.get(), deadline, deadlines.stall, url);
        if (!transfer.error.isEmpty())
            return transfer;

        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        const bool redirected =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (!redirected || location.isEmpty()) {
            // The status of an answer is not judged: its body is what counts.
            transfer.ok = true;
            transfer.body = reply->readAll();
            return transfer;
        }
        const QUrl next = target.resolved(location);
        if (!sameOrigin(next, target)) {
            transfer.error = QStringLiteral("Сервер перенаправил запрос на другой адрес: %1")
                                 .arg(next.toString());
            return transfer;
        }
        if (redirects == MaxRedirects) {
            transfer.error =
                QStringLiteral("Слишком много перенаправлений: %1").arg(url.toString());
            return transfer;
        }
        target = next;
    }
}

XmlDocument SendXMLDOMRequest(Confirmation& form, const QString& address,
                              const XmlDocument& request)
{
    const QString cookie = form.process().pageCookie;
    // The address and the cookie come from outside: neither starts a line of the trace.
    DebugLog::WriteLogXml(form.process(),
                          QStringLiteral("Request: ") + SafeNames::oneLine(address) +
                              QLatin1Char(' ') + SafeNames::oneLine(cookie),
                          request.root(), 4);
    const QUrl url(address);
    const Transfer transfer =
        RequestChannel::post(url, cookie.toUtf8(), sameOrigin(url, QUrl(form.host().pageUrl())),
                             request.xml().toUtf8(), form.process().deadlines);
    if (!transfer.ok) {
        reportFailure(form, transfer.error);
        // Without an answer, reading it fails as well: once for the trace, once for the
        // parse.
        const QString noAnswer = QStringLiteral("Ответ сервера недоступен: ") + transfer.error;
        reportFailure(form, noAnswer);
        reportFailure(form, noAnswer);
        XmlDocument empty;
        DebugLog::WriteLogXml(form.process(), QStringLiteral("ResponseParsed: "), empty.root(), 4);
        return empty;
    }
    const QString body = QString::fromUtf8(transfer.body);
    DebugLog::WriteLog(form.process(), QStringLiteral("Response: ") + body, 4);
    XmlDocument answer = XmlDocument::fromBytes(transfer.body);
    if (answer.isEmpty())
        DebugLog::WriteParseError(form.process(), address, answer);
    DebugLog::WriteLogXml(form.process(), QStringLiteral("ResponseParsed: "), answer.root(), 4);
    return answer;
}
