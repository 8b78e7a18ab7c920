#include "editing/HeaderCheck.h"

#include "control/Confirmation.h"

bool headerCheck(Confirmation& form)
{
    if (form.field(Confirmation::Field::txtNrPotw).isEmpty()) {
        form.tell(QStringLiteral("В поле ‘Номер подтверждения’ не указана величина"),
                  Message::Icon::Exclamation);
        return false;
    }
    if (!form.txtDataPotw()) {
        form.tell(QStringLiteral("В поле ‘Дата подтверждения’ не указана величина"),
                  Message::Icon::Exclamation);
        form.requestFocus(QStringLiteral("txtDataPotw"));
        return false;
    }
    return true;
}
