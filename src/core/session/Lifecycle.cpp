#include "core/session/Lifecycle.h"

#include "core/actions/Confirmation.h"
#include "core/actions/ResetForm.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/DebugLog.h"
#include "core/rules/OrderReader.h"
#include "core/session/Exchanges.h"
#include "core/session/InfoFiles.h"
#include "core/session/Startup.h"
#include "core/session/WorkingFolder.h"

namespace Lifecycle {
namespace {

// A start-up that cannot go on says why and leaves the control disabled.
void stop(Confirmation& form, const QString& text)
{
    form.tell(text, Message::Icon::Critical);
    form.setEnabled(false);
}

QString readText(const PropertyBag& bag, const char* name, bool& read)
{
    const std::optional<QVariant> value = bag.read(QString::fromLatin1(name));
    read = value.has_value();
    return value ? value->toString() : QString();
}

// The order exchange and the lines' check that follows a fetched order; false when no
// order was waiting, with the form as it was.
bool takeWaitingOrder(Confirmation& form, bool resetFirst)
{
    Host& host = form.host();
    const std::optional<XmlDocument> order = Exchanges::fetchOrder(form);
    if (!order) {
        host.noOrderWaiting();
        return false;
    }
    host.orderReceived(order->toUtf8());
    if (resetFirst)
        ResetForm(form);
    Wczytaj_Zamowienie(form, *order);
    host.showBusyPointer();
    Startup::checkLines(form);
    host.restorePointer();
    return true;
}

// The on-line part; false when it ended the start-up.
bool startOnline(Confirmation& form, const QString& cookie)
{
    Host& host = form.host();
    Exchanges::buildServiceAddresses(form, host.pageUrl());
    form.process().pageCookie = cookie;
    if (!Exchanges::fetchPartnerInfo(form)) {
        stop(form, QStringLiteral("Неправильный формат XML партнёр инфо."));
        return false;
    }
    Startup::setParties(form);
    takeWaitingOrder(form, false);
    return true;
}

void run(Confirmation& form)
{
    ProcessState& process = form.process();
    form.set(Confirmation::Switch::btnPrzeslijEnabled, true);

    process.workingFolder = WorkingFolder::read();
    if (process.workingFolder.isEmpty()) {
        stop(form, QStringLiteral("Нет определённого пути доступа к запасам."));
        return;
    }
    const int16_t level = form.debugLevelValue();
    if (level > 0)
        DebugLog::StartLog(
            process,
            WorkingFolder::file(process.workingFolder, form.properties().partnerName +
                                                           QStringLiteral("Potwierdzenie.log")),
            level);

    if (InfoFiles::readUserInfo(process, InfoFiles::userInfoPath(process.workingFolder),
                                process.user) == InfoFiles::Read::NotLoaded) {
        stop(form, QStringLiteral("Нет или неправильный формат файла XML о пользователе."));
        return;
    }
    const InfoFiles::Read partner = InfoFiles::readPartnerInfo(
        process,
        InfoFiles::partnerInfoPath(process.workingFolder, process.user.iln, form.partnerIln()),
        process.partner);
    if (partner != InfoFiles::Read::Loaded && form.isOffLine()) {
        stop(form, QStringLiteral("Нет или неправильный формат файла XML о партнёре."));
        return;
    }

    const std::optional<QString> cookie = form.host().pageCookie();
    if (cookie && !form.isOffLine() && !startOnline(form, *cookie))
        return;
    Startup::finish(form);
}

} // namespace

void ReadProperties(Confirmation& form, const PropertyBag& bag)
{
    bool read = false;
    Confirmation::Properties properties = form.properties();
    const QString onLine = readText(bag, "OnLine", read);
    if (read)
        properties.onLine = onLine;
    form.setProperties(properties);
    form.applyModeDisplay();
    const QString debugLevel = readText(bag, "DebugLevel", read);
    if (read)
        properties.debugLevel = debugLevel;
    const QString partnerName = readText(bag, "PartnerName", read);
    if (read)
        properties.partnerName = partnerName;
    const QString partnerIln = readText(bag, "PartnerILN", read);
    if (read)
        form.setPartnerIln(partnerIln);
    const QString partnerUrl = readText(bag, "PartnerURL", read);
    if (read)
        properties.partnerUrl = partnerUrl;
    form.setProperties(properties);
}

void WriteProperties(const Confirmation& form, PropertyBag& bag)
{
    bag.write(QStringLiteral("OnLine"), form.properties().onLine);
    bag.write(QStringLiteral("DebugLevel"), form.properties().debugLevel);
}

void UserControl_Show(Confirmation& form)
{
    try {
        run(form);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("UserControl_Show()"), e.description());
    }
}

bool NextOrder(Confirmation& form)
{
    try {
        if (!takeWaitingOrder(form, true))
            return false;
        form.set(Confirmation::Switch::btnPrzeslijEnabled, true);
        Startup::finish(form);
        return true;
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("UserControl_Show()"), e.description());
    }
    return false;
}

void Terminate(const Confirmation& form)
{
    WorkingFolder::write(form.process().workingFolder);
}

} // namespace Lifecycle
