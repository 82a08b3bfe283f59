#include "schedulerules.h"

namespace qmv::schedule {

namespace {

SchedulePlan moveTo(int row, int column)
{
    return {true, true, row, column, Focus::TableThenBox};
}

SchedulePlan stay(int row, int column, Focus focus)
{
    return {true, false, row, column, focus};
}

} // namespace

bool isValidProgram(const QString &text)
{
    const std::optional<double> number = bell::plainNumber(text);
    return number && *number >= 1 && *number <= 3;
}

QString checkedCell(const QString &text)
{
    return isValidProgram(text) ? text : Replacement;
}

SchedulePlan planMove(bell::KeyCode key, int row, int column, int rowCount, int columnCount)
{
    const int lastRow = rowCount - 1;
    const int lastColumn = columnCount - 1;
    switch (key) {
    case bell::LeftKey:
        if (column > 0)
            return moveTo(row, column - 1);
        if (row == lastRow && row > 0)
            return moveTo(row - 1, lastColumn);
        return stay(row, column, Focus::Box);
    case bell::UpKey:
        if (row > 0)
            return moveTo(row - 1, column);
        return stay(row, column, Focus::None);
    case bell::RightKey:
        if (column < lastColumn)
            return moveTo(row, column + 1);
        if (row + 1 < rowCount)
            return moveTo(row + 1, 0);
        return stay(row, column, Focus::Box);
    case bell::DownKey:
        if (row < lastRow)
            return moveTo(row + 1, column);
        return stay(row, column, Focus::TableThenBox);
    default:
        return {false, false, row, column, Focus::None};
    }
}

} // namespace qmv::schedule
