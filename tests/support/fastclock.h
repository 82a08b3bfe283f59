#pragma once

#include "clock.h"

#include <QElapsedTimer>

#include <cmath>

namespace qmvtest {

// The wall clock, running `factor` times faster: the 30, 60 and 120 second limits of the
// controller waits pass in a fraction of a second, still counted in whole seconds. It starts at
// `base`, by default the present moment.
class FastClock : public qmv::Clock
{
public:
    explicit FastClock(double factor, const QDateTime &base = QDateTime::currentDateTime())
        : m_factor(factor), m_base(base)
    {
        m_real.start();
    }
    QDateTime now() const override
    {
        return qmv::wholeSecond(m_base.addMSecs(qint64(double(m_real.elapsed()) * m_factor)));
    }
    std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const override
    {
        const auto due = qint64(std::ceil(double(m_base.msecsTo(moment)) / m_factor));
        return std::chrono::milliseconds(std::max<qint64>(0, due - m_real.elapsed()));
    }

private:
    double m_factor;
    QDateTime m_base;
    QElapsedTimer m_real;
};

} // namespace qmvtest
