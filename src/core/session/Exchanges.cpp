#include "core/session/Exchanges.h"

#include "core/actions/Confirmation.h"
#include "core/actions/RequestChannel.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/DebugLog.h"
#include "core/rules/FileWriter.h"
#include "core/rules/SafeNames.h"
#include "core/session/InfoFiles.h"

namespace Exchanges {

QString siteBase(const QString& pageUrl)
{
    const qsizetype last = pageUrl.lastIndexOf(QLatin1Char('/'));
    if (last < 1)
        return {};
    const qsizetype before = pageUrl.lastIndexOf(QLatin1Char('/'), last - 1);
    if (before < 0)
        return {};
    return pageUrl.left(before + 1);
}

void buildServiceAddresses(Confirmation& form, const QString& pageUrl)
{
    const QString base = siteBase(pageUrl);
    // PartnerURL names one folder of the site: it goes in as one segment, encoded, so that
    // it reaches no other path of the site. "." or "..", which no encoding keeps in place,
    // give no address to reach.
    const std::optional<QString> partner = SafeNames::pathSegment(form.properties().partnerUrl);
    const auto service = [&](const QString& name) {
        return partner ? base + *partner + name : QString();
    };
    form.setServices({base + QStringLiteral("Partners.aspx?format=xml"),
                      service(QStringLiteral("/Upload.aspx")),
                      service(QStringLiteral("/OrderData.aspx"))});
}

XmlDocument partnersRequest(const QString& partnerIln)
{
    // Markup, or a character that XML does not allow, never made a document of this
    // request: it stays empty and is sent as such, and nothing else is read into it.
    if (!XmlNode::isPlainText(partnerIln))
        return XmlDocument();
    XmlDocument request = XmlDocument::fromText(QStringLiteral(
        "<partners-request><partner-iln/><info-name>INFO</info-name></partners-request>"));
    request.selectSingleNode("/partners-request/partner-iln").setText(partnerIln);
    return request;
}

bool fetchPartnerInfo(Confirmation& form)
{
    const XmlDocument request = partnersRequest(form.partnerIln());
    const XmlDocument answer = SendXMLDOMRequest(form, form.services().partnersUrl, request);
    const XmlNode info = answer.selectSingleNode("/partner-info-response/partner-info/info");
    if (info.isNull())
        return false;
    ProcessState& process = form.process();
    if (!InfoFiles::readPartner(answer, process.partner))
        return false;
    // The answer is kept as the partner information file, replacing an earlier one.
    QString error;
    const QString path =
        InfoFiles::partnerInfoPath(process.workingFolder, process.user.iln, form.partnerIln());
    if (path.isEmpty())
        error = QStringLiteral("ILN поставщика или покупателя не годится для имени файла");
    if (!error.isEmpty() || !FileWriter::write(path, answer.toUtf8(), &error))
        throw RuntimeError(RuntimeError::Generic,
                           QStringLiteral("Файл информации о партнёре не записан: %1").arg(error));
    form.host().partnerInfoStored(path);
    return true;
}

std::optional<int> waitingOrders(const XmlDocument& answer)
{
    bool counted = false;
    const int waiting =
        answer.selectSingleNode("/receive-document-response/waiting-orders").text().toInt(&counted);
    if (!counted || waiting < 0)
        return std::nullopt;
    return waiting;
}

std::optional<XmlDocument> fetchOrder(Confirmation& form)
{
    const XmlDocument request = XmlDocument::fromText(
        QStringLiteral("<order-request><deleteafter>true</deleteafter></order-request>"));
    const XmlDocument answer = SendXMLDOMRequest(form, form.services().orderDataUrl, request);
    // The reference platform says how many orders wait behind this one; the control
    // itself reads only the order.
    if (const std::optional<int> waiting = waitingOrders(answer))
        form.host().waitingOrders(*waiting);
    const XmlNode order =
        answer.selectSingleNode("/receive-document-response/document-content/Document-Order");
    if (order.isNull())
        return std::nullopt;
    XmlDocument document = XmlDocument::fromText(order.xml());
    if (document.isEmpty()) {
        DebugLog::WriteParseError(form.process(), form.services().orderDataUrl, document);
        return std::nullopt;
    }
    return document;
}

} // namespace Exchanges
