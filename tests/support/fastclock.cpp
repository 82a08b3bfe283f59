#include "fastclock.h"

#include <algorithm>
#include <cmath>

namespace qmvtest {

QDateTime FastClock::now() const
{
    return qmv::wholeSecond(m_base.addMSecs(qint64(double(m_real.elapsed()) * m_factor)));
}

std::chrono::milliseconds FastClock::realTimeUntil(const QDateTime &moment) const
{
    const double due = std::ceil(double(m_base.msecsTo(moment)) / m_factor);
    return std::chrono::milliseconds(std::max<qint64>(0, qint64(due) - m_real.elapsed()));
}

} // namespace qmvtest
