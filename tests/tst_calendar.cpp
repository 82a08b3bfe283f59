#include "calendarplan.h"
#include "paths.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qmv::calendar;

namespace {

// Program files by name: the same digest always, and rings at fixed times every day.
class FakeTimetables : public Timetables
{
public:
    QHash<QString, QList<QTime>> ringsOf;
    QString digest(const QString &path) const override { return path; }
    QList<QTime> rings(const QString &path, const QDate &) const override
    {
        return ringsOf.value(path);
    }
};

QDateTime at(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toLocalTime();
}

Calendar easter()
{
    return {"normal.qmv", 30, {{QDate(2027, 3, 22), QDate(2027, 4, 2), "holidays.qmv", "Easter"}}};
}

} // namespace

// The calendar file, what makes a calendar unusable, and when a run downloads. Runs with
// TZ=Europe/Berlin: summer time begins on 2027-03-28 and ends on 2027-10-31.
class tst_Calendar : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        qmv::paths::setDriveRoot(m_root.path());
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("periods");
        QTest::addColumn<QString>("lastNote");
        const QByteArray head = "# a comment\r\nother days: normal.qmv\r\n\r\n";
        auto add = [](const char *name, const QByteArray &bytes, const char *error, int periods = 0,
                      const char *note = "") {
            QTest::newRow(name) << bytes << QString(error) << periods << QString(note);
        };
        add("lf only", "other days: a.qmv\nperiod: 2027-01-01 | 2027-01-02 | b.qmv | x\n", "", 1,
            "x");
        add("note holding a bar", head + "period:2027-01-01|2027-01-02|b.qmv|Exams | part 2 \r\n",
            "", 1, "Exams | part 2");
        add("unknown line", head + "holiday: 2027-01-01",
            "line 4: 'holiday' is none of 'other days', 'clock every' and 'period'");
        add("no colon", head + "period 2027-01-01", "line 4: no ':' after the line's name");
        add("day 31 of a short month", head + "period: 2027-04-31 | 2027-05-02 | b.qmv",
            "line 4: a date is written YYYY-MM-DD");
        add("period without file", head + "period: 2027-01-01 | 2027-01-02 |  | x",
            "line 4: a period needs a program file");
        add("clock in weeks", head + "clock every: 4 weeks",
            "line 4: '4 weeks' is not a number of days from 1 to 3650");
        add("not utf-8", "other days: \xff.qmv", "the file is not UTF-8 text");
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        CalendarError why;
        const std::optional<Calendar> calendar = parseCalendar(bytes, &why);
        QCOMPARE(why.toString(), error);
        QCOMPARE(calendar.has_value(), error.isEmpty());
        if (calendar) {
            QTEST(int(calendar->periods.size()), "periods");
            QTEST(calendar->periods.constLast().note, "lastNote");
        }
    }

    // A calendar the file cannot hold is refused, and the saved one stays.
    void writeRefused()
    {
        QVERIFY(QDir().mkpath(qmv::paths::confgDir()));
        Calendar calendar = easter();
        QCOMPARE(writeCalendar(calendarPath(), calendar), QString());
        calendar.periods[0].file = "a | b.qmv";
        QVERIFY(!writeCalendar(calendarPath(), calendar).isEmpty());
        QString error;
        QCOMPARE(readCalendar(calendarPath(), &error), easter());
    }

    void problems_data()
    {
        QTest::addColumn<Calendar>("calendar");
        QTest::addColumn<QStringList>("found");
        const QString corpus = QStringLiteral(QMV_CORPUS "/");
        const QString clean = corpus + "new-file.qmv";
        const auto period = [&](int day, int last, const QString &file = {}, QString note = {}) {
            return Period{QDate(2027, 5, day), QDate(2027, 5, last), file.isEmpty() ? clean : file,
                          note};
        };
        const auto add = [](const char *name, const Calendar &calendar, const QString &found) {
            QTest::newRow(name) << calendar
                                << (found.isEmpty() ? QStringList() : QStringList{found});
        };
        add("touching periods", {clean, 30, {period(1, 3), period(4, 4)}}, {});
        add("overlap on one day",
            {clean, 30, {period(1, 3, {}, "Exams"), period(9, 9), period(3, 5)}},
            "Period 1 (Exams) and Period 3 overlap from 2027-05-03.");
        add("ends before it starts", {clean, 30, {period(5, 4)}},
            "Period 1 ends before it starts.");
        add("missing file", {clean, 30, {period(1, 1, corpus + "none.qmv")}},
            "Cannot open " + corpus + "none.qmv: No such file or directory");
        add("file with findings", {corpus + "edited.qmv", 30, {}},
            corpus + "edited.qmv has findings (see qmv --check), the first: program 1, row 2: both "
                     "bells ring PULSE 10 s (bell 1: CONT 10 s; bell 2: PULSE 20 s)");
    }

    void problems()
    {
        QFETCH(Calendar, calendar);
        QTEST(qmv::calendar::problems(calendar), "found");
    }

    void decide_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<std::optional<Held>>("held");
        QTest::addColumn<QString>("reason"); // empty when nothing is to be downloaded
        QTest::addColumn<QString>("file");
        QTest::addColumn<QDateTime>("notBefore");
        const QString normal = resolve("normal.qmv"), holidays = resolve("holidays.qmv");
        const auto held = [](const QString &file, const char *set, bool complete = true,
                             const QString &digest = {}) {
            return std::optional<Held>(
                Held{file, digest.isEmpty() ? file : digest, complete, at(set)});
        };
        const char *mar1 = "2027-03-01T10:00:00+01:00", *mar10 = "2027-03-10T10:00:00+01:00",
                   *feb1 = "2027-02-01T10:00:00+01:00";
        const std::optional<Held> march = held(normal, mar1);
        const QString due = "the controller holds normal.qmv; holidays.qmv is due";
        const QString unknown = "nothing is known of what the controller holds";
        auto add = [](const char *name, const char *now, const std::optional<Held> &held,
                      const QString &reason, const QString &file, const char *notBefore = "") {
            QTest::newRow(name) << at(now) << held << reason << file
                                << (*notBefore ? at(notBefore) : at(now));
        };
        add("holds what is due", mar10, march, "", normal);
        add("first day of the holidays", "2027-03-22T06:00:00+01:00", march, due, holidays);
        add("incomplete", mar10, held(normal, mar1, false),
            "the last download of normal.qmv was incomplete", normal);
        add("file edited since", mar10, held(normal, mar1, true, "old"),
            "normal.qmv has changed since it was downloaded", normal);
        add("summer time began", "2027-03-28T03:00:00+02:00",
            held(holidays, "2027-03-22T10:00:00+01:00"),
            "the local time moved from UTC+01:00 to UTC+02:00", holidays);
        add("clock set 30 days ago", "2027-03-03T23:00:00+01:00", held(normal, feb1), "", normal);
        add("clock set 31 days ago", "2027-03-04T10:00:00+01:00", held(normal, feb1),
            "the clock was last set on 2027-02-01", normal);
        add("clock set in the future", mar10, held(normal, "2027-03-12T10:00:00+01:00"),
            "the clock was last set on 2027-03-12", normal);
        add("ring of the held file in 2 minutes", "2027-03-22T07:58:00+01:00", march, due, holidays,
            "2027-03-22T08:01:00+01:00");
        add("ring of the due file in 1 minute, another right after", "2027-03-22T09:29:00+01:00",
            std::nullopt, unknown, holidays, "2027-03-22T09:32:00+01:00");
        add("ring of tomorrow's file after midnight", "2027-04-02T23:59:00+02:00", std::nullopt,
            unknown, holidays, "2027-04-03T00:02:00+02:00");
        add("ring 2 minutes and 1 second away", "2027-03-22T07:57:59+01:00", march, due, holidays);
    }

    void decide()
    {
        QFETCH(QDateTime, now);
        QFETCH(std::optional<Held>, held);
        FakeTimetables timetables;
        timetables.ringsOf[resolve("normal.qmv")] = {QTime(8, 0), QTime(0, 1)};
        timetables.ringsOf[resolve("holidays.qmv")] = {QTime(9, 30), QTime(9, 31)};
        const Decision decision = qmv::calendar::decide(easter(), held, now, timetables);
        QFETCH(QString, reason);
        QCOMPARE(decision.download, !reason.isEmpty());
        if (decision.download)
            QCOMPARE(decision.reason, reason);
        QTEST(decision.file, "file");
        QTEST(decision.notBefore, "notBefore");
    }

    // A month worked out by hand: the clock older than 30 days at the start, the Easter
    // holidays, summer time from 2027-03-28, and a ring at 00:01 of the normal timetable that
    // holds back the downloads at midnight.
    void plan()
    {
        FakeTimetables timetables;
        timetables.ringsOf[resolve("normal.qmv")] = {QTime(0, 1)};
        const std::optional<Held> held(Held{resolve("normal.qmv"), resolve("normal.qmv"), true,
                                            at("2027-02-10T08:00:00+01:00")});
        const QString text = planText(
            qmv::calendar::plan(easter(), held, at("2027-03-15T10:20:00+01:00"), 31, timetables));
        QCOMPARE(text.split('\n'), QString(R"(Mon 2027-03-15  normal.qmv
    download at 10:20: the clock was last set on 2027-02-10
Tue 2027-03-16  normal.qmv
Wed 2027-03-17  normal.qmv
Thu 2027-03-18  normal.qmv
Fri 2027-03-19  normal.qmv
Sat 2027-03-20  normal.qmv
Sun 2027-03-21  normal.qmv
Mon 2027-03-22  holidays.qmv (Easter)
    download at 00:02: the controller holds normal.qmv; holidays.qmv is due
Tue 2027-03-23  holidays.qmv (Easter)
Wed 2027-03-24  holidays.qmv (Easter)
Thu 2027-03-25  holidays.qmv (Easter)
Fri 2027-03-26  holidays.qmv (Easter)
Sat 2027-03-27  holidays.qmv (Easter)
Sun 2027-03-28  holidays.qmv (Easter)
    download at 03:00: the local time moved from UTC+01:00 to UTC+02:00
Mon 2027-03-29  holidays.qmv (Easter)
Tue 2027-03-30  holidays.qmv (Easter)
Wed 2027-03-31  holidays.qmv (Easter)
Thu 2027-04-01  holidays.qmv (Easter)
Fri 2027-04-02  holidays.qmv (Easter)
Sat 2027-04-03  normal.qmv
    download at 00:02: the controller holds holidays.qmv; normal.qmv is due
Sun 2027-04-04  normal.qmv
Mon 2027-04-05  normal.qmv
Tue 2027-04-06  normal.qmv
Wed 2027-04-07  normal.qmv
Thu 2027-04-08  normal.qmv
Fri 2027-04-09  normal.qmv
Sat 2027-04-10  normal.qmv
Sun 2027-04-11  normal.qmv
Mon 2027-04-12  normal.qmv
Tue 2027-04-13  normal.qmv
Wed 2027-04-14  normal.qmv
)")
                                       .split('\n'));
    }
};

QTEST_GUILESS_MAIN(tst_Calendar)
#include "tst_calendar.moc"
