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
    virtual void responseSaved(const QString& /*path*/) {}
    virtual void responseSent(const QString& /*number*/) {}
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
