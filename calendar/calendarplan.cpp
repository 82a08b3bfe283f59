#include "calendarplan.h"

#include "downloadrecord.h"
#include "programfile.h"
#include "weekplan.h"

#include <QLocale>

#include <algorithm>

namespace qmv::calendar {

namespace {

constexpr qint64 SecondsPerHour = 3600;

// The moments the controller acts on `date` and the day after, by every file it holds or will
// hold then.
QList<QDateTime> ringMoments(const Calendar &calendar, const std::optional<Held> &held,
                             const QDate &today, const Timetables &timetables)
{
    QList<QDateTime> moments;
    for (const QDate &date : {today, today.addDays(1)}) {
        QStringList files{resolve(calendar.fileOn(date))};
        if (held)
            files << held->file;
        files.removeDuplicates();
        for (const QString &file : files) {
            for (const QTime &time : timetables.rings(file, date))
                moments << QDateTime(date, time);
        }
    }
    std::sort(moments.begin(), moments.end());
    return moments;
}

// The first moment from `now` on that is not within the guard before a ring nor during one.
QDateTime clearOfRings(const QList<QDateTime> &rings, QDateTime start)
{
    const qint64 before = std::chrono::seconds(RingGuard).count();
    const qint64 after = std::chrono::seconds(AfterRing).count();
    for (const QDateTime &ring : rings) {
        if (start >= ring.addSecs(-before) && start < ring.addSecs(after))
            start = ring.addSecs(after);
    }
    return start;
}

QString whyDownload(const Calendar &calendar, const std::optional<Held> &held, const QString &due,
                    const QDateTime &now, const Timetables &timetables)
{
    if (!held)
        return QStringLiteral("nothing is known of what the controller holds");
    // The tables decide: the same timetable saved under another name is held all the same.
    if (held->digest != timetables.digest(due))
        return held->file == due
                   ? QStringLiteral("%1 has changed since it was downloaded").arg(shortName(due))
                   : QStringLiteral("the controller holds %1; %2 is due")
                         .arg(shortName(held->file), shortName(due));
    if (!held->complete)
        return QStringLiteral("the last download of %1 was incomplete").arg(shortName(held->file));
    if (!held->clockSet.isValid())
        return QStringLiteral("the clock is not known to be set");
    if (held->clockSet.offsetFromUtc() != now.offsetFromUtc())
        return QStringLiteral("the local time moved from %1 to %2")
            .arg(offsetText(held->clockSet.offsetFromUtc()), offsetText(now.offsetFromUtc()));
    const qint64 days = held->clockSet.toLocalTime().date().daysTo(now.date());
    if (days > calendar.clockDays || days < 0)
        return QStringLiteral("the clock was last set on %1")
            .arg(held->clockSet.toLocalTime().date().toString(Qt::ISODate));
    return {};
}

} // namespace

QString ProgramFiles::digest(const QString &path) const
{
    return read(path).digest;
}

QList<QTime> ProgramFiles::rings(const QString &path, const QDate &date) const
{
    return read(path).days.value(date.dayOfWeek() - 1);
}

const ProgramFiles::Read &ProgramFiles::read(const QString &path) const
{
    const auto known = m_read.constFind(path);
    if (known != m_read.constEnd())
        return *known;
    Read result;
    QByteArray bytes;
    if (readFile(path, &bytes).isEmpty()) {
        if (const std::optional<ProgramFile> file = parseProgramFile(bytes, nullptr)) {
            result.digest = record::contentHash(*file);
            const week::WeekPlan plan = week::weekPlan(file->programs, file->schedule);
            for (const week::Day &day : plan.days) {
                QList<QTime> times;
                for (const week::Event &event : day.events) {
                    const QTime time = QTime::fromString(event.time, QStringLiteral("H:mm"));
                    if (event.notSent.isEmpty() && time.isValid())
                        times << time;
                }
                result.days << times;
            }
        }
    }
    return *m_read.insert(path, result);
}

Decision decide(const Calendar &calendar, const std::optional<Held> &held, const QDateTime &now,
                const Timetables &timetables)
{
    Decision decision;
    decision.file = resolve(calendar.fileOn(now.date()));
    decision.notBefore = now;
    decision.reason = whyDownload(calendar, held, decision.file, now, timetables);
    decision.download = !decision.reason.isEmpty();
    if (decision.download)
        decision.notBefore = clearOfRings(ringMoments(calendar, held, now.date(), timetables), now);
    else
        decision.reason =
            QStringLiteral("the controller holds %1 as it should").arg(shortName(decision.file));
    return decision;
}

QString offsetText(int seconds)
{
    const QChar sign = seconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(sign)
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QList<PlanDay> plan(const Calendar &calendar, std::optional<Held> held, const QDateTime &now,
                    int days, const Timetables &timetables)
{
    QList<PlanDay> result;
    for (int i = 0; i < days; ++i) {
        const QDate date = now.date().addDays(i);
        const Period *period = calendar.periodOn(date);
        result.append({date, calendar.fileOn(date), period ? period->note : QString(), {}});
    }
    const QDateTime end(now.date().addDays(days), QTime(0, 0));
    QDateTime run = now;
    while (run < end) {
        const Decision decision = decide(calendar, held, run, timetables);
        if (decision.download) {
            const QDateTime at = decision.notBefore;
            held = Held{decision.file, timetables.digest(decision.file), true, at};
            const qint64 day = now.date().daysTo(at.date());
            if (day < days)
                result[int(day)].downloads.append({at, decision.reason});
        }
        // Counted on from the run itself: a local hour can repeat when summer time ends.
        const QTime time = run.time();
        run = run.addSecs(SecondsPerHour - time.minute() * 60 - time.second());
    }
    return result;
}

QString planText(const QList<PlanDay> &days)
{
    QString text;
    const QLocale c = QLocale::c();
    for (const PlanDay &day : days) {
        text += QStringLiteral("%1 %2  %3")
                    .arg(c.dayName(day.date.dayOfWeek(), QLocale::ShortFormat),
                         day.date.toString(Qt::ISODate), day.file);
        if (!day.note.isEmpty())
            text += QStringLiteral(" (%1)").arg(day.note);
        text += QLatin1Char('\n');
        for (const PlannedDownload &download : day.downloads)
            text += QStringLiteral("    download at %1: %2\n")
                        .arg(download.at.toString(QStringLiteral("HH:mm")), download.reason);
    }
    return text;
}

} // namespace qmv::calendar
