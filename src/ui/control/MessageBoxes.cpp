#include "ui/control/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

Answer MessageBoxes::askSaveCloseCancel(int icon, const Message& message)
{
    QMessageBox box(QMessageBox::Icon(icon), message.title, message.text, QMessageBox::NoButton,
                    m_owner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* save = box.addButton(QStringLiteral("Записать…"), QMessageBox::AcceptRole);
    QPushButton* close = box.addButton(QStringLiteral("Закрыть"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Answer::Save;
    if (box.clickedButton() == cancel)
        return Answer::Cancel;
    (void)close;
    return Answer::Close;
}

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
    if (message.buttons == Message::Buttons::SaveCloseCancel)
        return askSaveCloseCancel(icon, message);
    const bool question = message.buttons == Message::Buttons::YesNo;
    QMessageBox box(icon, message.title, message.text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_owner);
    // Texts can hold what a server or a file said: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(!question           ? QMessageBox::Ok
                         : message.defaultNo ? QMessageBox::No
                                             : QMessageBox::Yes);
    const int result = box.exec();
    if (!question)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}
