#include "clock.h"

namespace qmv {

QDateTime wholeSecond(const QDateTime &moment)
{
    return QDateTime::fromSecsSinceEpoch(moment.toSecsSinceEpoch(), moment.timeSpec());
}

QDateTime SystemClock::now() const
{
    return wholeSecond(QDateTime::currentDateTime());
}

std::chrono::milliseconds SystemClock::realTimeUntil(const QDateTime &moment) const
{
    // One millisecond past the turn of the second, so the clock read on waking shows it.
    const qint64 ms = QDateTime::currentDateTime().msecsTo(moment) + 1;
    return std::chrono::milliseconds(ms > 0 ? ms : 0);
}

} // namespace qmv
