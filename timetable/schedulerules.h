#pragma once

#include "bellrules.h"

#include <QString>

// The rules of the weekly schedule's edit box, free of any widget: which texts name a bell
// program, and where each arrow key takes the current cell.
namespace qmv::schedule {

// What every invalid cell becomes, the same text a new file holds in every cell.
inline const QString Replacement = QStringLiteral("3");

// A program number from 1 to 3, blanks around it allowed. Only the range is checked, so "2.5"
// passes here; the download refuses it before sending the schedule.
bool isValidProgram(const QString &text);

// The cell's text once an arrow key has left it.
QString checkedCell(const QString &text);

enum class Focus
{
    None,         // the key changes nothing after the check
    Box,          // the box takes the focus again
    TableThenBox, // the table takes the focus, then hands it back to the box
};

struct SchedulePlan
{
    bool check = false; // the cell being left is checked before anything else
    bool moves = false;
    int row = 0;
    int column = 0;
    Focus focus = Focus::None;
    bool operator==(const SchedulePlan &other) const
    {
        return check == other.check && moves == other.moves && row == other.row &&
               column == other.column && focus == other.focus;
    }
};

// Left and Right run through the cells row after row, so the two bells' rows read as one
// line of fourteen days; Up and Down stay in their column.
SchedulePlan planMove(bell::KeyCode key, int row, int column, int rowCount, int columnCount);

} // namespace qmv::schedule
