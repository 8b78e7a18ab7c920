#include "core/session/TrustedOrigins.h"

#include <QSettings>

namespace {

const QString TrustOrganisation = QStringLiteral("WEXA");
const QString TrustApplication = QStringLiteral("wexa-confirm");
const QString AdministeredKey = QStringLiteral("TrustedOrigins/origins");
const QString AllowedKey = QStringLiteral("TrustedOrigins/allowed");
const QString RefusedKey = QStringLiteral("TrustedOrigins/refused");

// The clerk's answers; the administrator's file is read on its own, never as one of them.
QStringList answers(const QString& key)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, TrustOrganisation);
    settings.setFallbacksEnabled(false);
    return settings.value(key).toStringList();
}

bool keepAnswers(const QStringList& allowed, const QStringList& refused)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, TrustOrganisation);
    for (const auto& [key, origins] :
         {std::pair(AllowedKey, allowed), std::pair(RefusedKey, refused)}) {
        if (origins.isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, origins);
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QStringList origins(const QStringList& entries)
{
    QStringList normalised;
    for (const QString& entry : entries) {
        const QString origin = TrustedOrigins::originOf(QUrl(entry.trimmed()));
        if (!origin.isEmpty() && !normalised.contains(origin))
            normalised.append(origin);
    }
    return normalised;
}

} // namespace

QString TrustedOrigins::originOf(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1://%2:%3")
        .arg(scheme, url.host(QUrl::FullyEncoded).toLower())
        .arg(port);
}

QString TrustedOrigins::shown(const QString& origin)
{
    const QUrl url(origin);
    const QString unicode = url.host(QUrl::PrettyDecoded);
    if (unicode == url.host(QUrl::FullyEncoded))
        return origin;
    return QStringLiteral("%1 (%2)").arg(origin, unicode);
}

TrustedOrigins::Verdict TrustedOrigins::verdict(const QString& origin) const
{
    if (origin.isEmpty())
        return Verdict::Refused;
    if (administered().contains(origin) || allowed().contains(origin))
        return Verdict::Trusted;
    return refused().contains(origin) ? Verdict::Refused : Verdict::Unknown;
}

QStringList TrustedOrigins::administered() const
{
    const QSettings system(QSettings::NativeFormat, QSettings::SystemScope, TrustOrganisation,
                           TrustApplication);
    return origins(system.value(AdministeredKey).toStringList());
}

QStringList TrustedOrigins::allowed() const
{
    return origins(answers(AllowedKey));
}

QStringList TrustedOrigins::refused() const
{
    return origins(answers(RefusedKey));
}

bool TrustedOrigins::remember(const QString& origin, bool trusted)
{
    QStringList yes = allowed();
    QStringList no = refused();
    yes.removeAll(origin);
    no.removeAll(origin);
    (trusted ? yes : no).append(origin);
    return keepAnswers(yes, no);
}

bool TrustedOrigins::forget(const QString& origin)
{
    QStringList yes = allowed();
    QStringList no = refused();
    yes.removeAll(origin);
    no.removeAll(origin);
    return keepAnswers(yes, no);
}
