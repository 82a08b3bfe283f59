#pragma once

#include "downloadrecord.h"

#include <QStringList>

#include <array>
#include <optional>

// What the controller holds, worked out from the download records (it cannot be read back), and
// how a timetable being edited compares with it.
namespace qmv::record {

struct ControllerState
{
    enum class Knowledge
    {
        Unknown,   // no download that reached the controller is recorded
        Complete,  // the last download that erased it delivered everything
        Incomplete // it was erased, and holds only what was acknowledged since
    };

    Knowledge knowledge = Knowledge::Unknown;
    // The download that left the controller as it is; none when unknown.
    std::optional<DownloadRecord> record;
    // Per program, the rows the controller holds, numbered from 0 as sent; and the rows that
    // download was to send (up to the first row without a time).
    std::array<QList<int>, ProgramCount> rowsHeld;
    std::array<int, ProgramCount> rowsToSend{};
    bool scheduleHeld = false;
    bool clockSet = false;
    // "complete", or what is missing: "program 2 from row 4 on, program 3 and the schedule are
    // missing"; for an unknown controller, why it is unknown.
    QString summary;
    QStringList warnings; // records skipped on the way

    bool isComplete() const { return knowledge == Knowledge::Complete; }
    // "Controller: week1.qmv, programmed Sun 6 Dec 2026 08:15, complete".
    QString statusLine() const;
};

// The newest download that reached the controller decides; one that failed before the erase
// was sent left it as the download before said.
ControllerState controllerState(const History &history);
ControllerState controllerState(); // from the records on this PC

// A row of a bell program that would reach the controller differently from what it holds.
struct RowDifference
{
    int program = 0;    // 1 to 3
    int row = 0;        // from 0
    QStringList edited; // the cells being edited; empty when that side has no such row
    QStringList controller;
};

struct ScheduleDifference
{
    int bell = 0; // 1 or 2
    int day = 0;  // 0 Monday to 6 Sunday, as the schedule's columns
    QString edited;
    QString controller; // empty when the controller holds no schedule
};

struct Comparison
{
    bool known = false;
    QList<RowDifference> rows;
    QList<ScheduleDifference> schedule;

    bool same() const { return known && rows.isEmpty() && schedule.isEmpty(); }
    // "same as the controller", "2 rows differ", "2 rows and 3 schedule cells differ".
    QString summary() const;
    // One line per difference, both values named.
    QStringList lines() const;
};

// Compares the tables by what each row would send: two rows that send the same command are the
// same, however their cells are written.
Comparison compare(const ProgramFile &edited, const ControllerState &state);

} // namespace qmv::record
