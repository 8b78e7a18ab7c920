#pragma once

#include <QString>

// The platform's order page for one mailbox: who the buyer is, how many orders wait, and
// the button that opens the editor through a wexa-confirm: link. The link carries the
// page's address, the partner's settings and a launch ticket; never the session cookie,
// which a link would leave in the browser's history and in logs.
namespace OrderPage {

struct Partner {
    QString name;  // PartnerName: names the editor's log file
    QString iln;   // PartnerILN
    QString url;   // PartnerURL: the mailbox
    QString buyer; // the buyer's name as shown
    QString online = QStringLiteral("On");
    QString debugLevel = QStringLiteral("0");
};

QString launchLink(const QString& pageUrl, const Partner& partner, const QString& ticket);
QString html(const QString& pageUrl, const Partner& partner, int waiting, const QString& ticket);
QString notFound();

} // namespace OrderPage
