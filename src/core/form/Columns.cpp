#include "core/form/Columns.h"

const QStringList& Columns::lineLabels()
{
    static const QStringList labels = {
        QStringLiteral("№ п.п"),
        QStringLiteral("EAN продукта"),
        QStringLiteral("Название продукта"),
        QStringLiteral("Количество заказа"),
        QStringLiteral("Подтверждённое количество"),
        QStringLiteral("Цена з НДС"),
        QStringLiteral("Код продукта покупателя"),
        QStringLiteral("Код продукта продавца"),
        QStringLiteral("Идентификатор возвратной упаковки"),
        QStringLiteral("Единица измерения"),
        QStringLiteral("Iloњж sztuk detal. w opakowaniu handlowym"),
        QStringLiteral("EAN produktu zastкpuj№cego"),
        QStringLiteral("Nazwa produktu zastкpuj№cego"),
        QStringLiteral("Kod produktu zastкpuj№cego kupuj№cego"),
        QStringLiteral("Kod produktu zastкpuj№cego sprzedaj№cego"),
        QStringLiteral("Скидка"),
        QStringLiteral("Подтверждённая дата поставки"),
        QStringLiteral("Подтверждённое время поставки"),
    };
    return labels;
}

const QStringList& Columns::summaryLabels()
{
    static const QStringList labels = {QStringLiteral("Количество линий"),
                                       QStringLiteral("Общее количество подтверждённых")};
    return labels;
}
