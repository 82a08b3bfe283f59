#include "calendarrun.h"

#include "calendarplan.h"
#include "clock.h"
#include "downloadsequence.h"
#include "paths.h"
#include "portchoice.h"
#include "programcheck.h"
#include "programfile.h"
#include "terminaldownload.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QTextStream>
#include <QTimer>

namespace qmv::cli {

using namespace qmv::calendar;

namespace {

constexpr int Holds = 0;
constexpr int NotDownloaded = 1;
constexpr int Unusable = 2;

// The calendar, or nothing when it cannot be used, with the reasons on `err`.
std::optional<Calendar> usableCalendar(QTextStream &err)
{
    QString why;
    std::optional<Calendar> calendar = readCalendar(calendarPath(), &why);
    if (!calendar) {
        err << why << Qt::endl;
        return std::nullopt;
    }
    const QStringList wrong = layoutProblems(*calendar);
    for (const QString &problem : wrong)
        err << QStringLiteral("The calendar cannot be used: ") << problem << Qt::endl;
    if (!wrong.isEmpty())
        return std::nullopt;
    return calendar;
}

// Records the calendar's own download: begun before the controller is touched, its erase, and
// at the end what arrived.
class CalendarRecorder
{
public:
    CalendarRecorder(const Clock &clock, const QString &path, const ProgramFile &file)
        : m_path(path), m_file(file)
    {
        m_writer.setNow([&clock] { return clock.now(); });
    }

    void watch(DownloadSequence &sequence)
    {
        m_writer.begin({QFileInfo(m_path).fileName(), m_path, false, port::chosen(), m_file});
        // The erase follows the connection at once, and the texts are the download's own.
        QObject::connect(&sequence, &DownloadSequence::statusChanged, &sequence,
                         [this](DownloadSequence::Look look, const QString &text) {
                             if (text.endsWith(QLatin1String("System Connected")))
                                 m_writer.eraseSent();
                             else if (text.startsWith(QLatin1String("Erased")))
                                 m_writer.erased();
                             if (look == DownloadSequence::Look::Failure)
                                 m_failure = text.simplified();
                         });
        QObject::connect(&sequence, &DownloadSequence::clockSent, &sequence,
                         [this, &sequence](const QString &time) {
                             m_clockTime = time;
                             m_weekDay = sequence.todayIndex();
                         });
    }

    // A complete download had every row, the schedule and the clock acknowledged.
    void end(bool complete)
    {
        if (!complete) {
            m_writer.incomplete(QStringLiteral("download"),
                                m_failure.isEmpty() ? QStringLiteral("the download is incomplete")
                                                    : m_failure);
            return;
        }
        m_writer.clockSet(m_clockTime, m_weekDay);
        for (int program = 1; program <= ProgramCount; ++program) {
            const QList<check::RowFate> fates = check::rowFates(m_file.programs[program - 1]);
            for (int row = 0; row < fates.size(); ++row) {
                if (fates.at(row).kind == check::RowFate::Sent)
                    m_writer.rowAcknowledged(program, row);
            }
        }
        m_writer.scheduleAcknowledged();
        m_writer.complete();
    }

    QString error() const { return m_writer.error(); }

private:
    QString m_path;
    const ProgramFile &m_file;
    record::RecordWriter m_writer;
    QString m_clockTime;
    int m_weekDay = -1;
    QString m_failure;
};

void sleepUntil(const Clock &clock, const QDateTime &moment)
{
    QEventLoop loop;
    QTimer::singleShot(clock.realTimeUntil(moment), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int applyCalendar(QTextStream &out, QTextStream &err)
{
    const std::optional<Calendar> calendar = usableCalendar(err);
    if (!calendar)
        return Unusable;
    const Clock &clock = commandLineClock();
    const QString due = calendar->fileOn(clock.now().date());
    if (const QString why = fileProblem(due); !why.isEmpty()) {
        err << QStringLiteral("The calendar cannot be used: ") << why << Qt::endl;
        return Unusable;
    }

    // One run at a time: a second one would write to the line while the first downloads.
    QLockFile lock(paths::confgDir() + QStringLiteral("/calendar.lock"));
    if (!lock.tryLock(0)) {
        err << QStringLiteral("The port is busy: another calendar run is downloading. Nothing "
                              "was sent.")
            << Qt::endl;
        return NotDownloaded;
    }

    ProgramFiles files;
    const Decision decision =
        decide(*calendar, heldFrom(record::controllerState()), clock.now(), files);
    if (!decision.download) {
        out << QStringLiteral("Nothing to do: %1.").arg(decision.reason) << Qt::endl;
        return Holds;
    }
    if (decision.notBefore > clock.now()) {
        err << QStringLiteral("A ring is due: the download waits until %1.")
                   .arg(decision.notBefore.toString(QStringLiteral("HH:mm:ss")))
            << Qt::endl;
        sleepUntil(clock, decision.notBefore);
    }

    QString why;
    const std::optional<ProgramFile> file = readProgramFile(decision.file, &why);
    if (!file) {
        err << QStringLiteral("The calendar cannot be used: ") << why << Qt::endl;
        return Unusable;
    }
    err << QStringLiteral("Download: %1.").arg(decision.reason) << Qt::endl;
    CalendarRecorder recorder(clock, decision.file, *file);
    const int result =
        downloadProgram(*file, shortName(decision.file), err,
                        [&recorder](DownloadSequence &sequence) { recorder.watch(sequence); });
    recorder.end(result == 0);
    // The download goes on unrecorded rather than failing; the next run then downloads again.
    if (!recorder.error().isEmpty())
        err << recorder.error() << Qt::endl;
    return result == 0 ? Holds : NotDownloaded;
}

int planCalendar(int days, QTextStream &out, QTextStream &err)
{
    const std::optional<Calendar> calendar = usableCalendar(err);
    if (!calendar)
        return Unusable;
    ProgramFiles files;
    out << planText(plan(*calendar, heldFrom(record::controllerState()), commandLineClock().now(),
                         days, files));
    const QStringList wrong = problems(*calendar);
    for (const QString &problem : wrong)
        err << QStringLiteral("The calendar cannot be used: ") << problem << Qt::endl;
    return wrong.isEmpty() ? Holds : Unusable;
}

} // namespace qmv::cli
