#include "rowencoding.h"

#include <QLocale>

#include <cmath>

namespace qmv {

namespace {

const QString On = QStringLiteral("ON");
const QString Off = QStringLiteral("OFF");
const QString Pulse = QStringLiteral("PULSE");

const QStringList WeekDays = {QStringLiteral("Monday"), QStringLiteral("Tuesday"),
                              QStringLiteral("Wed"),    QStringLiteral("Thurs"),
                              QStringLiteral("Friday"), QStringLiteral("Sat"),
                              QStringLiteral("Sun")};

QString cell(const QStringList &cells, int column)
{
    return column < cells.size() ? cells.at(column).trimmed() : QString();
}

bool allDigits(QStringView text)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    bool digits = false;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    return text.mid(start, i - start).toDouble();
}

long long roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return static_cast<long long>(floor) + 1;
    if (fraction < 0.5)
        return static_cast<long long>(floor);
    const auto lower = static_cast<long long>(floor);
    return lower % 2 == 0 ? lower : lower + 1;
}

bool isClockTime(const QString &text)
{
    if (text.size() != 5 || text.at(2) != QLatin1Char(':'))
        return false;
    const QStringView view(text);
    if (!allDigits(view.left(2)) || !allDigits(view.mid(3, 2)))
        return false;
    return view.left(2).toInt() <= 23 && view.mid(3, 2).toInt() <= 59;
}

BellRowEncoding encodeBellRow(const QStringList &cells)
{
    const QString rawTime = cells.value(0);
    if (rawTime.trimmed().isEmpty() || rawTime.size() < 5)
        return {BellRowEncoding::EndOfProgram, {}, {}};

    const QString time = rawTime.trimmed().left(5);
    if (!isClockTime(time))
        return {BellRowEncoding::Refused,
                {},
                QStringLiteral("the time \"%1\" is not a time hh:mm").arg(rawTime)};

    int flags = 255;
    const bool bell1 = cell(cells, 1) == On;
    const bool bell2 = cell(cells, 4) == On;
    if (bell1) {
        flags &= ~rowflag::Bell1Rings;
        if (cell(cells, 2) == Pulse)
            flags &= ~rowflag::Pulse;
    }
    if (bell2) {
        flags &= ~rowflag::Bell2Rings;
        if (cell(cells, 5) == Pulse)
            flags &= ~rowflag::Pulse;
    }
    if (cell(cells, 7) == On)
        flags &= ~rowflag::LightOn;
    else if (cell(cells, 7) == Off)
        flags &= ~rowflag::LightOff;

    long long seconds = 0;
    if (bell1 || bell2) {
        const int column = bell1 ? 3 : 6;
        const double value = leadingNumber(cells.value(column));
        seconds = std::abs(value) < 1e12 ? roundHalfEven(value) : -1;
        if (seconds < 0 || seconds > 255)
            return {BellRowEncoding::Refused,
                    {},
                    QStringLiteral("the seconds \"%1\" are not from 0 to 255")
                        .arg(cells.value(column))};
    }

    QByteArray command = "D" + time.toLatin1();
    command += QByteArray::number(flags).rightJustified(3, '0');
    command += QByteArray::number(seconds).rightJustified(2, '0');
    return {BellRowEncoding::Send, command, {}};
}

QList<int> rowsAfterEnd(const QList<QStringList> &rows)
{
    QList<int> after;
    bool ended = false;
    for (int row = 0; row < rows.size(); ++row) {
        const QStringList &cells = rows.at(row);
        ended = ended || encodeBellRow(cells).outcome == BellRowEncoding::EndOfProgram;
        if (ended && !cells.value(0).trimmed().isEmpty())
            after.append(row);
    }
    return after;
}

QString clockTextToSend(const QString &typed, const QTime &now)
{
    // "08:30 AM", "8:30 PM" and "2:30pm" are times too: one form of each, AM/PM joined on.
    QString text = typed.trimmed().toUpper();
    const bool twelveHour =
        text.endsWith(QLatin1String("AM")) || text.endsWith(QLatin1String("PM"));
    if (twelveHour)
        text = text.left(text.size() - 2).trimmed() + text.right(2);
    const QStringList formats =
        twelveHour ? QStringList{QStringLiteral("h:mmAP"), QStringLiteral("h:mm:ssAP")}
                   : QStringList{QStringLiteral("H:mm"), QStringLiteral("H:mm:ss")};
    for (const QString &format : formats) {
        const QTime time = QLocale::c().toTime(text, format);
        if (time.isValid())
            return time.toString(QStringLiteral("HH:mm"));
    }
    return now.toString(QStringLiteral("HH:mm"));
}

QByteArray timeCommand(const QString &hhmm, int weekDayIndex)
{
    return "T" + hhmm.toLatin1() + QByteArray::number(weekDayIndex + 1).left(1);
}

std::optional<QByteArray> scheduleRowCommand(const QStringList &cells, int row, QString *why)
{
    QByteArray command;
    for (int column = 0; column < WeekDays.size(); ++column) {
        const QString value = cell(cells, column);
        if (value != QLatin1String("1") && value != QLatin1String("2") &&
            value != QLatin1String("3")) {
            if (why)
                *why = QStringLiteral("Bell %1, %2 holds \"%3\", not a program 1, 2 or 3")
                           .arg(row + 1)
                           .arg(WeekDays.at(column), cells.value(column));
            return std::nullopt;
        }
        command += value.toLatin1();
    }
    return command;
}

} // namespace qmv
