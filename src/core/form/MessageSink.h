#pragma once

#include <QString>

// Every message the control shows goes through one MessageSink: the window shows a
// message box, the command line prints a line, tests answer in advance.
struct Message {
    enum class Icon { None, Critical, Question, Exclamation, Information };
    // SaveCloseCancel is the host window's own closing question.
    enum class Buttons { Ok, YesNo, SaveCloseCancel };

    QString title;
    QString text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    // A question whose Yes cannot be taken back lets Enter mean No.
    bool defaultNo = false;
};

enum class Answer { Ok, Yes, No, Save, Close, Cancel };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual Answer show(const Message& message) = 0;
};

namespace Messages {
inline const QString Title = QStringLiteral("WEXA");
// Error-box title prefixes; the procedures differ in the blanks and colon they use.
inline const QString ErrorIn = QStringLiteral("Произошла ошибка в ");
inline const QString ErrorInTwoBlanks = QStringLiteral("Произошла ошибка в  ");
inline const QString ErrorInColon = QStringLiteral("Произошла ошибка в : ");
inline const QString ErrorInNoBlank = QStringLiteral("Произошла ошибка в");
inline const QString ModuleErrorIn = QStringLiteral("Bі№d w ");
} // namespace Messages
