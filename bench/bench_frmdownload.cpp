// What a download of three 100-row programs costs against a controller that answers at once and
// one at the pace of a 9600-baud line (goals: under 1.5 s at once, at most 1.1 times the line's
// own time). Figures for people, not asserted.

#include "clock.h"
#include "downloadfixture.h"
#include "programfile.h"
#include "simulatorprocess.h"

class bench_FrmDownload : public DownloadFixture
{
    Q_OBJECT

    qmv::ShiftedClock m_clock{10.0};

private slots:
    void initTestCase()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        setUpOnce(&m_clock);
    }
    void init() { setUpEach(QStringLiteral("cmdOKonly")); }
    void cleanup() { tearDownEach(); }

    void threeProgramsOf100Rows_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("instant") << 0;
        QTest::newRow("9600 baud") << 9600;
    }

    void threeProgramsOf100Rows()
    {
        QFETCH(int, baud);
        const qmv::CellTable week{qmv::ScheduleColumns, {QStringList(7, "1"), QStringList(7, "2")}};
        for (int p = 1; p <= 3; ++p) {
            qmv::CellTable table{qmv::BellColumns, {}};
            // Seconds above 25 end a row for the controller without waiting for a third digit.
            for (int i = 0; i < 100; ++i)
                table.rows.append({QTime(p * 4, 0).addSecs(60 * i).toString("HH:mm"), "OFF", "CONT",
                                   "", "ON", "PULSE", "30", "OC"});
            QVERIFY(qmv::writeWorkingFile(p, table, p == 3 ? &week : nullptr).isEmpty());
        }
        qmvsim::Simulator sim;
        QVERIFY(sim.start({"--erase-time=10", "--baud", QString::number(baud)}));

        QVERIFY(openAndSettle() && child("cmdContinue")->isEnabled());
        const qsizetype sentBefore = sim.received().size();
        QElapsedTimer wall;
        wall.start();
        child("cmdContinue")->click();
        const double seconds = double(wall.elapsed()) / 1e3;
        // Ten bits a byte: every command byte since CONTINUE, and "J", 300 "H" and "L" back.
        const double lineLimit = double(sim.received().size() - sentBefore + 302) * 10.0 / 9600.0;
        QCOMPARE(m_answerer->messages(), QStringList{QStringLiteral("System Programmed")});
        qInfo("3 x 100 rows and the schedule: %.2f s, %.2f ms a row, %.2f times "
              "the line's time",
              seconds, seconds * 1000.0 / 300.0, seconds / lineLimit);
    }
};

QTEST_MAIN(bench_FrmDownload)
#include "bench_frmdownload.moc"
