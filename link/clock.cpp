#include "clock.h"

#include <algorithm>
#include <cmath>

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

ShiftedClock::ShiftedClock(double speed, const QDateTime &base) : m_speed(speed), m_base(base)
{
    m_real.start();
}

QDateTime ShiftedClock::now() const
{
    return wholeSecond(m_base.addMSecs(qint64(double(m_real.elapsed()) * m_speed)).toLocalTime());
}

std::chrono::milliseconds ShiftedClock::realTimeUntil(const QDateTime &moment) const
{
    const auto due = qint64(std::ceil(double(m_base.msecsTo(moment)) / m_speed)) + 1;
    return std::chrono::milliseconds(std::max<qint64>(0, due - m_real.elapsed()));
}

} // namespace qmv
