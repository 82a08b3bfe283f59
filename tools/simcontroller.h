#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// The bell controller as the simulator plays it: a parser for the commands the tool sends, the
// replies the controller gives, with faults on demand, and the timetable received.
namespace qmvsim {

struct Command
{
    enum Kind
    {
        Connect,
        Erase,
        SetTime,
        ProgramStart,
        BellRow,
        Schedule,
        Finish,
        Unknown
    };

    Kind kind = Unknown;
    QByteArray bytes; // as received
    QByteArray time;  // SetTime, BellRow: "hh:mm" as sent
    int weekday = 0;  // SetTime: 1 Sunday to 7 Saturday
    int program = 0;  // ProgramStart
    int flags = 0;    // BellRow
    int seconds = 0;  // BellRow
    QByteArray bell1; // Schedule: Monday to Sunday
    QByteArray bell2;
};

// Commands come without terminators, so each is recognised by its own shape as the bytes come:
//   B  E  F  P1..P3  T<h:mm or hh:mm, maybe cut after a further ':'><weekday 1..7>
//   D<h:mm or hh:mm><3-digit flags><2- or 3-digit seconds>   W<7 digits><7 digits>
// Bytes that fit no command are reported as Unknown and skipped. A bell row's seconds end after
// two digits unless a third follows; when the two could begin a three-digit value (10 to 25) the
// parser cannot tell yet: awaitingDigit() is then true, and the caller either feeds the next
// bytes or, when none comes within a short gap, calls finish().
class Parser
{
public:
    QList<Command> feed(const QByteArray &bytes);
    QList<Command> finish();
    bool awaitingDigit() const { return m_awaitingDigit; }

private:
    void take(char byte, QList<Command> &out);
    void emitPending(QList<Command> &out);

    QByteArray m_pending;
    bool m_awaitingDigit = false;
};

// The flag byte of a bell row in words: which bells ring, how, and what the light does.
QString describeFlags(int flags);

// What was received between "P1" and "F", printed on "F".
class Timetable
{
public:
    void add(const Command &command);
    QString text() const;

private:
    int m_program = 0;
    QList<Command> m_rows[3];
    QByteArray m_bell1;
    QByteArray m_bell2;
    QByteArray m_time;
    int m_weekday = 0;
};

// Faults on demand, each keyed by the reply it affects ('R', 'A', 'C', 'J', 'H', 'L').
struct Faults
{
    QHash<char, QSet<int>> silent; // never sent, or not to the Nth commands listed
    QHash<char, int> answerAfter;  // sent from the Nth command on that asks for it
    QHash<char, int> delayMs;      // sent late
    QHash<char, QByteArray> noise; // bytes sent with it, in the same write
    QHash<char, QByteArray> reply; // sent instead of the letter
    QHash<char, QByteArray> early; // sent right after it, in a write of their own, unasked
    int eraseMs = 1000;
    int baud = 0; // when set, each reply leaves after the wire time of its command and itself
    int hangUpAfterRows = -1; // hang up once this many bell rows are answered
};

// Names a fault's target: a reply letter, or the command letter that asks for it ("E" asks for
// both "A" and "C"). Empty when the letter is neither.
QByteArray repliesNamed(char letter);

struct Reply
{
    QByteArray bytes;
    int delayMs = 0;
};

class Responder
{
public:
    explicit Responder(Faults faults) : m_faults(std::move(faults)) {}

    QList<Reply> answer(const Command &command);
    bool hangUpDue() const;

private:
    void add(char letter, int baseDelayMs, const Command &command, QList<Reply> &out);

    Faults m_faults;
    QHash<char, int> m_asked;
    int m_rowsAnswered = 0;
};

} // namespace qmvsim
