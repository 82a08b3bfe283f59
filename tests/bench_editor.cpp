#include "cellgrid.h"
#include "form2.h"
#include "paths.h"
#include "programfile.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

// How long the editor takes to open a file of three 5,000-row programs, and to handle one arrow
// key in such a table.
class bench_Editor : public QObject
{
    Q_OBJECT
    static constexpr int Rows = 5000;
    QTemporaryDir m_root;
    QString m_file;

private slots:
    void initTestCase()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QVERIFY(m_root.isValid() && QDir().mkpath(qmv::paths::dataDir()) &&
                QDir().mkpath(qmv::paths::tmpDir()));
        qmv::CellTable table = qmv::defaultBellTable(Rows);
        for (int row = 0; row < Rows; row += 3)
            table.rows[row] = QStringList{"07:30", "ON", "PULSE", "5", "OFF", "CONT", "", "OC"};
        m_file = qmv::paths::programFile(QStringLiteral("large.qmv"));
        const qmv::ProgramFile file{{table, table, table}, qmv::defaultSchedule()};
        QCOMPARE(qmv::writeFileAtomic(m_file, qmv::programFileBytes(file)), QString());
    }

    void openLargeFile()
    {
        QBENCHMARK
        {
            Form2 form(true, m_file, QStringLiteral("large.qmv"));
            QVERIFY(form.load());
            QCOMPARE(form.findChild<CellGrid *>("Grid1")->rowCount(), Rows);
        }
    }

    // Down from the middle of the table, the window drawn after every key.
    void arrowKey()
    {
        Form2 form(true, m_file, QStringLiteral("large.qmv"));
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
