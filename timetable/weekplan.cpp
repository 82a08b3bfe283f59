#include "weekplan.h"

#include "weekindex.h"

namespace qmv::week {

WeekPlan weekPlan(const std::array<CellTable, ProgramCount> &programs, const CellTable &schedule)
{
    WeekIndex index;
    for (int p = 0; p < ProgramCount; ++p)
        index.setProgram(p + 1, programs[p]);
    index.setSchedule(schedule);
    return index.plan();
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

} // namespace qmv::week
