#include "calendarfile.h"

#include "paths.h"
#include "programcheck.h"
#include "programfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace qmv::calendar {

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QLatin1String OtherDaysKey("other days");
const QLatin1String ClockKey("clock every");
const QLatin1String PeriodKey("period");
const QLatin1String DaysUnit("days");
constexpr QChar Bar = QLatin1Char('|');
// A calendar of a few hundred periods is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxCalendarSize = 1 << 20;
constexpr int MaxClockDays = 3650;

QString periodName(int index, const Period &period)
{
    const QString name = QStringLiteral("Period %1").arg(index + 1);
    return period.note.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, period.note);
}

bool fitsOnALine(const QString &text)
{
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

} // namespace

const Period *Calendar::periodOn(const QDate &date) const
{
    for (const Period &period : periods) {
        if (period.first <= date && date <= period.last)
            return &period;
    }
    return nullptr;
}

QString Calendar::fileOn(const QDate &date) const
{
    const Period *period = periodOn(date);
    return period ? period->file : otherDays;
}

QString calendarPath()
{
    return paths::confgDir() + QStringLiteral("/calendar.txt");
}

QString resolve(const QString &file)
{
    if (file.isEmpty())
        return {};
    return QDir::cleanPath(QDir(paths::dataDir()).absoluteFilePath(file));
}

QString shortName(const QString &path)
{
    const QString relative = QDir(paths::dataDir()).relativeFilePath(path);
    return relative.startsWith(QLatin1String("..")) ? QDir::cleanPath(path) : relative;
}

QString CalendarError::toString() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(what) : what;
}

std::optional<Calendar> parseCalendar(const QByteArray &bytes, CalendarError *error)
{
    const auto fail = [error](int line, const QString &what) {
        if (error)
            *error = {line, what};
        return std::nullopt;
    };
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return fail(0, QStringLiteral("the file is not UTF-8 text"));

    Calendar calendar;
    bool otherDaysSeen = false;
    bool clockSeen = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return fail(number, QStringLiteral("no ':' after the line's name"));
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == OtherDaysKey) {
            if (otherDaysSeen)
                return fail(number, QStringLiteral("a second 'other days' line"));
            otherDaysSeen = true;
            calendar.otherDays = value;
        } else if (key == ClockKey) {
            const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            bool isNumber = false;
            const int days = words.value(0).toInt(&isNumber);
            if (clockSeen)
                return fail(number, QStringLiteral("a second 'clock every' line"));
            if (words.size() != 2 || words.at(1) != DaysUnit || !isNumber || days < 1 ||
                days > MaxClockDays)
                return fail(number, QStringLiteral("'%1' is not a number of days from 1 to %2")
                                        .arg(value)
                                        .arg(MaxClockDays));
            clockSeen = true;
            calendar.clockDays = days;
        } else if (key == PeriodKey) {
            QStringList fields = value.split(Bar);
            if (fields.size() < 3)
                return fail(number, QStringLiteral("a period is FIRST | LAST | FILE | NOTE"));
            Period period;
            period.first = QDate::fromString(fields.at(0).trimmed(), DateFormat);
            period.last = QDate::fromString(fields.at(1).trimmed(), DateFormat);
            period.file = fields.at(2).trimmed();
            // The note is the rest of the line, bars and all.
            period.note = fields.mid(3).join(Bar).trimmed();
            for (const QDate &date : {period.first, period.last}) {
                if (!date.isValid())
                    return fail(number, QStringLiteral("a date is written YYYY-MM-DD"));
            }
            if (period.file.isEmpty())
                return fail(number, QStringLiteral("a period needs a program file"));
            calendar.periods.append(period);
        } else {
            return fail(number, QStringLiteral("'%1' is none of 'other days', 'clock every' "
                                               "and 'period'")
                                    .arg(key));
        }
    }
    return calendar;
}

