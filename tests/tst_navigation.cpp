#include "editorfixture.h"
#include "twips.h"

#include <QLabel>

using namespace editortest;

namespace {

// A working file whose first row tells the program apart: "0n:00" in its Time cell, two rows.
QByteArray plantedBell(int program)
{
    return ":P" + QByteArray::number(program) + "\r\n2\r\n0" + QByteArray::number(program) + ":00" +
           DefaultRowBytes + "\r" + DefaultRowBytes + "\r\n";
}

const QByteArray PlantedScheduleBlock =
    "\r\n\r\n\r\n2\r\n1\t1\t1\t1\t1\t1\t1\r2\t2\t2\t2\t2\t2\t2\r\n";

QByteArray planted(int program)
{
    return plantedBell(program) + (program == 3 ? PlantedScheduleBlock : QByteArray());
}

const QStringList ScheduleGroup = {"Grid2",  "Text4",  "Label3",  "Label4",  "Label5", "Label6",
                                   "Label8", "Label9", "Label10", "Label11", "Label12"};

} // namespace

class tst_Navigation : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { m.tearDown(); }

    void filesPerCommand_data();
    void filesPerCommand();
    void rowCountsSurvive();
    void boxAfterMove_data();
    void boxAfterMove();
    void scheduleTravelsWithProgram3();
    void arrivalFileUnusable_data();
    void arrivalFileUnusable();
    void unwritableFileStopsTheMove_data();
    void unwritableFileStopsTheMove();

private:
    void goTo(int program);
    void checkAgreement(int program);

    Fixture m;
};

void tst_Navigation::goTo(int program)
{
    while (m.form->pgmCurrent < program)
        m.next();
}

// The number shown, the buttons and the schedule group all say the same program.
void tst_Navigation::checkAgreement(int program)
{
    QCOMPARE(m.form->pgmCurrent, program);
    QCOMPARE(m.textOf(QStringLiteral("txtNextProgram")), QString::number(program));
    for (const QString &name : ScheduleGroup)
        QVERIFY2(m.control(name)->isHidden() == (program != 3), qPrintable(name));
    QCOMPARE(m.control(QStringLiteral("cmdSaveProgram"))->isEnabled(), program == 3);
    QCOMPARE(m.control(QStringLiteral("cmdDownload"))->isEnabled(), program == 3);
}

void tst_Navigation::filesPerCommand_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("written"); // 0: none
    QTest::addColumn<int>("arrived");
    QTest::addColumn<QString>("message");

    QTest::newRow("next from 1") << 1 << true << 1 << 2 << "";
    QTest::newRow("next from 2") << 2 << true << 2 << 3 << "";
    QTest::newRow("next at 3") << 3 << true << 0 << 3 << "Max Allowed Programs Reached\r\n";
    QTest::newRow("previous from 3") << 3 << false << 3 << 2 << "";
    QTest::newRow("previous from 2") << 2 << false << 2 << 1 << "";
    QTest::newRow("previous at 1") << 1 << false << 0 << 1 << "Program Number 1 Reached\r\n";
}

