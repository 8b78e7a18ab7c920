#include "core/rules/LineFields.h"

#include "core/form/Grid.h"
#include "core/form/Partners.h"
#include "core/rules/Conversions.h"

namespace LineFields {
namespace {

Layout makeOrderLayout(const char* price)
{
    return {{
        {"Line-Item/LineNumber", false, Rule::Text},
        {"Line-Item/EAN", true, Rule::Text},
        {"Line-Item/ItemDescription", true, Rule::Text},
        {"Line-Item/OrderedQuantity", false, Rule::Quantity},
        {"", true, Rule::CopyOrdered},
        {price, true, Rule::Quantity},
        {"Line-Item/BuyerItemCode", true, Rule::Text},
        {"Line-Item/SupplierItemCode", true, Rule::Text},
        {"Line-Item/ItemType", true, Rule::Text},
        {"Line-Item/UnitOfMeasure", true, Rule::UnitOrEmpty},
        {"Line-Item/OrderedUnitPacksize", true, Rule::Quantity},
        {"", true, Rule::Empty},
        {"", true, Rule::Empty},
        {"", true, Rule::Empty},
        {"", true, Rule::Empty},
        {"Line-Item/Discount", true, Rule::Discount},
        {"", true, Rule::Today},
        {"Line-Item/ExpectedDeliveryTime", true, Rule::Text},
    }};
}

Layout makeResponseLayout(const char* price)
{
    return {{
        {"Line-Item/LineNumber", false, Rule::Text},
        {"Line-Item/EAN", false, Rule::Text},
        {"Line-Item/ItemDescription", true, Rule::Text},
        {"Line-Item/OrderedQuantity", false, Rule::Quantity},
        {"Line-Item/QuantityToBeDelivered", false, Rule::Quantity},
        {price, true, Rule::Quantity},
        {"Line-Item/BuyerItemCode", true, Rule::Text},
        {"Line-Item/SupplierItemCode", true, Rule::Text},
        {"Line-Item/ItemType", true, Rule::Text},
        {"Line-Item/UnitOfMeasure", true, Rule::UnitOrPce},
        {"Line-Item/OrderedUnitPacksize", true, Rule::Quantity},
        {"Line-Item/SubstituteEAN", true, Rule::Text},
        {"Line-Item/BuyerSubstituteItemCode", true, Rule::Text},
        {"Line-Item/SupplierSubstituteItemCode", true, Rule::Text},
        {"Line-Item/SubstituteItemDescription", true, Rule::Text},
        {"Line-Item/Discount", true, Rule::Discount},
        {"Line-Item/ExpectedDeliveryDate", true, Rule::Text},
        {"Line-Item/ExpectedDeliveryTime", true, Rule::Text},
    }};
}

const char* NetPrice = "Line-Item/OrderedUnitNetPrice";
const char* GrossPrice = "Line-Item/OrderedUnitGrossPrice";

} // namespace

const Layout& orderLayout(const QString& partnerIln)
{
    static const Layout net = makeOrderLayout(NetPrice);
    static const Layout gross = makeOrderLayout(GrossPrice);
    return Partners::usesGrossPrice(partnerIln) ? gross : net;
}

const Layout& responseLayout(const QString& partnerIln)
{
    static const Layout net = makeResponseLayout(NetPrice);
    static const Layout gross = makeResponseLayout(GrossPrice);
    return Partners::usesGrossPrice(partnerIln) ? gross : net;
}

void writeRow(Grid& lines, int16_t row, const XmlNode& line, const Layout& layout,
              const QString& today)
{
    // A line is read as a document of its own whose root is Line: any other node gives
    // no values.
    const bool isLine = line.isElement() && line.name() == QLatin1String("Line");
    for (int16_t c = 0; c < int16_t(layout.size()); ++c) {
        const Field& field = layout[c];
        QString value;
        switch (field.rule) {
        case Rule::CopyOrdered:
            value = lines.text(row, 3);
            break;
        case Rule::Today:
            value = today;
            break;
        case Rule::Empty:
            break;
        default: {
            value = isLine ? Conversions::GetNodeValue(line, field.path, field.emptyIfMissing)
                           : (field.emptyIfMissing ? QString() : QStringLiteral("-1"));
            if (field.rule == Rule::Quantity)
                value = Conversions::NormalizeNumber(value, 3);
            else if (field.rule == Rule::Discount)
                value = Conversions::NormalizeNumber(value, 2);
            else if (field.rule == Rule::UnitOrEmpty && value.trimmed().isEmpty())
                value.clear();
            else if (field.rule == Rule::UnitOrPce && value.trimmed().isEmpty())
                value = QStringLiteral("PCE");
            break;
        }
        }
        lines.setText(row, c, value);
    }
}

} // namespace LineFields
