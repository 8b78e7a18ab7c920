#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// What the control asks of the window or page that hosts it.
class Host {
public:
    virtual ~Host() = default;
    // The hosting page's cookie; nothing when the control is not hosted by a page.
    virtual std::optional<QString> pageCookie() const { return std::nullopt; }
    // The hosting page's address.
    virtual QString pageUrl() const { return {}; }
    // The busy pointer while the lines are checked and while a send runs.
    virtual void showBusyPointer() {}
    virtual void restorePointer() {}
    // A persisted property was changed by the control.
    virtual void propertyChanged(const QString& /*name*/) {}
    // Quiet moments of the control that the host may keep or tell about; the control
    // itself shows nothing for them.
    virtual void orderReceived(const QByteArray& /*orderXml*/) {}
    virtual void noOrderWaiting() {}
    // How many orders the platform says are still waiting, when its answer says so.
    virtual void waitingOrders(int /*count*/) {}
    virtual void responseSaved(const QString& /*path*/, const QByteArray& /*document*/) {}
    // Every upload of a response, with the status read from the platform's answer
    // ("OK", another text, or "-1" when the answer held none).
    virtual void responseUploaded(const QByteArray& /*document*/, const QString& /*address*/,
                                  const QString& /*status*/)
    {
    }
    virtual void responseSent(const QString& /*number*/) {}
    // A saved response is about to replace the form, and then has or has not.
    virtual void responseLoading(const QString& /*path*/) {}
    virtual void responseLoaded(const QString& /*path*/, bool /*loaded*/) {}
    // The server's partner information was stored in this file.
    virtual void partnerInfoStored(const QString& /*path*/) {}
};

// The host's store of persisted properties.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    // Nothing when the property cannot be read.
    virtual std::optional<QVariant> read(const QString& name) const = 0;
    // False when the property could not be written.
    virtual bool write(const QString& name, const QVariant& value) = 0;
};
