#pragma once

#include "core/form/ProcessState.h"
#include "core/rules/XmlDocument.h"

#include <QString>
#include <QUrl>

class Confirmation;

// The one way the control talks to the platform's server: an XML document posted with
// the page's cookie, the answer parsed into a document. Blocks until the answer is in or
// the transfer failed; user input is held back meanwhile. Every failing step is
// reported on its own and logged; the answer is then an empty document.
XmlDocument SendXMLDOMRequest(Confirmation& form, const QString& address,
                              const XmlDocument& request);

namespace RequestChannel {
struct Transfer {
    bool ok = false;
    QString error;
    QByteArray body;
};
// One POST under the channel's rules and limits: http or https only, redirects followed
// only within the same origin, the deadlines and the size cap. The cookie is sent when
// `sendCookie` holds. Nothing is logged or shown.
Transfer post(const QUrl& url, const QByteArray& cookie, bool sendCookie, const QByteArray& body,
              const RequestDeadlines& deadlines);
} // namespace RequestChannel
