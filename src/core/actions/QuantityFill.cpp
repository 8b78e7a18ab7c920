#include "core/actions/QuantityFill.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineCheck.h"
#include "core/rules/ResponseType.h"

#include <QHash>
#include <QRegularExpression>

namespace QuantityFill {
namespace {

// Header words, compared as a search compares them without blanks, dots and dashes.
QString folded(const QString& text)
{
    QString out;
    for (QChar c : Conversions::searchForm(text)) {
        if (c.isLetterOrNumber())
            out += c;
    }
    return out;
}

const QStringList& eanWords()
{
    static const QStringList words = {QStringLiteral("ean"),        QStringLiteral("ean13"),
                                      QStringLiteral("gtin"),       QStringLiteral("штрихкод"),
                                      QStringLiteral("шк"),         QStringLiteral("barcode"),
                                      QStringLiteral("eanпродукта")};
    return words;
}
const QStringList& buyerWords()
{
    static const QStringList words = {QStringLiteral("кодпокупателя"),
                                      QStringLiteral("кодпродуктапокупателя"),
                                      QStringLiteral("buyercode"), QStringLiteral("buyeritemcode")};
    return words;
}
const QStringList& supplierWords()
{
    static const QStringList words = {QStringLiteral("кодпродавца"),
                                      QStringLiteral("кодпоставщика"),
                                      QStringLiteral("кодпродуктапродавца"),
                                      QStringLiteral("артикул"),
                                      QStringLiteral("suppliercode"),
                                      QStringLiteral("supplieritemcode"),
                                      QStringLiteral("sku"),
                                      QStringLiteral("itemcode"),
                                      QStringLiteral("код")};
    return words;
}
const QStringList& quantityWords()
{
    static const QStringList words = {QStringLiteral("количество"),
                                      QStringLiteral("колво"),
                                      QStringLiteral("кол"),
                                      QStringLiteral("остаток"),
                                      QStringLiteral("наличие"),
                                      QStringLiteral("подтверждено"),
                                      QStringLiteral("подтвержденноеколичество"),
                                      QStringLiteral("quantity"),
                                      QStringLiteral("qty"),
                                      QStringLiteral("stock"),
                                      QStringLiteral("confirmed")};
    return words;
}

int16_t keyColumn(Key key)
{
    switch (key) {
    case Key::BuyerCode:
        return ColBuyerCode;
    case Key::SupplierCode:
        return ColSupplierCode;
    case Key::Ean:
        break;
    }
    return ColEan;
}

QString keyOf(Key key, const QString& text)
{
    const QString trimmed = text.trimmed();
    return key == Key::Ean ? trimmed : trimmed.toCaseFolded();
}

// A spreadsheet's number as the user types it: grouping blanks dropped, a point or a
// comma as the decimal separator.
QString asTyped(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (!c.isSpace() && c != QChar(0x00A0) && c != QChar(0x202F))
            out += c;
    }
    return out;
}

QString describeLine(const Grid& lines, int16_t row)
{
    return QStringLiteral("№ %1, EAN %2, %3")
        .arg(lines.text(row, ColNumber), lines.text(row, ColEan), lines.text(row, ColName));
}

void section(QString& text, const QString& title, const QStringList& items)
{
    if (items.isEmpty())
        return;
    text += QStringLiteral("\n%1 (%2):\n").arg(title).arg(items.size());
    for (const QString& item : items)
        text += QStringLiteral("  ") + item + QLatin1Char('\n');
}

} // namespace

std::optional<Columns> recognise(const QStringList& header)
{
    Columns columns;
    columns.headerRow = true;
    int supplier = -1, buyer = -1;
    for (int c = 0; c < header.size(); ++c) {
        const QString word = folded(header[c]);
        if (word.isEmpty())
            continue;
        if (columns.key < 0 && eanWords().contains(word))
            columns.key = c;
        else if (buyer < 0 && buyerWords().contains(word))
            buyer = c;
        else if (supplier < 0 && supplierWords().contains(word))
            supplier = c;
        else if (columns.quantity < 0 && quantityWords().contains(word))
            columns.quantity = c;
    }
    if (columns.key < 0 && buyer >= 0)
        columns.key = buyer, columns.keyKind = Key::BuyerCode;
    else if (columns.key < 0 && supplier >= 0)
        columns.key = supplier, columns.keyKind = Key::SupplierCode;
    if (columns.key < 0 || columns.quantity < 0)
        return std::nullopt;
    return columns;
}

