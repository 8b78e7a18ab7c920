#pragma once

#include "core/rules/XmlDocument.h"

#include <QString>

#include <optional>

class Confirmation;

// The partner-information and order exchanges of an on-line start-up.
namespace Exchanges {

// The page address up to and including the "/" before its last "/"; empty when there is
// no such "/".
QString siteBase(const QString& pageUrl);
// The three service addresses from the page address and the PartnerURL setting.
void buildServiceAddresses(Confirmation& form, const QString& pageUrl);

// The partner information request for this partner's number.
XmlDocument partnersRequest(const QString& partnerIln);
// Asks the server for the partner's information; on success the process-wide partner
// information is set and the answer is stored as the partner information file.
bool fetchPartnerInfo(Confirmation& form);
// The order the server hands out, if it has one.
std::optional<XmlDocument> fetchOrder(Confirmation& form);
// How many orders the platform says wait behind the one its answer carries; nothing when it
// says no plain count.
std::optional<int> waitingOrders(const XmlDocument& answer);

} // namespace Exchanges
