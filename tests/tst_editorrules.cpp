#include "bellrules.h"
#include "form2layout.h"
#include "schedulerules.h"

#include <QtTest>

using namespace qmv::bell;
namespace schedule = qmv::schedule;

Q_DECLARE_METATYPE(qmv::bell::KeyCode)
Q_DECLARE_METATYPE(qmv::schedule::Focus)

namespace {

const QString DefaultRow = QStringLiteral(",OFF,CONT,,OFF,CONT,,OC");
const QString BothOn = QStringLiteral("07:30,ON,PULSE,5,ON,CONT,,OC");
const QString OnlyBell2On = QStringLiteral("07:30,OFF,CONT,,ON,PULSE,9,OC");

} // namespace

class tst_EditorRules : public QObject
{
    Q_OBJECT

private slots:
    void timeCheck_data();
    void timeCheck();
    void rangeChecks_data();
    void rangeChecks();
    void enterWord_data();
    void enterWord();
    void bellMoves_data();
    void bellMoves();
    void scheduleMoves_data();
    void scheduleMoves();
    void headerLabels();
};

void tst_EditorRules::timeCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("leave");
    auto add = [](const char *name, const char *typed, const char *cell, bool leave) {
        QTest::newRow(name) << QString(typed) << QString(cell) << leave;
    };
    add("valid", "07:30", "07:30", true);
    add("midnight", "00:00", "00:00", true);
    add("last minute of the day", "23:59", "23:59", true);
    add("empty", "", "", true);
    add("short is emptied and left", "7:30", "", true);
    add("short with blanks around", "  7:3  ", "", true);
    add("leading blanks dropped", "  07:30", "07:30", true);
    add("trailing blank kept", "07:30 ", "07:30 ", true);
    add("text after the minutes not looked at", "07:30xyz", "07:30xyz", true);
    add("bad separator", "07-30", "", false);
    add("letters for the hour", "ab:30", "", false);
    add("letter in the minutes", "07:3x", "", false);
    add("hour out of range kept to correct", "24:00", "24:00", false);
    add("hour out of range after blanks", "  24:00", "24:00", false);
    add("negative hour", "-1:30", "-1:30", false);
    add("minute out of range", "12:60", "12:60", false);
}

void tst_EditorRules::timeCheck()
{
    QFETCH(QString, typed);
    const TimeCheck check = checkTime(typed);
    QTEST(check.cellText, "cell");
    QTEST(check.leave, "leave");
}

void tst_EditorRules::rangeChecks_data()
{
    QTest::addColumn<bool>("seconds"); // false: a schedule cell, 1 to 3
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    auto add = [](const char *name, bool seconds, const char *typed, bool valid) {
        QTest::newRow(name) << seconds << QString(typed) << valid;
    };
    add("seconds 1", true, "1", true);
    add("seconds 59", true, "59", true);
    add("seconds fraction", true, "2.5", true);
    add("seconds blanks around kept", true, " 30 ", true);
    add("seconds 0", true, "0", false);
    add("seconds 60", true, "60", false);
    add("seconds just below one", true, "0.5", false);
    add("seconds number then letter", true, "5s", false);
    add("seconds sign alone", true, "-", false);
    add("seconds empty", true, "", false);
    add("program 1", false, "1", true);
    add("program 3", false, "3", true);
    add("program blanks around kept", false, " 2 ", true);
    add("program fraction", false, "2.5", true);
    add("program explicit sign", false, "+1", true);
    add("program 0", false, "0", false);
    add("program 4", false, "4", false);
    add("program just above three", false, "3.01", false);
    add("program letter", false, "x", false);
    add("program empty", false, "", false);
    add("program blanks only", false, "   ", false);
    add("program two numbers", false, "1 2", false);
    add("program exponent", false, "1e0", false);
    add("program tab is not a blank", false, "\t2", false);
}

void tst_EditorRules::rangeChecks()
{
    QFETCH(bool, seconds);
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    if (seconds) {
        QCOMPARE(checkSeconds(typed), valid ? typed : QString());
    } else {
        QCOMPARE(schedule::checkedCell(typed), valid ? typed : QStringLiteral("3"));
        QCOMPARE(schedule::isValidProgram(typed), valid);
    }
}

