#include "bellrules.h"
#include "schedulerules.h"

#include <QtTest>

using namespace qmv::bell;
namespace schedule = qmv::schedule;

Q_DECLARE_METATYPE(qmv::bell::KeyCode)

class tst_EditorRules : public QObject
{
    Q_OBJECT

private slots:
    void timeCheck_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("leave");
        auto add = [](const char *name, const char *typed, const char *cell, bool leave) {
            QTest::newRow(name) << QString(typed) << QString(cell) << leave;
        };
        add("short is emptied and left", "7:30", "", true);
        add("short with blanks around", "  7:3  ", "", true);
        add("leading blanks dropped", "  07:30", "07:30", true);
        add("trailing text kept", "07:30x", "07:30x", true);
        add("bad separator", "07-30", "", false);
        add("letter in the minutes", "07:3x", "", false);
        add("hour out of range kept to correct", "  24:00", "24:00", false);
        add("signed hour is no time", "-1:30", "", false);
        add("fraction for the minutes", "07:.5", "", false);
        add("minute out of range", "12:60", "12:60", false);
    }

    void timeCheck()
    {
        QFETCH(QString, typed);
        const TimeCheck check = checkTime(typed);
        QTEST(check.cellText, "cell");
        QTEST(check.leave, "leave");
    }

    // Seconds run from 1 to 59, programs from 1 to 3; a cell that fails is emptied or set to 3.
    void numberChecks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("seconds");
        QTest::addColumn<bool>("program");
        QTest::newRow("one") << "1" << true << true;
        QTest::newRow("three") << "3" << true << true;
        QTest::newRow("four") << "4" << true << false;
        QTest::newRow("fifty-nine") << "59" << true << false;
        QTest::newRow("sixty") << "60" << false << false;
        QTest::newRow("just below one") << "0.99" << false << false;
        QTest::newRow("fraction") << "2.5" << true << true;
        QTest::newRow("blanks around kept") << " 2 " << true << true;
        QTest::newRow("number then letter") << "2s" << false << false;
        QTest::newRow("exponent") << "1e0" << false << false;
        QTest::newRow("tab is not a blank") << "\t2" << false << false;
    }

    void numberChecks()
    {
        QFETCH(QString, typed);
        QFETCH(bool, seconds);
        QFETCH(bool, program);
        QCOMPARE(checkSeconds(typed), seconds ? typed : QString());
        QCOMPARE(schedule::checkedCell(typed), program ? typed : QStringLiteral("3"));
        QCOMPARE(schedule::isValidProgram(typed), program);
    }

    void enterWord_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word"); // empty: Enter changes nothing
        auto add = [](const char *name, int column, const char *text, const char *word) {
            QTest::newRow(name) << column << QString(text) << QString(word);
        };
        add("bell 2 other text to off", 4, "off", "OFF");
        add("action 2 other text to cont", 5, "PULSE", "CONT");
        add("light other text to oc", 7, "PULSE", "OC");
        add("time unchanged", 0, "07:30", "");
        add("seconds unchanged", 6, "5", "");
    }

    void enterWord()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, word);
        QCOMPARE(nextWord(column, text).value_or(QString()), word);
        QCOMPARE(isWordColumn(column), !word.isEmpty());
    }

    void bellMoves_data()
    {
        QTest::addColumn<KeyCode>("key");
        QTest::addColumn<QPoint>("from"); // column, row
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QString>("rowTexts");
        QTest::addColumn<QString>("plan");   // "column,row", "+" appends, "-" removes; "": no move
        QTest::addColumn<QString>("copies"); // "2>5,3>6": column 2 into 5, then 3 into 6
        auto add = [](const char *name, KeyCode key, QPoint from, int rows, const char *texts,
                      const char *plan, const char *copies = "") {
            QTest::newRow(name) << key << from << rows << QString(texts) << QString(plan)
                                << QString(copies);
        };
        const char *def = ",OFF,CONT,,OFF,CONT,,OC";
        const char *bothOn = "07:30,ON,PULSE,5,ON,CONT,,OC";
        const char *bell2On = "07:30,OFF,CONT,,ON,PULSE,9,OC";
        add("right time to condition", RightKey, {0, 0}, 15, "OFF,OFF,CONT,,OFF,CONT,,OC", "1,0");
        add("right bell 1 off skips to bell 2", RightKey, {1, 0}, 15, def, "4,0");
        add("right bell 2 off skips to light", RightKey, {4, 0}, 15, def, "7,0");
        add("right bell 2 on, bell 1 off", RightKey, {4, 0}, 15, bell2On, "5,0");
        add("right bell 2 blank copies bell 1", RightKey, {4, 0}, 15, ",ON,C,3,,CONT,,OC", "7,0",
            "2>5,3>6");
        add("right light of second last row", RightKey, {7, 13}, 15, def, "0,14");
        add("right light of last row grows", RightKey, {7, 14}, 15, def, "0,15+");
        add("left light, bell 2 off", LeftKey, {7, 0}, 15, def, "4,0");
        add("left light, bell 2 on", LeftKey, {7, 0}, 15, bothOn, "4,0");
        add("left light, bell 2 blank", LeftKey, {7, 0}, 15, "07:30,OFF,CONT,,,CONT,,OC", "6,0");
        add("left bell 2 action copies back", LeftKey, {5, 0}, 15, bothOn, "4,0", "5>2");
        add("left bell 2 action, bell 1 off", LeftKey, {5, 0}, 15, bell2On, "4,0");
        add("left time wraps from second last row", LeftKey, {0, 13}, 15, def, "7,12");
        add("left time stays above the last two rows", LeftKey, {0, 12}, 15, def, "0,12");
        add("left time stays in a single row", LeftKey, {0, 0}, 1, def, "0,0");
        add("down above the last two rows", DownKey, {2, 12}, 15, def, "2,13");
        add("delete a middle row", DeleteKey, {3, 5}, 15, def, "3,5-");
        add("delete the last row", DeleteKey, {2, 14}, 15, def, "2,13-");
    }

    void bellMoves()
    {
        QFETCH(KeyCode, key);
        QFETCH(QPoint, from);
        QFETCH(int, rowCount);
        QFETCH(QString, rowTexts);
        const MovePlan move = planMove(key, from.y(), from.x(), rowCount, rowTexts.split(','));
        QString plan;
        if (move.consumed)
            plan = QStringLiteral("%1,%2").arg(move.column).arg(move.row) +
                   (move.appendRow ? "+" : "") + (move.removeRow ? "-" : "");
        QTEST(plan, "plan");
        QStringList copies;
        for (const CellCopy &copy : move.copies)
            copies.append(QStringLiteral("%1>%2").arg(copy.from).arg(copy.to));
        QTEST(copies.join(','), "copies");
    }
};

QTEST_GUILESS_MAIN(tst_EditorRules)
#include "tst_editorrules.moc"
