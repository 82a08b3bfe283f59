#pragma once

#include "calendarfile.h"
#include "held.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QTime>

#include <chrono>
#include <optional>

// Whether a calendar run should download now, and the plan of what coming runs will do.
namespace qmv::calendar {

// A download never starts this close before a ring of the timetable the controller holds or will
// hold: erasing it then would leave that ring out.
inline constexpr std::chrono::minutes RingGuard{2};
// How long after a ring a download waits, so that the ring and its seconds have passed.
inline constexpr std::chrono::minutes AfterRing{1};

// What the calendar run needs to know of the program files: their bytes' digest, and the times
// at which the controller acts on a date when it holds one.
class Timetables
{
public:
    virtual ~Timetables() = default;
    // The digest of the tables a file holds (as record::contentHash); empty when unreadable.
    virtual QString digest(const QString &path) const = 0;
    virtual QList<QTime> rings(const QString &path, const QDate &date) const = 0;
};

// The program files themselves, each read once.
class ProgramFiles : public Timetables
{
public:
    QString digest(const QString &path) const override;
    QList<QTime> rings(const QString &path, const QDate &date) const override;

private:
    struct Read
    {
        QString digest;
        QList<QList<QTime>> days; // Monday to Sunday
    };
    const Read &read(const QString &path) const;
    mutable QHash<QString, Read> m_read;
};

struct Decision
{
    bool download = false;
    QString file;        // full path of the file due now
    QString reason;      // why it is downloaded, or that the controller holds what it should
    QDateTime notBefore; // the earliest moment the download may start: now, or after a ring
};

Decision decide(const Calendar &calendar, const std::optional<Held> &held, const QDateTime &now,
                const Timetables &timetables);

// The offset from UTC of the local time at `moment`, as "UTC+01:00".
QString offsetText(int seconds);

struct PlannedDownload
{
    QDateTime at;
    QString reason;
};

struct PlanDay
{
    QDate date;
    QString file; // as the calendar writes it
    QString note; // the period's note, if a period holds the day
    QList<PlannedDownload> downloads;
};

// What the hourly runs from `now` on (the first at `now`, then at each full hour) will do over
// `days` days, starting from what the controller holds now.
QList<PlanDay> plan(const Calendar &calendar, std::optional<Held> held, const QDateTime &now,
                    int days, const Timetables &timetables);
QString planText(const QList<PlanDay> &days);

} // namespace qmv::calendar
