#include "server/Mailbox.h"

#include "core/rules/SafeNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <atomic>

Q_LOGGING_CATEGORY(lcMailbox, "wexa.platform")

namespace {

// An order larger than the editor reads is not read here either.
constexpr qint64 MaxOrderSize = 64 * 1024 * 1024;

} // namespace

Mailbox::Mailbox(QString root) : m_root(std::move(root)) {}

QString Mailbox::prepare(const QString& root)
{
    const QFileInfo top(root);
    if (!top.exists())
        return QStringLiteral("the root %1 does not exist").arg(root);
    if (!top.isDir())
        return QStringLiteral("the root %1 is not a folder").arg(root);
    const QDir dir(root);
    for (const char* folderName : {"mailbox", "partners"}) {
        const QString name = QString::fromLatin1(folderName);
        const QFileInfo folder(dir.filePath(name));
        if (folder.exists() && !folder.isDir())
            return QStringLiteral("%1 is not a folder").arg(folder.filePath());
        if (!folder.exists() && !dir.mkdir(name))
            return QStringLiteral("%1 is missing and cannot be made").arg(folder.filePath());
    }
    // Orders move out of waiting/ and responses come into the mailbox: all of it is
    // written to while serving.
    const QDir boxes(dir.filePath(QStringLiteral("mailbox")));
    for (const QString& name : boxes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const char* sub : {"", "/waiting", "/delivered", "/received", "/rejected"}) {
            const QFileInfo folder(boxes.filePath(name) + QLatin1String(sub));
            if (folder.exists() && (!folder.isDir() || !folder.isWritable()))
                return QStringLiteral("%1 cannot be written").arg(folder.filePath());
        }
    }
    return {};
}

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

std::optional<Mailbox::Order> Mailbox::takeOrder(const QString& partnerUrl, bool deliver,
                                                 const OrderCheck& check)
{
    QMutexLocker lock(&m_orders);
    const QDir waiting(box(partnerUrl) + QStringLiteral("/waiting"));
    const QStringList names = waiting.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    const auto free = [&](const QString& name) {
        return !m_handingOut.contains(waiting.filePath(name));
    };
    for (auto at = names.cbegin(); at != names.cend(); ++at) {
        const QString& name = *at;
        QFile file(waiting.filePath(name));
        if (m_handingOut.contains(file.fileName()) || !file.exists())
            continue;
        Order order{name, {}};
        QString why;
        if (file.size() > MaxOrderSize)
            why = QStringLiteral("larger than %1 MB").arg(MaxOrderSize / (1024 * 1024));
        else if (!file.open(QIODevice::ReadOnly))
            why = file.errorString();
        else if (order.content = file.readAll(); file.error() != QFileDevice::NoError)
            why = file.errorString();
        else
            why = check(order.content);
        if (!why.isEmpty()) {
            file.close();
            reject(partnerUrl, name, why);
            continue;
        }
        if (deliver)
            m_handingOut.insert(file.fileName());
        order.waitingBehind = int(std::count_if(at + 1, names.cend(), free));
        return order;
    }
    return std::nullopt;
}

QString Mailbox::freeName(const QString& folder, const QString& name)
{
    if (!QFile::exists(folder + name))
        return folder + name;
    return folder + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz-")) +
           name;
}

void Mailbox::reject(const QString& partnerUrl, const QString& name, const QString& why)
{
    const QString mailbox =
        QStringLiteral("mailbox/") + (partnerUrl.isEmpty() ? QStringLiteral("_") : partnerUrl);
    QDir(box(partnerUrl)).mkdir(QStringLiteral("rejected"));
    const QString target = freeName(box(partnerUrl) + QStringLiteral("/rejected/"), name);
    const bool moved = QFile::rename(box(partnerUrl) + QStringLiteral("/waiting/") + name, target);
    // The name is the integrator's, the reason may quote the file: neither breaks the line.
    qCWarning(lcMailbox).noquote() << SafeNames::oneLine(
        QStringLiteral("order %1/waiting/%2 cannot be handed out (%3); %4")
            .arg(mailbox, name, why,
                 moved ? QStringLiteral("moved to %1/rejected/%2")
                             .arg(mailbox, QFileInfo(target).fileName())
                       : QStringLiteral("it could not be moved to rejected/")));
}

void Mailbox::delivered(const QString& partnerUrl, const QString& name)
{
    QMutexLocker lock(&m_orders);
    const QString source = box(partnerUrl) + QStringLiteral("/waiting/") + name;
    m_handingOut.remove(source);
    QDir(box(partnerUrl)).mkdir(QStringLiteral("delivered"));
    QFile::rename(source, freeName(box(partnerUrl) + QStringLiteral("/delivered/"), name));
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
