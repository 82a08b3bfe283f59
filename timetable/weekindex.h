#pragma once

#include "rowencoding.h"
#include "weekplan.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

namespace qmv::week {

// The week's timetable kept up to date row by row: each program's rows are encoded once, as the
// download sends them, and then only the rows that change are encoded again, so a key typed into
// a table of thousands of rows costs one row and one pass over the week's lines. Lines are laid
// out in time order with their heights; their events are made only when a line is asked for.
class WeekIndex
{
public:
    WeekIndex();

    // `program` is 1 to 3.
    void setProgram(int program, const CellTable &table);
    // Rows `first` on, changed in place; the program keeps its length.
    void setRows(int program, int first, const QList<QStringList> &rows);
    void setSchedule(const CellTable &schedule);

    // The program each bell follows on each day, 0 when it is not known: a cell that is not a
    // program, or a schedule that will not be sent, which leaves the controller with the one
    // it holds.
    int bellProgram(int bell, int day) const { return m_days[day][bell]; }
    const QString &scheduleNotSent() const { return m_scheduleNotSent; }

    int lineCount() const;
    // The most events any day has at the line's time, at least 1.
    int lineEvents(int line) const;
    TimetableRow line(int line) const;

    // The whole week, as a printout needs it.
    WeekPlan plan() const;

private:
    struct Row
    {
        QString time;          // the sent time, or the Time cell without blanks
        int minute = NotClock; // of the day, for a clock time
        QString why; // why a row with a time is not sent, unless it is after the program's end
        BellRowEncoding::Outcome outcome = BellRowEncoding::EndOfProgram;
        Light light = Light::Unchanged;
        bool bell1 = false;
        bool bell2 = false;
        bool pulse = false;
        quint8 seconds = 0;
    };
    struct Program
    {
        std::vector<Row> rows;
        std::vector<int> byTime; // the rows with a time, by time and then by row
        int endRow = -1;         // the row that ends the transfer, -1 when none does
    };
    struct Line
    {
        QString time;
        std::array<std::pair<int, int>, ProgramCount> ranges; // of each program's byTime
        int events = 0;
    };

    // Any other time text comes after every clock time.
    static constexpr int NotClock = 24 * 60;

    static Row rowFrom(const QStringList &cells);
    static int compareTimes(const Row &a, const Row &b);
    static bool before(const Program &program, int a, int b);
    bool shownOn(int program, int row, int day) const;
    Event event(int program, int row, int day) const;
    void findEnd(Program &program) const;
    void layOut() const;

    std::array<Program, ProgramCount> m_programs;
    std::array<std::array<int, 2>, Days> m_days{};
    QString m_scheduleNotSent;
    mutable std::vector<Line> m_lines;
    mutable bool m_laidOut = false;
};

} // namespace qmv::week
