#include "calendarrun.h"

#include "calendarplan.h"
#include "clock.h"
#include "paths.h"
#include "programfile.h"
#include "terminaldownload.h"

#include <QDir>
#include <QEventLoop>
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
    // A download that cannot be recorded goes on and says so; the next run then downloads again.
    const int result = downloadProgram(*file, decision.file, err);
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
