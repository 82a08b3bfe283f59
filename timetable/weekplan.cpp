#include "weekplan.h"

#include "bellrules.h"
#include "programcheck.h"
#include "rowencoding.h"

#include <QMap>

#include <algorithm>

namespace qmv::week {

namespace {

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
                    // What the controller gets, not what the cells say.
                    const check::SentRow sent = check::readBack(fate.command);
                    event.time = sent.time;
                    if (forBell1 && sent.bell1)
                        event.bell1 = {true, sent.pulse, sent.seconds};
                    if (forBell2 && sent.bell2)
                        event.bell2 = {true, sent.pulse, sent.seconds};
                    if (sent.lightOn)
                        event.light = Light::On;
                    else if (sent.lightOff)
                        event.light = Light::Off;
                    // A row that does nothing today is left out.
                    if (!event.bell1.rings && !event.bell2.rings && event.light == Light::Unchanged)
                        continue;
                } else if (fate.hasTime) {
                    event.time = programs[p - 1].rows.at(r).value(bell::TimeColumn).trimmed();
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
