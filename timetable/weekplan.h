#pragma once

#include "programfile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The week at a glance: for each weekday, what the controller will do and when, worked out from
// the rows exactly as the download sends them. Each bell follows the program the schedule gives it
// that day; the light follows every row the controller runs that day.
namespace qmv::week {

inline constexpr int Days = 7;

enum class Light
{
    Unchanged,
    On,
    Off
};

struct Ring
{
    bool rings = false;
    bool pulse = false;
    int seconds = 0;
};

struct Event
{
    QString time;    // hh:mm as sent; for a row that is not sent, its Time cell without blanks
    int program = 0; // 1 to 3
    int row = 0;     // 1-based row of the program
    Ring bell1;      // silent unless the row's program is bell 1's that day
    Ring bell2;
    Light light = Light::Unchanged;
    QString notSent; // empty when the row reaches the controller, otherwise why not
};

struct Day
{
    int bell1Program = 0; // 0 when not known: the schedule will not be sent
    int bell2Program = 0;
    QList<Event> events; // in time order; rows with times that are not sent included
};

struct WeekPlan
{
    std::array<Day, Days> days;
    QString scheduleNotSent; // why the download would leave the schedule out, if it would
};

WeekPlan weekPlan(const std::array<CellTable, ProgramCount> &programs, const CellTable &schedule);

// "Monday" to "Sunday".
QString dayName(int day);
// "CONT 5 s", "PULSE 10 s", or empty for a bell that does not ring.
QString ringText(const Ring &ring);
// "ON", "OFF" or "OC", the words of the LIGHT column.
QString lightText(Light light);
// One line for an event: "07:45 P1 B1 PULSE 5 s OC", "12:00 P2 not sent: ...".
QString eventText(const Event &event);

// One line of the week laid out as a timetable: one line per time, one cell per day, each cell
// holding the events at that time on that day.
struct TimetableRow
{
    QString time;
    std::array<QList<Event>, Days> cells;
};

} // namespace qmv::week
