#include "control/MessageBoxes.h"

#include <QMessageBox>

Answer MessageBoxes::show(const Message& message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
    case Message::Icon::Critical:
        icon = QMessageBox::Critical;
        break;
    case Message::Icon::Question:
        icon = QMessageBox::Question;
        break;
    case Message::Icon::Exclamation:
        icon = QMessageBox::Warning;
        break;
    case Message::Icon::Information:
        icon = QMessageBox::Information;
        break;
    case Message::Icon::None:
        break;
    }
    const bool question = message.buttons == Message::Buttons::YesNo;
    QMessageBox box(icon, message.title, message.text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_owner);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    const int result = box.exec();
    if (!question)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}
