#include "core/actions/Send.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/RequestChannel.h"
#include "core/form/Host.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/HeaderCheck.h"
#include "core/rules/ResponseWriter.h"

namespace {

void send(Confirmation& form)
{
    const std::optional<XmlDocument> response = MakeOrderResponse(form);
    if (form.isOffLine() || !response)
        return;
    const QString number = form.field(Confirmation::Field::txtNrPotw);
    const QString question =
        number != form.lastSentNumber()
            ? QStringLiteral("Выслать составленный документ подтверждения заказа?")
            : QStringLiteral("Проба повторной пересылки подтверждения поручения с тем же "
                             "номером.\rПродолжить?");
    if (form.tell(question, Message::Icon::Question, Message::Buttons::YesNo) != Answer::Yes)
        return;
    const XmlDocument answer = SendXMLDOMRequest(form, form.services().uploadUrl, *response);
    const QString status =
        Conversions::GetNodeValue(answer, "/send-document-response/submission-status", false);
    form.host().responseUploaded(response->xml().toUtf8(), form.services().uploadUrl, status);
    if (status == QLatin1String("OK")) {
        form.tell(QStringLiteral("Документ отправлен."), Message::Icon::Information);
        form.recordSent(number);
        form.set(Confirmation::Switch::btnPrzeslijEnabled, false);
        form.host().responseSent(number);
        return;
    }
    form.tell(QStringLiteral("Произошла ошибка:") + status, Message::Icon::Critical);
}

} // namespace

void btnPrzeslij_Click(Confirmation& form)
{
    form.editor().commit();
    if (!headerCheck(form))
        return;
    if (form.lineCount() < 1) {
        form.tell(QStringLiteral("На подтверждении заказа нет товарных позиций ."),
                  Message::Icon::Exclamation);
        return;
    }
    Host& host = form.host();
    host.showBusyPointer();
    form.setEnabled(false);
    try {
        send(form);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnPrzeslij_Click()"), e.description());
    }
    form.setEnabled(true);
    host.restorePointer();
}
