// qmv-controller-sim: plays the bell controller on a pseudo-terminal, so the tool can be run and
// tested without one. Prints the device to open as its first line of output.

#include "simcontroller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int digitGapMs = 20;

char linkPath[4096] = {};

void removeLinkAndExit(int)
{
    if (linkPath[0] != '\0')
        unlink(linkPath);
    _exit(0);
}

// "\r", "\n", "\t", "\\" and "\xNN" in option values, so noise can be typed on a command line.
QByteArray unescape(const QString &text)
{
    const QByteArray in = text.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) != '\\' || i + 1 == in.size()) {
            out.append(in.at(i));
            continue;
        }
        const char next = in.at(++i);
        if (next == 'r')
            out.append('\r');
        else if (next == 'n')
            out.append('\n');
        else if (next == 't')
            out.append('\t');
        else if (next == 'x' && i + 2 < in.size()) {
            out.append(char(in.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else
            out.append(next);
    }
    return out;
}

QByteArray printable(const QByteArray &bytes)
{
    QByteArray out;
    for (const char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7f)
            out.append(byte);
        else
            out.append(QByteArray("\\x") +
                       QByteArray::number(uchar(byte), 16).rightJustified(2, '0'));
    }
    return out;
}

// "X:VALUE" with X a command or reply letter; calls `use` for each reply it names.
template <typename Use> bool eachTarget(const QStringList &values, Use use)
{
    for (const QString &value : values) {
        const QByteArray replies =
            value.isEmpty() ? QByteArray() : qmvsim::repliesNamed(value.at(0).toLatin1());
        if (replies.isEmpty() || (value.size() > 1 && value.at(1) != QLatin1Char(':'))) {
            std::fprintf(stderr, "qmv-controller-sim: no reply is named by '%s'\n",
                         qPrintable(value));
            return false;
        }
        for (const char reply : replies)
            use(reply, value.mid(2));
    }
    return true;
}

class Controller : public QObject
{
public:
    Controller(int master, int slave, qmvsim::Faults faults, const QString &transcript)
        : m_master(master), m_slave(slave), m_responder(std::move(faults)),
          m_transcript(transcript), m_notifier(master, QSocketNotifier::Read)
    {
        if (!transcript.isEmpty() && !m_transcript.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "qmv-controller-sim: cannot write %s\n", qPrintable(transcript));
        }
        m_gap.setSingleShot(true);
        m_gap.setInterval(digitGapMs);
        connect(&m_gap, &QTimer::timeout, this, [this] { handle(m_parser.finish()); });
        connect(&m_notifier, &QSocketNotifier::activated, this, &Controller::readMaster);
    }

