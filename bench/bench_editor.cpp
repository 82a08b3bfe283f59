#include "cellgrid.h"
#include "form2.h"
#include "paths.h"
#include "programfile.h"
#include "weekview.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// The editor on large programs: how long it takes to open a file of three 5,000-row programs and
// to handle one arrow key there, the window drawn after every key; and what the week view costs
// beside it: opening it, one key typed into the bell table while it is open (against the same key
// with it closed), one wheel step over it, and the memory it holds. `--large` adds the week view's
// figures for 3 x 50,000 rows.
class bench_Editor : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;

public:
    static inline QList<int> sizes{5000};

private:
    static double residentMiB()
    {
        QFile status("/proc/self/statm");
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> fields = status.readAll().split(' ');
        return fields.value(1).toDouble() * 4096 / (1024 * 1024);
    }

    // The median of `runs` timings of `step`, in milliseconds.
    template <typename Step> static double medianMs(int runs, Step step)
    {
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            step(run);
            times.append(timer.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        return times.at(times.size() / 2);
    }

    QString writeFile(int rows)
    {
        // Every third row rings at a time later than the row before, as a real program would.
        qmv::CellTable table = qmv::defaultBellTable(rows);
        for (int row = 0; row < rows; row += 3)
            table.rows[row] = QString("%1|ON|PULSE|5|OFF|CONT||OC")
                                  .arg(QTime(0, 0).addSecs(row / 3 * 60).toString("HH:mm"))
                                  .split('|');
        const QString name = QStringLiteral("large%1.qmv").arg(rows);
        // All three programs ring in the week, the shown one on most days.
        const qmv::CellTable schedule{
            qmv::ScheduleColumns,
            {{"1", "1", "1", "1", "1", "2", "3"}, {"1", "1", "2", "2", "1", "2", "3"}}};
        const QByteArray bytes = qmv::programFileBytes({{table, table, table}, schedule});
        return qmv::writeFileAtomic(qmv::paths::programFile(name), bytes).isEmpty() ? name
                                                                                    : QString();
    }

    // The editor's own figures are taken on three 5,000-row programs.
    static inline const QString Large = QStringLiteral("large5000.qmv");

private slots:
    void initTestCase()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QVERIFY(QDir().mkpath(qmv::paths::dataDir()) && QDir().mkpath(qmv::paths::tmpDir()));
        QCOMPARE(writeFile(5000), Large);
    }

    void openLargeFile()
    {
        QBENCHMARK
        {
            Form2 form(true, qmv::paths::programFile(Large), Large);
            QVERIFY(form.load());
        }
    }

    void arrowKey()
    {
        Form2 form(true, qmv::paths::programFile(Large), Large);
        QVERIFY(form.load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *grid = form.findChild<CellGrid *>("Grid1");
        grid->setCurrentCell(2500, 1);
        form.PlaceTextbox();
        QBENCHMARK
        {
            QTest::keyClick(form.findChild<QLineEdit *>("txtCellEdit"), Qt::Key_Down);
            QCoreApplication::processEvents();
        }
        QVERIFY(grid->currentRow() > 2500);
    }

    void weekView_data()
    {
        QTest::addColumn<int>("rows");
        for (int rows : sizes)
            QTest::newRow(qPrintable(QString::number(rows))) << rows;
    }

    void weekView()
    {
        QFETCH(int, rows);
        const int runs = rows > 10000 ? 5 : 20;
        const QString name = writeFile(rows);
        QVERIFY(!name.isEmpty());
        Form2 form(true, qmv::paths::programFile(name), name);
        QVERIFY(form.load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *box = form.findChild<QLineEdit *>("txtCellEdit");
        // Half way down the table, on a row with a time: each key changes when a bell rings.
        for (int row = 0; row < rows / 2 - rows / 2 % 3; ++row)
            QTest::keyClick(box, Qt::Key_Down);
        QCoreApplication::processEvents();
        // A new last digit of the minutes: Backspace alone writes nothing to the table.
        const auto typeKey = [box](int run) {
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClick(box, run % 2 == 0 ? Qt::Key_5 : Qt::Key_9);
        };
        // Every step ends once the windows have drawn what it changed.
        const double keyAlone = medianMs(runs, [&](int run) {
            typeKey(run);
            QCoreApplication::processEvents();
        });
        const double without = residentMiB();

        auto *view = form.findChild<WeekView *>();
        QVERIFY(view);
        QElapsedTimer timer;
        timer.start();
        form.findChild<QPushButton *>("cmdWeekView")->click();
        view->repaint();
        QCoreApplication::processEvents();
        const double open = timer.nsecsElapsed() / 1e6;

        const double keyWithView = medianMs(runs, [&](int run) {
            typeKey(run);
            view->refresh();
            QCoreApplication::processEvents();
        });
        QWidget *viewport = view->findChild<QAbstractScrollArea *>()->viewport();
        PaintCounter painted;
        view->findChild<QWidget *>("weekSheet")->installEventFilter(&painted);
        const double wheel = medianMs(runs, [&](int) {
            const QPointF at(viewport->width() / 2, viewport->height() / 2);
            QWheelEvent event(at, viewport->mapToGlobal(at), {}, {0, -120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(viewport, &event);
            QCoreApplication::processEvents();
        });
        // The timings hold the drawing of each step, not only its asking for it.
        QCOMPARE(painted.count, runs);
        const double with = residentMiB();

        qInfo("3 x %d rows: open %.1f ms; key %.2f ms alone, %.2f ms with the view open (+%.2f "
              "ms); wheel step %.2f ms; memory %.0f MiB without the view, %.0f MiB with it "
              "(x %.2f)",
              rows, open, keyAlone, keyWithView, keyWithView - keyAlone, wheel, without, with,
              with / without);
        QVERIFY(box->text().endsWith(runs % 2 == 0 ? '9' : '5'));
        view->close();
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (arguments.removeAll(QStringLiteral("--large")) > 0)
        bench_Editor::sizes.append(50000);
    bench_Editor bench;
    return QTest::qExec(&bench, arguments);
}

#include "bench_editor.moc"
