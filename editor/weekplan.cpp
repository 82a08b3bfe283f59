#include "weekplan.h"

#include "bellrules.h"
#include "programcheck.h"
#include "rowencoding.h"

#include <QMap>

#include <algorithm>

namespace qmv::week {

namespace {

// The flag byte as the controller reads it: a cleared bit means "yes".
constexpr int LightOnBit = 128;
constexpr int LightOffBit = 64;
constexpr int Bell2Bit = 32;
constexpr int Bell1Bit = 16;
constexpr int PulseBit = 8;

struct Decoded
{
    Ring bell1, bell2;
    Light light = Light::Unchanged;
};

// Reads back the bell row command, so the plan shows what the controller gets rather than what
// the cells say (both bells share one pulse bit and bell 1's seconds).
Decoded decode(const QByteArray &command)
{
    const int flags = command.mid(6, 3).toInt();
    const int seconds = command.mid(9).toInt();
    const bool pulse = (flags & PulseBit) == 0;
    Decoded decoded;
    if ((flags & Bell1Bit) == 0)
        decoded.bell1 = {true, pulse, seconds};
    if ((flags & Bell2Bit) == 0)
        decoded.bell2 = {true, pulse, seconds};
    if ((flags & LightOnBit) == 0)
        decoded.light = Light::On;
    else if ((flags & LightOffBit) == 0)
        decoded.light = Light::Off;
    return decoded;
}

// Times that are not clock times go after every clock time.
QString sortKey(const QString &time)
{
    return isClockTime(time) ? time : QStringLiteral("~") + time;
}

} // namespace

WeekPlan weekPlan(const std::array<CellTable, ProgramCount> &programs, const CellTable &schedule)
{
    std::array<QList<check::RowFate>, ProgramCount> fates;
    for (int p = 0; p < ProgramCount; ++p)
        fates[p] = check::rowFates(programs[p]);

    WeekPlan plan;
    for (int bell = 0; bell < ScheduleRows && plan.scheduleNotSent.isEmpty(); ++bell)
        scheduleRowCommand(schedule.rows.value(bell), bell, &plan.scheduleNotSent);

    for (int d = 0; d < Days; ++d) {
        Day &day = plan.days[d];
        day.bell1Program = check::scheduledProgram(schedule, 0, d, nullptr).value_or(0);
        day.bell2Program = check::scheduledProgram(schedule, 1, d, nullptr).value_or(0);
        for (int p = 1; p <= ProgramCount; ++p) {
            const bool forBell1 = p == day.bell1Program;
            const bool forBell2 = p == day.bell2Program;
            if (!forBell1 && !forBell2)
                continue;
            for (int r = 0; r < fates[p - 1].size(); ++r) {
                const check::RowFate &fate = fates[p - 1].at(r);
                Event event;
                event.program = p;
                event.row = r + 1;
                if (fate.kind == check::RowFate::Sent) {
                    const Decoded decoded = decode(fate.command);
                    event.time = QString::fromLatin1(fate.command.mid(1, 5));
                    event.bell1 = forBell1 ? decoded.bell1 : Ring();
                    event.bell2 = forBell2 ? decoded.bell2 : Ring();
                    event.light = decoded.light;
                    // A row that does nothing today is left out.
                    if (!event.bell1.rings && !event.bell2.rings && event.light == Light::Unchanged)
                        continue;
                } else if (fate.hasTime) {
                    event.time = bell::trimBlanks(programs[p - 1].rows.at(r).value(0));
                    event.notSent = fate.why;
                } else {
                    continue;
                }
                day.events.append(event);
            }
        }
        std::stable_sort(day.events.begin(), day.events.end(), [](const Event &a, const Event &b) {
            return sortKey(a.time) < sortKey(b.time);
        });
    }
    return plan;
}

QString dayName(int day)
{
    static const QStringList names = {QStringLiteral("Monday"),    QStringLiteral("Tuesday"),
                                      QStringLiteral("Wednesday"), QStringLiteral("Thursday"),
                                      QStringLiteral("Friday"),    QStringLiteral("Saturday"),
                                      QStringLiteral("Sunday")};
    return names.value(day);
}

QString ringText(const Ring &ring)
{
    if (!ring.rings)
        return {};
    return QStringLiteral("%1 %2 s")
        .arg(ring.pulse ? QStringLiteral("PULSE") : QStringLiteral("CONT"))
        .arg(ring.seconds);
}

QString lightText(Light light)
{
    switch (light) {
    case Light::On:
        return QStringLiteral("ON");
    case Light::Off:
        return QStringLiteral("OFF");
    case Light::Unchanged:
        break;
    }
    return QStringLiteral("OC");
}

QString eventText(const Event &event)
{
    QStringList parts{event.time, QStringLiteral("P%1").arg(event.program)};
    if (!event.notSent.isEmpty()) {
        parts << QStringLiteral("row %1 not sent: %2").arg(event.row).arg(event.notSent);
        return parts.join(QLatin1Char(' '));
    }
    if (event.bell1.rings)
        parts << QStringLiteral("B1 ") + ringText(event.bell1);
    if (event.bell2.rings)
        parts << QStringLiteral("B2 ") + ringText(event.bell2);
    parts << lightText(event.light);
    return parts.join(QLatin1Char(' '));
}

QList<TimetableRow> timetable(const WeekPlan &plan)
{
    QMap<QString, TimetableRow> rows; // by sort key, so the lines come in time order
    for (int d = 0; d < Days; ++d) {
        for (const Event &event : plan.days[d].events) {
            TimetableRow &row = rows[sortKey(event.time)];
            row.time = event.time;
            row.cells[d].append(event);
        }
    }
    return rows.values();
}

} // namespace qmv::week
