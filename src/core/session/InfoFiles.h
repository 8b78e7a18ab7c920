#pragma once

#include "core/form/ProcessState.h"

#include <QString>

class XmlDocument;

// The user and partner information files of the working folder.
namespace InfoFiles {

QString userInfoPath(const QString& folder);
QString partnerInfoPath(const QString& folder, const QString& userIln, const QString& partnerIln);

enum class Read { Loaded, NoInformation, NotLoaded };

// Reads the user's information into the process-wide record: the location number is
// emptied first; a file without the information element leaves the other fields as they
// were. Throws when the information element lacks one of its elements.
Read readUserInfo(const ProcessState& process, const QString& path, UserInfo& user);
// Reads the partner's information; NotLoaded and NoInformation read nothing.
Read readPartnerInfo(const ProcessState& process, const QString& path, PartnerInfo& partner);
// The information element of a loaded document ("partner-info/info" below its root).
bool readPartner(const XmlDocument& document, PartnerInfo& partner);

} // namespace InfoFiles
