#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// The platform's store on disk, which an integrator can fill by hand:
//   partners/<PartnerILN>.xml                  the partner information answer for a buyer
//   mailbox/<PartnerURL>/waiting/*.xml         orders waiting, handed out in name order
//   mailbox/<PartnerURL>/delivered/            orders handed out for good
//   mailbox/<PartnerURL>/received/             each uploaded response, as received
//   mailbox/<PartnerURL>/rejected/             orders that could not be handed out
// An empty PartnerURL is the mailbox "_". Only a mailbox whose folder exists is served;
// none is ever made for a name a client sends. Every file is written to a temporary name
// and renamed, so a kill at any moment loses neither an order nor a response.
class Mailbox {
public:
    explicit Mailbox(QString root);

    // Makes the store's two folders when they are missing, and tells why the server cannot
    // work on the store at `root`: the root is no folder, one of its two folders cannot be
    // made, or a mailbox, or a folder of one, cannot be written. Empty when it can.
    static QString prepare(const QString& root);

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
        // Orders after this one that nobody is being handed.
        int waitingBehind = 0;
    };
    // Why an order's content cannot be handed out; empty when it can.
    using OrderCheck = std::function<QString(const QByteArray& content)>;
    // The first waiting order that is not being handed out. With `deliver` it is being
    // handed out until delivered() or released(): no other client gets it meanwhile, and
    // it stays in waiting/ until its answer has been sent in full, so a server killed at
    // any moment hands it out again rather than losing it. An order that cannot be read,
    // or that the check refuses, moves to rejected/ with a log line that names it and
    // says why, and the next one is taken.
    std::optional<Order> takeOrder(const QString& partnerUrl, bool deliver,
                                   const OrderCheck& check);
    // Moves an order whose answer was sent to delivered/.
    void delivered(const QString& partnerUrl, const QString& name);
    // An order whose answer did not get through waits again.
    void released(const QString& partnerUrl, const QString& name);
    // Keeps an uploaded document byte for byte; returns its file name.
    QString receive(const QString& partnerUrl, const QByteArray& body);

private:
    QString box(const QString& partnerUrl) const;
    void reject(const QString& partnerUrl, const QString& name, const QString& why);
    // A free name for a file moved into a folder: its own, or one with the time before it.
    static QString freeName(const QString& folder, const QString& name);

    QString m_root;
    QMutex m_orders;
    // Orders being handed out, as paths of their files.
    QSet<QString> m_handingOut;
};
