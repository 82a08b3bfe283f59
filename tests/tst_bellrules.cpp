#include "bellrules.h"

#include <QtTest>

using namespace qmv::bell;

Q_DECLARE_METATYPE(qmv::bell::KeyCode)

namespace {

const QString DefaultRow = QStringLiteral(",OFF,CONT,,OFF,CONT,,OC");

QStringList cells(const QString &row)
{
    return row.split(QLatin1Char(','));
}

// "2>5,3>6": copy column 2 into 5, then column 3 into 6.
QList<CellCopy> copies(const QString &text)
{
    QList<CellCopy> list;
    if (text.isEmpty())
        return list;
    for (const QString &copy : text.split(QLatin1Char(','))) {
        const QStringList ends = copy.split(QLatin1Char('>'));
        list.append({ends.at(0).toInt(), ends.at(1).toInt()});
    }
    return list;
}

} // namespace

class tst_BellRules : public QObject
{
    Q_OBJECT

private slots:
    void timeCheck_data();
    void timeCheck();
    void secondsCheck_data();
    void secondsCheck();
    void enterWord_data();
    void enterWord();
    void moves_data();
    void moves();
};

void tst_BellRules::timeCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("leave");

    QTest::newRow("valid") << "07:30"
                           << "07:30" << true;
    QTest::newRow("midnight") << "00:00"
                              << "00:00" << true;
    QTest::newRow("last minute of the day") << "23:59"
                                            << "23:59" << true;
    QTest::newRow("empty") << ""
                           << "" << true;
    QTest::newRow("short") << "7:30"
                           << "" << true;
    QTest::newRow("short with blanks around") << "  7:3  "
                                              << "" << true;
    QTest::newRow("leading blanks dropped") << "  07:30"
                                            << "07:30" << true;
    QTest::newRow("trailing blank kept") << "07:30 "
                                         << "07:30 " << true;
    QTest::newRow("text after the minutes not looked at") << "07:30xyz"
                                                          << "07:30xyz" << true;
    QTest::newRow("hour with a blank") << "7 :30"
                                       << "7 :30" << true;
    QTest::newRow("bad separator") << "07-30"
                                   << "" << false;
    QTest::newRow("separator in the wrong place") << "073:0"
                                                  << "" << false;
    QTest::newRow("letters for the hour") << "ab:30"
                                          << "" << false;
    QTest::newRow("letter in the minutes") << "07:3x"
                                           << "" << false;
    QTest::newRow("hour out of range") << "24:00"
                                       << "24:00" << false;
    QTest::newRow("hour out of range after blanks") << "  24:00"
                                                    << "24:00" << false;
    QTest::newRow("negative hour") << "-1:30"
                                   << "-1:30" << false;
    QTest::newRow("minute out of range") << "12:60"
                                         << "12:60" << false;
    QTest::newRow("negative minute") << "12:-1"
                                     << "12:-1" << false;
}

void tst_BellRules::timeCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, cell);
    QFETCH(bool, leave);

    const TimeCheck check = checkTime(typed);
    QCOMPARE(check.cellText, cell);
    QCOMPARE(check.leave, leave);
}

void tst_BellRules::secondsCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");

    QTest::newRow("one") << "1"
                         << "1";
    QTest::newRow("fifty-nine") << "59"
                                << "59";
    QTest::newRow("thirty") << "30"
                            << "30";
    QTest::newRow("fraction within range") << "2.5"
                                           << "2.5";
    QTest::newRow("blanks around kept") << " 30 "
                                        << " 30 ";
    QTest::newRow("zero") << "0"
                          << "";
    QTest::newRow("sixty") << "60"
                           << "";
    QTest::newRow("negative") << "-5"
                              << "";
    QTest::newRow("letters") << "abc"
                             << "";
    QTest::newRow("just below one") << "0.5"
                                    << "";
    QTest::newRow("number then letter") << "5s"
                                        << "";
    QTest::newRow("sign alone") << "-"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_BellRules::secondsCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, cell);

    QCOMPARE(checkSeconds(typed), cell);
}

