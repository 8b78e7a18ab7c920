#include "core/rules/HeaderCheck.h"

#include "core/form/Form.h"

bool headerCheck(Form& form)
{
    if (form.field(Form::Field::txtNrPotw).isEmpty()) {
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
