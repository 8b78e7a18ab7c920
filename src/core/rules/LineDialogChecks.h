#pragma once

#include "core/form/MessageSink.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What the line dialog shows of one line and what the user sets in it.
struct LineDialogFields {
    QString title;
    QString ean;
    QString name;
    QString ordered;
    int16_t unitIndex = -1; // the chosen entry of the unit list, -1 for a typed unit
    QString unitText;       // the unit combo's text
    QString confirmed;
    QString price;
    QString discount;
    std::optional<QDate> deliveryDate;
};

// The line dialog as the control drives it: run modally, it returns its result (1 after
// the user confirmed valid values, 0 after a cancel) with the fields as the user left
// them. The result is kept between openings.
class LineDialogPort {
public:
    virtual ~LineDialogPort() = default;
    virtual int16_t run(LineDialogFields& fields) = 0;
};

namespace LineEdit {

enum class Field { None, txtIloscPotw, cboxJednostkaMiary, txtCenaNetto, txtRabat, dtDataDostawy };

// The dialog's unit list; the code of each entry is fixed by its index.
const QStringList& unitNames();
QString symbolJednostkiMiary(int16_t index, const QString& comboText);
int16_t indexJednostkiMiary(const QString& symbol);

// A text box of the dialog when the focus leaves it: blanks trimmed, then the number text
// with `decimals` decimals (a text that is no number stays as typed).
QString leaveTextBox(const QString& text, int decimals);
// Checks the fields in order, normalising the number boxes as leaving them does; shows the
// first failure and returns the field to put the focus on, or None when all pass.
Field Walidacja(LineDialogFields& fields, MessageSink& messages);

} // namespace LineEdit
