#include "controllerstate.h"
#include "downloadrecord.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qmv;
using namespace qmv::record;

namespace {

const QByteArray Header =
    "QMV download record 1\nstarted 2026-12-06T08:15:00+01:00\n"
    "file week1.qmv\npath /r/qmvdata/week1.qmv\nsource file\nport /dev/ttyS0\n\n";

// Programs 1 and 3 with two timed rows each, program 2 with five; the schedule all "1".
ProgramFile week()
{
    ProgramFile file;
    for (int p = 0; p < ProgramCount; ++p) {
        file.programs[p] = defaultBellTable();
        for (int row = 0; row < (p == 1 ? 5 : 2); ++row)
            file.programs[p].rows[row] = QString("%1:00\tON\tPULSE\t5\tOFF\tCONT\t\tOC")
                                             .arg(row + 7, 2, 10, QChar('0'))
                                             .split('\t');
    }
    file.schedule = {ScheduleColumns, {QStringList(7, "1"), QStringList(7, "1")}};
    return file;
}

void writeRecord(const QDir &dir, const QString &id, const QByteArray &text)
{
    QFile rec(dir.filePath(id + ".rec"));
    QVERIFY(rec.open(QIODevice::WriteOnly));
    rec.write(text);
    QCOMPARE(writeFileAtomic(dir.filePath(id + ".qmv"), programFileBytes(week())), QString());
}

const QByteArray AllRows = "row 1 0\nrow 1 1\nrow 2 0\nrow 2 1\nrow 2 2\nrow 2 3\nrow 2 4\n"
                           "row 3 0\nrow 3 1\n";
const QByteArray Erased = "erase-sent 2026-12-06T08:15:01+01:00\nerased 2026-12-06T08:15:20+01:00\n"
                          "clock 08:15 0 2026-12-06T08:15:30+01:00\n";

} // namespace

// The download records: reading them, what they say the controller holds, writing them, and the
// comparison of a timetable with the controller.
class tst_Record : public QObject
{
    Q_OBJECT

private slots:
    void controllerState_data()
    {
        QTest::addColumn<QList<QByteArray>>("records"); // oldest first
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("warnings");
        auto add = [](const char *name, const QList<QByteArray> &records, const QString &line,
                      int warnings = 0) {
            QTest::newRow(name) << records << "Controller: " + line << warnings;
        };
        const QByteArray complete =
            Header + Erased + AllRows + "schedule\nend complete 2026-12-06T08:16:00+01:00\n";
        const QString week1 = "week1.qmv, programmed Sun 6 Dec 2026 ";
        const QString from2 = "program 1 from row 2 on, program 2, program 3 and the schedule "
                              "are missing";
        add("no record", {}, "unknown: no download to it is recorded");
        add("complete", {complete}, week1 + "08:16, complete");
        add("hung up in program 2 row 4",
            {complete, Header + Erased +
                           "row 1 0\nrow 1 1\nrow 2 0\nrow 2 1\nrow 2 2\n"
                           "end incomplete 2026-12-06T09:00:00+01:00 program 2\tx\n"},
            week1 + "09:00, incomplete: program 2 from row 4 on, program 3 and the schedule are "
                    "missing");
        add("killed after the erase, torn line", {complete, Header + Erased + "row 1 0\nrow 1"},
            week1 + "08:15, interrupted: " + from2);
        add("a row unanswered in the middle",
            {Header + Erased + QByteArray(AllRows).replace("row 2 1\n", "") +
             "schedule\nend incomplete 2026-12-06T08:16:00+01:00 program 2\tno H\n"},
            week1 + "08:16, incomplete: program 2 row 2 is missing");
        add("failed before the erase: the one before holds",
            {complete, QByteArray(Header).replace("week1", "week2") +
                           "end incomplete 2026-12-06T10:00:00+01:00 connecting\tno R\n"},
            week1 + "08:16, complete");
        add("erase sent, never acknowledged",
            {complete, Header + "erase-sent 2026-12-06T08:15:01+01:00\n"
                                "end incomplete 2026-12-06T10:00:00+01:00 erasing\tno C\n"},
            week1 + "10:00, incomplete: the erase was not acknowledged, it may hold the earlier "
                    "timetable or nothing");
        add("retry after a partial transfer starts afresh",
            {Header + Erased + AllRows + "schedule\n" + Erased +
             "row 1 0\nend incomplete 2026-12-06T08:16:00+01:00 program 1\tclosed\n"},
            week1 + "08:16, incomplete: " + from2);
        add("foreign and damaged records skipped",
            {complete, "hello\n", Header + "row 9 1\n",
             Header + Erased + "end complete 2026-12-06T08:16:00+01:00\nrow 1 1\n",
             Header + "clock 25:00\n"},
            week1 + "08:16, complete", 4);
    }

