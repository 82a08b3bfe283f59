#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

// How the tables become controller commands. Pure functions: no port, no window.
namespace qmv {

// A bell row: "D", hh:mm, the flag byte as three digits, the seconds as at least two digits.
struct BellRowEncoding
{
    enum Outcome
    {
        EndOfProgram, // the time cell is empty or too short: the program's transfer stops here
        Send,         // `command` is the row to send
        Refused       // the row cannot be sent as it stands; `reason` says why
    };
    Outcome outcome = EndOfProgram;
    QByteArray command;
    QString reason;
};

BellRowEncoding encodeBellRow(const QStringList &cells);

// The bits of a bell row's flag byte; a cleared bit means "yes".
namespace rowflag {
constexpr int LightOn = 128;
constexpr int LightOff = 64;
constexpr int Bell2Rings = 32;
constexpr int Bell1Rings = 16;
constexpr int Pulse = 8;
} // namespace rowflag

// The rows of a bell program that a transfer never reaches: from the first row whose time is
// empty or too short on, those that hold a time. Numbered from 0.
QList<int> rowsAfterEnd(const QList<QStringList> &rows);

// The number at the start of a text (blanks before it skipped, an optional sign and fraction),
// 0 when there is none.
double leadingNumber(const QString &text);
// Rounds to the nearest whole number, a half to the even neighbour.
long long roundHalfEven(double value);

// True for exactly five characters hh:mm with hours 0-23 and minutes 0-59.
bool isClockTime(const QString &text);

// The time to send for what the user typed: hh:mm in 24-hour form. A valid time without a
// leading zero (8:30) gains it, a 12-hour time (8:30 PM, 2:30pm) turns into its 24-hour form;
// anything that is not a valid time gives `now`.
QString clockTextToSend(const QString &typed, const QTime &now);

// "T", hh:mm and the weekday digit, "1" for Sunday (index 0) to "7" for Saturday (index 6).
QByteArray timeCommand(const QString &hhmm, int weekDayIndex);

// The seven trimmed cells of a schedule row joined together. Every cell must hold "1", "2" or
// "3"; otherwise nothing is returned and `why` names the cell.
std::optional<QByteArray> scheduleRowCommand(const QStringList &cells, int row, QString *why);

} // namespace qmv
