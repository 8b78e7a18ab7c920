#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// A wexa-confirm: link, which any web page can make:
//   wexa-confirm:open?page=URL&PartnerName=…&PartnerILN=…&PartnerURL=…&OnLine=…
//                    &DebugLevel=…&ticket=TICKET
// Every value is checked here before anything is done with it; a refusal says which
// value and why, after "значение …", in words the clerk can read. The same checks hold
// for the values typed on the command line.
namespace LaunchLink {

inline const QString Scheme = QStringLiteral("wexa-confirm");
// Longer than any link a page makes.
constexpr qsizetype MaxLinkLength = 16 * 1024;
constexpr qsizetype MaxPageLength = 2048;
constexpr qsizetype MaxTicketLength = 512;
constexpr qsizetype MaxCookieLength = 4096;

struct Values {
    QString page; // fully encoded
    QString ticket;
    QMap<QString, QString> properties;
};

bool isLink(const QString& argument);
// The link's values, or nothing with the reason in `refusal`.
std::optional<Values> parse(const QString& link, QString& refusal);

// The persisted properties a link or the command line may give.
const QStringList& propertyNames();
// Why a property's value is refused ("" when it is taken): PartnerName becomes part of
// the log's file name, PartnerILN of the partner file's name and of a request,
// PartnerURL a segment of the services' addresses.
QString propertyRefusal(const QString& name, const QString& value);
// Why an address is no platform page to open: not http or https, no host, a user name
// or password, a fragment, no site above the page, or too long.
QString pageRefusal(const QUrl& page);
// Why a text cannot be sent as the page's cookie: empty, too long, or anything but
// printable ASCII (a line break would end the header and start another).
QString cookieRefusal(const QString& cookie);

} // namespace LaunchLink
