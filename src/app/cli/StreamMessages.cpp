#include "app/cli/StreamMessages.h"

Answer StreamMessages::show(const Message& message)
{
    QString text = message.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_stream.write((message.title + QLatin1String(": ") + text + QLatin1Char('\n')).toUtf8());
    if (message.icon == Message::Icon::Critical || message.icon == Message::Icon::Exclamation)
        m_warned = true;
    switch (message.buttons) {
    case Message::Buttons::YesNo:
        return Answer::Yes;
    case Message::Buttons::SaveCloseCancel:
        // Nobody to ask: the work stays in its draft.
        return Answer::Close;
    case Message::Buttons::Ok:
        break;
    }
    return Answer::Ok;
}