void tst_Navigation::filesPerCommand()
{
    QFETCH(int, from);
    QFETCH(bool, next);
    QFETCH(int, written);
    QFETCH(int, arrived);
    QFETCH(QString, message);

    QVERIFY(m.openNew());
    goTo(from);
    QVERIFY(m.answerer->seen().isEmpty());
    // What the files hold from now on tells what the command wrote and what it read.
    for (int program = 1; program <= 3; ++program)
        QVERIFY(writeAll(qmv::paths::workingFile(program), planted(program)));
    m.grid1()->setCellText(0, 0, QStringLiteral("11:11"));
    m.grid1()->setCellText(14, 7, QStringLiteral("ON"));
    m.grid2()->setCellText(1, 6, QStringLiteral("2"));

    next ? m.next() : m.previous();

    const QByteArray edited =
        "11:11" + DefaultRowBytes + "\r" + joinedRows(13) + "\r" + "\tOFF\tCONT\t\tOFF\tCONT\t\tON";
    for (int program = 1; program <= 3; ++program) {
        QByteArray expected = planted(program);
        if (program == written) {
            expected = ":P" + QByteArray::number(program) + "\r\n15\r\n" + edited + "\r\n";
            if (program == 3)
                expected += "\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t2\r\n";
        }
        QCOMPARE(workingBytes(program), expected);
    }

    checkAgreement(arrived);
    if (message.isEmpty()) {
        QVERIFY(m.answerer->seen().isEmpty());
        QCOMPARE(m.grid1()->rowCount(), 2);
        QCOMPARE(m.grid1()->cellText(0, 0), QStringLiteral("0%1:00").arg(arrived));
    } else {
        QCOMPARE(m.answerer->seen().size(), 1);
        const qmvtest::SeenMessage seen = m.answerer->seen().first();
        QCOMPARE(seen.message, message);
        QCOMPARE(seen.title, "Program Number");
        QCOMPARE(seen.style, 3);
        QCOMPARE(seen.icon, 2);
        // The edits stay in the table only.
        QCOMPARE(m.grid1()->rowCount(), 15);
        QCOMPARE(m.grid1()->cellText(0, 0), "11:11");
    }
    if (arrived == 3 && written == 2) {
        QCOMPARE(m.grid2()->cellText(0, 0), "1");
        QCOMPARE(m.grid2()->cellText(1, 6), "2");
        QCOMPARE(QPoint(m.grid2()->currentColumn(), m.grid2()->currentRow()), QPoint(0, 0));
        QCOMPARE(m.text4()->geometry(), m.grid2()->cellRect(0, 0, m.form.get()));
        QCOMPARE(m.text4()->text(), "1");
    }
}

void tst_Navigation::rowCountsSurvive()
{
    const QByteArray program1 = "07:30\tON\tPULSE\t5\tOFF\tCONT\t\tON\r" + joinedRows(14);
    const QByteArray program2 = joinedRows(19) + "\r23:59\tOFF\tCONT\t\tON\tPULSE\t9\tOFF";
    QVERIFY(m.openExisting(":P1\r\n15\r\n" + program1 + "\r\n:P2\r\n20\r\n" + program2 +
                           "\r\n:P3\r\n1\r\n" + DefaultRowBytes + "\r\n" + DefaultScheduleBlock));
    // An edit that empties a cell must come back empty, not as the old text.
    m.grid1()->setCellText(0, 3, QString());
    const qmv::CellTable shown = m.grid1()->contents();

    m.next();
    QCOMPARE(m.grid1()->rowCount(), 20);
    QCOMPARE(m.grid1()->rowTexts(19).join(QLatin1Char(',')), "23:59,OFF,CONT,,ON,PULSE,9,OFF");
    m.next();
    QCOMPARE(m.grid1()->rowCount(), 1);
    m.previous();
    QCOMPARE(m.grid1()->rowCount(), 20);
    m.previous();
    QCOMPARE(m.grid1()->contents(), shown);

    QCOMPARE(workingBytes(1),
             ":P1\r\n15\r\n07:30\tON\tPULSE\t\tOFF\tCONT\t\tON\r" + joinedRows(14) + "\r\n");
    QCOMPARE(workingBytes(2), ":P2\r\n20\r\n" + program2 + "\r\n");
    QCOMPARE(workingBytes(3), ":P3\r\n1\r\n" + DefaultRowBytes + "\r\n" + DefaultScheduleBlock);
    QVERIFY(m.answerer->seen().isEmpty());
}

void tst_Navigation::boxAfterMove_data()
{
    QTest::addColumn<QPoint>("placedAt"); // column, row
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("readOnly");

    QTest::newRow("from a condition cell, next") << QPoint(1, 4) << true << true;
    QTest::newRow("from a light cell, previous") << QPoint(7, 14) << false << true;
    QTest::newRow("from a seconds cell, next") << QPoint(3, 2) << true << false;
    QTest::newRow("from the time cell, previous") << QPoint(0, 9) << false << false;
}

