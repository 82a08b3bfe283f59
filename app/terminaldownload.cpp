#include "terminaldownload.h"

#include "downloadsequence.h"
#include "portchoice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

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

} // namespace

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

    TerminalUser user(err);
    DownloadSequence sequence(qmvComm::instance(), user);
    sequence.setSource([&file](int program, bool withSchedule, QString *) {
        WorkingProgram working{file->programs[program - 1], std::nullopt};
        if (withSchedule)
            working.schedule = file->schedule;
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
    QObject::connect(&sequence, &DownloadSequence::finished, &sequence,
                     [&](bool complete) { end(complete ? 0 : 1); });
    QObject::connect(&sequence, &DownloadSequence::idle, &sequence, [&] {
        if (user.clockToSet) {
            user.clockToSet = false;
            sequence.continueDownload(sequence.currentTimeText(), sequence.todayIndex());
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
