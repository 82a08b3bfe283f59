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

Command parsed(const QByteArray &bytes)
{
    qmvsim::Parser parser;
    QList<Command> commands = parser.feed(bytes);
    commands += parser.finish();
    return commands.value(0);
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void parser_data();
    void parser();
    void responder_data();
    void responder();
    void timetable();
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

void tst_Simulator::responder_data()
{
    QTest::addColumn<QStringList>("faults"); // letter=value
    QTest::addColumn<QByteArrayList>("commands");
    QTest::addColumn<QStringList>("replies"); // bytes@delay, per command joined by "|"

    QTest::newRow("plain answers") << QStringList()
                                   << QByteArrayList{"B",
                                                     "E",
                                                     "T08:303",
                                                     "P1",
                                                     "D07:4523105",
                                                     "W1111122"
                                                     "1111122",
                                                     "F"}
                                   << QStringList{"R@0", "A@0 C@1000", "J@0", "", "H@0", "L@0", ""};
    QTest::newRow("R from the third B on")
        << QStringList{"answerAfter R=3"} << QByteArrayList{"B", "B", "B", "B"}
        << QStringList{"", "", "R@0", "R@0"};
    QTest::newRow("erase time and a late C") << QStringList{"erase=250", "delay C=50"}
                                             << QByteArrayList{"E"} << QStringList{"A@0 C@300"};
    QTest::newRow("no A, C still comes")
        << QStringList{"silent A"} << QByteArrayList{"E"} << QStringList{"C@1000"};
    QTest::newRow("H with a line end")
        << QStringList{"noise H=\r\n"} << QByteArrayList{"D07:4523105"} << QStringList{"H\r\n@0"};
    QTest::newRow("J replaced") << QStringList{"reply J=K"} << QByteArrayList{"T08:303"}
                                << QStringList{"K@0"};
}

void tst_Simulator::responder()
{
    QFETCH(QStringList, faults);
    QFETCH(QByteArrayList, commands);
    QFETCH(QStringList, replies);

    qmvsim::Faults settings;
    for (const QString &fault : faults) {
        const QString value = fault.section(QLatin1Char('='), 1);
        const char letter = fault.section(QLatin1Char('='), 0, 0).back().toLatin1();
        if (fault.startsWith(QLatin1String("answerAfter")))
            settings.answerAfter[letter] = value.toInt();
        else if (fault.startsWith(QLatin1String("erase")))
            settings.eraseMs = value.toInt();
        else if (fault.startsWith(QLatin1String("delay")))
            settings.delayMs[letter] = value.toInt();
        else if (fault.startsWith(QLatin1String("silent")))
            settings.silent.insert(letter);
        else if (fault.startsWith(QLatin1String("noise")))
            settings.noise[letter] = value.toLatin1();
        else if (fault.startsWith(QLatin1String("reply")))
            settings.reply[letter] = value.toLatin1();
    }
    qmvsim::Responder responder(settings);
    QStringList seen;
    for (const QByteArray &bytes : commands) {
        QStringList answers;
        for (const qmvsim::Reply &reply : responder.answer(parsed(bytes)))
            answers
                << QStringLiteral("%1@%2").arg(QString::fromLatin1(reply.bytes)).arg(reply.delayMs);
        seen << answers.join(QLatin1Char(' '));
    }
    QCOMPARE(seen, replies);
}

void tst_Simulator::timetable()
{
    qmvsim::Timetable table;
    for (const QByteArray &bytes : QByteArrayList{"T8:30:7", "P1", "D07:4523105", "P2", "P3",
                                                  "D23:5925500", "W22222111111133"})
        table.add(parsed(bytes));
    QCOMPARE(table.text(), QStringLiteral("Clock: 8:30:, Saturday\n"
                                          "Program 1: 1 rows\n"
                                          "  07:45    5 s  bell 1 PULSE, light unchanged (231)\n"
                                          "Program 2: 0 rows\n"
                                          "Program 3: 1 rows\n"
                                          "  23:59    0 s  bells silent, light unchanged (255)\n"
                                          "Schedule    Mo Tu We Th Fr Sa Su\n"
                                          "  Bell 1    2  2  2  2  2  1  1\n"
                                          "  Bell 2    1  1  1  1  1  3  3\n"));
}

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
