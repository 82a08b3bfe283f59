#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The rules of the bell-table cell editor, free of any widget: the checks made when an arrow
// key leaves a cell, the word a Condition, Action or LIGHT cell steps to on Enter, and where
// each editing key moves the cursor.
namespace qmv::bell {

// Columns of a bell table.
enum Column
{
    TimeColumn = 0,
    Cond1Column = 1,
    Action1Column = 2,
    Seconds1Column = 3,
    Cond2Column = 4,
    Action2Column = 5,
    Seconds2Column = 6,
    LightColumn = 7,
    LastColumn = LightColumn,
};

// The keys the editor acts on, by their Windows virtual-key codes.
enum KeyCode
{
    NoKey = 0,
    EnterKey = 13,
    LeftKey = 37,
    UpKey = 38,
    RightKey = 39,
    DownKey = 40,
    DeleteKey = 46,
};

KeyCode keyCodeOf(int qtKey);

// The box over these columns is read-only: their words change only through Enter.
bool isWordColumn(int column);

// Leading and trailing blanks (spaces only, the way the stored texts were always trimmed).
QString trimBlanks(const QString &text);

// A plain decimal number with an optional sign and fraction, blanks around it allowed.
std::optional<double> plainNumber(const QString &text);

struct TimeCheck
{
    QString cellText;   // what the Time cell holds after the check
    bool leave = false; // false: the cursor stays on the Time cell and the key goes to the box
};
TimeCheck checkTime(const QString &text);

// The Seconds cell's text after the check: kept as it is when valid, otherwise empty.
QString checkSeconds(const QString &text);

// The word Enter writes into a cell of `column`; nothing for the columns typed into.
std::optional<QString> nextWord(int column, const QString &text);

struct CellCopy
{
    int from = 0;
    int to = 0;
    bool operator==(const CellCopy &other) const { return from == other.from && to == other.to; }
};

// What an arrow key or Delete does once the cell being left has been checked. The steps apply
// in this order: the copies (within the row the key went down in), the removal or the append,
// then the new current cell.
struct MovePlan
{
    bool consumed = false; // false: nothing moves, the box keeps the key and is not re-placed
    int row = 0;
    int column = 0;
    bool appendRow = false;
    bool removeRow = false;
    QList<CellCopy> copies;
};

// `rowTexts` are the eight texts of the current row.
MovePlan planMove(KeyCode key, int row, int column, int rowCount, const QStringList &rowTexts);

} // namespace qmv::bell
