#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Which platforms' pages may open the editor with a link. An origin is a page's scheme,
// host and port. The administrator lists trusted origins system-wide
// (/etc/xdg/WEXA/wexa-confirm.conf: [TrustedOrigins] origins=https://edi.example.ru, …);
// for any other origin the clerk is asked once, and the answer is kept in the user's
// settings (group TrustedOrigins, keys allowed and refused).
class TrustedOrigins {
public:
    enum class Verdict { Trusted, Refused, Unknown };

    // "scheme://host:port", the host in ASCII and the default port written out; empty when
    // the address is not on the web.
    static QString originOf(const QUrl& url);
    // The origin as the clerk reads it: a host spelled in another alphabet is shown both
    // ways, so that a look-alike name does not pass for the real one.
    static QString shown(const QString& origin);

    Verdict verdict(const QString& origin) const;
    // False when the user's settings could not be written.
    bool remember(const QString& origin, bool trusted);
    bool forget(const QString& origin);

    // The administrator's list, and the clerk's answers.
    QStringList administered() const;
    QStringList allowed() const;
    QStringList refused() const;
};