QByteArray calendarBytes(const Calendar &calendar)
{
    QStringList lines{
        QStringLiteral("# Which program file the controller holds on which day: each period "
                       "holds its file"),
        QStringLiteral("# from its first to its last day (YYYY-MM-DD), every other day holds "
                       "the 'other days' file."),
        QStringLiteral("# File names are relative to the qmvdata folder."),
        QStringLiteral("%1: %2").arg(OtherDaysKey, calendar.otherDays),
        QStringLiteral("%1: %2 %3").arg(ClockKey).arg(calendar.clockDays).arg(DaysUnit)};
    for (const Period &period : calendar.periods) {
        QString line = QStringLiteral("%1: %2 | %3 | %4")
                           .arg(PeriodKey, period.first.toString(DateFormat),
                                period.last.toString(DateFormat), period.file);
        if (!period.note.isEmpty())
            line += QStringLiteral(" | ") + period.note;
        lines.append(line);
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

std::optional<Calendar> readCalendar(const QString &path, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("There is no calendar yet (%1): make one in the Calendar "
                                   "window of qmv.")
                        .arg(QDir::toNativeSeparators(path)));
    if (!info.isFile() || info.size() > MaxCalendarSize)
        return fail(QStringLiteral("%1 is not a calendar").arg(QDir::toNativeSeparators(path)));
    QByteArray bytes;
    if (const QString why = readFile(path, &bytes); !why.isEmpty())
        return fail(why);
    CalendarError parseError;
    std::optional<Calendar> calendar = parseCalendar(bytes, &parseError);
    if (!calendar)
        return fail(QStringLiteral("The calendar %1 is damaged: %2")
                        .arg(QDir::toNativeSeparators(path), parseError.toString()));
    return calendar;
}

QString writeCalendar(const QString &path, const Calendar &calendar)
{
    if (const QStringList wrong = layoutProblems(calendar); !wrong.isEmpty())
        return wrong.constFirst();
    return writeFileAtomic(path, calendarBytes(calendar));
}

QStringList layoutProblems(const Calendar &calendar)
{
    QStringList found;
    if (calendar.otherDays.trimmed().isEmpty())
        found << QStringLiteral("No program file for the other days.");
    const auto storable = [](const QString &text) { return text.trimmed() == text; };
    if (!storable(calendar.otherDays) || calendar.otherDays.contains(Bar) ||
        !fitsOnALine(calendar.otherDays))
        found << QStringLiteral("The file for the other days has a name the calendar cannot hold.");
    for (int i = 0; i < calendar.periods.size(); ++i) {
        const Period &period = calendar.periods.at(i);
        const QString name = periodName(i, period);
        if (!period.first.isValid() || !period.last.isValid())
            found << QStringLiteral("%1 has no dates.").arg(name);
        else if (period.last < period.first)
            found << QStringLiteral("%1 ends before it starts.").arg(name);
        if (period.file.trimmed().isEmpty())
            found << QStringLiteral("%1 has no program file.").arg(name);
        else if (!storable(period.file) || period.file.contains(Bar) || !fitsOnALine(period.file))
            found << QStringLiteral("%1 names a file the calendar cannot hold.").arg(name);
        if (!storable(period.note) || !fitsOnALine(period.note))
            found << QStringLiteral("%1 has a note with line breaks or blanks at its ends.")
                         .arg(name);
        for (int j = 0; j < i; ++j) {
            const Period &other = calendar.periods.at(j);
            if (period.first <= other.last && other.first <= period.last &&
                period.first <= period.last && other.first <= other.last)
                found << QStringLiteral("%1 and %2 overlap from %3.")
                             .arg(periodName(j, other), name,
                                  std::max(period.first, other.first).toString(DateFormat));
        }
    }
    if (calendar.clockDays < 1 || calendar.clockDays > MaxClockDays)
        found << QStringLiteral("The clock must be sent again within 1 to %1 days.")
                     .arg(MaxClockDays);
    return found;
}

QString fileProblem(const QString &file)
{
    QString why;
    const std::optional<ProgramFile> program = readProgramFile(resolve(file), &why);
    if (!program)
        return why;
    const QList<check::Finding> found = check::findings(*program);
    if (found.isEmpty())
        return {};
    return QStringLiteral("%1 has findings (see qmv --check), the first: %2")
        .arg(file, found.constFirst().toString());
}

QStringList problems(const Calendar &calendar)
{
    QStringList found = layoutProblems(calendar);
    QStringList files{calendar.otherDays};
    for (const Period &period : calendar.periods)
        files << period.file;
    files.removeDuplicates();
    for (const QString &file : files) {
        if (file.trimmed().isEmpty())
            continue;
        if (const QString why = fileProblem(file); !why.isEmpty())
            found << why;
    }
    return found;
}

} // namespace qmv::calendar