void tst_BellRules::enterWord_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word"); // "-" for no change

    QTest::newRow("bell 1 off to on") << 1 << "OFF"
                                      << "ON";
    QTest::newRow("bell 1 on to off") << 1 << "ON"
                                      << "OFF";
    QTest::newRow("bell 2 empty to off") << 4 << ""
                                         << "OFF";
    QTest::newRow("bell 2 lower case off is other text") << 4 << "off"
                                                         << "OFF";
    QTest::newRow("bell 2 off to on") << 4 << "OFF"
                                      << "ON";
    QTest::newRow("action 1 cont to pulse") << 2 << "CONT"
                                            << "PULSE";
    QTest::newRow("action 1 pulse to cont") << 2 << "PULSE"
                                            << "CONT";
    QTest::newRow("action 2 other text to cont") << 5 << "X"
                                                 << "CONT";
    QTest::newRow("light oc to on") << 7 << "OC"
                                    << "ON";
    QTest::newRow("light on to off") << 7 << "ON"
                                     << "OFF";
    QTest::newRow("light off to oc") << 7 << "OFF"
                                     << "OC";
    QTest::newRow("light other text to oc") << 7 << "PULSE"
                                            << "OC";
    QTest::newRow("time unchanged") << 0 << "07:30"
                                    << "-";
    QTest::newRow("seconds 1 unchanged") << 3 << "5"
                                         << "-";
    QTest::newRow("seconds 2 unchanged") << 6 << ""
                                         << "-";
}

void tst_BellRules::enterWord()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, word);

    const std::optional<QString> next = nextWord(column, text);
    if (word == QLatin1String("-"))
        QVERIFY(!next);
    else
        QCOMPARE(next.value_or(QStringLiteral("<none>")), word);
    QCOMPARE(isWordColumn(column), word != QLatin1String("-"));
}

