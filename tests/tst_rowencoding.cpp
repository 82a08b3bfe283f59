#include "rowencoding.h"

#include <QtTest>

using namespace qmv;

class tst_RowEncoding : public QObject
{
    Q_OBJECT

private slots:
    void bellRow_data();
    void bellRow();
    void clockText_data();
    void clockText();
    void timeCommandWeekDays_data();
    void timeCommandWeekDays();
    void scheduleRow_data();
    void scheduleRow();
};

void tst_RowEncoding::bellRow_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("command");

    const int send = BellRowEncoding::Send;
    const int end = BellRowEncoding::EndOfProgram;
    const int refused = BellRowEncoding::Refused;
    QTest::newRow("bell1pulse") << QStringList{"07:45", "ON", "PULSE", "5", "OFF", "CONT", "", "OC"}
                                << send << QByteArray("D07:4523105");
    QTest::newRow("bothbellslighton")
        << QStringList{"12:00", "ON", "CONT", "10", "ON", "PULSE", "20", "ON"} << send
        << QByteArray("D12:0007110");
    QTest::newRow("bell1offpulseignored")
        << QStringList{"16:30", "OFF", "PULSE", "9", "ON", "CONT", "3", "OFF"} << send
        << QByteArray("D16:3015903");
    QTest::newRow("bothpulsebitclearedonce")
        << QStringList{"06:00", "ON", "PULSE", "1", "ON", "PULSE", "2", "OC"} << send
        << QByteArray("D06:0019901");
    QTest::newRow("silentrow") << QStringList{"23:59", "OFF", "CONT", "", "OFF", "CONT", "", "OC"}
                               << send << QByteArray("D23:5925500");
    QTest::newRow("threedigitseconds")
        << QStringList{"08:00", "ON", "CONT", "120", "OFF", "CONT", "", "OC"} << send
        << QByteArray("D08:00239120");
    QTest::newRow("halfroundsdowntoeven")
        << QStringList{"08:00", "ON", "CONT", "2.5", "OFF", "CONT", "", "OC"} << send
        << QByteArray("D08:0023902");
    QTest::newRow("halfroundsuptoeven")
        << QStringList{"08:00", "ON", "CONT", "3.5", "OFF", "CONT", "", "OC"} << send
        << QByteArray("D08:0023904");
    QTest::newRow("emptysecondsgivezero")
        << QStringList{"08:00", "ON", "CONT", "", "OFF", "CONT", "", "OC"} << send
        << QByteArray("D08:0023900");
    QTest::newRow("trimmedwords") << QStringList{" 09:15 ", " ON ", "PULSE ", " 7",
                                                 "OFF",     "CONT", "",       " OFF"}
                                  << send << QByteArray("D09:1516707");
    QTest::newRow("lowercasewordsdonotmatch")
        << QStringList{"09:15", "on", "pulse", "7", "OFF", "CONT", "", "on"} << send
        << QByteArray("D09:1525500");
    QTest::newRow("emptytimeends")
        << QStringList{"", "ON", "CONT", "5", "OFF", "CONT", "", "OC"} << end << QByteArray();
    QTest::newRow("blanktimeends")
        << QStringList{"     ", "ON", "CONT", "5", "OFF", "CONT", "", "OC"} << end << QByteArray();
    QTest::newRow("shorttimeends")
        << QStringList{"7:45", "ON", "CONT", "5", "OFF", "CONT", "", "OC"} << end << QByteArray();
    QTest::newRow("leadingspacetimerefused")
        << QStringList{" 7:45", "ON", "CONT", "5", "OFF", "CONT", "", "OC"} << refused
        << QByteArray();
    QTest::newRow("badtimerefused")
        << QStringList{"24:00", "OFF", "CONT", "", "OFF", "CONT", "", "OC"} << refused
        << QByteArray();
    QTest::newRow("negativesecondsrefused")
        << QStringList{"08:00", "ON", "CONT", "-5", "OFF", "CONT", "", "OC"} << refused
        << QByteArray();
    QTest::newRow("hugesecondsrefused")
        << QStringList{"08:00", "OFF", "CONT", "", "ON", "CONT", "256", "OC"} << refused
        << QByteArray();
    QTest::newRow("offbellsecondsnotlookedat")
        << QStringList{"08:00", "OFF", "CONT", "999", "OFF", "CONT", "", "OC"} << send
        << QByteArray("D08:0025500");
}

void tst_RowEncoding::bellRow()
{
    QFETCH(QStringList, cells);
    QFETCH(int, outcome);
    QFETCH(QByteArray, command);
    const BellRowEncoding encoded = encodeBellRow(cells);
    QCOMPARE(int(encoded.outcome), outcome);
    QCOMPARE(encoded.command, command);
    QCOMPARE(encoded.reason.isEmpty(), outcome != BellRowEncoding::Refused);
}

void tst_RowEncoding::clockText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("valid") << "08:30"
                           << "08:30";
    QTest::newRow("noleadingzero") << "8:30"
                                   << "08:30";
    QTest::newRow("withseconds") << "08:30:15"
                                 << "08:30";
    QTest::newRow("blanks") << " 17:05 "
                            << "17:05";
    QTest::newRow("garbage") << "abc"
                             << "13:14";
    QTest::newRow("hourtoolarge") << "24:00"
                                  << "13:14";
    QTest::newRow("twelvehourform") << "8:30: AM"
                                    << "13:14";
    QTest::newRow("empty") << ""
                           << "13:14";
}

void tst_RowEncoding::clockText()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QCOMPARE(clockTextToSend(typed, QTime(13, 14, 59)), sent);
}

void tst_RowEncoding::timeCommandWeekDays_data()
{
    QTest::addColumn<int>("weekDayIndex");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("sunday") << 0 << QByteArray("T08:301");
    QTest::newRow("tuesday") << 2 << QByteArray("T08:303");
    QTest::newRow("saturday") << 6 << QByteArray("T08:307");
}

void tst_RowEncoding::timeCommandWeekDays()
{
    QFETCH(int, weekDayIndex);
    QFETCH(QByteArray, command);
    QCOMPARE(timeCommand(QStringLiteral("08:30"), weekDayIndex), command);
}

void tst_RowEncoding::scheduleRow_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("why");
    QTest::newRow("weekdaysandweekend")
        << QStringList{"1", "1", "1", "1", "1", "2", "2"} << QByteArray("1111122") << QString();
    QTest::newRow("trimmed") << QStringList{" 3", "3 ", "3", "3", "3", "3", "3"}
                             << QByteArray("3333333") << QString();
    QTest::newRow("zero") << QStringList{"1", "0", "1", "1", "1", "1", "1"} << QByteArray()
                          << "Bell 2, Tuesday holds \"0\", not a program 1, 2 or 3";
    QTest::newRow("fraction") << QStringList{"1", "1", "1", "1", "1", "1", "2.5"} << QByteArray()
                              << "Bell 2, Sun holds \"2.5\", not a program 1, 2 or 3";
    QTest::newRow("empty") << QStringList{"", "1", "1", "1", "1", "1", "1"} << QByteArray()
                           << "Bell 2, Monday holds \"\", not a program 1, 2 or 3";
}

void tst_RowEncoding::scheduleRow()
{
    QFETCH(QStringList, cells);
    QFETCH(QByteArray, command);
    QFETCH(QString, why);
    QString reason;
    const auto sent = scheduleRowCommand(cells, 1, &reason);
    QCOMPARE(sent.value_or(QByteArray()), command);
    QCOMPARE(reason, why);
}

QTEST_GUILESS_MAIN(tst_RowEncoding)
#include "tst_rowencoding.moc"
