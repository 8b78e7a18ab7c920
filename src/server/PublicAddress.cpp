#include "server/PublicAddress.h"

namespace {

int defaultPort(const QUrl& url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

} // namespace

PublicAddress PublicAddress::parse(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    PublicAddress address;
    if (url.isValid() &&
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
        !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() &&
        !url.hasFragment() && (url.path().isEmpty() || url.path() == QLatin1String("/")))
        address.m_url = url;
    return address;
}

PublicAddress PublicAddress::of(bool tls, const QString& host, int port)
{
    QUrl url;
    url.setScheme(tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPort(port);
    return parse(url.toString());
}

QString PublicAddress::origin() const
{
    if (!isValid())
        return {};
    QUrl origin;
    origin.setScheme(m_url.scheme());
    origin.setHost(m_url.host());
    if (m_url.port(defaultPort(m_url)) != defaultPort(m_url))
        origin.setPort(m_url.port());
    return origin.toString(QUrl::FullyEncoded);
}

bool PublicAddress::isOrigin(const std::string& header) const
{
    const QUrl url(QString::fromStdString(header), QUrl::StrictMode);
    return isValid() && url.isValid() && url.scheme() == m_url.scheme() &&
           url.host().compare(m_url.host(), Qt::CaseInsensitive) == 0 &&
           url.port(defaultPort(url)) == m_url.port(defaultPort(m_url)) &&
           url.userInfo().isEmpty() && url.path().isEmpty() && !url.hasQuery() &&
           !url.hasFragment();
}
