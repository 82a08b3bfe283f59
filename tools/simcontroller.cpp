#include "simcontroller.h"

#include <QRegularExpression>

namespace qmvsim {

namespace {

struct Shape
{
    Shape(char letter, const QString &pattern)
        : letter(letter), whole(QRegularExpression::anchoredPattern(pattern)),
          // No end anchor here: at the end of the bytes it would always count as extendable.
          start(QStringLiteral("^(?:%1)").arg(pattern))
    {
    }

    char letter;
    QRegularExpression whole;
    QRegularExpression start;
};

const QList<Shape> &shapes()
{
    static const QList<Shape> all{
        {'P', QStringLiteral("P([1-3])")},
        // A time cut from a 12-hour text ("8:30:15 AM" gives "8:30:") keeps its second colon.
        {'T', QStringLiteral("T(\\d{1,2}:\\d{2}:?)([1-7])")},
        {'D', QStringLiteral("D(\\d{1,2}:\\d{2})(\\d{3})(\\d{2,3})")},
        {'W', QStringLiteral("W(\\d{7})(\\d{7})")},
    };
    return all;
}

const Shape *shapeOf(char letter)
{
    for (const Shape &shape : shapes()) {
        if (shape.letter == letter)
            return &shape;
    }
    return nullptr;
}

Command single(Command::Kind kind, char byte)
{
    Command command;
    command.kind = kind;
    command.bytes = QByteArray(1, byte);
    return command;
}

Command unknown(const QByteArray &bytes)
{
    Command command;
    command.bytes = bytes;
    return command;
}

Command build(const QByteArray &bytes, const QRegularExpressionMatch &match)
{
    Command command;
    command.bytes = bytes;
    switch (bytes.at(0)) {
    case 'P':
        command.kind = Command::ProgramStart;
        command.program = match.captured(1).toInt();
        break;
    case 'T':
        command.kind = Command::SetTime;
        command.time = match.captured(1).toLatin1();
        command.weekday = match.captured(2).toInt();
        break;
    case 'D':
        command.kind = Command::BellRow;
        command.time = match.captured(1).toLatin1();
        command.flags = match.captured(2).toInt();
        command.seconds = match.captured(3).toInt();
        break;
    default:
        command.kind = Command::Schedule;
        command.bell1 = match.captured(1).toLatin1();
        command.bell2 = match.captured(2).toLatin1();
        break;
    }
    return command;
}

// Two seconds digits that no third can follow: the fill never puts a 0 before three digits,
// and no value is above 255.
bool secondsClosed(const QByteArray &row)
{
    const QByteArray two = row.right(2);
    return two.at(0) == '0' || two.toInt() > 25;
}

} // namespace

QList<Command> Parser::feed(const QByteArray &bytes)
{
    QList<Command> out;
    for (const char byte : bytes)
        take(byte, out);
    return out;
}

QList<Command> Parser::finish()
{
    QList<Command> out;
    if (!m_pending.isEmpty())
        emitPending(out);
    return out;
}

void Parser::take(char byte, QList<Command> &out)
{
    if (m_pending.isEmpty()) {
        switch (byte) {
        case 'B':
            out.append(single(Command::Connect, byte));
            return;
        case 'E':
            out.append(single(Command::Erase, byte));
            return;
        case 'F':
            out.append(single(Command::Finish, byte));
            return;
        default:
            if (shapeOf(byte))
                m_pending = QByteArray(1, byte);
            else
                out.append(unknown(QByteArray(1, byte)));
            return;
        }
    }

    const QByteArray before = m_pending;
    m_pending.append(byte);
    m_awaitingDigit = false;
    const Shape *shape = shapeOf(m_pending.at(0));
    const QString subject = QString::fromLatin1(m_pending);
    const bool complete = shape->whole.match(subject).hasMatch();
    const bool extendable =
        shape->start.match(subject, 0, QRegularExpression::PartialPreferFirstMatch)
            .hasPartialMatch();

    if (complete && (!extendable || secondsClosed(m_pending))) {
        emitPending(out);
    } else if (complete) {
        m_awaitingDigit = true;
    } else if (!extendable) {
        // The byte breaks the command: what came before it goes out alone, the byte starts anew.
        m_pending = before;
        emitPending(out);
        take(byte, out);
    }
}

void Parser::emitPending(QList<Command> &out)
{
    const Shape *shape = shapeOf(m_pending.at(0));
    const QRegularExpressionMatch match = shape->whole.match(QString::fromLatin1(m_pending));
    out.append(match.hasMatch() ? build(m_pending, match) : unknown(m_pending));
    m_pending.clear();
    m_awaitingDigit = false;
}

QString describeFlags(int flags)
{
    const auto cleared = [flags](int bit) { return (flags & bit) == 0; };
    QStringList bells;
    if (cleared(16))
        bells << QStringLiteral("1");
    if (cleared(32))
        bells << QStringLiteral("2");
    QString text = bells.isEmpty()
                       ? QStringLiteral("bells silent")
                       : QStringLiteral("bell %1 ").arg(bells.join(QLatin1Char('+'))) +
                             (cleared(8) ? QStringLiteral("PULSE") : QStringLiteral("CONT"));
    if (cleared(128))
        text += QStringLiteral(", light ON");
    else if (cleared(64))
        text += QStringLiteral(", light OFF");
    else
        text += QStringLiteral(", light unchanged");
    return text;
}

void Timetable::add(const Command &command)
{
    switch (command.kind) {
    case Command::SetTime:
        m_time = command.time;
        m_weekday = command.weekday;
        break;
    case Command::ProgramStart:
        m_program = command.program;
        m_rows[m_program - 1].clear();
        break;
    case Command::BellRow:
        if (m_program > 0)
            m_rows[m_program - 1].append(command);
        break;
    case Command::Schedule:
        m_bell1 = command.bell1;
        m_bell2 = command.bell2;
        break;
    default:
        break;
    }
}

QString Timetable::text() const
{
    static const char *const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    QString text;
    if (m_weekday > 0)
        text += QStringLiteral("Clock: %1, %2\n")
                    .arg(QString::fromLatin1(m_time), QLatin1String(days[m_weekday - 1]));
    for (int program = 1; program <= 3; ++program) {
        text +=
            QStringLiteral("Program %1: %2 rows\n").arg(program).arg(m_rows[program - 1].size());
        for (const Command &row : m_rows[program - 1]) {
            text += QStringLiteral("  %1  %2 s  %3 (%4)\n")
                        .arg(QString::fromLatin1(row.time), 5)
                        .arg(row.seconds, 3)
                        .arg(describeFlags(row.flags))
                        .arg(row.flags, 3, 10, QLatin1Char('0'));
        }
    }
    text += QStringLiteral("Schedule    Mo Tu We Th Fr Sa Su\n");
    const auto scheduleRow = [](const QByteArray &row) {
        QStringList cells;
        for (const char cell : row)
            cells << QStringLiteral(" %1").arg(QLatin1Char(cell));
        return cells.join(QLatin1Char(' '));
    };
    text += QStringLiteral("  Bell 1   %1\n").arg(scheduleRow(m_bell1));
    text += QStringLiteral("  Bell 2   %1\n").arg(scheduleRow(m_bell2));
    return text;
}

QByteArray repliesNamed(char letter)
{
    switch (letter) {
    case 'B':
        return QByteArrayLiteral("R");
    case 'E':
        return QByteArrayLiteral("AC");
    case 'T':
        return QByteArrayLiteral("J");
    case 'D':
        return QByteArrayLiteral("H");
    case 'W':
        return QByteArrayLiteral("L");
    case 'R':
    case 'A':
    case 'C':
    case 'J':
    case 'H':
    case 'L':
        return QByteArray(1, letter);
    default:
        return {};
    }
}

QList<Reply> Responder::answer(const Command &command)
{
    QList<Reply> out;
    switch (command.kind) {
    case Command::Connect:
        add('R', 0, command, out);
        break;
    case Command::Erase:
        add('A', 0, command, out);
        add('C', m_faults.eraseMs, command, out);
        break;
    case Command::SetTime:
        add('J', 0, command, out);
        break;
    case Command::BellRow:
        add('H', 0, command, out);
        ++m_rowsAnswered;
        break;
    case Command::Schedule:
        add('L', 0, command, out);
        break;
    default:
        break;
    }
    return out;
}

bool Responder::hangUpDue() const
{
    return m_faults.hangUpAfterRows >= 0 && m_rowsAnswered >= m_faults.hangUpAfterRows;
}

void Responder::add(char letter, int baseDelayMs, const Command &command, QList<Reply> &out)
{
    const int asked = ++m_asked[letter];
    const auto silent = m_faults.silent.constFind(letter);
    if ((silent != m_faults.silent.cend() && (silent->isEmpty() || silent->contains(asked))) ||
        asked < m_faults.answerAfter.value(letter, 1))
        return;
    Reply reply;
    reply.bytes =
        m_faults.reply.value(letter, QByteArray(1, letter)) + m_faults.noise.value(letter);
    reply.delayMs = baseDelayMs + m_faults.delayMs.value(letter, 0);
    // Ten bits a byte on the line: a start bit, eight data bits, a stop bit.
    if (m_faults.baud > 0)
        reply.delayMs +=
            int((command.bytes.size() + reply.bytes.size()) * 10 * 1000 / m_faults.baud);
    out.append(reply);
    if (m_faults.early.contains(letter))
        out.append({m_faults.early.value(letter), reply.delayMs});
}

} // namespace qmvsim
