#include "programcheck.h"

#include "bellrules.h"
#include "rowencoding.h"

namespace qmv::check {

namespace {

const QString On = QStringLiteral("ON");
const QString Off = QStringLiteral("OFF");

QString ringText(const BellRowEncoding &encoded)
{
    if (encoded.outcome != BellRowEncoding::Send)
        return encoded.reason;
    const SentRow sent = readBack(encoded.command);
    return QStringLiteral("%1 %2 s")
        .arg(sent.pulse ? QStringLiteral("PULSE") : QStringLiteral("CONT"))
        .arg(sent.seconds);
}

// Both bells ring with one pulse bit and bell 1's seconds. Each bell's cells are encoded as if it
// rang alone, so what counts as a bell's own ring is the download's rule too.
QString sharedRingMismatch(const QStringList &cells, const QByteArray &command)
{
    if (cells.value(bell::Cond1Column).trimmed() != On ||
        cells.value(bell::Cond2Column).trimmed() != On)
        return {};
    QStringList bell1Alone = cells;
    bell1Alone[bell::Cond2Column] = Off;
    QStringList bell2Alone = cells;
    bell2Alone[bell::Cond1Column] = Off;
    const QString ring1 = ringText(encodeBellRow(bell1Alone));
    const QString ring2 = ringText(encodeBellRow(bell2Alone));
    if (ring1 == ring2)
        return {};
    return QStringLiteral("both bells ring %1 (bell 1: %2; bell 2: %3)")
        .arg(ringText({BellRowEncoding::Send, command, {}}), ring1, ring2);
}

// A bell switched ON that rings for no time at all: most likely seconds never typed in. Told by
// what is sent, since both bells ring bell 1's seconds when both are ON.
QString silentRing(const QStringList &cells, const SentRow &sent)
{
    if ((!sent.bell1 && !sent.bell2) || sent.seconds != 0)
        return {};
    const QString bells = sent.bell1 && sent.bell2 ? QStringLiteral("bells 1 and 2 are")
                          : sent.bell1             ? QStringLiteral("bell 1 is")
                                                   : QStringLiteral("bell 2 is");
    const QString seconds =
        cells.value(sent.bell1 ? bell::Seconds1Column : bell::Seconds2Column).trimmed();
    if (seconds.isEmpty())
        return QStringLiteral("%1 ON with no seconds (sent as 0)").arg(bells);
    return QStringLiteral("%1 ON with the seconds \"%2\" (sent as 0)").arg(bells, seconds);
}

} // namespace

QList<RowFate> rowFates(const CellTable &program)
{
    QList<RowFate> fates;
    fates.reserve(program.rowCount());
    int endRow = -1;
    for (int r = 0; r < program.rowCount(); ++r) {
        const QStringList &cells = program.rows.at(r);
        RowFate fate;
        fate.hasTime = !cells.value(bell::TimeColumn).trimmed().isEmpty();
        if (endRow >= 0) {
            fate.kind = RowFate::AfterEnd;
            fate.why =
                QStringLiteral("it comes after row %1, where the program ends").arg(endRow + 1);
            fates.append(fate);
            continue;
        }
        const BellRowEncoding encoded = encodeBellRow(cells);
        switch (encoded.outcome) {
        case BellRowEncoding::Send:
            fate.kind = RowFate::Sent;
            fate.command = encoded.command;
            break;
        case BellRowEncoding::Refused:
            fate.kind = RowFate::Refused;
            fate.why = encoded.reason;
            break;
        case BellRowEncoding::EndOfProgram:
            endRow = r;
            fate.why = QStringLiteral("the time \"%1\" is shorter than hh:mm and ends the program")
                           .arg(cells.value(bell::TimeColumn));
            break;
        }
        fates.append(fate);
    }
    return fates;
}

SentRow readBack(const QByteArray &command)
{
    const int flags = command.mid(6, 3).toInt();
    SentRow sent;
    sent.time = QString::fromLatin1(command.mid(1, 5));
    sent.bell1 = (flags & rowflag::Bell1Rings) == 0;
    sent.bell2 = (flags & rowflag::Bell2Rings) == 0;
    sent.pulse = (flags & rowflag::Pulse) == 0;
    sent.seconds = command.mid(9).toInt();
    sent.lightOn = (flags & rowflag::LightOn) == 0;
    sent.lightOff = !sent.lightOn && (flags & rowflag::LightOff) == 0;
    return sent;
}

std::optional<int> scheduledProgram(const CellTable &schedule, int bell, int day, QString *why)
{
    // The download's own rule for a schedule row, asked about this one cell: every other day
    // holds a program it takes.
    QStringList cells(ScheduleColumns, QStringLiteral("1"));
    cells[day] = schedule.rows.value(bell).value(day);
    const std::optional<QByteArray> command = scheduleRowCommand(cells, bell, why);
    if (!command)
        return std::nullopt;
    return command->at(day) - '0';
}

QString Finding::toString() const
{
    if (program == 0)
        return QStringLiteral("schedule: ") + what;
    if (row == 0)
        return QStringLiteral("program %1: %2").arg(program).arg(what);
    return QStringLiteral("program %1, row %2: %3").arg(program).arg(row).arg(what);
}

QList<Finding> findings(const ProgramFile &file)
{
    QList<Finding> found;
    for (int p = 0; p < ProgramCount; ++p) {
        const CellTable &program = file.programs[p];
        const QList<RowFate> fates = rowFates(program);
        int previous = -1; // the last row sent before this one
        for (int r = 0; r < fates.size(); ++r) {
            const RowFate &fate = fates.at(r);
            if (fate.kind != RowFate::Sent) {
                if (fate.hasTime)
                    found.append({p + 1, r + 1, QStringLiteral("not sent: ") + fate.why});
                continue;
            }
            const SentRow sent = readBack(fate.command);
            if (const QString mismatch = sharedRingMismatch(program.rows.at(r), fate.command);
                !mismatch.isEmpty())
                found.append({p + 1, r + 1, mismatch});
            if (const QString silent = silentRing(program.rows.at(r), sent); !silent.isEmpty())
                found.append({p + 1, r + 1, silent});
            if (previous >= 0) {
                const QString &time = sent.time;
                const QString before = readBack(fates.at(previous).command).time;
                if (time == before)
                    found.append(
                        {p + 1, r + 1,
                         QStringLiteral("the time %1 repeats row %2").arg(time).arg(previous + 1)});
                else if (time < before)
                    found.append({p + 1, r + 1,
                                  QStringLiteral("the time %1 comes after %2 in row %3")
                                      .arg(time, before)
                                      .arg(previous + 1)});
            }
            previous = r;
        }
    }
    for (int bell = 0; bell < ScheduleRows; ++bell) {
        for (int day = 0; day < ScheduleColumns; ++day) {
            QString why;
            if (!scheduledProgram(file.schedule, bell, day, &why))
                found.append({0, 0, why});
        }
    }
    return found;
}

} // namespace qmv::check
