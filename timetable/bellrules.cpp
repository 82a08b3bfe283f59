#include "bellrules.h"

#include <QRegularExpression>

namespace qmv::bell {

namespace {

const QString Off = QStringLiteral("OFF");
const QString On = QStringLiteral("ON");

MovePlan moveTo(int row, int column)
{
    MovePlan plan;
    plan.consumed = true;
    plan.row = row;
    plan.column = column;
    return plan;
}

MovePlan right(int row, int column, int rowCount, const QStringList &texts)
{
    if (column == LastColumn) {
        MovePlan plan = moveTo(row + 1, TimeColumn);
        plan.appendRow = row + 1 >= rowCount;
        return plan;
    }
    // A bell that is off has no Action and Seconds to fill in.
    const bool bellOff =
        (column == Cond1Column || column == Cond2Column) && texts.value(column) == Off;
    MovePlan plan = moveTo(row, bellOff ? column + 3 : column + 1);
    // With Bell 1 ringing, Bell 2 rings the same way: it takes Bell 1's Action and Seconds and
    // the cursor passes straight on to LIGHT.
    if (plan.column == Action2Column && texts.value(Cond1Column) == On) {
        plan.column = LightColumn;
        plan.copies = {{Action1Column, Action2Column}, {Seconds1Column, Seconds2Column}};
    }
    return plan;
}

MovePlan left(int row, int column, int rowCount, const QStringList &texts)
{
    if (column == LightColumn &&
        (texts.value(Cond2Column) == Off || texts.value(Cond2Column) == On))
        return moveTo(row, Cond2Column);
    if (column == Action2Column && texts.value(Cond1Column) == On) {
        MovePlan plan = moveTo(row, Cond2Column);
        plan.copies = {{Action2Column, Action1Column}};
        return plan;
    }
    if (column >= 1)
        return moveTo(row, column - 1);
    // Wrapping to the row above happens only near the end of the table, where Down grows it.
    if (row > 0 && row >= rowCount - 2)
        return moveTo(row - 1, LastColumn);
    return moveTo(row, column);
}

std::optional<int> twoDigits(const QString &text)
{
    if (text.size() != 2 || text.at(0) < QLatin1Char('0') || text.at(0) > QLatin1Char('9') ||
        text.at(1) < QLatin1Char('0') || text.at(1) > QLatin1Char('9'))
        return std::nullopt;
    return text.toInt();
}

} // namespace

KeyCode keyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return EnterKey;
    case Qt::Key_Left:
        return LeftKey;
    case Qt::Key_Up:
        return UpKey;
    case Qt::Key_Right:
        return RightKey;
    case Qt::Key_Down:
        return DownKey;
    case Qt::Key_Delete:
        return DeleteKey;
    default:
        return NoKey;
    }
}

bool isWordColumn(int column)
{
    return column != TimeColumn && column != Seconds1Column && column != Seconds2Column;
}

QString trimBlanks(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

std::optional<double> plainNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    const QString trimmed = trimBlanks(text);
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    return trimmed.toDouble();
}

TimeCheck checkTime(const QString &text)
{
    if (trimBlanks(text).size() < 5)
        return {QString(), true};
    QString shortened = text;
    while (shortened.startsWith(QLatin1Char(' ')))
        shortened.remove(0, 1);
    if (shortened.at(2) != QLatin1Char(':'))
        return {QString(), false};
    // Two plain digits each, so that every time the editor lets go of is one the controller
    // takes: ".5", "+1" or "7 " would pass a looser number test and be refused at the download.
    const std::optional<int> hours = twoDigits(shortened.left(2));
    if (!hours)
        return {QString(), false};
    if (*hours > 23)
        return {shortened, false};
    const std::optional<int> minutes = twoDigits(shortened.mid(3, 2));
    if (!minutes)
        return {QString(), false};
    if (*minutes > 59)
        return {shortened, false};
    return {shortened, true};
}

QString checkSeconds(const QString &text)
{
    const std::optional<double> seconds = plainNumber(text);
    if (!seconds || *seconds < 1 || *seconds > 59)
        return QString();
    return text;
}

std::optional<QString> nextWord(int column, const QString &text)
{
    switch (column) {
    case Cond1Column:
    case Cond2Column:
        return text == Off ? On : Off;
    case Action1Column:
    case Action2Column:
        return text == QLatin1String("CONT") ? QStringLiteral("PULSE") : QStringLiteral("CONT");
    case LightColumn:
        if (text == QLatin1String("OC"))
            return On;
        if (text == On)
            return Off;
        return QStringLiteral("OC");
    default:
        return std::nullopt;
    }
}

MovePlan planMove(KeyCode key, int row, int column, int rowCount, const QStringList &rowTexts)
{
    switch (key) {
    case RightKey:
        return right(row, column, rowCount, rowTexts);
    case LeftKey:
        return left(row, column, rowCount, rowTexts);
    case UpKey:
        if (row == 0)
            return {};
        return moveTo(row - 1, column);
    case DownKey: {
        MovePlan plan = moveTo(row + 1, column);
        // The cursor never comes down to the last row without a row of defaults below it.
        plan.appendRow = row >= rowCount - 2;
        return plan;
    }
    case DeleteKey: {
        if (rowCount <= 1)
            return moveTo(0, Cond1Column);
        MovePlan plan = moveTo(qMin(row, rowCount - 2), column);
        plan.removeRow = true;
        return plan;
    }
    case EnterKey:
    case NoKey:
        break;
    }
    return {};
}

} // namespace qmv::bell
