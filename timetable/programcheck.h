#pragma once

#include "programfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the download will make of the tables, told before anything reaches the controller: which
// rows it sends, which it leaves out and why, and what else in the tables is likely a mistake.
// The rules are the download's own row and schedule encodings, so a check and a download never
// disagree.
namespace qmv::check {

// What the download does with one row of a bell program.
struct RowFate
{
    enum Kind
    {
        Sent,     // `command` goes to the controller
        Ends,     // the program's transfer stops at this row
        AfterEnd, // a row after the one that ended the transfer
        Refused   // the download leaves the row out and goes on with the next one
    };
    Kind kind = Ends;
    QByteArray command;
    bool hasTime = false; // the Time cell holds something besides blanks
    QString why;          // for a row with a time that is not sent: why not
};

QList<RowFate> rowFates(const CellTable &program);

// A bell row command read back the way the controller reads it: one pulse bit and one ring time
// for both bells.
struct SentRow
{
    QString time;
    bool bell1 = false;
    bool bell2 = false;
    bool pulse = false;
    int seconds = 0;
    bool lightOn = false;
    bool lightOff = false;
};
SentRow readBack(const QByteArray &command);

// The program the schedule gives `bell` (0 or 1) on `day` (0 Monday to 6 Sunday), or nothing,
// with `why` saying what the cell holds instead.
std::optional<int> scheduledProgram(const CellTable &schedule, int bell, int day, QString *why);

struct Finding
{
    int program = 0; // 1 to 3; 0 for the schedule
    int row = 0;     // 1-based row of the program; 0 when no row is meant
    QString what;
    QString toString() const;
};

QList<Finding> findings(const ProgramFile &file);

} // namespace qmv::check
