#include "core/session/InfoFiles.h"

#include "core/form/RuntimeError.h"
#include "core/rules/DebugLog.h"
#include "core/rules/XmlDocument.h"
#include "core/session/WorkingFolder.h"

namespace InfoFiles {
namespace {

// Each element of the information is required once the information element is there.
QString required(const XmlNode& info, const char* name)
{
    const XmlNode node = info.selectSingleNode(QString::fromLatin1(name));
    if (node.isNull())
        throw RuntimeError(
            RuntimeError::ObjectMissing,
            QStringLiteral("В элементе info нет элемента %1").arg(QString::fromLatin1(name)));
    return node.text();
}

} // namespace

QString userInfoPath(const QString& folder)
{
    return WorkingFolder::file(folder, QStringLiteral("userinfo.xml"));
}

QString partnerInfoPath(const QString& folder, const QString& userIln, const QString& partnerIln)
{
    return WorkingFolder::file(folder, userIln + QLatin1Char('_') + partnerIln +
                                           QStringLiteral("_partner_INFO.xml"));
}

Read readUserInfo(const ProcessState& process, const QString& path, UserInfo& user)
{
    const XmlDocument document = XmlDocument::fromFile(path);
    if (document.isEmpty()) {
        DebugLog::WriteParseError(process, path, document);
        return Read::NotLoaded;
    }
    user.iln.clear();
    const XmlNode info = document.root().selectSingleNode("partner-info/info");
    if (info.isNull())
        return Read::NoInformation;
    user.iln = required(info, "iln");
    user.nip = required(info, "nip");
    user.name = required(info, "name");
    user.account = required(info, "account");
    return Read::Loaded;
}

bool readPartner(const XmlDocument& document, PartnerInfo& partner)
{
    const XmlNode info = document.root().selectSingleNode("partner-info/info");
    if (info.isNull())
        return false;
    partner.nip = required(info, "nip");
    partner.name = required(info, "name");
    partner.account = required(info, "account");
    return true;
}

Read readPartnerInfo(const ProcessState& process, const QString& path, PartnerInfo& partner)
{
    const XmlDocument document = XmlDocument::fromFile(path);
    if (document.isEmpty()) {
        DebugLog::WriteParseError(process, path, document);
        return Read::NotLoaded;
    }
    return readPartner(document, partner) ? Read::Loaded : Read::NoInformation;
}

} // namespace InfoFiles
