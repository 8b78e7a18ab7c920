#pragma once

#include <QDate>

#include <optional>

// "Today" for the control; tests pin it.
namespace Clock {
QDate today();
void setToday(std::optional<QDate> date);
} // namespace Clock
