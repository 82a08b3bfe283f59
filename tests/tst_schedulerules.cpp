#include "schedulerules.h"

#include <QtTest>

using namespace qmv::schedule;
using qmv::bell::KeyCode;

Q_DECLARE_METATYPE(qmv::bell::KeyCode)
Q_DECLARE_METATYPE(qmv::schedule::Focus)

class tst_ScheduleRules : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void moves_data();
    void moves();
};

void tst_ScheduleRules::check_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");

    QTest::newRow("one") << "1"
                         << "1";
    QTest::newRow("two") << "2"
                         << "2";
    QTest::newRow("three") << "3"
                           << "3";
    QTest::newRow("blanks around kept") << " 2 "
                                        << " 2 ";
    QTest::newRow("fraction inside the range") << "2.5"
                                               << "2.5";
    QTest::newRow("leading zero") << "01"
                                  << "01";
    QTest::newRow("explicit sign") << "+1"
                                   << "+1";
    QTest::newRow("zero") << "0"
                          << "3";
    QTest::newRow("four") << "4"
                          << "3";
    QTest::newRow("just above three") << "3.01"
                                      << "3";
    QTest::newRow("just below one") << "0.99"
                                    << "3";
    QTest::newRow("negative") << "-1"
                              << "3";
    QTest::newRow("letter") << "x"
                            << "3";
    QTest::newRow("empty") << ""
                           << "3";
    QTest::newRow("blanks only") << "   "
                                 << "3";
    QTest::newRow("two numbers") << "1 2"
                                 << "3";
    QTest::newRow("exponent") << "1e0"
                              << "3";
    QTest::newRow("tab is not a blank") << "\t2"
                                        << "3";
}

void tst_ScheduleRules::check()
{
    QFETCH(QString, typed);
    QFETCH(QString, cell);

    QCOMPARE(checkedCell(typed), cell);
    QCOMPARE(isValidProgram(typed), cell == typed);
}

void tst_ScheduleRules::moves_data()
{
    QTest::addColumn<KeyCode>("key");
    QTest::addColumn<QPoint>("from"); // column, row
    QTest::addColumn<bool>("check");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<Focus>("focus");

    using K = qmv::bell::KeyCode;
    const Focus both = Focus::TableThenBox;
    // clang-format off
    QTest::newRow("left inside the row")       << K::LeftKey << QPoint(3, 0) << true << true << QPoint(2, 0) << both;
    QTest::newRow("left wraps to sunday above") << K::LeftKey << QPoint(0, 1) << true << true << QPoint(6, 0) << both;
    QTest::newRow("left at the first cell")    << K::LeftKey << QPoint(0, 0) << true << false << QPoint(0, 0) << Focus::Box;
    QTest::newRow("up from bell 2")            << K::UpKey << QPoint(4, 1) << true << true << QPoint(4, 0) << both;
    QTest::newRow("up at bell 1")              << K::UpKey << QPoint(4, 0) << true << false << QPoint(4, 0) << Focus::None;
    QTest::newRow("right inside the row")      << K::RightKey << QPoint(0, 0) << true << true << QPoint(1, 0) << both;
    QTest::newRow("right wraps to monday below") << K::RightKey << QPoint(6, 0) << true << true << QPoint(0, 1) << both;
    QTest::newRow("right at the last cell")    << K::RightKey << QPoint(6, 1) << true << false << QPoint(6, 1) << Focus::Box;
    QTest::newRow("down from bell 1")          << K::DownKey << QPoint(2, 0) << true << true << QPoint(2, 1) << both;
    QTest::newRow("down at bell 2")            << K::DownKey << QPoint(2, 1) << true << false << QPoint(2, 1) << both;
    QTest::newRow("enter is no move")          << K::EnterKey << QPoint(2, 1) << false << false << QPoint(2, 1) << Focus::None;
    QTest::newRow("delete is no move")         << K::DeleteKey << QPoint(2, 0) << false << false << QPoint(2, 0) << Focus::None;
    QTest::newRow("other key")                 << K::NoKey << QPoint(5, 0) << false << false << QPoint(5, 0) << Focus::None;
    // clang-format on
}

void tst_ScheduleRules::moves()
{
    QFETCH(KeyCode, key);
    QFETCH(QPoint, from);
    QFETCH(bool, check);
    QFETCH(bool, moves);
    QFETCH(QPoint, to);
    QFETCH(Focus, focus);

    const SchedulePlan plan = planMove(key, from.y(), from.x(), 2, 7);
    QCOMPARE(plan.check, check);
    QCOMPARE(plan.moves, moves);
    QCOMPARE(QPoint(plan.column, plan.row), to);
    QCOMPARE(plan.focus, focus);
}

QTEST_GUILESS_MAIN(tst_ScheduleRules)
#include "tst_schedulerules.moc"
