#include "platform/toolkit/Clock.h"

namespace toolkit {
namespace {
std::function<QDateTime()>& current()
{
    static std::function<QDateTime()> clock;
    return clock;
}
}  // namespace

QDateTime Now()
{
    return current() ? current()() : QDateTime::currentDateTime();
}

void SetClock(std::function<QDateTime()> clock)
{
    current() = std::move(clock);
}

}  // namespace toolkit
