#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSet>
#include <QString>

#include <optional>

// The platform's store on disk, which an integrator can fill by hand:
//   partners/<PartnerILN>.xml                  the partner information answer for a buyer
//   mailbox/<PartnerURL>/waiting/*.xml         orders waiting, handed out in name order
//   mailbox/<PartnerURL>/delivered/            orders handed out for good
//   mailbox/<PartnerURL>/received/             each uploaded response, as received
// An empty PartnerURL is the mailbox "_". Only a mailbox whose folder exists is served;
// none is ever made for a name a client sends. Every file is written to a temporary name
// and renamed, so a kill at any moment loses neither an order nor a response.
class Mailbox {
public:
    explicit Mailbox(QString root);

    // Whether a PartnerURL names a mailbox (one plain path segment, or nothing).
    static bool isValidPartnerUrl(const QString& partnerUrl);

    // Whether the mailbox's folder exists.
    bool exists(const QString& partnerUrl) const;
    // The mailbox's folder.
    QString folder(const QString& partnerUrl) const { return box(partnerUrl); }
    // How many orders are waiting, those being handed out included.
    int waitingCount(const QString& partnerUrl) const;
    std::optional<QByteArray> partnerInfo(const QString& partnerIln) const;
    struct Order {
        QString name;
        QByteArray content;
    };
    // The first waiting order that is not being handed out. With `deliver` it is being
    // handed out until delivered() or released(): no other client gets it meanwhile, and
    // it stays in waiting/ until its answer has been sent in full, so a server killed at
    // any moment hands it out again rather than losing it.
    std::optional<Order> takeOrder(const QString& partnerUrl, bool deliver);
    // Moves an order whose answer was sent to delivered/.
    void delivered(const QString& partnerUrl, const QString& name);
    // An order whose answer did not get through waits again.
    void released(const QString& partnerUrl, const QString& name);
    // Keeps an uploaded document byte for byte; returns its file name.
    QString receive(const QString& partnerUrl, const QByteArray& body);

private:
    QString box(const QString& partnerUrl) const;

    QString m_root;
    QMutex m_orders;
    // Orders being handed out, as paths of their files.
    QSet<QString> m_handingOut;
};
