#pragma once

#include "clock.h"

#include <QElapsedTimer>

namespace qmvtest {

// The wall clock, running `factor` times faster: the 30, 60 and 120 second limits of the
// controller waits pass in a fraction of a second, still counted in whole seconds.
class FastClock : public qmv::Clock
{
public:
    explicit FastClock(double factor) : m_factor(factor) { m_real.start(); }
    QDateTime now() const override;
    std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const override;

private:
    double m_factor;
    QDateTime m_base = QDateTime::currentDateTime();
    QElapsedTimer m_real;
};

} // namespace qmvtest
