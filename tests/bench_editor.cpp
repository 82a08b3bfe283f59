#include "cellgrid.h"
#include "form2.h"
#include "paths.h"
#include "programfile.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

// How long the editor takes to open a file of three 5,000-row programs, and to handle one arrow
// key in such a table, the window drawn after every key.
class bench_Editor : public QObject
{
    Q_OBJECT
    static constexpr int Rows = 5000;
    QTemporaryDir m_root;

private slots:
    void initTestCase()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QVERIFY(QDir().mkpath(qmv::paths::dataDir()) && QDir().mkpath(qmv::paths::tmpDir()));
        qmv::CellTable table = qmv::defaultBellTable(Rows);
        for (int row = 0; row < Rows; row += 3)
            table.rows[row] = QStringList{"07:30", "ON", "PULSE", "5", "OFF", "CONT", "", "OC"};
        const QByteArray bytes =
            qmv::programFileBytes({{table, table, table}, qmv::defaultSchedule()});
        QCOMPARE(qmv::writeFileAtomic(qmv::paths::programFile("large.qmv"), bytes), QString());
    }

    void openLargeFile()
    {
        QBENCHMARK
        {
            Form2 form(true, qmv::paths::programFile("large.qmv"), "large.qmv");
            QVERIFY(form.load());
        }
    }

    void arrowKey()
    {
        Form2 form(true, qmv::paths::programFile("large.qmv"), "large.qmv");
        QVERIFY(form.load());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *grid = form.findChild<CellGrid *>("Grid1");
        grid->setCurrentCell(Rows / 2, 1);
        form.PlaceTextbox();
        QBENCHMARK
        {
            QTest::keyClick(form.findChild<QLineEdit *>("txtCellEdit"), Qt::Key_Down);
            QCoreApplication::processEvents();
        }
        QVERIFY(grid->currentRow() > Rows / 2);
    }
};

QTEST_MAIN(bench_Editor)
#include "bench_editor.moc"
