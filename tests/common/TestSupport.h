#pragma once

#include "core/form/Clock.h"
#include "core/form/ProcessState.h"
#include "core/rules/Conversions.h"

#include <QDate>
#include <QLocale>
#include <QString>

// The process state the tests hand to the controls they create, as a program does.
inline ProcessState& testProcess()
{
    static ProcessState process;
    return process;
}

// A fresh process for each test: the user's locale, a pinned "today", no shared state.
inline void freshProcess(const QString& locale = QStringLiteral("ru_RU"),
                         QDate today = QDate(2026, 12, 5))
{
    testProcess() = ProcessState{};
    QLocale::setDefault(QLocale(locale));
    Conversions::determineDecimalSeparator();
    Clock::setToday(today);
}
