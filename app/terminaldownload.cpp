#include "terminaldownload.h"

#include "downloadsequence.h"
#include "portchoice.h"
#include "programcheck.h"
#include "signalwatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace qmv {

namespace {

bool stdinIsTerminal()
{
#ifdef Q_OS_UNIX
    return isatty(STDIN_FILENO) == 1;
#else
    return false;
#endif
}

QString oneLine(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed();
}

// Rows the download will leave out, or a schedule it will not send: the controller would end up
// with less than the file holds.
bool leavesRowsUnsent(const ProgramFile &file)
{
    for (const CellTable &program : file.programs) {
        for (const check::RowFate &fate : check::rowFates(program)) {
            if (fate.kind != check::RowFate::Sent && fate.hasTime)
                return true;
        }
    }
    for (int bell = 0; bell < ScheduleRows; ++bell) {
        for (int day = 0; day < ScheduleColumns; ++day) {
            QString why;
            if (!check::scheduledProgram(file.schedule, bell, day, &why))
                return true;
        }
    }
    return false;
}

// What the controller holds as far as its replies tell, followed while the download runs: said
// when a signal cuts the download short.
struct HeldByController
{
    enum class Erase
    {
        Untouched,
        Asked,
        Done
    };
    Erase erase = Erase::Untouched;
    int program = 1;
    std::array<int, ProgramCount> rows{};
    bool clock = false;
    bool schedule = false;

    void replied(char letter)
    {
        if (letter == 'J')
            clock = true;
        else if (letter == 'H')
            ++rows[program - 1];
        else if (letter == 'L')
            schedule = true;
    }

    QString text() const
    {
        if (erase == Erase::Untouched)
            return QStringLiteral("The controller was not erased: it holds what it held before.");
        if (erase == Erase::Asked)
            return QStringLiteral("The controller was asked to erase itself: it may hold nothing "
                                  "or what it held before.");
        QStringList parts{QStringLiteral("clock set: %1").arg(clock ? "yes" : "no")};
        for (int p = 0; p < ProgramCount; ++p)
            parts << QStringLiteral("program %1: %2 rows").arg(p + 1).arg(rows[p]);
        parts << QStringLiteral("weekly schedule: %1").arg(schedule ? "yes" : "no");
        return QStringLiteral("The controller is erased and holds only what it confirmed since: "
                              "%1.")
            .arg(parts.join(QStringLiteral("; ")));
    }
};

// Answers the sequence on the terminal: reports go to `err`, and the clock is set to now, as the
// download window proposes it, without a question.
class TerminalUser : public DownloadUser
{
public:
    TerminalUser(QTextStream &err, HeldByController &held) : m_err(err), m_held(held) {}

    void tell(const QString &message) override { m_err << oneLine(message) << Qt::endl; }
    void confirmClock(const QString &, int) override
    {
        m_held.erase = HeldByController::Erase::Done;
        clockToSet = true;
    }

    bool clockToSet = false;

private:
    QTextStream &m_err;
    HeldByController &m_held;
};

} // namespace

// Tests run a download on a chosen day (QMV_NOW, an ISO date and time) and let a controller's
// time-outs pass quickly (QMV_CLOCK_SPEED times as fast).
const Clock &commandLineClock()
{
    static const ShiftedClock clock = [] {
        bool ok = false;
        const double speed = qEnvironmentVariable("QMV_CLOCK_SPEED").toDouble(&ok);
        const QDateTime start = QDateTime::fromString(qEnvironmentVariable("QMV_NOW"), Qt::ISODate);
        return ShiftedClock(ok && speed > 0 ? speed : 1,
                            start.isValid() ? start : QDateTime::currentDateTime());
    }();
    return clock;
}

int downloadFromTerminal(const QString &programFile, bool yes, bool force, QTextStream &err)
{
#ifdef Q_OS_UNIX
    // Whoever read the progress has gone; a download cut there would leave the controller erased.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QString error;
    const std::optional<ProgramFile> file = readProgramFile(programFile, &error);
    if (!file) {
        err << error << Qt::endl;
        return 2;
    }
    for (const check::Finding &finding : check::findings(*file))
        err << finding.toString() << Qt::endl;
    if (!force && leavesRowsUnsent(*file)) {
        err << QStringLiteral("qmv: the controller would not get all of %1 (see above); it was "
                              "not touched. Give --force to download it anyway.")
                   .arg(QFileInfo(programFile).fileName())
            << Qt::endl;
        return 2;
    }
    const QString port = port::chosen();
    if (!yes) {
        if (!stdinIsTerminal()) {
            err << QStringLiteral("qmv: the download erases the controller; give --yes to go on "
                                  "without a terminal to ask.")
                << Qt::endl;
            return 2;
        }
        err << QStringLiteral("Erase the controller on %1 and download %2? [y/N] ")
                   .arg(port, QFileInfo(programFile).fileName())
            << Qt::flush;
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed().toLower();
        if (answer != QLatin1String("y") && answer != QLatin1String("yes")) {
            err << QStringLiteral("Nothing was sent.") << Qt::endl;
            return 1;
        }
    }

    return downloadProgram(*file, programFile, err);
}

