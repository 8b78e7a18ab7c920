#pragma once

#include "control/Clock.h"
#include "control/ProcessState.h"
#include "documents/Conversions.h"

#include <QDate>
#include <QLocale>
#include <QString>

// A fresh process for each test: the user's locale, a pinned "today", no shared state.
inline void freshProcess(const QString& locale = QStringLiteral("ru_RU"),
                         QDate today = QDate(2026, 12, 5))
{
    ProcessState::reset();
    QLocale::setDefault(QLocale(locale));
    Conversions::determineDecimalSeparator();
    Clock::setToday(today);
}
