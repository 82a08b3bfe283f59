#include "simulatorprocess.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A program file with one row in each program and the same program on every day.
QByteArray programFile(const QByteArray &row1, char program)
{
    const QByteArray empty = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
    const QByteArray week = QByteArray(7, program).replace("", "\t").mid(1).chopped(1);
    return ":P1\r\n1\r\n" + row1 + "\r\n:P2\r\n1\r\n" + empty + "\r\n:P3\r\n1\r\n" + empty +
           "\r\n\r\n\r\n\r\n2\r\n" + week + "\r" + week + "\r\n";
}

const QByteArray Calendar = "other days: normal.qmv\nclock every: 365 days\n"
                            "period: 2027-03-22 | 2027-04-02 | holidays.qmv | Easter\n";

} // namespace

// qmv --calendar against the controller simulator, run after run on chosen days (QMV_NOW) in
// TZ=Europe/Berlin: what each run sends, and its exit code.
class tst_CalendarRun : public QObject
{
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QByteArray>("calendar");
        // Each run: "NOW|EXIT|SENT[|EXTRA]". SENT is "-" for nothing, otherwise the file sent and
        // the clock command; EXTRA is the simulator's fault or what another process holds.
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("before, inside and after the holidays")
            << Calendar
            << QStringList{
                   "2027-03-19T09:59:58+01:00|0|normal T10:006",   "2027-03-19T11:00:00+01:00|0|-",
                   "2027-03-23T09:59:58+01:00|0|holidays T10:003", "2027-03-24T10:00:00+01:00|0|-",
                   "2027-04-05T09:59:58+02:00|0|normal T10:002",   "2027-04-05T11:00:00+02:00|0|-"};
        QTest::newRow("spring and autumn")
            << QByteArray("other days: normal.qmv\nclock every: 365 days\n")
            << QStringList{"2027-03-27T11:59:58+01:00|0|normal T12:007",
                           "2027-03-28T01:30:00+01:00|0|-",
                           "2027-03-28T03:29:58+02:00|0|normal T03:301",
                           "2027-03-28T04:30:00+02:00|0|-",
                           "2027-10-31T02:30:00+02:00|0|-",
                           "2027-10-31T02:29:58+01:00|0|normal T02:301",
                           "2027-10-31T03:30:00+01:00|0|-"};
        QTest::newRow("controller hangs up, falls silent, then answers")
            << Calendar
            << QStringList{"2027-03-19T09:59:58+01:00|1|normal T10:006|--hangup-after-rows=1",
                           "2027-03-19T10:59:58+01:00|1|normal P1D08:00|--silent=H",
                           "2027-03-19T11:59:58+01:00|0|normal T12:006",
                           "2027-03-19T13:00:00+01:00|0|-"};
        QTest::newRow("port held by another program, or another run under way")
            << Calendar
            << QStringList{"2027-03-19T10:00:00+01:00|1|-|hold port",
                           "2027-03-19T10:00:00+01:00|1|-|hold lock"};
        QTest::newRow("damaged calendar")
            << QByteArray("other days: normal.qmv\nperiod: 2027-13-01 | 2027-13-02 | x.qmv\n")
            << QStringList{"2027-03-19T10:00:00+01:00|2|-"};
        QTest::newRow("calendar naming a missing file")
            << QByteArray("other days: gone.qmv\n") << QStringList{"2027-03-19T10:00:00+01:00|2|-"};
        QTest::newRow("today's file has findings")
            << QByteArray("other days: normal.qmv\nperiod: 2027-03-19 | 2027-03-19 | bad.qmv\n")
            << QStringList{"2027-03-19T10:00:00+01:00|2|-"};
        QTest::newRow("no calendar")
            << QByteArray() << QStringList{"2027-03-19T10:00:00+01:00|2|-"};
    }

    void runs()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QFETCH(QByteArray, calendar);
        QFETCH(QStringList, runs);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("qmvdata/confg"));
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile file(root.filePath("qmvdata/" + name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        };
        write("normal.qmv", programFile("08:00\tON\tCONT\t5\tOFF\tCONT\t\tOC", '1'));
        write("holidays.qmv", programFile("\tOFF\tCONT\t\tOFF\tCONT\t\tOC", '3'));
        write("bad.qmv", programFile("08:00\tON\tCONT\t5\tON\tPULSE\t9\tOC", '1'));
        if (!calendar.isEmpty())
            write("confg/calendar.txt", calendar);

        for (const QString &run : runs) {
            const QStringList part = run.split('|');
            const QString extra = part.value(3);
            qmvsim::Simulator sim;
            QVERIFY(sim.start(extra.startsWith("--") ? QStringList{extra, "--erase-time=20"}
                                                     : QStringList{"--erase-time=20"}));
            QSerialPort port(qEnvironmentVariable("QMV_SERIAL_PORT"));
            if (extra == "hold port")
                QVERIFY(port.open(QIODevice::ReadWrite));
            QLockFile lock(root.filePath("qmvdata/confg/calendar.lock"));
            if (extra == "hold lock")
                QVERIFY(lock.tryLock(0));
            QProcess qmv;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QMV_ROOT", root.path());
            environment.insert("QMV_NOW", part.at(0));
            // A silent controller's 30 second limits pass in a fraction of a second; so does the
            // start, which makes the minute of the clock sent uncertain.
            if (extra.startsWith("--silent"))
                environment.insert("QMV_CLOCK_SPEED", "100");
            qmv.setProcessEnvironment(environment);
            qmv.start(QMV_BINARY, {"--calendar"});
            QVERIFY(qmv.waitForFinished(20000));
            const QByteArray output = qmv.readAllStandardOutput() + qmv.readAllStandardError();
            QVERIFY2(qmv.exitCode() == part.at(1).toInt(), qPrintable(run + '\n' + output));
            const QStringList sent = part.at(2).split(' ');
            if (sent.at(0) == "-") {
                QTest::qWait(200); // nothing may arrive late either
                QVERIFY2(sim.received().isEmpty(), qPrintable(run + '\n' + output));
                continue;
            }
            QTRY_VERIFY2(sim.received().contains(sent.at(1).toLatin1()),
                         qPrintable(run + '\n' + sim.received()));
            QCOMPARE(sim.received().contains("P1D08:00"), sent.at(0) == "normal");
        }
    }
};

QTEST_GUILESS_MAIN(tst_CalendarRun)
#include "tst_calendarrun.moc"