Columns chosen(const QuantityFile& list, int key, Key kind, int quantity)
{
    Columns columns{key, kind, quantity, false};
    if (!list.rows.isEmpty()) {
        QString first = asTyped(list.rows.first().cells.value(quantity));
        columns.headerRow =
            LineCheck::judgeValue(first, QString(), QString()) == LineCheck::Value::NotANumber;
    }
    return columns;
}

std::optional<Columns> columnsOf(const QuantityFile& list, std::optional<Columns> given)
{
    if (given)
        return chosen(list, given->key, given->keyKind, given->quantity);
    if (list.rows.isEmpty())
        return std::nullopt;
    return recognise(list.rows.first().cells);
}

// What the clerk must act on comes first: the quantities refused, then what the list
// names that the order has not, then the order's lines the list left out.
QString Report::text() const
{
    QString out = QStringLiteral("Заполнено строк: %1\n").arg(filled);
    section(out, QStringLiteral("Не принятые количества"), refused);
    section(out, QStringLiteral("Строки файла, которых нет в заказе"), notInOrder);
    section(out, QStringLiteral("Строки заказа, которых нет в файле"), notInList);
    section(out, QStringLiteral("Повторы в файле (эти строки не заполнены)"), duplicates);
    return out;
}

bool spreadsheetNumber(const QString& text)
{
    static const QRegularExpression exponent(QStringLiteral("^\\d([.,]\\d+)?[eE]\\+?\\d+$"));
    return exponent.match(text).hasMatch();
}

std::optional<Report> fill(Confirmation& form, const QuantityFile& list, const Columns& columns)
{
    if (form.cboxTyp() != ResponseType::Change)
        return std::nullopt;
    Report report;
    Grid& lines = form.lines();
    const int16_t keyCol = keyColumn(columns.keyKind);

    // The list's names: the quantity text of each, and those it gives more than once.
    QHash<QString, QString> quantities;
    QHash<QString, int> seen;
    QHash<QString, int> firstRow;
    const qsizetype first = columns.headerRow ? 1 : 0;
    for (qsizetype i = first; i < list.rows.size(); ++i) {
        const QuantityFile::Row& row = list.rows[i];
        const QString key = keyOf(columns.keyKind, row.cells.value(columns.key));
        if (key.isEmpty())
            continue;
        if (++seen[key] == 1) {
            quantities.insert(key, row.cells.value(columns.quantity));
            firstRow.insert(key, row.line);
        }
    }
    QHash<QString, bool> inOrder;
    {
        RedrawPause pause(lines);
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            const QString key = keyOf(columns.keyKind, lines.text(r, keyCol));
            inOrder.insert(key, true);
            const auto found = quantities.constFind(key);
            if (key.isEmpty() || found == quantities.constEnd()) {
                report.notInList.append(describeLine(lines, r));
                continue;
            }
            if (seen.value(key) > 1)
                continue;
            QString value = asTyped(*found);
            const QString given = value;
            switch (LineCheck::judgeValue(value, lines.text(r, ColOrdered), form.partnerIln())) {
            case LineCheck::Value::NotANumber:
                report.refused.append(
                    QStringLiteral("%1: «%2» — не число").arg(describeLine(lines, r), given));
                continue;
            case LineCheck::Value::AboveOrdered:
                report.refused.append(
                    QStringLiteral("%1: %2 — больше заказанного (%3)")
                        .arg(describeLine(lines, r), value, lines.text(r, ColOrdered)));
                continue;
            case LineCheck::Value::Passes:
                break;
            }
            lines.setText(r, ColConfirmed, value);
            ++report.filled;
        }
    }
    QList<std::pair<int, QString>> strangers;
    for (auto it = seen.constBegin(); it != seen.constEnd(); ++it) {
        if (!inOrder.contains(it.key()))
            strangers.append({firstRow.value(it.key()), it.key()});
        else if (it.value() > 1)
            report.duplicates.append(QStringLiteral("%1 — %2 раза").arg(it.key()).arg(it.value()));
    }
    std::sort(strangers.begin(), strangers.end());
    for (const auto& [line, key] : strangers)
        report.notInOrder.append(
            spreadsheetNumber(key)
                ? QStringLiteral("строка %1: %2 — EAN записан таблицей как число, его цифры "
                                 "потеряны; задайте столбцу текстовый формат")
                      .arg(line)
                      .arg(key)
                : QStringLiteral("строка %1: %2").arg(line).arg(key));
    report.duplicates.sort();
    LineCheck::recolourAndRecount(form);
    return report;
}

} // namespace QuantityFill
