#include "documents_helpers.h"

#include "control/Confirmation.h"
#include "control/ProcessState.h"
#include "control/Startup.h"
#include "documents/XmlDocument.h"

namespace DocumentTexts {
namespace {

QString elementsText(const Elements& elements)
{
    QString text;
    for (const auto& [name, value] : elements)
        text += QStringLiteral("<%1>%2</%1>").arg(name, value);
    return text;
}

struct Span {
    qsizetype begin = -1, contentBegin = -1, contentEnd = -1, end = -1;
};

Span locate(const QString& xml, const QString& path)
{
    Span span;
    qsizetype from = 0, to = xml.size();
    for (const QString& name : path.split(QLatin1Char('/'))) {
        const QString open = QStringLiteral("<%1>").arg(name);
        const QString close = QStringLiteral("</%1>").arg(name);
        const qsizetype b = xml.indexOf(open, from);
        const qsizetype e = b < 0 ? -1 : xml.indexOf(close, b);
        if (b < 0 || e < 0 || e >= to)
            qFatal("no element %s in the test document", qPrintable(path));
        span = {b, b + open.size(), e, e + close.size()};
        from = span.contentBegin;
        to = span.contentEnd;
    }
    return span;
}

} // namespace

Elements orderItem(int n)
{
    return {{"LineNumber", QString::number(n)},
            {"EAN", QStringLiteral("460123456%1").arg(n, 4, 10, QLatin1Char('0'))},
            {"BuyerItemCode", QStringLiteral("B-%1").arg(n)},
            {"SupplierItemCode", QStringLiteral("S-%1").arg(n)},
            {"ItemDescription", QStringLiteral("Товар %1").arg(n)},
            {"OrderedQuantity", QString::number(10 * n)},
            {"OrderedUnitNetPrice", "12.5"},
            {"OrderedUnitGrossPrice", "15"},
            {"UnitOfMeasure", "PCE"}};
}

QString line(const Elements& item)
{
    return QStringLiteral("<Line><Line-Item>%1</Line-Item></Line>").arg(elementsText(item));
}

QString order(const QStringList& lines)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-Order>"
                          "<Order-Header><OrderNumber>ZK-1</OrderNumber>"
                          "<OrderDate>2026-12-03</OrderDate>"
                          "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
                          "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime>"
                          "<Remarks>Звонить за час</Remarks></Order-Header>"
                          "<Order-Parties><Buyer><ILN>%1</ILN></Buyer>"
                          "<Seller><ILN>%2</ILN></Seller><DeliveryPoint><ILN>%3</ILN>"
                          "<Name>Склад Север</Name><Address>ул. Лесная, 5</Address>"
                          "</DeliveryPoint></Order-Parties>"
                          "<Order-Lines>%4</Order-Lines></Document-Order>")
        .arg(BuyerIln, SellerIln, DeliveryIln, lines.join(QString()));
}

QString order(int lineCount)
{
    QStringList lines;
    for (int n = 1; n <= lineCount; ++n)
        lines.append(line(orderItem(n)));
    return order(lines);
}

Elements responseItem(int n)
{
    return {{"LineNumber", QString::number(n)},
            {"EAN", QStringLiteral("460123456%1").arg(n, 4, 10, QLatin1Char('0'))},
            {"LineItemStatus", "3"},
            {"ItemDescription", QStringLiteral("Товар %1").arg(n)},
            {"OrderedQuantity", QStringLiteral("%1.000").arg(10 * n)},
            {"QuantityToBeDelivered", QStringLiteral("%1.000").arg(8 * n)},
            {"UnitOfMeasure", "PCE"},
            {"OrderedUnitNetPrice", "12.500"}};
}

QString response(const QStringList& lines)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-OrderResponse>"
               "<OrderResponse-Header><OrderResponseNumber>Пз_ZK-1</OrderResponseNumber>"
               "<OrderResponseDate>2026-12-04</OrderResponseDate>"
               "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
               "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime>"
               "<OrderNumber>ZK-1</OrderNumber><OrderDate>2026-12-03</OrderDate>"
               "<ResponseType>4</ResponseType><Remarks>Звонить за час</Remarks>"
               "</OrderResponse-Header><OrderResponse-Parties><Buyer><ILN>%1</ILN></Buyer>"
               "<Seller><ILN>%2</ILN></Seller><DeliveryPoint><ILN>%3</ILN>"
               "<Name>Склад Север</Name><Address>ул. Лесная, 5</Address></DeliveryPoint>"
               "</OrderResponse-Parties><OrderResponse-Lines>%4</OrderResponse-Lines>"
               "<OrderResponse-Summary><TotalLines>%5</TotalLines></OrderResponse-Summary>"
               "</Document-OrderResponse>")
        .arg(BuyerIln, SellerIln, DeliveryIln, lines.join(QString()))
        .arg(lines.size());
}

QString response(int lineCount)
{
    QStringList lines;
    for (int n = 1; n <= lineCount; ++n)
        lines.append(line(responseItem(n)));
    return response(lines);
}

QString without(const QString& xml, const QString& path)
{
    const Span span = locate(xml, path);
    return QString(xml).remove(span.begin, span.end - span.begin);
}

QString withText(const QString& xml, const QString& path, const QString& text)
{
    const Span span = locate(xml, path);
    return QString(xml).replace(span.contentBegin, span.contentEnd - span.contentBegin, text);
}

Elements without(Elements elements, const QString& name)
{
    elements.removeIf([&](const auto& element) { return element.first == name; });
    return elements;
}

Elements with(Elements elements, const QString& name, const QString& text)
{
    for (auto& element : elements) {
        if (element.first == name) {
            element.second = text;
            return elements;
        }
    }
    elements.append({name, text});
    return elements;
}

void useParties(Confirmation& form, const QString& partnerIln)
{
    ProcessState& process = ProcessState::instance();
    process.user.iln = SellerIln;
    process.user.name = QStringLiteral("ООО Поставщик");
    process.partner.name = QStringLiteral("АО Покупатель");
    form.setPartnerIln(partnerIln);
}

bool readOrder(Confirmation& form, const QString& orderText)
{
    const XmlDocument document = XmlDocument::fromText(orderText);
    if (document.isEmpty())
        qFatal("the test order does not parse: %s", qPrintable(document.errorString()));
    Startup::setParties(form);
    const bool read = Startup::takeOrder(form, document);
    Startup::finish(form);
    return read;
}

} // namespace DocumentTexts
