#include "weekindex.h"

#include "bellrules.h"
#include "programcheck.h"

#include <algorithm>

namespace qmv::week {

WeekIndex::WeekIndex()
{
    setSchedule(defaultSchedule());
}

WeekIndex::Row WeekIndex::rowFrom(const QStringList &cells)
{
    const BellRowEncoding encoded = encodeBellRow(cells);
    const QString rawTime = cells.value(bell::TimeColumn);
    Row row;
    row.outcome = encoded.outcome;
    switch (encoded.outcome) {
    case BellRowEncoding::Send: {
        // What the controller gets, not what the cells say.
        const check::SentRow sent = check::readBack(encoded.command);
        row.time = sent.time;
        row.minute =
            QStringView(row.time).left(2).toInt() * 60 + QStringView(row.time).mid(3).toInt();
        row.bell1 = sent.bell1;
        row.bell2 = sent.bell2;
        row.pulse = sent.pulse;
        row.seconds = quint8(sent.seconds);
        row.light = sent.lightOn ? Light::On : sent.lightOff ? Light::Off : Light::Unchanged;
        return row;
    }
    case BellRowEncoding::Refused:
        row.why = encoded.reason;
        break;
    case BellRowEncoding::EndOfProgram:
        row.why = QStringLiteral("the time \"%1\" is shorter than hh:mm and ends the program")
                      .arg(rawTime);
        break;
    }
    row.time = rawTime.trimmed();
    if (isClockTime(row.time))
        row.minute =
            QStringView(row.time).left(2).toInt() * 60 + QStringView(row.time).mid(3).toInt();
    return row;
}

int WeekIndex::compareTimes(const Row &a, const Row &b)
{
    if (a.minute != b.minute)
        return a.minute < b.minute ? -1 : 1;
    return a.minute == NotClock ? QString::compare(a.time, b.time) : 0;
}

bool WeekIndex::before(const Program &program, int a, int b)
{
    const int order = compareTimes(program.rows[a], program.rows[b]);
    return order < 0 || (order == 0 && a < b);
}

void WeekIndex::findEnd(Program &program) const
{
    const auto end = std::find_if(program.rows.begin(), program.rows.end(), [](const Row &row) {
        return row.outcome == BellRowEncoding::EndOfProgram;
    });
    program.endRow = end == program.rows.end() ? -1 : int(end - program.rows.begin());
}

void WeekIndex::setProgram(int number, const CellTable &table)
{
    Program &program = m_programs[number - 1];
    program.rows.clear();
    program.rows.reserve(table.rows.size());
    program.byTime.clear();
    for (const QStringList &cells : table.rows) {
        program.rows.push_back(rowFrom(cells));
        if (!program.rows.back().time.isEmpty())
            program.byTime.push_back(int(program.rows.size()) - 1);
    }
    std::sort(program.byTime.begin(), program.byTime.end(),
              [&program](int a, int b) { return before(program, a, b); });
    findEnd(program);
    m_laidOut = false;
}

void WeekIndex::setRows(int number, int first, const QList<QStringList> &rows)
{
    Program &program = m_programs[number - 1];
    bool endMoved = false;
    for (int i = 0; i < rows.size() && first + i < int(program.rows.size()); ++i) {
        const int r = first + i;
        Row row = rowFrom(rows.at(i));
        Row &old = program.rows[r];
        endMoved = endMoved || (old.outcome == BellRowEncoding::EndOfProgram) !=
                                   (row.outcome == BellRowEncoding::EndOfProgram);
        const auto less = [&program](int a, int b) { return before(program, a, b); };
        if (compareTimes(row, old) != 0 || row.time.isEmpty() != old.time.isEmpty()) {
            // Out of its place by the old time, then into its place by the new one.
            if (!old.time.isEmpty()) {
                const auto at =
                    std::lower_bound(program.byTime.begin(), program.byTime.end(), r, less);
                program.byTime.erase(at);
            }
            old = std::move(row);
            if (!old.time.isEmpty())
                program.byTime.insert(
                    std::lower_bound(program.byTime.begin(), program.byTime.end(), r, less), r);
        } else {
            old = std::move(row);
        }
    }
    if (endMoved)
        findEnd(program);
    m_laidOut = false;
}

void WeekIndex::setSchedule(const CellTable &schedule)
{
    m_scheduleNotSent.clear();
    for (int bell = 0; bell < ScheduleRows && m_scheduleNotSent.isEmpty(); ++bell)
        scheduleRowCommand(schedule.rows.value(bell), bell, &m_scheduleNotSent);
    for (int d = 0; d < Days; ++d) {
        for (int bell = 0; bell < ScheduleRows; ++bell) {
            // A schedule that is not sent says nothing of what the controller's days ring.
            m_days[d][bell] = m_scheduleNotSent.isEmpty()
                                  ? check::scheduledProgram(schedule, bell, d, nullptr).value_or(0)
                                  : 0;
        }
    }
    m_laidOut = false;
}

bool WeekIndex::shownOn(int number, int r, int day) const
{
    const Program &program = m_programs[number - 1];
    const Row &row = program.rows[r];
    const bool sent =
        row.outcome == BellRowEncoding::Send && (program.endRow < 0 || r < program.endRow);
    // A row that is not sent is shown on every day of its program, as a warning; a sent row
    // that does nothing that day is left out.
    if (!sent)
        return true;
    return (number == m_days[day][0] && row.bell1) || (number == m_days[day][1] && row.bell2) ||
           row.light != Light::Unchanged;
}

Event WeekIndex::event(int number, int r, int day) const
{
    const Program &program = m_programs[number - 1];
    const Row &row = program.rows[r];
    Event event;
    event.time = row.time;
    event.program = number;
    event.row = r + 1;
    if (program.endRow >= 0 && r > program.endRow) {
        event.notSent =
            QStringLiteral("it comes after row %1, where the program ends").arg(program.endRow + 1);
        return event;
    }
    if (row.outcome != BellRowEncoding::Send) {
        event.notSent = row.why;
        return event;
    }
    if (number == m_days[day][0] && row.bell1)
        event.bell1 = {true, row.pulse, row.seconds};
    if (number == m_days[day][1] && row.bell2)
        event.bell2 = {true, row.pulse, row.seconds};
    event.light = row.light;
    return event;
}

void WeekIndex::layOut() const
{
    if (m_laidOut)
        return;
    m_lines.clear();
    // Days that follow the same programs have the same cells: each is counted once.
    QList<std::array<int, 2>> kinds;
    QList<int> kindDay;
    for (int d = 0; d < Days; ++d) {
        if (!kinds.contains(m_days[d])) {
            kinds.append(m_days[d]);
            kindDay.append(d);
        }
    }
    std::array<bool, ProgramCount> followed{};
    for (const std::array<int, 2> &kind : kinds) {
        for (int program : kind)
            if (program > 0)
                followed[program - 1] = true;
    }
    std::array<std::size_t, ProgramCount> next{};
    for (;;) {
        // The earliest time left in any program a bell follows.
        const Row *earliest = nullptr;
        for (int p = 0; p < ProgramCount; ++p) {
            const Program &program = m_programs[p];
            if (!followed[p] || next[p] == program.byTime.size())
                continue;
            const Row &row = program.rows[program.byTime[next[p]]];
            if (!earliest || compareTimes(row, *earliest) < 0)
                earliest = &row;
        }
        if (!earliest)
            break;
        Line line;
        line.time = earliest->time;
        const Row &key = *earliest;
        for (int p = 0; p < ProgramCount; ++p) {
            const Program &program = m_programs[p];
            const std::size_t from = next[p];
            while (followed[p] && next[p] < program.byTime.size() &&
                   compareTimes(program.rows[program.byTime[next[p]]], key) == 0)
                ++next[p];
            line.ranges[p] = {int(from), int(next[p])};
        }
        for (int k = 0; k < kinds.size(); ++k) {
            int events = 0;
            for (int p = 1; p <= ProgramCount; ++p) {
                if (p != kinds[k][0] && p != kinds[k][1])
                    continue;
                const Program &program = m_programs[p - 1];
                for (int i = line.ranges[p - 1].first; i < line.ranges[p - 1].second; ++i)
                    events += shownOn(p, program.byTime[i], kindDay[k]);
            }
            line.events = std::max(line.events, events);
        }
        if (line.events > 0)
            m_lines.push_back(std::move(line));
    }
    m_laidOut = true;
}

int WeekIndex::lineCount() const
{
    layOut();
    return int(m_lines.size());
}

int WeekIndex::lineEvents(int index) const
{
    layOut();
    return m_lines[index].events;
}

TimetableRow WeekIndex::line(int index) const
{
    layOut();
    const Line &line = m_lines[index];
    TimetableRow row;
    row.time = line.time;
    for (int d = 0; d < Days; ++d) {
        for (int p = 1; p <= ProgramCount; ++p) {
            if (p != m_days[d][0] && p != m_days[d][1])
                continue;
            const Program &program = m_programs[p - 1];
            for (int i = line.ranges[p - 1].first; i < line.ranges[p - 1].second; ++i) {
                if (shownOn(p, program.byTime[i], d))
                    row.cells[d].append(event(p, program.byTime[i], d));
            }
        }
    }
    return row;
}

WeekPlan WeekIndex::plan() const
{
    WeekPlan plan;
    plan.scheduleNotSent = m_scheduleNotSent;
    for (int d = 0; d < Days; ++d) {
        plan.days[d].bell1Program = m_days[d][0];
        plan.days[d].bell2Program = m_days[d][1];
    }
    for (int l = 0; l < lineCount(); ++l) {
        const TimetableRow row = line(l);
        for (int d = 0; d < Days; ++d)
            plan.days[d].events += row.cells[d];
    }
    return plan;
}

} // namespace qmv::week
