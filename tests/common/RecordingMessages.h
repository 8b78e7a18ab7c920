#pragma once

#include "core/form/MessageSink.h"

#include <QList>
#include <QStringList>

// Answers the control's messages without a screen: records each one and answers from a
// queue set in advance (Yes, Ok or Close when the queue is empty).
class RecordingMessages : public MessageSink {
public:
    Answer show(const Message& message) override
    {
        shown.append(message);
        if (!answers.isEmpty())
            return answers.takeFirst();
        if (message.buttons == Message::Buttons::SaveCloseCancel)
            return Answer::Close;
        return message.buttons == Message::Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }

    QStringList texts() const
    {
        QStringList list;
        for (const Message& m : shown)
            list.append(m.text);
        return list;
    }
    QStringList titles() const
    {
        QStringList list;
        for (const Message& m : shown)
            list.append(m.title);
        return list;
    }
    // Each message as one line, "title (icon): text", to compare all of them at once.
    QStringList lines() const
    {
        static const QStringList icons = {QStringLiteral("none"), QStringLiteral("critical"),
                                          QStringLiteral("question"), QStringLiteral("exclamation"),
                                          QStringLiteral("information")};
        QStringList list;
        for (const Message& m : shown)
            list.append(m.title + QStringLiteral(" (") + icons.value(int(m.icon)) +
                        QStringLiteral("): ") + m.text);
        return list;
    }
    void clear() { shown.clear(); }

    QList<Message> shown;
    QList<Answer> answers;
};
