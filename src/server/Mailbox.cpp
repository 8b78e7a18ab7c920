#include "Mailbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>

#include <atomic>

Mailbox::Mailbox(QString root) : m_root(std::move(root)) {}

bool Mailbox::isValidPartnerUrl(const QString& partnerUrl)
{
    static const QRegularExpression segment(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]*$"));
    return partnerUrl.isEmpty() || segment.match(partnerUrl).hasMatch();
}

QString Mailbox::box(const QString& partnerUrl) const
{
    return m_root + QStringLiteral("/mailbox/") +
           (partnerUrl.isEmpty() ? QStringLiteral("_") : partnerUrl);
}

std::optional<QByteArray> Mailbox::partnerInfo(const QString& partnerIln) const
{
    static const QRegularExpression digits(QStringLiteral("^[0-9A-Za-z_-]+$"));
    if (!digits.match(partnerIln).hasMatch())
        return std::nullopt;
    QFile file(m_root + QStringLiteral("/partners/") + partnerIln + QStringLiteral(".xml"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<Mailbox::Order> Mailbox::takeOrder(const QString& partnerUrl, bool deliver)
{
    QMutexLocker lock(&m_orders);
    const QDir waiting(box(partnerUrl) + QStringLiteral("/waiting"));
    const QStringList names = waiting.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(waiting.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        Order order{name, file.readAll()};
        file.close();
        if (deliver) {
            const QString delivered = box(partnerUrl) + QStringLiteral("/delivered");
            QDir().mkpath(delivered);
            QString target = delivered + QLatin1Char('/') + name;
            if (QFile::exists(target))
                target =
                    delivered + QLatin1Char('/') +
                    QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz-")) +
                    name;
            if (!QFile::rename(file.fileName(), target))
                continue;
        }
        return order;
    }
    return std::nullopt;
}

QString Mailbox::receive(const QString& partnerUrl, const QByteArray& body)
{
    static std::atomic<unsigned> counter{0};
    const QString received = box(partnerUrl) + QStringLiteral("/received");
    QDir().mkpath(received);
    QString name;
    do {
        name = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
               QStringLiteral("-%1.xml").arg(++counter % 10000, 4, 10, QLatin1Char('0'));
    } while (QFile::exists(received + QLatin1Char('/') + name));
    QSaveFile file(received + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit())
        return {};
    return name;
}
