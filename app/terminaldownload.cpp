#include "terminaldownload.h"

#include "downloadsequence.h"
#include "portchoice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

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

// Answers the sequence on the terminal: reports go to `err`, and the clock is set to now, as the
// download window proposes it, without a question.
class TerminalUser : public DownloadUser
{
public:
    explicit TerminalUser(QTextStream &err) : m_err(err) {}

    void tell(const QString &message) override { m_err << oneLine(message) << Qt::endl; }
    void confirmClock(const QString &, int) override { clockToSet = true; }

    bool clockToSet = false;

private:
    QTextStream &m_err;
};

// The system's clock, shifted when QMV_NOW holds a date and time: tests run a download on a
// chosen day without touching the system's clock.
class CommandLineClock : public Clock
{
public:
    CommandLineClock()
    {
        const QDateTime start =
            QDateTime::fromString(qEnvironmentVariable("QMV_NOW"), Qt::ISODate);
        if (start.isValid())
            m_shift = QDateTime::currentDateTime().msecsTo(start);
    }
    QDateTime now() const override
    {
        return wholeSecond(QDateTime::currentDateTime().addMSecs(m_shift).toLocalTime());
    }
    std::chrono::milliseconds realTimeUntil(const QDateTime &moment) const override
    {
        const qint64 ms = QDateTime::currentDateTime().addMSecs(m_shift).msecsTo(moment) + 1;
        return std::chrono::milliseconds(ms > 0 ? ms : 0);
    }

private:
    qint64 m_shift = 0;
};

} // namespace

const Clock &commandLineClock()
{
    static const CommandLineClock clock;
    return clock;
}

int downloadFromTerminal(const QString &programFile, bool yes, QTextStream &err)
{
    QString error;
    const std::optional<ProgramFile> file = readProgramFile(programFile, &error);
    if (!file) {
        err << error << Qt::endl;
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

    return downloadProgram(*file, QFileInfo(programFile).fileName(), err);
}

int downloadProgram(const ProgramFile &file, const QString &name, QTextStream &err,
                                const std::function<void(DownloadSequence &)> &watch)
{
    const QString port = port::chosen();
    TerminalUser user(err);
    DownloadSequence sequence(qmvComm::instance(), user);
    const Clock &clock = commandLineClock();
    sequence.setClock(&clock);
    sequence.setSource([&file](int program, bool withSchedule, QString *) {
        WorkingProgram working{file.programs[program - 1], std::nullopt};
        if (withSchedule)
            working.schedule = file.schedule;
        return std::optional<WorkingProgram>(working);
    });

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
                         // Each status adds to or replaces the last: print only what is new.
                         const QString added =
                             text.startsWith(lastStatus) ? text.mid(lastStatus.size()) : text;
                         if (!oneLine(added).isEmpty())
                             err << oneLine(added) << Qt::endl;
                         lastStatus = text;
                     });
    QObject::connect(&sequence, &DownloadSequence::finished, &sequence,
                     [&](bool complete) { end(complete ? 0 : 1); });
    QObject::connect(&sequence, &DownloadSequence::idle, &sequence, [&] {
        if (user.clockToSet) {
            user.clockToSet = false;
            // The controller counts its seconds from the clock command: sent at the start of a
            // minute, its minute starts with the PC's instead of up to 59 seconds late.
            const QDateTime now = clock.now();
            const QDateTime minute = now.addSecs(now.time().second() ? 60 - now.time().second() : 0);
            QTimer::singleShot(clock.realTimeUntil(minute), Qt::PreciseTimer, &sequence, [&sequence] {
                sequence.continueDownload(sequence.currentTimeText(), sequence.todayIndex());
            });
        } else if (failed) {
            // Nobody presses RETRY here: a failed connection or erase ends the download.
            end(1);
        }
    });
    if (watch)
        watch(sequence);
    err << QStringLiteral("Downloading %1 on %2").arg(name, port) << Qt::endl;
    if (!sequence.start())
        return 1;
    const int result = QCoreApplication::exec();
    sequence.stop();
    return result;
}

} // namespace qmv
