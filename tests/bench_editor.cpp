#include "cellgrid.h"
#include "form2.h"
#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(Qt::Key)

namespace {

constexpr int LargeRows = 5000;

qmv::CellTable largeProgram(int program)
{
    qmv::CellTable table{qmv::BellColumns, {}};
    table.rows.reserve(LargeRows);
    for (int row = 0; row < LargeRows; ++row) {
        const bool on = row % 3 == 0;
        table.rows.append({QStringLiteral("%1:%2")
                               .arg(row / 60 % 24, 2, 10, QLatin1Char('0'))
                               .arg(row % 60, 2, 10, QLatin1Char('0')),
                           on ? QStringLiteral("ON") : QStringLiteral("OFF"),
                           QStringLiteral("PULSE"), on ? QString::number(program) : QString(),
                           QStringLiteral("OFF"), QStringLiteral("CONT"), QString(),
                           QStringLiteral("OC")});
    }
    return table;
}

} // namespace

// How long the editor takes to open a program file of three 5,000-row programs, and to handle
// one arrow key in such a table.
class bench_Editor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openLargeFile();
    void arrowKey_data();
    void arrowKey();

private:
    QTemporaryDir m_root;
    QString m_file;
};

void bench_Editor::initTestCase()
{
    QVERIFY(m_root.isValid());
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(qmv::paths::dataDir()));
    QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
    qmv::ProgramFile file;
    file.programs = {largeProgram(1), largeProgram(2), largeProgram(3)};
    file.schedule = qmv::defaultSchedule();
    m_file = qmv::paths::programFile(QStringLiteral("large.qmv"));
    QCOMPARE(qmv::writeFileAtomic(m_file, qmv::programFileBytes(file)), QString());
}

void bench_Editor::openLargeFile()
{
    QBENCHMARK
    {
        Form2 form(true, m_file, QStringLiteral("large.qmv"));
        QVERIFY(form.load());
        QCOMPARE(form.findChild<CellGrid *>(QStringLiteral("Grid1"))->rowCount(), LargeRows);
    }
}

void bench_Editor::arrowKey_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("repaint"); // include drawing the window after the key

    QTest::newRow("down, scrolling every key") << Qt::Key_Down << false;
    QTest::newRow("right, through the cells") << Qt::Key_Right << false;
    QTest::newRow("down, drawn") << Qt::Key_Down << true;
    QTest::newRow("right, drawn") << Qt::Key_Right << true;
}

void bench_Editor::arrowKey()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, repaint);

    Form2 form(true, m_file, QStringLiteral("large.qmv"));
    QVERIFY(form.load());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *grid = form.findChild<CellGrid *>(QStringLiteral("Grid1"));
    auto *box = form.findChild<QLineEdit *>(QStringLiteral("txtCellEdit"));
    grid->setCurrentCell(LargeRows / 2, 1);
    form.PlaceTextbox();
    const QModelIndex start = grid->currentIndex();

    QBENCHMARK
    {
        QTest::keyClick(box, key);
        if (repaint)
            QCoreApplication::processEvents();
    }
    QVERIFY(grid->currentIndex() != start);
}

QTEST_MAIN(bench_Editor)
#include "bench_editor.moc"
