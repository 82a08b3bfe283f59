#pragma once

#include <QDateTime>
#include <QElapsedTimer>

#include <chrono>

namespace qmv {

// The clock the controller waits measure time with. The waits count whole seconds of the date and
// time (so midnight does not disturb them) and block in the event loop until the clock reaches a
// given moment; realTimeUntil() says how long that is in real time, so a test clock that runs
// faster makes the 30, 60 and 120 second limits pass in a fraction of that.
class Clock
{
public:
    virtual ~Clock() = default;

    // The date and time, to the whole second.
    virtual QDateTime now() const = 0;
    // Real time until now() is no longer earlier than `moment`; zero when it already is not.
    virtual std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const override;
};

// The system's clock moved to start at `base` and run `speed` times as fast: a download on a
// chosen day, and a controller's time-outs passing in a fraction of a second, without touching
// the system's clock.
class ShiftedClock : public Clock
{
public:
    explicit ShiftedClock(double speed, const QDateTime &base = QDateTime::currentDateTime());
    QDateTime now() const override;
    std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const override;

private:
    double m_speed;
    QDateTime m_base;
    QElapsedTimer m_real;
};

// Cuts a date and time down to the whole second.
QDateTime wholeSecond(const QDateTime &moment);

} // namespace qmv
