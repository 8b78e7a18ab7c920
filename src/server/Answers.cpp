#include "server/Answers.h"

#include "core/rules/XmlDocument.h"

namespace {

std::string xmlText(const QString& text)
{
    XmlDocument document = XmlDocument::fromText(QStringLiteral("<t/>"));
    document.root().setText(text);
    const QString escaped = document.root().xml();
    return escaped.mid(3, escaped.size() - 7).toStdString();
}

// The document text of a request, kept as it was sent.
QString bodyText(const std::string& body)
{
    return QString::fromUtf8(body.data(), qsizetype(body.size()));
}

} // namespace

namespace Answers {

std::string errorAnswer(const QString& text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><error-response><message>" + xmlText(text) +
           "</message></error-response>";
}

std::string uploadStatus(const QString& status)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><send-document-response><submission-status>" +
           xmlText(status) + "</submission-status></send-document-response>";
}

std::optional<QString> requestedPartner(const std::string& body)
{
    const XmlDocument request = XmlDocument::fromText(bodyText(body));
    const XmlNode iln = request.selectSingleNode("/partners-request/partner-iln");
    if (iln.isNull())
        return std::nullopt;
    return iln.text();
}

bool deliveryRequested(const std::string& body)
{
    const XmlDocument request = XmlDocument::fromText(bodyText(body));
    return request.selectSingleNode("/order-request/deleteafter").text().trimmed() ==
           QLatin1String("true");
}

std::optional<std::string> orderDocument(const QByteArray& order, QString& refusal)
{
    const XmlDocument document = XmlDocument::fromBytes(order);
    if (document.isEmpty()) {
        refusal = QStringLiteral("not well-formed XML: ") + document.errorString();
        return std::nullopt;
    }
    if (const QString root = document.root().name(); root != QLatin1String("Document-Order")) {
        refusal = QStringLiteral("its root is %1, not Document-Order").arg(root);
        return std::nullopt;
    }
    return document.xml().toStdString();
}

std::string orderAnswer(const std::string& document, int waitingBehind)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response>"
           "<document-content>" +
           document + "</document-content><waiting-orders>" + std::to_string(waitingBehind) +
           "</waiting-orders></receive-document-response>";
}

std::optional<QString> uploadRefusal(const std::string& body)
{
    // Checked in place, and without building the document: only its root is looked at.
    QString error;
    const std::optional<QString> root =
        XmlDocument::rootName(QByteArray::fromRawData(body.data(), qsizetype(body.size())), error);
    if (!root)
        return QStringLiteral("Документ не является правильным XML: ") + error;
    if (*root != QLatin1String("Document-OrderResponse"))
        return QStringLiteral("Ожидался Document-OrderResponse, получен ") + *root;
    return std::nullopt;
}

} // namespace Answers