int downloadProgram(const ProgramFile &file, const QString &programFile, QTextStream &err)
{
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const QString port = port::chosen();
    HeldByController held;
    TerminalUser user(err, held);
    DownloadSequence sequence(qmvComm::instance(), user);
    const Clock &clock = commandLineClock();
    sequence.setClock(&clock);
    qmvComm::instance().setClock(&clock);
    sequence.setSource([&file](int program, bool withSchedule, QString *) {
        WorkingProgram working{file.programs[program - 1], std::nullopt};
        if (withSchedule)
            working.schedule = file.schedule;
        return std::optional<WorkingProgram>(working);
    });
    sequence.setOrigin(QFileInfo(programFile).absoluteFilePath(), false);

    bool failed = false;
    bool ended = false;
    const auto end = [&ended](int code) {
        if (!ended)
            QCoreApplication::exit(code);
        ended = true;
    };
    QString lastStatus;
    QObject::connect(&sequence, &DownloadSequence::statusChanged, &sequence,
                     [&](DownloadSequence::Look look, const QString &text) {
                         failed = failed || look == DownloadSequence::Look::Failure;
                         // The erase request follows this line at once.
                         if (held.erase == HeldByController::Erase::Untouched &&
                             text.contains(QLatin1String("System Connected")))
                             held.erase = HeldByController::Erase::Asked;
                         // Each status adds to or replaces the last: print only what is new.
                         QString added =
                             text.startsWith(lastStatus) ? text.mid(lastStatus.size()) : text;
                         // The window's request to check the clock: here nobody is asked, the
                         // clock is set to now.
                         added.remove(QStringLiteral("Check Time and WeekDay\n"))
                             .remove(QStringLiteral("Correct if necessary and press CONTINUE\n"));
                         if (!oneLine(added).isEmpty())
                             err << oneLine(added) << Qt::endl;
                         lastStatus = text;
                     });
    QObject::connect(&sequence, &DownloadSequence::programShown, &sequence,
                     [&held](int program) { held.program = program; });
    QObject::connect(&qmvComm::instance(), &qmvComm::replied, &sequence,
                     [&held](char letter) { held.replied(letter); });
    SignalWatch watch;
    QObject::connect(&watch, &SignalWatch::caught, &sequence, [&](int number) {
        if (ended)
            return;
        sequence.stop();
        err << QStringLiteral("qmv: stopped by %1; the serial port is closed.")
                   .arg(SignalWatch::name(number))
            << Qt::endl
            << held.text() << Qt::endl;
        // The shell's own code for a program ended by that signal.
        end(128 + number);
    });
    QObject::connect(&sequence, &DownloadSequence::finished, &sequence,
                     [&](bool complete) { end(complete ? 0 : 1); });
    QObject::connect(&sequence, &DownloadSequence::idle, &sequence, [&] {
        if (user.clockToSet) {
            user.clockToSet = false;
            // The controller counts its seconds from the clock command: sent at the start of a
            // minute, its minute starts with the PC's instead of up to 59 seconds late.
            const QDateTime now = clock.now();
            const QDateTime minute =
                now.addSecs(now.time().second() ? 60 - now.time().second() : 0);
            QTimer::singleShot(
                clock.realTimeUntil(minute), Qt::PreciseTimer, &sequence, [&sequence] {
                    sequence.continueDownload(sequence.currentTimeText(), sequence.todayIndex());
                });
        } else if (failed) {
            // Nobody presses RETRY here: a failed connection or erase ends the download.
            end(1);
        }
    });
    err << QStringLiteral("Downloading %1 on %2").arg(QFileInfo(programFile).fileName(), port)
        << Qt::endl;
    if (!sequence.start())
        return 1;
    const int result = QCoreApplication::exec();
    sequence.stop();
    return result;
}

} // namespace qmv
