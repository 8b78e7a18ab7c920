#include "core/rules/LineDialogChecks.h"

#include "core/rules/Conversions.h"

namespace {

const char* const UnitCodes[] = {"PCE", "KGM", "MTR", "KMT", "PA", "SET", "PR", "TNE", "LTR"};

void warn(MessageSink& messages, const QString& text)
{
    messages.show({Messages::Title, text, Message::Icon::Critical});
}

} // namespace

namespace LineEdit {

const QStringList& unitNames()
{
    static const QStringList names = {
        QStringLiteral("Sztuka"),   QStringLiteral("Kilogram"),       QStringLiteral("Metr"),
        QStringLiteral("Kilometr"), QStringLiteral("Opakowanie"),     QStringLiteral("Komplet"),
        QStringLiteral("Para"),     QStringLiteral("Tona metryczna"), QStringLiteral("Litr"),
    };
    return names;
}

QString symbolJednostkiMiary(int16_t index, const QString& comboText)
{
    if (index == -1)
        return comboText;
    if (index >= 0 && index < int16_t(std::size(UnitCodes)))
        return QString::fromLatin1(UnitCodes[index]);
    return {};
}

int16_t indexJednostkiMiary(const QString& symbol)
{
    for (int16_t i = 0; i < int16_t(std::size(UnitCodes)); ++i) {
        if (symbol.compare(QLatin1String(UnitCodes[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString leaveTextBox(const QString& text, int decimals)
{
    QString trimmed = text.trimmed();
    return Conversions::NormalizeNumber(trimmed, decimals);
}

Field Walidacja(LineDialogFields& fields, MessageSink& messages)
{
    fields.confirmed = leaveTextBox(fields.confirmed, 3);
    if (!Conversions::readsAsNumber(fields.confirmed)) {
        warn(messages, QStringLiteral("Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'"));
        return Field::txtIloscPotw;
    }
    if (fields.unitText.isEmpty()) {
        warn(messages, QStringLiteral("Brak wartoњci dla pola 'Jednostka miary'."));
        return Field::cboxJednostkaMiary;
    }
    fields.price = leaveTextBox(fields.price, 2);
    if (!fields.price.trimmed().isEmpty() && !Conversions::readsAsNumber(fields.price)) {
        warn(messages, QStringLiteral("Bікdna wartoњж dla pola 'Cena Netto'"));
        return Field::txtCenaNetto;
    }
    fields.discount = leaveTextBox(fields.discount, 2);
    if (!fields.discount.trimmed().isEmpty() && !Conversions::readsAsNumber(fields.discount)) {
        warn(messages, QStringLiteral("Bікdna wartoњж dla pola 'Rabat'"));
        return Field::txtRabat;
    }
    if (!fields.deliveryDate) {
        warn(messages, QStringLiteral("Brak wartoњci dla pola 'Potwierdzona data dostawy'"));
        return Field::dtDataDostawy;
    }
    return Field::None;
}

} // namespace LineEdit
