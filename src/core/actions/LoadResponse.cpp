#include "core/actions/LoadResponse.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/ResetForm.h"
#include "core/form/Columns.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Chooser.h"
#include "core/rules/Conversions.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/rules/LineFields.h"
#include "core/rules/ResponseType.h"
#include "core/rules/Totals.h"

#include <QFile>

#include <limits>

namespace {

using Field = Confirmation::Field;
using Conversions::GetNodeValue;

const QString Header = QStringLiteral("/Document-OrderResponse/OrderResponse-Header/");
const QString Parties = QStringLiteral("/Document-OrderResponse/OrderResponse-Parties/");

// The end of a load, and of a load whose choice was cancelled: the form is enabled and
// ready to send, with its type applied again.
void readyToSend(Confirmation& form)
{
    form.setEnabled(true);
    form.set(Confirmation::Switch::btnPrzeslijEnabled, true);
    ResponseType::applyType(form, int16_t(form.cboxTyp()));
    ResponseType::applyType(form, int16_t(form.cboxTyp()));
    form.lines().repaint();
}

bool isValid(const QString& text)
{
    return text != QLatin1String("-1") && !text.isEmpty();
}

// Reads header and lines; returns whether every required part was there. Throws on a
// run-time error, which the caller reports as an incomplete document.
bool readDocument(Confirmation& form, const XmlDocument& document)
{
    bool complete = true;
    QString value = GetNodeValue(document, Header + QStringLiteral("OrderResponseNumber"), false);
    if (isValid(value))
        form.setField(Field::txtNrPotw, value);
    else
        complete = false;
    value = GetNodeValue(document, Header + QStringLiteral("OrderResponseDate"), false);
    if (isValid(value))
        form.setTxtDataPotwText(value);
    else
        form.setTxtDataPotw(form.process().today());
    value = GetNodeValue(document, Header + QStringLiteral("OrderNumber"), false);
    if (isValid(value))
        form.setField(Field::lblNrZamWart, value);
    else
        complete = false;
    value = GetNodeValue(document, Header + QStringLiteral("OrderDate"), false);
    if (isValid(value))
        form.setField(Field::lblDataZamWart, value);
    else
        complete = false;
    value = GetNodeValue(document, Header + QStringLiteral("ExpectedDeliveryDate"), false);
    if (isValid(value))
        form.setTxtDataDostText(value);
    else
        form.setTxtDataDost(form.process().today());
    value = GetNodeValue(document, Header + QStringLiteral("ExpectedDeliveryTime"), false);
    if (isValid(value))
        form.setTxtCzasDostText(value);
    else
        form.setTxtCzasDost(QTime(0, 0));
    Confirmation::Remembered remembered = form.remembered();
    remembered.deliveryDate = Conversions::FormatDate(*form.txtDataDost());
    remembered.deliveryTime = Conversions::FormatTime(*form.txtCzasDost());
    value = GetNodeValue(document, Parties + QStringLiteral("DeliveryPoint/ILN"), false);
    form.setField(Field::lblILNMiejscaDostWart, isValid(value) ? value : form.partnerIln());
    value = GetNodeValue(document, Parties + QStringLiteral("DeliveryPoint/Name"), false);
    form.setField(Field::lblNazwaMiejscaDostWart, isValid(value) ? value : QString());
    value = GetNodeValue(document, Parties + QStringLiteral("DeliveryPoint/Address"), false);
    form.setField(Field::lblAdresMiejscaDostWart, isValid(value) ? value : QString());
    value = GetNodeValue(document, Header + QStringLiteral("Remarks"), true);
    form.setField(Field::txtUwagi, isValid(value)
                                       ? value.replace(QLatin1Char('\n'), QLatin1String("\r\n"))
                                       : QString());

    // A response built from this form answers the same buyer, seller and delivery point
    // as the file it was loaded from (the checks made sure of the first two).
    Confirmation::Parties parties = form.parties();
    parties.buyerIln = form.partnerIln();
    parties.sellerIln = form.process().user.iln;
    form.setParties(parties);
    remembered.deliveryPointIln = form.field(Field::lblILNMiejscaDostWart);
    form.remember(remembered);

    form.set(Confirmation::Switch::btnEdytujVisible, false);
    form.selectCboxTyp(ResponseType::indexForCode(
        GetNodeValue(document, Header + QStringLiteral("ResponseType"), false)));

    Grid& lines = form.lines();
    const XmlNode linesElement =
        document.selectSingleNode("/Document-OrderResponse/OrderResponse-Lines");
    if (linesElement.isNull()) {
        complete = false;
    } else {
        const QList<XmlNode> children = linesElement.childNodes();
        if (children.size() > std::numeric_limits<int16_t>::max())
            throw RuntimeError::overflow();
        const auto n = int16_t(children.size());
        const LineFields::Layout& layout = LineFields::responseLayout(form.partnerIln());
        lines.setRows(n >= 1 ? n + 1 : 2);
        form.setLineCount(n);
        lines.setRedraw(false);
        const QString today = Conversions::FormatDate(form.process().today());
        for (int16_t i = 0; i < n; ++i)
            LineFields::writeRow(lines, int16_t(i + 1), children[i], layout, today);
    }
    lines.setCurrentCell(1, 1);
    lines.setRedraw(true);
    {
        RedrawPause pause(form.summary());
        form.summary().setText(
            1, SumLineCount,
            GetNodeValue(document, "/Document-OrderResponse/OrderResponse-Summary/TotalLines",
                         false));
    }
    form.summary().setCurrentColumn(1);
    lines.setCurrentRow(1);
    return complete;
}

LoadOutcome load(Confirmation& form, const QString& path)
{
    form.editor().commit();
    form.host().responseLoading(path);
    form.SetHeader();
    ResetForm(form);
    const ProcessState& process = form.process();
    form.setField(Field::lblILNKupWart, process.partner.name);
    form.setField(Field::lblILNSprzedWart, process.user.name);

    bool ok = false;
    const XmlDocument document = LoadDocument(form, path, ok);
    if (!ok) {
        form.tell(QStringLiteral("Неправильный формат файла XML."), Message::Icon::Exclamation);
        return LoadOutcome::Refused;
    }
    if (!IsOrderResponse(document)) {
        form.tell(QStringLiteral("Документ не соответствует спецификации подтверждения закза."),
                  Message::Icon::Exclamation);
        return LoadOutcome::Refused;
    }

    bool complete = false;
    bool readThrough = false;
    try {
        if (GetNodeValue(document, Parties + QStringLiteral("Seller/ILN"), true) !=
            process.user.iln) {
            form.tell(QStringLiteral("Неправильный ILN номер продавца"),
                      Message::Icon::Exclamation);
            return LoadOutcome::Refused;
        }
        if (GetNodeValue(document, Parties + QStringLiteral("Buyer/ILN"), true) !=
            form.partnerIln()) {
            form.tell(QStringLiteral("Неправильный ILN номер покупателя."),
                      Message::Icon::Exclamation);
            return LoadOutcome::Refused;
        }
        complete = readDocument(form, document);
        readThrough = true;
    } catch (const RuntimeError&) {
        form.lines().setRedraw(true);
    }
    if (readThrough) {
        PoprawGrdSuma(form);
        form.set(Confirmation::Switch::btnUsunEnabled, true);
        form.set(Confirmation::Switch::btnEdytujEnabled, true);
    }
    if (!complete) {
        form.tell(QStringLiteral("Переписанный документ подтверждения заказа неправилен либо не "
                                 "содержит всех необходимых позиций."),
                  Message::Icon::Critical);
        return LoadOutcome::Incomplete;
    }
    readyToSend(form);
    return LoadOutcome::Loaded;
}

} // namespace

