#pragma once

#include "core/rules/XmlDocument.h"

#include <QString>

class Confirmation;

// The one way the control talks to the platform's server: an XML document posted with
// the page's cookie, the answer parsed into a document. Blocks until the answer is in or
// the transfer failed; user input is held back meanwhile. Every failing step is
// reported on its own and logged; the answer is then an empty document.
XmlDocument SendXMLDOMRequest(Confirmation& form, const QString& address,
                              const XmlDocument& request);

namespace RequestChannel {
// A transfer that makes no progress for this long fails like an unreachable server.
void setStallTimeout(int milliseconds);
// A whole exchange, however steady, that takes longer fails the same way.
void setDeadline(int milliseconds);
} // namespace RequestChannel
