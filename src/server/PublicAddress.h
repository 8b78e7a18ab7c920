#pragma once

#include <QString>
#include <QUrl>

#include <string>

// The address under which the platform's pages are reached, as the browser sees it: the
// scheme, host and port that links name, that a page's own requests come from, and that
// decides whether its cookie is for secure connections only. It comes from configuration,
// never from a request.
class PublicAddress {
public:
    PublicAddress() = default;
    // An http or https address with a host and nothing after it but "/"; an invalid
    // address otherwise.
    static PublicAddress parse(const QString& text);
    static PublicAddress of(bool tls, const QString& host, int port);

    bool isValid() const { return m_url.isValid(); }
    bool isSecure() const { return m_url.scheme() == QLatin1String("https"); }
    // scheme://host[:port], the port left out when it is the scheme's own.
    QString origin() const;
    // Whether an Origin header names this address.
    bool isOrigin(const std::string& header) const;
    // The address of a path on this site ("/edi/…").
    QString address(const QString& path) const { return origin() + path; }

private:
    QUrl m_url;
};
