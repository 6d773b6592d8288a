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
    if (current())
        return current()();
    // Local time costs a time-zone lookup, and a profile apply logs thousands of rows: the offset from
    // UTC is looked up once a minute (no zone changes it within one).
    thread_local qint64 minute = -1;
    thread_local int offset = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms / 60000 != minute) {
        offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        minute = ms / 60000;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
}

void SetClock(std::function<QDateTime()> clock)
{
    current() = std::move(clock);
}

}  // namespace toolkit