private:
    void readMaster()
    {
        char chunk[512];
        const ssize_t got = read(m_master, chunk, sizeof chunk);
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            // Cannot happen while our own slave descriptor stays open; stop rather than spin.
            m_notifier.setEnabled(false);
            return;
        }
        const QByteArray bytes(chunk, got);
        // A pseudo-terminal carries bytes at any setting: only the settings themselves tell
        // whether the tool would reach a real controller.
        const QByteArray wrong = wrongLineSettings();
        if (!wrong.isEmpty()) {
            std::fprintf(stderr, "refused %s: the line is set to %s, not 9600,N,8,1\n",
                         printable(bytes).constData(), wrong.constData());
            return;
        }
        if (m_transcript.isOpen()) {
            m_transcript.write(bytes);
            m_transcript.flush();
        }
        m_gap.stop();
        handle(m_parser.feed(bytes));
        if (m_parser.awaitingDigit())
            m_gap.start();
    }

    QByteArray wrongLineSettings() const
    {
        termios line{};
        if (tcgetattr(m_slave, &line) != 0)
            return QByteArray("unknown (") + std::strerror(errno) + ')';
        QByteArrayList wrong;
        if (cfgetispeed(&line) != B9600 || cfgetospeed(&line) != B9600)
            wrong << "another speed";
        if ((line.c_cflag & CSIZE) != CS8)
            wrong << "fewer data bits";
        if (line.c_cflag & PARENB)
            wrong << "parity";
        if (line.c_cflag & CSTOPB)
            wrong << "2 stop bits";
        return wrong.join(", ");
    }

    void handle(const QList<qmvsim::Command> &commands)
    {
        for (const qmvsim::Command &command : commands) {
            std::fprintf(stderr, "received %s\n", printable(command.bytes).constData());
            // Not right after the last reply: a hang-up flushes what the tool has not read yet.
            if (m_responder.hangUpDue()) {
                std::fprintf(stderr, "hanging up\n");
                QCoreApplication::exit(0);
                return;
            }
            m_timetable.add(command);
            for (const qmvsim::Reply &reply : m_responder.answer(command)) {
                if (reply.delayMs > 0)
                    QTimer::singleShot(reply.delayMs, this, [this, reply] { send(reply.bytes); });
                else
                    send(reply.bytes);
            }
            if (command.kind == qmvsim::Command::Finish) {
                std::fputs(qPrintable(m_timetable.text()), stdout);
                std::fflush(stdout);
            }
        }
    }

    void send(const QByteArray &bytes)
    {
        if (write(m_master, bytes.constData(), size_t(bytes.size())) != bytes.size())
            std::fprintf(stderr, "qmv-controller-sim: write failed: %s\n", std::strerror(errno));
    }

    int m_master;
    int m_slave;
    qmvsim::Parser m_parser;
    qmvsim::Responder m_responder;
    qmvsim::Timetable m_timetable;
    QFile m_transcript;
    QSocketNotifier m_notifier;
    QTimer m_gap;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmv-controller-sim"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Plays the bell controller on a pseudo-terminal; prints its device first. Faults name a "
        "reply (R A C J H L) or the command that asks for it (B E T D W; E names A and C)."));
    options.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make a symbolic link to the device."),
                                  QStringLiteral("path"));
    const QCommandLineOption transcript(QStringLiteral("transcript"),
                                        QStringLiteral("Write every byte received to a file."),
                                        QStringLiteral("file"));
    const QCommandLineOption eraseTime(QStringLiteral("erase-time"),
                                       QStringLiteral("Erasing takes this long (default 1000)."),
                                       QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption silent(
        QStringLiteral("silent"),
        QStringLiteral("Never send this reply, or not to the Nth commands listed that ask for it."),
        QStringLiteral("letter[:N,...]"));
    const QCommandLineOption answerAfter(QStringLiteral("answer-after"),
                                         QStringLiteral("Send the reply from the Nth request on."),
                                         QStringLiteral("letter:N"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Send the reply late."),
                                   QStringLiteral("letter:ms"));
    const QCommandLineOption noise(QStringLiteral("noise"),
                                   QStringLiteral("Send these bytes after the reply, in the same "
                                                  "write (\\r, \\n, \\xNN understood)."),
                                   QStringLiteral("letter:bytes"));
    const QCommandLineOption reply(QStringLiteral("reply"),
                                   QStringLiteral("Send these bytes instead of the reply."),
                                   QStringLiteral("letter:bytes"));
    const QCommandLineOption early(
        QStringLiteral("send-early"),
        QStringLiteral("Right after the reply, send these bytes in a write of their own, before "
                       "anything asks for them."),
        QStringLiteral("letter:bytes"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Pace the replies like a line of this speed: each leaves after the wire "
                       "time of its command and itself."),
        QStringLiteral("N"));
    const QCommandLineOption hangUp(
        QStringLiteral("hangup-after-rows"),
        QStringLiteral("Answer N bell rows, hang up at the next command."), QStringLiteral("N"));
    options.addOptions({link, transcript, eraseTime, silent, answerAfter, delay, noise, reply,
                        early, baud, hangUp});
    options.process(app);

    qmvsim::Faults faults;
    faults.eraseMs = options.value(eraseTime).toInt();
    faults.baud = options.value(baud).toInt();
    if (options.isSet(hangUp))
        faults.hangUpAfterRows = options.value(hangUp).toInt();
    const bool understood =
        eachTarget(options.values(silent),
                   [&](char letter, const QString &at) {
                       QSet<int> &commands = faults.silent[letter];
                       for (const QString &n : at.split(',', Qt::SkipEmptyParts))
                           commands.insert(n.toInt());
                   }) &&
        eachTarget(
            options.values(answerAfter),
            [&](char letter, const QString &n) { faults.answerAfter[letter] = n.toInt(); }) &&
        eachTarget(options.values(delay),
                   [&](char letter, const QString &ms) { faults.delayMs[letter] = ms.toInt(); }) &&
        eachTarget(options.values(noise),
                   [&](char letter, const QString &b) { faults.noise[letter] = unescape(b); }) &&
        eachTarget(options.values(reply),
                   [&](char letter, const QString &b) { faults.reply[letter] = unescape(b); }) &&
        eachTarget(options.values(early),
                   [&](char letter, const QString &b) { faults.early[letter] = unescape(b); });
    if (!understood)
        return 2;

    int master = -1;
    int slave = -1;
    char device[256] = {};
    if (openpty(&master, &slave, device, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "qmv-controller-sim: openpty: %s\n", std::strerror(errno));
        return 1;
    }
    // Raw at once: in the default canonical mode with echo the controller would read its own
    // replies back. The slave stays open for our whole life, or the master reads EIO whenever
    // the tool closes the port.
    // 9600,N,8,1 from the start: a port closing restores these, and the controller may read a
    // command only after its sender has closed the port.
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (options.isSet(link)) {
        const QByteArray path = QFile::encodeName(options.value(link));
        if (size_t(path.size()) >= sizeof linkPath) {
            std::fprintf(stderr, "qmv-controller-sim: link path too long\n");
            return 2;
        }
        unlink(path.constData());
        if (symlink(device, path.constData()) != 0) {
            std::fprintf(stderr, "qmv-controller-sim: symlink %s: %s\n", path.constData(),
                         std::strerror(errno));
            return 1;
        }
        std::memcpy(linkPath, path.constData(), size_t(path.size()));
    }
    std::signal(SIGINT, removeLinkAndExit);
    std::signal(SIGTERM, removeLinkAndExit);
    std::signal(SIGHUP, removeLinkAndExit);

    std::printf("%s\n", device);
    std::fflush(stdout);

    Controller controller(master, slave, faults, options.value(transcript));
    const int code = QCoreApplication::exec();
    // Hanging up: the tool sees its port fail.
    close(master);
    close(slave);
    if (linkPath[0] != '\0')
        unlink(linkPath);
    return code;
}