void tst_EditorRules::enterWord_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word"); // empty: Enter changes nothing
    auto add = [](const char *name, int column, const char *text, const char *word) {
        QTest::newRow(name) << column << QString(text) << QString(word);
    };
    add("bell 1 off to on", 1, "OFF", "ON");
    add("bell 1 on to off", 1, "ON", "OFF");
    add("bell 2 other text to off", 4, "off", "OFF");
    add("action 1 cont to pulse", 2, "CONT", "PULSE");
    add("action 2 pulse to cont", 5, "PULSE", "CONT");
    add("action 2 other text to cont", 5, "X", "CONT");
    add("light oc to on", 7, "OC", "ON");
    add("light on to off", 7, "ON", "OFF");
    add("light off to oc", 7, "OFF", "OC");
    add("light other text to oc", 7, "PULSE", "OC");
    add("time unchanged", 0, "07:30", "");
    add("seconds 1 unchanged", 3, "5", "");
    add("seconds 2 unchanged", 6, "", "");
}

void tst_EditorRules::enterWord()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, word);
    QCOMPARE(nextWord(column, text).value_or(QString()), word);
    QCOMPARE(isWordColumn(column), !word.isEmpty());
}

void tst_EditorRules::bellMoves_data()
{
    QTest::addColumn<KeyCode>("key");
    QTest::addColumn<QPoint>("from"); // column, row
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("rowTexts");
    QTest::addColumn<QString>("plan");   // "column,row", "+" appends, "-" removes; empty: no move
    QTest::addColumn<QString>("copies"); // "2>5,3>6": column 2 into 5, then 3 into 6
    auto add = [](const char *name, KeyCode key, QPoint from, int rows, const QString &texts,
                  const char *plan, const char *copies = "") {
        QTest::newRow(name) << key << from << rows << texts << QString(plan) << QString(copies);
    };
    const QString bell2Blank = QStringLiteral("07:30,OFF,CONT,,,CONT,,OC");
    const QString bell2BlankBell1On = QStringLiteral(",ON,CONT,3,,CONT,,OC");
    const QString offInTime = QStringLiteral("OFF,OFF,CONT,,OFF,CONT,,OC");
    add("right time to condition", RightKey, {0, 0}, 15, DefaultRow, "1,0");
    add("right bell 1 off skips to bell 2", RightKey, {1, 0}, 15, DefaultRow, "4,0");
    add("right bell 1 on to its action", RightKey, {1, 0}, 15, BothOn, "2,0");
    add("right bell 2 off skips to light", RightKey, {4, 0}, 15, DefaultRow, "7,0");
    add("right bell 2 on, bell 1 off", RightKey, {4, 0}, 15, OnlyBell2On, "5,0");
    add("right bell 2 on copies bell 1", RightKey, {4, 0}, 15, BothOn, "7,0", "2>5,3>6");
    add("right bell 2 blank, bell 1 on copies", RightKey, {4, 0}, 15, bell2BlankBell1On, "7,0",
        "2>5,3>6");
    add("right from time with OFF text does not skip", RightKey, {0, 0}, 15, offInTime, "1,0");
    add("right light to next row", RightKey, {7, 3}, 15, DefaultRow, "0,4");
    add("right light of second last row", RightKey, {7, 13}, 15, DefaultRow, "0,14");
    add("right light of last row grows", RightKey, {7, 14}, 15, DefaultRow, "0,15+");
    add("left light, bell 2 off", LeftKey, {7, 0}, 15, DefaultRow, "4,0");
    add("left light, bell 2 on", LeftKey, {7, 0}, 15, BothOn, "4,0");
    add("left light, bell 2 other", LeftKey, {7, 0}, 15, bell2Blank, "6,0");
    add("left bell 2 action, bell 1 on copies back", LeftKey, {5, 0}, 15, BothOn, "4,0", "5>2");
    add("left bell 2 action, bell 1 off", LeftKey, {5, 0}, 15, OnlyBell2On, "4,0");
    add("left seconds to action", LeftKey, {3, 2}, 15, DefaultRow, "2,2");
    add("left time wraps from second last row", LeftKey, {0, 13}, 15, DefaultRow, "7,12");
    add("left time wraps from last row", LeftKey, {0, 14}, 15, DefaultRow, "7,13");
    add("left time stays above the last two rows", LeftKey, {0, 12}, 15, DefaultRow, "0,12");
    add("left time stays in a single row", LeftKey, {0, 0}, 1, DefaultRow, "0,0");
    add("left time wraps in two rows", LeftKey, {0, 1}, 2, DefaultRow, "7,0");
    add("up at row 0 is no move", UpKey, {3, 0}, 15, DefaultRow, "");
    add("up from row 5", UpKey, {3, 5}, 15, DefaultRow, "3,4");
    add("down above the last two rows", DownKey, {2, 12}, 15, DefaultRow, "2,13");
    add("down from second last row grows", DownKey, {2, 13}, 15, DefaultRow, "2,14+");
    add("down from last row grows", DownKey, {6, 14}, 15, DefaultRow, "6,15+");
    add("down in a single row grows", DownKey, {0, 0}, 1, DefaultRow, "0,1+");
    add("delete a middle row", DeleteKey, {3, 5}, 15, DefaultRow, "3,5-");
    add("delete the last row", DeleteKey, {2, 14}, 15, DefaultRow, "2,13-");
    add("delete the only row moves to bell 1", DeleteKey, {5, 0}, 1, DefaultRow, "1,0");
    add("delete one of two rows", DeleteKey, {0, 1}, 2, DefaultRow, "0,0-");
    add("enter is no move", EnterKey, {1, 3}, 15, DefaultRow, "");
}