void btnWczytaj_Click(Confirmation& form, ChooserPort& chooser)
{
    form.editor().commit();
    form.setEnabled(false);
    try {
        const QString path = Chooser::choose(form.process(), chooser, ChooserPort::Mode::Load);
        if (!path.isEmpty()) {
            loadResponseFile(form, path);
            return;
        }
        // Nothing chosen: the form stays, but is made ready to send as after a load.
        readyToSend(form);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnWczytaj_Click()"), e.description());
        form.setEnabled(true);
    }
}

LoadOutcome loadResponseFile(Confirmation& form, const QString& path)
{
    form.setEnabled(false);
    LoadOutcome outcome = LoadOutcome::Failed;
    try {
        outcome = load(form, path);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnWczytaj_Click()"), e.description());
    }
    form.setEnabled(true);
    form.host().responseLoaded(path, outcome == LoadOutcome::Loaded ||
                                         outcome == LoadOutcome::Incomplete);
    return outcome;
}

XmlDocument LoadDocument(Confirmation& form, const QString& path, bool& ok)
{
    XmlDocument document = XmlDocument::fromFile(path);
    ok = !document.isEmpty();
    if (ok)
        return document;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        form.reportError(
            Messages::ErrorInNoBlank, QStringLiteral("LoadDocument()"),
            QStringLiteral("Файл «%1» не открывается: %2").arg(path, file.errorString()));
        return {};
    }
    // A file too large to be parsed in any encoding is not read again.
    if (file.size() <= XmlDocument::MaxInputSize) {
        XmlDocument retried =
            XmlDocument::fromText(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") +
                                  Cp1251::decode(file.readAll()));
        ok = !retried.isEmpty();
        if (ok)
            return retried;
    }
    // The reason the file as it stands was not read.
    DebugLog::WriteParseError(form.process(), path, document);
    return document;
}

bool IsOrderResponse(const XmlDocument& document)
{
    return !document.selectSingleNode("/Document-OrderResponse").isNull();
}
