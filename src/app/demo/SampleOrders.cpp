#include "app/demo/SampleOrders.h"

#include <random>
#include <vector>

namespace SampleOrders {
namespace {

QString ean13(std::mt19937& random)
{
    QString digits = QStringLiteral("460");
    for (int i = 0; i < 9; ++i)
        digits += QChar('0' + int(random() % 10));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digits[i].digitValue() * (i % 2 ? 3 : 1);
    return digits + QChar('0' + (10 - sum % 10) % 10);
}

} // namespace

QByteArray generate(int lines, const QString& orderNumber, unsigned seed, const Parties& parties)
{
    static const char* goods[] = {"Молоко пастеризованное",
                                  "Кефир",
                                  "Творог",
                                  "Сметана",
                                  "Йогурт питьевой",
                                  "Сыр «Российский»",
                                  "Масло сливочное",
                                  "Ряженка",
                                  "Хлеб «Бородинский»",
                                  "Батон нарезной",
                                  "Печенье овсяное",
                                  "Крупа гречневая ядрица",
                                  "Рис круглозёрный",
                                  "Макаронные изделия «Перья»",
                                  "Сахар-песок",
                                  "Чай чёрный байховый",
                                  "Кофе молотый",
                                  "Сок яблочный осветлённый",
                                  "Вода минеральная",
                                  "Колбаса «Докторская» варёная"};
    static const char* kinds[] = {"3,2%",  "2,5%",  "9%",      "20%", "0,5 л", "1 л",
                                  "400 г", "900 г", "весовой", "в/у", "ГОСТ",  "1 кг"};
    static const char* makers[] = {"«Вологодское»",  "«Северная долина»", "«Заречье»",
                                   "«Красная цена»", "«Любимый край»",    "«Ладога»"};
    static const char* prefixes[] = {"MLK", "KFR", "TVR", "SMT", "SYR", "MSL", "HLB", "KRP"};
    std::mt19937 random(seed);
    auto pick = [&](auto& list) { return QString::fromUtf8(list[random() % std::size(list)]); };

    QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document-Order>\n  <Order-Header>\n"
            "    <OrderNumber>%3</OrderNumber>\n    <OrderDate>2026-12-03</OrderDate>\n"
            "    <ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>\n"
            "    <ExpectedDeliveryTime>06:00</ExpectedDeliveryTime>\n"
            "    <Remarks>Разгрузка с 6:00 до 10:00.\nПаллеты не выше 1,8 м.</Remarks>\n"
            "  </Order-Header>\n  <Order-Parties>\n    <Buyer><ILN>%1</ILN></Buyer>\n"
            "    <Seller><ILN>%2</ILN></Seller>\n    <DeliveryPoint>\n"
            "      <ILN>4607000000031</ILN>\n      <Name>Распределительный центр «Юг»</Name>\n"
            "      <Address>г. Ростов-на-Дону, ул. Портовая, 193</Address>\n"
            "    </DeliveryPoint>\n  </Order-Parties>\n  <Order-Lines>\n")
            .arg(parties.buyer, parties.seller, orderNumber);
    for (int n = 1; n <= lines; ++n) {
        const bool byWeight = random() % 5 == 0;
        const QString quantity = byWeight ? QStringLiteral("%1.%2")
                                                .arg(1 + random() % 60)
                                                .arg(random() % 1000, 3, 10, QLatin1Char('0'))
                                          : QString::number(1 + random() % 480);
        xml += QStringLiteral("    <Line>\n      <Line-Item>\n"
                              "        <LineNumber>%1</LineNumber>\n        <EAN>%2</EAN>\n"
                              "        <BuyerItemCode>%3</BuyerItemCode>\n"
                              "        <SupplierItemCode>%4-%5</SupplierItemCode>\n"
                              "        <ItemDescription>%6 %7 %8</ItemDescription>\n"
                              "        <OrderedQuantity>%9</OrderedQuantity>\n")
                   .arg(n)
                   .arg(ean13(random))
                   .arg(100000 + n)
                   .arg(pick(prefixes))
                   .arg(random() % 10000, 4, 10, QLatin1Char('0'))
                   .arg(pick(goods), pick(kinds), pick(makers), quantity);
        xml += QStringLiteral("        <OrderedUnitNetPrice>%1.%2</OrderedUnitNetPrice>\n"
                              "        <UnitOfMeasure>%3</UnitOfMeasure>\n"
                              "        <OrderedUnitPacksize>%4</OrderedUnitPacksize>\n")
                   .arg(10 + random() % 2500)
                   .arg(random() % 100, 2, 10, QLatin1Char('0'))
                   .arg(byWeight ? QStringLiteral("KGM") : QStringLiteral("PCE"))
                   .arg(std::vector{6, 8, 10, 12, 20, 24}[random() % 6]);
        if (random() % 3 == 0)
            xml += QStringLiteral("        <Discount>%1</Discount>\n")
                       .arg(QLatin1String(std::vector{"2.5", "5", "7.25", "10"}[random() % 4]));
        xml += QStringLiteral("      </Line-Item>\n    </Line>\n");
    }
    xml += QStringLiteral("  </Order-Lines>\n</Document-Order>\n");
    return xml.toUtf8();
}

} // namespace SampleOrders