void tst_EditorRules::bellMoves()
{
    QFETCH(KeyCode, key);
    QFETCH(QPoint, from);
    QFETCH(int, rowCount);
    QFETCH(QString, rowTexts);
    QFETCH(QString, plan);
    QFETCH(QString, copies);

    const MovePlan move = planMove(key, from.y(), from.x(), rowCount, rowTexts.split(','));
    QString got;
    if (move.consumed)
        got = QStringLiteral("%1,%2").arg(move.column).arg(move.row) + (move.appendRow ? "+" : "") +
              (move.removeRow ? "-" : "");
    QCOMPARE(got, plan);
    QStringList gotCopies;
    for (const CellCopy &copy : move.copies)
        gotCopies.append(QStringLiteral("%1>%2").arg(copy.from).arg(copy.to));
    QCOMPARE(gotCopies.join(','), copies);
}

void tst_EditorRules::scheduleMoves_data()
{
    QTest::addColumn<KeyCode>("key");
    QTest::addColumn<QPoint>("from"); // column, row of a 7 x 2 schedule
    QTest::addColumn<bool>("check");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<schedule::Focus>("focus");
    auto add = [](const char *name, KeyCode key, QPoint from, bool check, QPoint to,
                  schedule::Focus focus) {
        QTest::newRow(name) << key << from << check << to << focus;
    };
    const auto both = schedule::Focus::TableThenBox;
    const auto box = schedule::Focus::Box;
    const auto none = schedule::Focus::None;
    add("left inside the row", LeftKey, {3, 0}, true, {2, 0}, both);
    add("left wraps to sunday above", LeftKey, {0, 1}, true, {6, 0}, both);
    add("left at the first cell", LeftKey, {0, 0}, true, {0, 0}, box);
    add("up from bell 2", UpKey, {4, 1}, true, {4, 0}, both);
    add("up at bell 1", UpKey, {4, 0}, true, {4, 0}, none);
    add("right wraps to monday below", RightKey, {6, 0}, true, {0, 1}, both);
    add("right at the last cell", RightKey, {6, 1}, true, {6, 1}, box);
    add("down from bell 1", DownKey, {2, 0}, true, {2, 1}, both);
    add("down at bell 2", DownKey, {2, 1}, true, {2, 1}, both);
    add("enter is no move", EnterKey, {2, 1}, false, {2, 1}, none);
    add("delete is no move", DeleteKey, {2, 0}, false, {2, 0}, none);
}

void tst_EditorRules::scheduleMoves()
{
    QFETCH(KeyCode, key);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);

    const schedule::SchedulePlan plan = schedule::planMove(key, from.y(), from.x(), 2, 7);
    QTEST(plan.check, "check");
    QCOMPARE(plan.moves, to != from);
    QCOMPARE(QPoint(plan.column, plan.row), to);
    QTEST(plan.focus, "focus");
}

void tst_EditorRules::headerLabels()
{
    const qmv::layout::HeaderLayout layout = qmv::layout::headerLayout(360, 1400);
    const float lefts[] = {360, 1760, 3150, 4550, 5950, 7350, 8750, 10150};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(layout.columns[i].left, lefts[i]);
        QCOMPARE(layout.columns[i].width, 1400.f);
    }
    QCOMPARE(QPointF(layout.bell1.left, layout.bell1.width), QPointF(1800, 4120));
    QCOMPARE(QPointF(layout.bell2.left, layout.bell2.width), QPointF(6000, 4120));
    QCOMPARE(QPointF(layout.light.left, layout.light.width), QPointF(10200, 1400));
}

QTEST_GUILESS_MAIN(tst_EditorRules)
#include "tst_editorrules.moc"
