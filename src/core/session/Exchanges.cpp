#include "core/session/Exchanges.h"

#include "core/actions/Confirmation.h"
#include "core/actions/RequestChannel.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/DebugLog.h"
#include "core/rules/FileWriter.h"
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
    const QString partner = form.properties().partnerUrl;
    form.setServices({base + QStringLiteral("Partners.aspx?format=xml"),
                      base + partner + QStringLiteral("/Upload.aspx"),
                      base + partner + QStringLiteral("/OrderData.aspx")});
}

bool fetchPartnerInfo(Confirmation& form)
{
    const XmlDocument request = XmlDocument::fromText(
        QStringLiteral("<partners-request><partner-iln>") + form.partnerIln() +
        QStringLiteral("</partner-iln><info-name>INFO</info-name></partners-request>"));
    const XmlDocument answer = SendXMLDOMRequest(form, form.services().partnersUrl, request);
    const XmlNode info = answer.selectSingleNode("/partner-info-response/partner-info/info");
    if (info.isNull())
        return false;
    ProcessState& process = form.process();
    if (!InfoFiles::readPartner(answer, process.partner))
        return false;
    // The answer is kept as the partner information file, replacing an earlier one.
    QString error;
    if (!FileWriter::write(
            InfoFiles::partnerInfoPath(process.workingFolder, process.user.iln, form.partnerIln()),
            answer.toUtf8(), &error))
        throw RuntimeError(RuntimeError::Generic,
                           QStringLiteral("Файл информации о партнёре не записан: %1").arg(error));
    return true;
}

std::optional<XmlDocument> fetchOrder(Confirmation& form)
{
    const XmlDocument request = XmlDocument::fromText(
        QStringLiteral("<order-request><deleteafter>true</deleteafter></order-request>"));
    const XmlDocument answer = SendXMLDOMRequest(form, form.services().orderDataUrl, request);
    const XmlNode order =
        answer.selectSingleNode("/receive-document-response/document-content/Document-Order");
    if (order.isNull())
        return std::nullopt;
    XmlDocument document = XmlDocument::fromText(order.xml());
    if (document.isEmpty()) {
        DebugLog::WriteParseError(form.services().orderDataUrl, document);
        return std::nullopt;
    }
    return document;
}

} // namespace Exchanges
