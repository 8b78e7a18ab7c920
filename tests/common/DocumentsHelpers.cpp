#include "DocumentsHelpers.h"
#include "TestSupport.h"

#include "core/actions/Confirmation.h"
#include "core/form/ProcessState.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Startup.h"

namespace DocumentTexts {
namespace {

QString parties()
{
    return QStringLiteral("<Buyer><ILN>%1</ILN></Buyer><Seller><ILN>%2</ILN></Seller>"
                          "<DeliveryPoint><ILN>%3</ILN><Name>Склад Север</Name>"
                          "<Address>ул. Лесная, 5</Address></DeliveryPoint>")
        .arg(BuyerIln, SellerIln, DeliveryIln);
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

QStringList lines(int count, Elements (*item)(int))
{
    QStringList texts;
    for (int n = 1; n <= count; ++n)
        texts.append(line(item(n)));
    return texts;
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
    QString text;
    for (const auto& [name, value] : item)
        text += QStringLiteral("<%1>%2</%1>").arg(name, value);
    return QStringLiteral("<Line><Line-Item>%1</Line-Item></Line>").arg(text);
}

QString order(const QStringList& lines, const QString& number)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-Order>"
                          "<Order-Header><OrderNumber>%3</OrderNumber>"
                          "<OrderDate>2026-12-03</OrderDate>"
                          "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
                          "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime>"
                          "<Remarks>Звонить за час</Remarks></Order-Header>"
                          "<Order-Parties>%1</Order-Parties><Order-Lines>%2</Order-Lines>"
                          "</Document-Order>")
        .arg(parties(), lines.join(QString()), number);
}

QString order(int lineCount)
{
    return order(lines(lineCount, orderItem));
}

QString response(int lineCount)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-OrderResponse>"
               "<OrderResponse-Header><OrderResponseNumber>Пз_ZK-1</OrderResponseNumber>"
               "<OrderResponseDate>2026-12-04</OrderResponseDate>"
               "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
               "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime>"
               "<OrderNumber>ZK-1</OrderNumber><OrderDate>2026-12-03</OrderDate>"
               "<ResponseType>4</ResponseType><Remarks>Звонить за час</Remarks>"
               "</OrderResponse-Header><OrderResponse-Parties>%1</OrderResponse-Parties>"
               "<OrderResponse-Lines>%2</OrderResponse-Lines><OrderResponse-Summary>"
               "<TotalLines>%3</TotalLines></OrderResponse-Summary></Document-OrderResponse>")
        .arg(parties(), lines(lineCount, responseItem).join(QString()))
        .arg(lineCount);
}

QString without(const QString& xml, const QString& path)
{
    return withText(xml, path, QString());
}

QString withText(QString xml, const QString& path, const QString& text)
{
    qsizetype begin = 0;
    const QStringList steps = path.split(QLatin1Char('/'));
    for (const QString& step : steps) {
        begin = xml.indexOf(QStringLiteral("<%1>").arg(step), begin);
        if (begin < 0)
            qFatal("no element %s in the test document", qPrintable(path));
    }
    const QString close = QStringLiteral("</%1>").arg(steps.last());
    const qsizetype content = begin + close.size() - 1, end = xml.indexOf(close, begin);
    return text.isNull() ? xml.remove(begin, end + close.size() - begin)
                         : xml.replace(content, end - content, text);
}

void useParties(Confirmation& form, const QString& partnerIln)
{
    testProcess().user.iln = SellerIln;
    testProcess().user.name = QStringLiteral("ООО Поставщик");
    testProcess().partner.name = QStringLiteral("АО Покупатель");
    form.setPartnerIln(partnerIln);
}

bool readOrder(Confirmation& form, const QString& orderText)
{
    Startup::setParties(form);
    const bool read = Startup::takeOrder(form, XmlDocument::fromText(orderText));
    Startup::finish(form);
    return read;
}

} // namespace DocumentTexts
