#pragma once

#include <QString>

#include <exception>

// A run-time error as the control's procedures raise and report it: a number and a
// description that the error handler shows to the user.
class RuntimeError : public std::exception {
public:
    enum Number { Overflow = 6, TypeMismatch = 13, ObjectMissing = 91, Generic = 5 };

    RuntimeError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

    static RuntimeError overflow() { return {Overflow, QStringLiteral("Переполнение")}; }
    static RuntimeError notADate(const QString& text)
    {
        return {TypeMismatch,
                QStringLiteral("Несоответствие типа: «%1» не является датой").arg(text)};
    }
    static RuntimeError notATime(const QString& text)
    {
        return {TypeMismatch,
                QStringLiteral("Несоответствие типа: «%1» не является временем").arg(text)};
    }
    static RuntimeError notANumber(const QString& text)
    {
        return {TypeMismatch,
                QStringLiteral("Несоответствие типа: «%1» не является числом").arg(text)};
    }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};
