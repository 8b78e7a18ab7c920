#include "server/Mailbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

bool Mailbox::exists(const QString& partnerUrl) const
{
    return QFileInfo(box(partnerUrl)).isDir();
}

int Mailbox::waitingCount(const QString& partnerUrl) const
{
    return int(QDir(box(partnerUrl) + QStringLiteral("/waiting"))
                   .entryList({QStringLiteral("*.xml")}, QDir::Files)
                   .size());
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
        if (m_handingOut.contains(file.fileName()) || !file.open(QIODevice::ReadOnly))
            continue;
        Order order{name, file.readAll()};
        if (deliver)
            m_handingOut.insert(file.fileName());
        return order;
    }
    return std::nullopt;
}

void Mailbox::delivered(const QString& partnerUrl, const QString& name)
{
    QMutexLocker lock(&m_orders);
    const QString source = box(partnerUrl) + QStringLiteral("/waiting/") + name;
    m_handingOut.remove(source);
    QDir(box(partnerUrl)).mkdir(QStringLiteral("delivered"));
    const QString delivered = box(partnerUrl) + QStringLiteral("/delivered/");
    QString target = delivered + name;
    if (QFile::exists(target))
        target = delivered +
                 QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz-")) +
                 name;
    QFile::rename(source, target);
}

void Mailbox::released(const QString& partnerUrl, const QString& name)
{
    QMutexLocker lock(&m_orders);
    m_handingOut.remove(box(partnerUrl) + QStringLiteral("/waiting/") + name);
}

QString Mailbox::receive(const QString& partnerUrl, const QByteArray& body)
{
    static std::atomic<unsigned> counter{0};
    const QString received = box(partnerUrl) + QStringLiteral("/received");
    QDir(box(partnerUrl)).mkdir(QStringLiteral("received"));
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
