#pragma once

#include <QString>

struct RequestDeadlines;

#include <optional>

// The exchange that stands in for a page handing its cookie to the control it hosts. The
// page's link carries a one-time launch ticket; the window posts it to the site's
// Ticket.aspx, beside the page, and gets the page's session cookie back:
//   <launch-ticket-request><ticket>TICKET</ticket></launch-ticket-request>
//   <launch-ticket-response><cookie>NAME=VALUE</cookie></launch-ticket-response>
// or the platform's <error-response><message>…</message></error-response>. The request
// goes only to the page's own origin, under the request channel's deadline and size cap;
// the cookie is neither logged nor shown.
namespace LaunchTicket {

struct Redeemed {
    std::optional<QString> cookie;
    // Why there is no cookie.
    QString refusal;
};

QString address(const QString& pageUrl);
Redeemed redeem(const QString& pageUrl, const QString& ticket, const RequestDeadlines& deadlines);

} // namespace LaunchTicket
