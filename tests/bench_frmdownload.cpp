// What a download of three 100-row programs costs, against a controller that answers at once and
// one that answers at the pace of a 9600-baud line, and the processor the window uses while it
// waits for the controller. Figures for people (goals: under 1.5 s at once, at most 1.1 times
// the time the bytes need on the line, under 1 % of a core while waiting), not asserted.

#include "fastclock.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "simulator.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <sys/resource.h>

using namespace std::chrono_literals;

static double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

constexpr std::chrono::milliseconds connectStart = DownloadSequence::connectDelay + 100ms;

class bench_FrmDownload : public QObject
{
    Q_OBJECT

private slots:
    void threeProgramsOf100Rows_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("instant") << 0;
        QTest::newRow("9600 baud") << 9600;
    }

    void threeProgramsOf100Rows()
    {
        QFETCH(int, baud);
        if (!qmvtest::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QTemporaryDir root;
        qputenv("QMV_ROOT", root.path().toLocal8Bit());
        QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
        const qmv::CellTable week{qmv::ScheduleColumns, {QStringList(7, "1"), QStringList(7, "2")}};
        for (int p = 1; p <= 3; ++p) {
            qmv::CellTable table{qmv::BellColumns, {}};
            // Seconds above 25 end a row for the controller without waiting for a third digit.
            for (int i = 0; i < 100; ++i)
                table.rows.append({QTime(p * 4, 0).addSecs(60 * i).toString("HH:mm"), "OFF", "CONT",
                                   "", "ON", "PULSE", "30", "OC"});
            QVERIFY(qmv::writeWorkingFile(p, table, p == 3 ? &week : nullptr).isEmpty());
        }
        qmv::setEndHandler([] {});
        qmv::resetEnding();
        qmvtest::FastClock clock(10.0);
        frmDownload::setClock(&clock);
        qmvtest::MessageBoxAnswerer answerer;
        answerer.setDefaultAnswer(QStringLiteral("cmdOKonly"));
        qmvtest::Simulator sim;
        // "R" only to the fifth "B": the window first waits 12 clock seconds for the controller.
        QVERIFY(sim.start(
            {"--answer-after", "R:5", "--erase-time=10", "--baud", QString::number(baud)}));

        QPointer<frmDownload> window = frmDownload::open();
        QElapsedTimer wall;
        double before = 0;
        // Counted from the first "B" on: showing the window is not waiting. The connection runs
        // in the wait's own event loop, so only a timer sees its start.
        QTimer::singleShot(connectStart, [&] {
            wall.start();
            before = processorSeconds();
        });
        QVERIFY(QTest::qWaitFor(
            [&] { return window->findChild<QPushButton *>("cmdContinue")->isEnabled(); }, 60000));
        const double waited = double(wall.restart()) / 1e3;
        const double waitProcessor = processorSeconds() - before;
        before = processorSeconds();
        const qsizetype sentBefore = sim.received().size();
        window->findChild<QPushButton *>("cmdContinue")->click();
        const double seconds = double(wall.elapsed()) / 1e3;
        // Ten bits a byte: every command byte since CONTINUE, and "J", 300 "H" and "L" back.
        const double lineLimit = double(sim.received().size() - sentBefore + 302) * 10.0 / 9600.0;

        QCOMPARE(answerer.messages(), QStringList{QStringLiteral("System Programmed")});
        QCOMPARE(sim.received().count('D'), 300);
        qInfo("waiting for the controller: %.2f s, processor %.1f %% of a core", waited,
              100.0 * waitProcessor / waited);
        qInfo("download of 3 x 100 rows and the schedule: %.2f s in all, %.2f ms per row, "
              "processor %.2f s",
              seconds, seconds * 1000.0 / 300.0, processorSeconds() - before);
        window->close();
        QTRY_VERIFY(!window);
        qInfo("ratio to the line limit of 9600 baud (%.2f s): %.2f", lineLimit,
              seconds / lineLimit);
    }
};

QTEST_MAIN(bench_FrmDownload)
#include "bench_frmdownload.moc"