    void controllerState()
    {
        QFETCH(QList<QByteArray>, records);
        QFETCH(QString, line);
        QFETCH(int, warnings);
        QTemporaryDir dir;
        for (int i = 0; i < records.size(); ++i)
            writeRecord(QDir(dir.path()), QStringLiteral("2026120%1").arg(i), records.at(i));
        const ControllerState state = record::controllerState(readHistory(dir.path()));
        QCOMPARE(state.statusLine(), line);
        QCOMPARE(state.warnings.size(), warnings);
    }

    // Written as a download goes, read back as it went; the oldest beyond the kept number go,
    // never the newest complete one.
    void writeAndPrune()
    {
        QTemporaryDir dir;
        QDateTime now = QDateTime::fromString("2026-12-06T08:15:00+01:00", Qt::ISODate);
        for (int i = 0; i < KeptRecords; ++i)
            writeRecord(QDir(dir.path()), QStringLiteral("2025%1").arg(i, 4, 10, QLatin1Char('0')),
                        i == 0 ? Header + Erased + AllRows +
                                     "schedule\nend complete 2025-01-01T00:00:00Z\n"
                               : Header);
        RecordWriter writer(dir.path());
        writer.setNow([&now] { return now; });
        QVERIFY2(writer.begin({"week1.qmv", "/r/week1.qmv", true, "/dev/pts/4", week()}),
                 qPrintable(writer.error()));
        writer.eraseSent();
        writer.erased();
        now = now.addSecs(60);
        writer.clockSet("08:16", 2);
        writer.rowAcknowledged(1, 0);
        writer.rowAcknowledged(2, 1);
        // Another reader sees the download running while its writer lives.
        QCOMPARE(readHistory(dir.path()).records.last().outcome, DownloadRecord::Outcome::Running);
        writer.incomplete("program 2", "the port\nfailed");
        QVERIFY(!writer.isOpen());

        const History history = readHistory(dir.path());
        QCOMPARE(history.records.size(), KeptRecords);
        QCOMPARE(history.records.first().id, QString("20250000"));
        QCOMPARE(history.records.at(1).id, QString("20250002"));
        const DownloadRecord &last = history.records.last();
        QCOMPARE(last.id, QString("20261206-071500-01"));
        QCOMPARE(last.outcome, DownloadRecord::Outcome::Incomplete);
        QCOMPARE(last.clockSetAt.toString(Qt::ISODate), QString("2026-12-06T08:16:00+01:00"));
        QCOMPARE(last.weekDayIndex, 2);
        QCOMPARE(last.rowsAcknowledged[0], QList<int>{0});
        QCOMPARE(last.rowsAcknowledged[1], QList<int>{1});
        QCOMPARE(last.stage, QString("program 2"));
        QCOMPARE(last.why, QString("the port failed"));
        QVERIFY(last.sent && *last.sent == week());
    }

    // Rows written differently but sent the same are no difference.
    void compare()
    {
        QTemporaryDir dir;
        writeRecord(QDir(dir.path()), "1",
                    Header + Erased + AllRows +
                        "schedule\nend complete 2026-12-06T08:16:00+01:00\n");
        const ControllerState held = record::controllerState(readHistory(dir.path()));
        ProgramFile edited = week();
        edited.programs[0].rows[0][3] = " 05";
        QCOMPARE(record::compare(edited, held).summary(), QString("same as the controller"));
        QCOMPARE(record::compare(edited, held).lines(), QStringList());
        edited.programs[1].rows[1][0] = "08:30";
        edited.programs[1].rows[5] = QString("12:00\tON\tCONT\t9\tOFF\tCONT\t\tON").split('\t');
        edited.schedule.rows[0][5] = "2";
        edited.schedule.rows[1][6] = "3";
        const Comparison result = record::compare(edited, held);
        QCOMPARE(result.summary(), QString("2 rows and 2 schedule cells differ"));
        QCOMPARE(result.lines(),
                 QStringList({"program 2 row 2: 08:30 ON PULSE 5 OFF CONT - OC | controller: 08:00 "
                              "ON PULSE 5 OFF CONT - OC",
                              "program 2 row 6: 12:00 ON CONT 9 OFF CONT - ON | controller: no row",
                              "schedule bell 1 Saturday: 2 | controller: 1",
                              "schedule bell 2 Sunday: 3 | controller: 1"}));
        // Cut short before the schedule was acknowledged: the controller's schedule is unknown.
        QTemporaryDir cut;
        writeRecord(QDir(cut.path()), "1",
                    Header + Erased + AllRows +
                        "end incomplete 2026-12-06T08:16:00+01:00 schedule\tno L\n");
        QCOMPARE(
            record::compare(week(), record::controllerState(readHistory(cut.path()))).summary(),
            QString("14 schedule cells differ"));
        QCOMPARE(record::compare(edited, {}).summary(),
                 QString("what the controller holds is unknown"));
    }
};

QTEST_GUILESS_MAIN(tst_Record)
#include "tst_record.moc"
