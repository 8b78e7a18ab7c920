#include "core/rules/ResponseWriter.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/form/Partners.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/ResponseType.h"

#include <QStringBuilder>

namespace {

using Field = Form::Field;

void setText(XmlDocument& document, const XmlPath& path, const QString& text)
{
    XmlNode node = document.selectSingleNode(path);
    if (node.isNull())
        throw RuntimeError(RuntimeError::ObjectMissing,
                           QStringLiteral("Нет элемента %1").arg(path.text()));
    node.setText(text);
}

// Appends a fragment parsed on its own; one that is not exactly the expected element has
// nothing to append and fails the build.
void appendParsed(XmlDocument& document, const XmlPath& parentPath, const QString& fragment,
                  const QString& name)
{
    XmlNode parent = document.selectSingleNode(parentPath);
    QString error;
    const XmlNode appended = parent.appendParsed(fragment, &error);
    if (!appended.isNull() && appended.name() == name)
        return;
    throw RuntimeError(RuntimeError::ObjectMissing,
                       QStringLiteral("Нельзя добавить в документ %1: %2")
                           .arg(name, appended.isNull() ? error : appended.name()));
}

} // namespace

QString lineStatus(const QString& confirmed, const QString& ordered)
{
    // The number form of "0" is "0.000" whatever the user's separator.
    static const QString nothing = [] {
        QString zero = QStringLiteral("0");
        return Conversions::FormatXmlNumber(zero, 3);
    }();
    if (confirmed == nothing)
        return QStringLiteral("7");
    if (confirmed == ordered)
        return QStringLiteral("5");
    return QStringLiteral("3");
}

QString lineStatusOfRow(const Grid& lines, int16_t row)
{
    QString confirmed = lines.text(row, ColConfirmed);
    QString ordered = lines.text(row, ColOrdered);
    return lineStatus(Conversions::FormatXmlNumber(confirmed, 3),
                      Conversions::FormatXmlNumber(ordered, 3));
}

namespace {

XmlDocument build(Form& form)
{
    XmlDocument document = MakeResponseSkeleton();
    const QString header = QStringLiteral("/Document-OrderResponse/OrderResponse-Header/");
    setText(document, header + QStringLiteral("OrderResponseNumber"), form.field(Field::txtNrPotw));
    setText(document, header + QStringLiteral("OrderNumber"), form.field(Field::lblNrZamWart));
    const std::optional<QDate> responseDate = form.txtDataPotw();
    setText(document, header + QStringLiteral("OrderResponseDate"),
            responseDate ? Conversions::FormatDate(*responseDate) : QString());
    const QString orderDate = form.field(Field::lblDataZamWart);
    setText(document, header + QStringLiteral("OrderDate"),
            orderDate.isEmpty() ? QString()
                                : Conversions::FormatDate(Conversions::toDate(orderDate)));
    if (!form.txtDataDost())
        throw RuntimeError::notADate(QString());
    setText(document, header + QStringLiteral("ExpectedDeliveryDate"),
            Conversions::FormatDate(*form.txtDataDost()));
    if (!form.txtCzasDost())
        throw RuntimeError::notATime(QString());
    setText(document, header + QStringLiteral("ExpectedDeliveryTime"),
            Conversions::FormatTime(*form.txtCzasDost()));
    AddXMLElement(document, XmlPath(QStringLiteral("/Document-OrderResponse/OrderResponse-Header")),
                  QStringLiteral("Remarks"), form.field(Field::txtUwagi));

    const QString parties = QStringLiteral("/Document-OrderResponse/OrderResponse-Parties/");
    setText(document, parties + QStringLiteral("Buyer/ILN"), form.parties().buyerIln);
    setText(document, parties + QStringLiteral("Seller/ILN"), form.parties().sellerIln);
    setText(document, parties + QStringLiteral("DeliveryPoint/ILN"),
            form.remembered().deliveryPointIln);
    setText(document, header + QStringLiteral("ResponseType"), ResponseType::code(form.cboxTyp()));

    if (form.lineCount() > 0) {
        setText(document, "/Document-OrderResponse/OrderResponse-Summary/TotalLines",
                form.summary().text(1, SumLineCount));
        const Grid& lines = form.lines();
        const bool gross = Partners::usesGrossPrice(form.partnerIln());
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            ResponseLine line;
            line.lineNumber = lines.text(r, ColNumber);
            line.ean = lines.text(r, ColEan);
            line.description = lines.text(r, ColName);
            QString ordered = lines.text(r, ColOrdered);
            line.ordered = Conversions::FormatXmlNumber(ordered, 3);
            QString confirmed = lines.text(r, ColConfirmed);
            line.confirmed = Conversions::FormatXmlNumber(confirmed, 3);
            QString price = lines.text(r, ColPrice);
            line.price = Conversions::FormatXmlNumber(price, 3);
            line.buyerItemCode = lines.text(r, ColBuyerCode);
            line.supplierItemCode = lines.text(r, ColSupplierCode);
            line.unit = JednostkiMiaryNazwaToSymbol(lines.text(r, ColUnit));
            line.grossPrice = gross;
            AddResponseLine(document, line, lineStatus(line.confirmed, line.ordered));
        }
    }
    return document;
}

} // namespace

std::optional<XmlDocument> MakeOrderResponse(Form& form)
{
    try {
        return build(form);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("MakeOrderResponse()"), e.description());
        return std::nullopt;
    }
}