void tst_BellRules::moves_data()
{
    QTest::addColumn<KeyCode>("key");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("rowTexts");
    QTest::addColumn<bool>("consumed");
    QTest::addColumn<int>("newRow");
    QTest::addColumn<int>("newColumn");
    QTest::addColumn<bool>("append");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("copies");

    const QString bothOn = QStringLiteral("07:30,ON,PULSE,5,ON,CONT,,OC");
    const QString onlyBell2On = QStringLiteral("07:30,OFF,CONT,,ON,PULSE,9,OC");
    const QString bell2Blank = QStringLiteral("07:30,OFF,CONT,,,CONT,,OC");

    // clang-format off
    QTest::newRow("right time to condition") << RightKey << 0 << 0 << 15 << DefaultRow << true << 0 << 1 << false << false << "";
    QTest::newRow("right bell 1 off skips to bell 2") << RightKey << 0 << 1 << 15 << DefaultRow << true << 0 << 4 << false << false << "";
    QTest::newRow("right bell 1 on to its action") << RightKey << 0 << 1 << 15 << bothOn << true << 0 << 2 << false << false << "";
    QTest::newRow("right action to seconds") << RightKey << 0 << 2 << 15 << bothOn << true << 0 << 3 << false << false << "";
    QTest::newRow("right bell 2 off skips to light") << RightKey << 0 << 4 << 15 << DefaultRow << true << 0 << 7 << false << false << "";
    QTest::newRow("right bell 2 on, bell 1 off") << RightKey << 0 << 4 << 15 << onlyBell2On << true << 0 << 5 << false << false << "";
    QTest::newRow("right bell 2 on copies bell 1") << RightKey << 0 << 4 << 15 << bothOn << true << 0 << 7 << false << false << "2>5,3>6";
    QTest::newRow("right bell 2 blank, bell 1 on copies") << RightKey << 0 << 4 << 15 << QStringLiteral(",ON,CONT,3,,CONT,,OC") << true << 0 << 7 << false << false << "2>5,3>6";
    QTest::newRow("right from time with OFF text does not skip") << RightKey << 0 << 0 << 15 << QStringLiteral("OFF,OFF,CONT,,OFF,CONT,,OC") << true << 0 << 1 << false << false << "";
    QTest::newRow("right seconds 2 to light") << RightKey << 0 << 6 << 15 << onlyBell2On << true << 0 << 7 << false << false << "";
    QTest::newRow("right light to next row") << RightKey << 3 << 7 << 15 << DefaultRow << true << 4 << 0 << false << false << "";
    QTest::newRow("right light of last row grows") << RightKey << 14 << 7 << 15 << DefaultRow << true << 15 << 0 << true << false << "";
    QTest::newRow("right light of second last row") << RightKey << 13 << 7 << 15 << DefaultRow << true << 14 << 0 << false << false << "";

    QTest::newRow("left light, bell 2 off") << LeftKey << 0 << 7 << 15 << DefaultRow << true << 0 << 4 << false << false << "";
    QTest::newRow("left light, bell 2 on") << LeftKey << 0 << 7 << 15 << bothOn << true << 0 << 4 << false << false << "";
    QTest::newRow("left light, bell 2 other") << LeftKey << 0 << 7 << 15 << bell2Blank << true << 0 << 6 << false << false << "";
    QTest::newRow("left bell 2 action, bell 1 on copies back") << LeftKey << 0 << 5 << 15 << bothOn << true << 0 << 4 << false << false << "5>2";
    QTest::newRow("left bell 2 action, bell 1 off") << LeftKey << 0 << 5 << 15 << onlyBell2On << true << 0 << 4 << false << false << "";
    QTest::newRow("left condition to time") << LeftKey << 0 << 1 << 15 << DefaultRow << true << 0 << 0 << false << false << "";
    QTest::newRow("left seconds to action") << LeftKey << 2 << 3 << 15 << DefaultRow << true << 2 << 2 << false << false << "";
    QTest::newRow("left time wraps from second last row") << LeftKey << 13 << 0 << 15 << DefaultRow << true << 12 << 7 << false << false << "";
    QTest::newRow("left time wraps from last row") << LeftKey << 14 << 0 << 15 << DefaultRow << true << 13 << 7 << false << false << "";
    QTest::newRow("left time stays above the last two rows") << LeftKey << 12 << 0 << 15 << DefaultRow << true << 12 << 0 << false << false << "";
    QTest::newRow("left time stays in row 5") << LeftKey << 5 << 0 << 15 << DefaultRow << true << 5 << 0 << false << false << "";
    QTest::newRow("left time stays in row 0") << LeftKey << 0 << 0 << 15 << DefaultRow << true << 0 << 0 << false << false << "";
    QTest::newRow("left time stays in a single row") << LeftKey << 0 << 0 << 1 << DefaultRow << true << 0 << 0 << false << false << "";
    QTest::newRow("left time wraps in two rows") << LeftKey << 1 << 0 << 2 << DefaultRow << true << 0 << 7 << false << false << "";

    QTest::newRow("up at row 0 is not consumed") << UpKey << 0 << 3 << 15 << DefaultRow << false << 0 << 0 << false << false << "";
    QTest::newRow("up from row 5") << UpKey << 5 << 3 << 15 << DefaultRow << true << 4 << 3 << false << false << "";

    QTest::newRow("down in the middle") << DownKey << 5 << 2 << 15 << DefaultRow << true << 6 << 2 << false << false << "";
    QTest::newRow("down above the last two rows") << DownKey << 12 << 2 << 15 << DefaultRow << true << 13 << 2 << false << false << "";
    QTest::newRow("down from second last row grows") << DownKey << 13 << 2 << 15 << DefaultRow << true << 14 << 2 << true << false << "";
    QTest::newRow("down from last row grows") << DownKey << 14 << 6 << 15 << DefaultRow << true << 15 << 6 << true << false << "";
    QTest::newRow("down in a single row grows") << DownKey << 0 << 0 << 1 << DefaultRow << true << 1 << 0 << true << false << "";

    QTest::newRow("delete a middle row") << DeleteKey << 5 << 3 << 15 << DefaultRow << true << 5 << 3 << false << true << "";
    QTest::newRow("delete in the time column") << DeleteKey << 5 << 0 << 15 << DefaultRow << true << 5 << 0 << false << true << "";
    QTest::newRow("delete the last row") << DeleteKey << 14 << 2 << 15 << DefaultRow << true << 13 << 2 << false << true << "";
    QTest::newRow("delete the only row") << DeleteKey << 0 << 5 << 1 << DefaultRow << true << 0 << 1 << false << false << "";
    QTest::newRow("delete one of two rows") << DeleteKey << 1 << 0 << 2 << DefaultRow << true << 0 << 0 << false << true << "";

    QTest::newRow("enter does not move") << EnterKey << 3 << 1 << 15 << DefaultRow << false << 0 << 0 << false << false << "";
    // clang-format on
}

void tst_BellRules::moves()
{
    QFETCH(KeyCode, key);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, rowCount);
    QFETCH(QString, rowTexts);
    QFETCH(bool, consumed);

    const MovePlan plan = planMove(key, row, column, rowCount, cells(rowTexts));
    QCOMPARE(plan.consumed, consumed);
    if (!consumed)
        return;
    QTEST(plan.row, "newRow");
    QTEST(plan.column, "newColumn");
    QTEST(plan.appendRow, "append");
    QTEST(plan.removeRow, "remove");
    QFETCH(QString, copies);
    QCOMPARE(plan.copies, ::copies(copies));
}

QTEST_GUILESS_MAIN(tst_BellRules)
#include "tst_bellrules.moc"
