#pragma once
// The clock, behind a seam so that tests can fix the time of log rows.
#include <QDateTime>
#include <functional>

namespace toolkit {

// The local time (as its offset from UTC).
QDateTime Now();
// Replaces the clock; an empty function restores the system clock.
void SetClock(std::function<QDateTime()> clock);

}  // namespace toolkit
