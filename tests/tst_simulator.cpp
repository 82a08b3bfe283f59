#include "simcontroller.h"

#include <QTest>

using qmvsim::Command;

namespace {

// A command in a few words, so a table row can say what the parser should make of the bytes.
QString brief(const Command &c)
{
    const QString time = QString::fromLatin1(c.time);
    switch (c.kind) {
    case Command::ProgramStart:
        return QStringLiteral("P %1").arg(c.program);
    case Command::BellRow:
        return QStringLiteral("D %1 %2 %3").arg(time).arg(c.flags).arg(c.seconds);
    case Command::Schedule:
        return QStringLiteral("W %1 %2").arg(QString::fromLatin1(c.bell1),
                                             QString::fromLatin1(c.bell2));
    default:
        return QString::fromLatin1(c.bytes.toPercentEncoding());
    }
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void parser_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QStringList>("commands");

        QTest::newRow("P1 with a bell row in one burst")
            << QByteArrayList{"P1D07:4523105"} << QStringList{"P 1", "D 07:45 231 5"};
        QTest::newRow("W with both schedule rows in one burst")
            << QByteArrayList{"W11111222222211"} << QStringList{"W 1111122 2222211"};
        QTest::newRow("broken row then a command")
            << QByteArrayList{"D07:4XB"} << QStringList{"D07%3A4", "X", "B"};
    }

    void parser()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QStringList, commands);

        qmvsim::Parser parser;
        QStringList seen;
        for (const QByteArray &read : reads) {
            for (const Command &command : parser.feed(read))
                seen << brief(command);
        }
        QCOMPARE(seen, commands);
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