void tst_Navigation::boxAfterMove()
{
    QFETCH(QPoint, placedAt);
    QFETCH(bool, next);
    QFETCH(bool, readOnly);

    QVERIFY(m.openNew());
    QVERIFY(m.show());
    if (!next)
        m.next();
    QVERIFY(writeAll(qmv::paths::workingFile(next ? 2 : 1), plantedBell(next ? 2 : 1)));
    m.grid1()->setCurrentCell(placedAt.y(), placedAt.x());
    m.form->PlaceTextbox();
    QCOMPARE(m.box()->isReadOnly(), readOnly);

    next ? m.next() : m.previous();

    QCOMPARE(m.grid1()->currentRow(), 0);
    QCOMPARE(m.grid1()->currentColumn(), 0);
    const QRect cell = m.grid1()->cellRect(0, 0, m.form.get());
    QCOMPARE(m.box()->pos(), cell.topLeft());
    QCOMPARE(m.box()->width(), cell.width());
    QCOMPARE(m.box()->height(), qmv::tw(qmv::toTwips(cell.height()) - 200));
    QCOMPARE(m.box()->text(), QStringLiteral("0%1:00").arg(next ? 2 : 1));
    QCOMPARE(m.box()->isReadOnly(), readOnly);
    QTRY_VERIFY(m.box()->hasFocus());

    // A read-only box refuses typing until an arrow key places it by the cell editor's rule.
    QTest::keyClick(m.box(), Qt::Key_Backspace);
    QCOMPARE(m.grid1()->cellText(0, 0),
             QString::fromLatin1(readOnly ? "0%1:00" : "0%1:0").arg(next ? 2 : 1));
    QTest::keyClick(m.box(), Qt::Key_Down);
    QTest::keyClick(m.box(), Qt::Key_Up);
    QVERIFY(!m.box()->isReadOnly());
}

void tst_Navigation::scheduleTravelsWithProgram3()
{
    QVERIFY(m.openNew());
    goTo(3);
    m.grid2()->setCellText(0, 2, QStringLiteral("1"));
    // Unchecked: only an arrow key leaving the cell replaces it.
    m.grid2()->setCellText(1, 4, QStringLiteral("x"));
    m.grid2()->setCurrentCell(1, 3);

    m.previous();
    checkAgreement(2);
    QCOMPARE(workingBytes(3),
             ":P3\r\n15\r\n" + joinedRows(15) +
                 "\r\n\r\n\r\n\r\n2\r\n3\t3\t1\t3\t3\t3\t3\r3\t3\t3\t3\tx\t3\t3\r\n");
    // Leaving program 3 left the schedule's first cell current, so the box is there again.
    QCOMPARE(QPoint(m.grid2()->currentColumn(), m.grid2()->currentRow()), QPoint(0, 0));
    m.previous();
    checkAgreement(1);

    m.next();
    m.next();
    checkAgreement(3);
    QCOMPARE(m.grid2()->cellText(0, 2), "1");
    QCOMPARE(m.grid2()->cellText(1, 4), "x");
    QCOMPARE(m.text4()->geometry(), m.grid2()->cellRect(0, 0, m.form.get()));
    QCOMPARE(m.text4()->text(), "3");
}

void tst_Navigation::arrivalFileUnusable_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("next");
    QTest::addColumn<QByteArray>("arrivalBytes"); // "<none>": missing; "<dir>": a folder
    QTest::addColumn<QString>("problem");

    const QByteArray rows = joinedRows(15);
    QTest::newRow("missing, next to 2") << 1 << true << QByteArray("<none>") << "Cannot open";
    QTest::newRow("a folder, previous to 1") << 2 << false << QByteArray("<dir>") << "Cannot";
    QTest::newRow("row count not a number, previous to 2")
        << 3 << false << QByteArray(":P2\r\nfifteen\r\n" + rows + "\r\n") << "line 2";
    QTest::newRow("rows disagree with the count, next to 2")
        << 1 << true << QByteArray(":P2\r\n14\r\n" + rows + "\r\n") << "line 3";
    QTest::newRow("schedule block missing, next to 3")
        << 2 << true << QByteArray(":P3\r\n15\r\n" + rows + "\r\n") << "lines";
    QTest::newRow("schedule row short, next to 3")
        << 2 << true
        << QByteArray(":P3\r\n15\r\n" + rows +
                      "\r\n\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\r\n")
        << "line 8";
}

