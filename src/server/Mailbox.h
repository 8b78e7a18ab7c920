#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <optional>

// The platform's store on disk, which an integrator can fill by hand:
//   partners/<PartnerILN>.xml                  the partner information answer for a buyer
//   mailbox/<PartnerURL>/waiting/*.xml         orders waiting, handed out in name order
//   mailbox/<PartnerURL>/delivered/            orders handed out for good
//   mailbox/<PartnerURL>/received/             each uploaded response, as received
// An empty PartnerURL is the mailbox "_". Every file is written to a temporary name and
// renamed, so a kill at any moment loses neither an order nor a response.
class Mailbox {
public:
    explicit Mailbox(QString root);

    // Whether a PartnerURL names a mailbox (one plain path segment, or nothing).
    static bool isValidPartnerUrl(const QString& partnerUrl);

    std::optional<QByteArray> partnerInfo(const QString& partnerIln) const;
    struct Order {
        QString name;
        QByteArray content;
    };
    // The first waiting order; with `deliver` it is moved to delivered/ before it is
    // handed out, so two clients never get the same order.
    std::optional<Order> takeOrder(const QString& partnerUrl, bool deliver);
    // Keeps an uploaded document byte for byte; returns its file name.
    QString receive(const QString& partnerUrl, const QByteArray& body);

private:
    QString box(const QString& partnerUrl) const;

    QString m_root;
    QMutex m_orders;
};
