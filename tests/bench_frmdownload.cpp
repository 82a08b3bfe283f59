// What a download costs: three programs of 100 rows and the schedule against a controller that
// answers at once, and the processor time the window uses while it waits. Reports figures; the
// goals (under 5 s in all, under 2 % of a core while waiting) are read by people, not asserted.

#include "fastclock.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

namespace {

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

qmv::CellTable program(int rows, int firstHour)
{
    qmv::CellTable table{qmv::BellColumns, {}};
    for (int i = 0; i < rows; ++i) {
        const QString time = QStringLiteral("%1:%2")
                                 .arg((firstHour + i / 60) % 24, 2, 10, QLatin1Char('0'))
                                 .arg(i % 60, 2, 10, QLatin1Char('0'));
        // Seconds above 25 end the row for the controller without waiting for a third digit.
        table.rows.append({time, QStringLiteral("OFF"), QStringLiteral("CONT"), QString(),
                           QStringLiteral("ON"), QStringLiteral("PULSE"), QStringLiteral("30"),
                           QStringLiteral("OC")});
    }
    return table;
}

} // namespace

class bench_FrmDownload : public QObject
{
    Q_OBJECT

private:
    bool settle(const QPointer<frmDownload> &window)
    {
        return QTest::qWaitFor(
            [&] { return window && !window->isBusy() && !window->commMountTimer.isActive(); },
            60000);
    }

    QTemporaryDir m_root;

private slots:
    void initTestCase();
    void cleanup();
    void threeProgramsOf100Rows();
    void waitingForTheController();
};

void bench_FrmDownload::initTestCase()
{
    if (!qmvtest::Simulator::available())
        QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
    const qmv::CellTable week{
        qmv::ScheduleColumns,
        {QStringList(7, QStringLiteral("1")), QStringList(7, QStringLiteral("2"))}};
    QVERIFY(qmv::writeWorkingFile(1, program(100, 5)).isEmpty());
    QVERIFY(qmv::writeWorkingFile(2, program(100, 7)).isEmpty());
    QVERIFY(qmv::writeWorkingFile(3, program(100, 9), &week).isEmpty());
    qmv::setEndHandler([] {});
}

void bench_FrmDownload::cleanup()
{
    qmv::resetEnding();
    QPointer<frmDownload> window = frmDownload::open();
    window->close();
    QTRY_VERIFY(!window);
    frmDownload::setClock(nullptr);
}

void bench_FrmDownload::threeProgramsOf100Rows()
{
    qmvtest::FastClock clock(50.0);
    frmDownload::setClock(&clock);
    qmvtest::MessageBoxAnswerer answerer;
    answerer.setDefaultAnswer(QStringLiteral("cmdOKonly"));
    qmvtest::Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--erase-time"), QStringLiteral("10")}));
    QPointer<frmDownload> window = frmDownload::open();
    QVERIFY(settle(window));
    QVERIFY(window->cmdContinue->isEnabled());

    QElapsedTimer wall;
    wall.start();
    const double before = processorSeconds();
    window->cmdContinue->click();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double processor = processorSeconds() - before;

    QCOMPARE(answerer.messages(), QStringList{QStringLiteral("System Programmed")});
    QCOMPARE(sim.received().count('D'), 300);
    qInfo("download of 3 x 100 rows and the schedule: %.2f s in all, %.2f ms per row, "
          "processor %.2f s",
          seconds, seconds * 1000.0 / 300.0, processor);
}

// No "R" ever: the window sits in its connection wait for the clock's 30 seconds.
void bench_FrmDownload::waitingForTheController()
{
    qmvtest::FastClock clock(10.0);
    frmDownload::setClock(&clock);
    qmvtest::MessageBoxAnswerer answerer;
    answerer.setDefaultAnswer(QStringLiteral("cmdOKonly"));
    qmvtest::Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("R")}));

    QElapsedTimer wall;
    wall.start();
    const double before = processorSeconds();
    QPointer<frmDownload> window = frmDownload::open();
    QVERIFY(settle(window));
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double processor = processorSeconds() - before;
    QVERIFY(window->cmdRetry->isEnabled());
    qInfo("waiting for R: %.2f s, processor %.3f s = %.2f %% of a core", seconds, processor,
          100.0 * processor / seconds);
}

QTEST_MAIN(bench_FrmDownload)
#include "bench_frmdownload.moc"