void tst_Navigation::arrivalFileUnusable()
{
    QFETCH(int, from);
    QFETCH(bool, next);
    QFETCH(QByteArray, arrivalBytes);
    QFETCH(QString, problem);

    QVERIFY(m.openNew());
    goTo(from);
    const int target = next ? from + 1 : from - 1;
    const QString arrival = qmv::paths::workingFile(target);
    QVERIFY(QFile::remove(arrival));
    if (arrivalBytes == "<dir>")
        QVERIFY(QDir().mkpath(arrival + QStringLiteral("/inside")));
    else if (arrivalBytes != "<none>")
        QVERIFY(writeAll(arrival, arrivalBytes));
    m.grid1()->setCellText(2, 0, QStringLiteral("12:00"));
    m.grid2()->setCellText(0, 1, QStringLiteral("2"));
    const qmv::CellTable bell = m.grid1()->contents();
    const qmv::CellTable schedule = m.grid2()->contents();

    next ? m.next() : m.previous();

    QCOMPARE(m.answerer->seen().size(), 1);
    const QString message = m.answerer->seen().first().message;
    QVERIFY2(message.contains(arrival), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    checkAgreement(from);
    QCOMPARE(m.grid1()->contents(), bell);
    QCOMPARE(m.grid2()->contents(), schedule);
    // The program left was stored before the arrival failed, and stays usable.
    QVERIFY(workingBytes(from).contains("12:00"));
    QCOMPARE(m.box()->geometry().topLeft(), m.grid1()->cellRect(0, 0, m.form.get()).topLeft());
    QCOMPARE(m.grid1()->currentRow(), 0);

    // Once the file is sound again the move goes through.
    if (QFileInfo(arrival).isDir())
        QVERIFY(QDir(arrival).removeRecursively());
    else if (QFile::exists(arrival))
        QVERIFY(QFile::remove(arrival));
    QVERIFY(writeAll(arrival, planted(target)));
    next ? m.next() : m.previous();
    checkAgreement(target);
    QCOMPARE(m.grid1()->cellText(0, 0), QStringLiteral("0%1:00").arg(target));
}

void tst_Navigation::unwritableFileStopsTheMove_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("next");

    QTest::newRow("next from 1") << 1 << true;
    QTest::newRow("next from 2") << 2 << true;
    QTest::newRow("previous from 3") << 3 << false;
    QTest::newRow("previous from 2") << 2 << false;
}

void tst_Navigation::unwritableFileStopsTheMove()
{
    QFETCH(int, from);
    QFETCH(bool, next);

    QVERIFY(m.openNew());
    goTo(from);
    const int target = next ? from + 1 : from - 1;
    QVERIFY(writeAll(qmv::paths::workingFile(target), planted(target)));
    // A folder in the place of the file: no write can replace it, root or not.
    const QString leaving = qmv::paths::workingFile(from);
    QVERIFY(QFile::remove(leaving));
    QVERIFY(QDir().mkpath(leaving + QStringLiteral("/inside")));
    m.grid1()->setCellText(0, 0, QStringLiteral("11:11"));

    next ? m.next() : m.previous();

    QCOMPARE(m.answerer->seen().size(), 1);
    QVERIFY2(m.answerer->seen().first().message.contains(leaving),
             qPrintable(m.answerer->seen().first().message));
    checkAgreement(from);
    QCOMPARE(m.grid1()->cellText(0, 0), "11:11");
    QCOMPARE(m.grid1()->rowCount(), 15);
    QCOMPARE(workingBytes(target), planted(target));
}

QTEST_MAIN(tst_Navigation)
#include "tst_navigation.moc"