XmlDocument MakeResponseSkeleton()
{
    return XmlDocument::fromText(QStringLiteral(
        "<Document-OrderResponse><OrderResponse-Header>"
        "<OrderResponseNumber></OrderResponseNumber><OrderResponseDate></OrderResponseDate>"
        "<ExpectedDeliveryDate></ExpectedDeliveryDate>"
        "<ExpectedDeliveryTime></ExpectedDeliveryTime><OrderNumber></OrderNumber>"
        "<OrderDate></OrderDate><ResponseType></ResponseType></OrderResponse-Header>"
        "<OrderResponse-Parties><Buyer><ILN/></Buyer><Seller><ILN/></Seller>"
        "<DeliveryPoint><ILN/></DeliveryPoint></OrderResponse-Parties>"
        "<OrderResponse-Lines/><OrderResponse-Summary><TotalLines/></OrderResponse-Summary>"
        "</Document-OrderResponse>"));
}

void AddXMLElement(XmlDocument& document, const XmlPath& parentPath, const QString& name,
                   const QString& value)
{
    const QString text = value.isEmpty()
                             ? QStringLiteral("<%1/>").arg(name)
                             : QStringLiteral("<%1><![CDATA[%2]]></%1>").arg(name, value);
    appendParsed(document, parentPath, text, name);
}

namespace {

const XmlPath& responseLines()
{
    static const XmlPath lines(QStringLiteral("/Document-OrderResponse/OrderResponse-Lines"));
    return lines;
}

// Past this many characters a line goes through the parser, whose limits on one text
// then decide as they always did.
constexpr qsizetype PlainLineLimit = 1'000'000;

bool isPlainLine(const ResponseLine& line, const QString& status)
{
    const QString* values[] = {
        &line.lineNumber,    &line.ean,         &status,       &line.supplierItemCode,
        &line.buyerItemCode, &line.description, &line.ordered, &line.confirmed,
        &line.unit,          &line.price};
    qsizetype size = 0;
    for (const QString* value : values) {
        size += value->size();
        if (!XmlNode::isPlainText(*value))
            return false;
    }
    return size <= PlainLineLimit;
}

} // namespace

void AddResponseLine(XmlDocument& document, const ResponseLine& line, const QString& status)
{
    XmlNode parent = document.selectSingleNode(responseLines());
    if (parent.isNull() || !isPlainLine(line, status)) {
        AddResponseLineAsText(document, line, status);
        return;
    }
    XmlNode item = parent.appendElement("Line").appendElement("Line-Item");
    item.appendTextElement("LineNumber", line.lineNumber, false);
    item.appendTextElement("EAN", line.ean, false);
    item.appendTextElement("LineItemStatus", status, false);
    item.appendTextElement("SupplierItemCode", line.supplierItemCode, true);
    item.appendTextElement("BuyerItemCode", line.buyerItemCode, true);
    item.appendTextElement("ItemDescription", line.description, true);
    item.appendTextElement("OrderedQuantity", line.ordered, false);
    item.appendTextElement("QuantityToBeDelivered", line.confirmed, false);
    item.appendTextElement("UnitOfMeasure", line.unit, false);
    item.appendTextElement(line.grossPrice ? "OrderedUnitGrossPrice" : "OrderedUnitNetPrice",
                           line.price, false);
}

void AddResponseLineAsText(XmlDocument& document, const ResponseLine& line, const QString& status)
{
    const QString priceElement = line.grossPrice ? QStringLiteral("OrderedUnitGrossPrice")
                                                 : QStringLiteral("OrderedUnitNetPrice");
    // Built in one go (QStringBuilder): a chain of + makes a new string per piece, for
    // every line of the order.
    const QString text = QStringView(u"<Line><Line-Item><LineNumber>") % line.lineNumber %
                         u"</LineNumber><EAN>" % line.ean % u"</EAN><LineItemStatus>" % status %
                         u"</LineItemStatus><SupplierItemCode><![CDATA[" % line.supplierItemCode %
                         u"]]></SupplierItemCode><BuyerItemCode><![CDATA[" % line.buyerItemCode %
                         u"]]></BuyerItemCode><ItemDescription><![CDATA[" % line.description %
                         u"]]></ItemDescription><OrderedQuantity>" % line.ordered %
                         u"</OrderedQuantity><QuantityToBeDelivered>" % line.confirmed %
                         u"</QuantityToBeDelivered><UnitOfMeasure>" % line.unit %
                         u"</UnitOfMeasure><" % priceElement % u">" % line.price % u"</" %
                         priceElement % u"></Line-Item></Line>";
    appendParsed(document, responseLines(), text, QStringLiteral("Line"));
}

QString JednostkiMiaryNazwaToSymbol(const QString& nazwa)
{
    static const std::pair<QString, QString> units[] = {
        {QStringLiteral("штука"), QStringLiteral("PCE")},
        {QStringLiteral("килограмм"), QStringLiteral("KGM")},
        {QStringLiteral("метр"), QStringLiteral("MTR")},
        {QStringLiteral("kilometr"), QStringLiteral("KMT")},
        {QStringLiteral("opakowanie"), QStringLiteral("PA")},
        {QStringLiteral("komplet"), QStringLiteral("SET")},
        {QStringLiteral("para"), QStringLiteral("PR")},
        {QStringLiteral("tona"), QStringLiteral("TNE")},
        {QStringLiteral("литр"), QStringLiteral("LTR")},
    };
    const QString lower = nazwa.toLower();
    for (const auto& [name, code] : units) {
        if (lower == name)
            return code;
    }
    return nazwa;
}
