#include "controllerstate.h"

#include "rowencoding.h"

#include <QLocale>

#include <algorithm>

namespace qmv::record {

namespace {

// The rows a transfer sends from: those before the first row without a time.
QList<QStringList> rowsSent(const CellTable &bell)
{
    QList<QStringList> rows;
    for (const QStringList &row : bell.rows) {
        if (encodeBellRow(row).outcome == BellRowEncoding::EndOfProgram)
            break;
        rows.append(row);
    }
    return rows;
}

// "program 2 from row 4 on", "program 1 rows 3, 5", "program 3", or nothing.
QString missingRows(int program, int toSend, const QList<int> &held)
{
    QList<int> missing;
    for (int row = 0; row < toSend; ++row) {
        if (!held.contains(row))
            missing.append(row);
    }
    if (missing.isEmpty())
        return {};
    if (missing.size() == toSend)
        return QStringLiteral("program %1").arg(program);
    if (missing.last() == toSend - 1 && missing.last() - missing.first() == missing.size() - 1)
        return QStringLiteral("program %1 from row %2 on").arg(program).arg(missing.first() + 1);
    QStringList numbers;
    for (const int row : missing)
        numbers << QString::number(row + 1);
    return QStringLiteral("program %1 %2 %3")
        .arg(program)
        .arg(missing.size() == 1 ? QStringLiteral("row") : QStringLiteral("rows"),
             numbers.join(QStringLiteral(", ")));
}

// "a, b and c are missing", "a is missing".
QString missingText(const QStringList &parts)
{
    if (parts.size() == 1)
        return parts.first() + QStringLiteral(" is missing");
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           parts.last() + QStringLiteral(" are missing");
}

QString rowText(const QStringList &cells)
{
    if (cells.isEmpty())
        return QStringLiteral("no row");
    QStringList shown;
    for (const QString &cell : cells)
        shown << (cell.trimmed().isEmpty() ? QStringLiteral("-") : cell.trimmed());
    return shown.join(QLatin1Char(' '));
}

} // namespace

ControllerState controllerState(const History &history)
{
    ControllerState state;
    state.warnings = history.warnings;
    state.summary = QStringLiteral("unknown: no download to it is recorded");
    for (auto it = history.records.crbegin(); it != history.records.crend(); ++it) {
        const DownloadRecord &record = *it;
        // Nothing reached the controller: it holds what the download before left.
        if (!record.eraseSent)
            continue;
        if (!record.sent) {
            state.summary = QStringLiteral("unknown: the copy of what the download of %1 sent "
                                           "cannot be read")
                                .arg(record.programFile);
            return state;
        }
        state.record = record;
        state.clockSet = !record.clockTime.isEmpty();
        state.scheduleHeld = record.scheduleAcknowledged;
        for (int p = 0; p < ProgramCount; ++p) {
            state.rowsToSend[p] = int(rowsSent(record.sent->programs[p]).size());
            for (const int row : record.rowsAcknowledged[p]) {
                if (row < state.rowsToSend[p])
                    state.rowsHeld[p].append(row);
            }
            std::sort(state.rowsHeld[p].begin(), state.rowsHeld[p].end());
        }
        if (record.outcome == DownloadRecord::Outcome::Complete) {
            state.knowledge = ControllerState::Knowledge::Complete;
            state.summary = QStringLiteral("complete");
            return state;
        }
        state.knowledge = ControllerState::Knowledge::Incomplete;
        if (!record.erased) {
            state.summary = QStringLiteral("%1: the erase was not acknowledged, it may hold the "
                                           "earlier timetable or nothing")
                                .arg(record.outcomeText());
            return state;
        }
        QStringList missing;
        for (int p = 0; p < ProgramCount; ++p) {
            if (const QString rows = missingRows(p + 1, state.rowsToSend[p], state.rowsHeld[p]);
                !rows.isEmpty())
                missing << rows;
        }
        if (!state.scheduleHeld)
            missing << QStringLiteral("the schedule");
        if (!state.clockSet)
            missing << QStringLiteral("the clock");
        state.summary = record.outcomeText();
        if (!missing.isEmpty())
            state.summary += QStringLiteral(": ") + missingText(missing);
        return state;
    }
    return state;
}

ControllerState controllerState()
{
    return controllerState(readHistory());
}

QString ControllerState::statusLine() const
{
    if (!record)
        return QStringLiteral("Controller: ") + summary;
    const QDateTime when = record->ended.isValid() ? record->ended : record->started;
    return QStringLiteral("Controller: %1, programmed %2, %3")
        .arg(record->programFile,
             QLocale::c().toString(when, QStringLiteral("ddd d MMM yyyy HH:mm")), summary);
}

Comparison compare(const ProgramFile &edited, const ControllerState &state)
{
    Comparison result;
    if (!state.record || !state.record->sent)
        return result;
    result.known = true;
    const ProgramFile &sent = *state.record->sent;
    for (int p = 0; p < ProgramCount; ++p) {
        const QList<QStringList> ours = rowsSent(edited.programs[p]);
        const QList<QStringList> theirs = rowsSent(sent.programs[p]);
        const int rows = int(std::max(ours.size(), theirs.size()));
        for (int row = 0; row < rows; ++row) {
            const QStringList mine = ours.value(row);
            // Held rows are sorted: a search keeps large programs from costing rows squared.
            const bool isHeld =
                std::binary_search(state.rowsHeld[p].cbegin(), state.rowsHeld[p].cend(), row);
            const QStringList held = isHeld ? theirs.value(row) : QStringList();
            const BellRowEncoding a = encodeBellRow(mine);
            const BellRowEncoding b = encodeBellRow(held);
            const bool same = !mine.isEmpty() && !held.isEmpty() &&
                              a.outcome == BellRowEncoding::Send &&
                              b.outcome == BellRowEncoding::Send && a.command == b.command;
            if (!same)
                result.rows.append({p + 1, row, mine, held});
        }
    }
    for (int bell = 0; bell < ScheduleRows; ++bell) {
        for (int day = 0; day < ScheduleColumns; ++day) {
            const QString mine = edited.schedule.rows.value(bell).value(day).trimmed();
            const QString held = state.scheduleHeld
                                     ? sent.schedule.rows.value(bell).value(day).trimmed()
                                     : QString();
            if (mine != held)
                result.schedule.append({bell + 1, day, mine, held});
        }
    }
    return result;
}

QString Comparison::summary() const
{
    if (!known)
        return QStringLiteral("what the controller holds is unknown");
    if (same())
        return QStringLiteral("same as the controller");
    QStringList parts;
    if (!rows.isEmpty())
        parts << QStringLiteral("%1 %2").arg(rows.size()).arg(rows.size() == 1 ? "row" : "rows");
    if (!schedule.isEmpty())
        parts << QStringLiteral("%1 schedule %2")
                     .arg(schedule.size())
                     .arg(schedule.size() == 1 ? "cell" : "cells");
    return parts.join(QStringLiteral(" and ")) + (rows.size() + schedule.size() == 1
                                                      ? QStringLiteral(" differs")
                                                      : QStringLiteral(" differ"));
}

QStringList Comparison::lines() const
{
    static const char *const days[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
    QStringList out;
    for (const RowDifference &row : rows)
        out << QStringLiteral("program %1 row %2: %3 | controller: %4")
                   .arg(row.program)
                   .arg(row.row + 1)
                   .arg(rowText(row.edited), rowText(row.controller));
    for (const ScheduleDifference &cell : schedule)
        out << QStringLiteral("schedule bell %1 %2: %3 | controller: %4")
                   .arg(cell.bell)
                   .arg(QLatin1String(days[cell.day]),
                        cell.edited.isEmpty() ? QStringLiteral("-") : cell.edited,
                        cell.controller.isEmpty() ? QStringLiteral("none") : cell.controller);
    return out;
}

} // namespace qmv::record
