#include "core/form/Clock.h"

namespace {
std::optional<QDate> g_today;
}

QDate Clock::today()
{
    return g_today.value_or(QDate::currentDate());
}

void Clock::setToday(std::optional<QDate> date)
{
    g_today = date;
}
