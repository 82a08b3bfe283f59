#include "simcontroller.h"

#include <QTest>

using qmvsim::Command;

namespace {

// A command in a few words, so a table row can say what the parser should make of the bytes.
QString brief(const Command &command)
{
    switch (command.kind) {
    case Command::Connect:
        return QStringLiteral("B");
    case Command::Erase:
        return QStringLiteral("E");
    case Command::Finish:
        return QStringLiteral("F");
    case Command::ProgramStart:
        return QStringLiteral("P %1").arg(command.program);
    case Command::SetTime:
        return QStringLiteral("T %1 %2")
            .arg(QString::fromLatin1(command.time))
            .arg(command.weekday);
    case Command::BellRow:
        return QStringLiteral("D %1 %2 %3")
            .arg(QString::fromLatin1(command.time))
            .arg(command.flags)
            .arg(command.seconds);
    case Command::Schedule:
        return QStringLiteral("W %1 %2").arg(QString::fromLatin1(command.bell1),
                                             QString::fromLatin1(command.bell2));
    case Command::Unknown:
        break;
    }
    return QStringLiteral("? ") + QString::fromLatin1(command.bytes.toPercentEncoding());
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void parser_data();
    void parser();
};

void tst_Simulator::parser_data()
{
    QTest::addColumn<QByteArrayList>("reads");
    QTest::addColumn<bool>("gapAtEnd"); // no further byte came in time
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("P1 with a bell row in one burst")
        << QByteArrayList{"P1D07:4523105"} << false << QStringList{"P 1", "D 07:45 231 5"};
    QTest::newRow("W with both schedule rows in one burst")
        << QByteArrayList{"W11111222222211"} << false << QStringList{"W 1111122 2222211"};
    QTest::newRow("W and its rows in three reads")
        << QByteArrayList{"W", "1111122", "2222211"} << false << QStringList{"W 1111122 2222211"};
    QTest::newRow("connect, erase, time in one burst")
        << QByteArrayList{"BET08:303"} << false << QStringList{"B", "E", "T 08:30 3"};
    QTest::newRow("bell row split across reads")
        << QByteArrayList{"D07:4", "523", "105"} << false << QStringList{"D 07:45 231 5"};
    QTest::newRow("three-digit seconds")
        << QByteArrayList{"D12:00071120"} << false << QStringList{"D 12:00 71 120"};
    QTest::newRow("seconds 10 to 25 wait for a third digit")
        << QByteArrayList{"D12:0007112"} << false << QStringList();
    QTest::newRow("seconds 10 to 25 end after the gap")
        << QByteArrayList{"D12:0007112"} << true << QStringList{"D 12:00 71 12"};
    QTest::newRow("seconds 10 to 25 end at the next command")
        << QByteArrayList{"D12:0007112", "P2"} << false << QStringList{"D 12:00 71 12", "P 2"};
    QTest::newRow("third digit in the next read")
        << QByteArrayList{"D12:0007125", "5"} << false << QStringList{"D 12:00 71 255"};
    QTest::newRow("seconds above 25 cannot grow")
        << QByteArrayList{"D12:0007159"} << false << QStringList{"D 12:00 71 59"};
    QTest::newRow("four-character time")
        << QByteArrayList{"D7:4523105"} << false << QStringList{"D 7:45 231 5"};
    QTest::newRow("time cut from a 12-hour clock")
        << QByteArrayList{"T8:30:7"} << false << QStringList{"T 8:30: 7"};
    QTest::newRow("line ends between commands")
        << QByteArrayList{"B\r\nE"} << false << QStringList{"B", "? %0D", "? %0A", "E"};
    QTest::newRow("broken row then a command")
        << QByteArrayList{"D07:4XB"} << false << QStringList{"? D07%3A4", "? X", "B"};
    QTest::newRow("program number out of range")
        << QByteArrayList{"P4P1"} << false << QStringList{"? P", "? 4", "P 1"};
    QTest::newRow("weekday 0 is no time command")
        << QByteArrayList{"T08:300F"} << false << QStringList{"? T08%3A30", "? 0", "F"};
    QTest::newRow("schedule row cut short by the end command")
        << QByteArrayList{"W111F"} << false << QStringList{"? W111", "F"};
}

void tst_Simulator::parser()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(bool, gapAtEnd);
    QFETCH(QStringList, commands);

    qmvsim::Parser parser;
    QStringList seen;
    for (const QByteArray &read : reads) {
        for (const Command &command : parser.feed(read))
            seen << brief(command);
    }
    if (gapAtEnd) {
        QVERIFY(parser.awaitingDigit());
        for (const Command &command : parser.finish())
            seen << brief(command);
    }
    QCOMPARE(seen, commands);
}

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
