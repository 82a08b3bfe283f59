#include "rowencoding.h"

#include <QtTest>

using namespace qmv;

// Cells are written with '|' between them, so blanks inside a cell stay visible. A bell row
// gives its command, "end" or "refused"; a refused schedule row gives the reason.
class tst_RowEncoding : public QObject
{
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("sent");
        auto row = [](const char *kind, const char *name, const char *input, const QString &sent) {
            QTest::addRow("%s_%s", kind, name) << QString(input) << sent;
        };
        row("bell", "bell1pulse", "07:45|ON|PULSE|5|OFF|CONT||OC", "D07:4523105");
        row("bell", "bothbellslighton", "12:00|ON|CONT|10|ON|PULSE|20|ON", "D12:0007110");
        row("bell", "bell1offpulseignored", "16:30|OFF|PULSE|9|ON|CONT|3|OFF", "D16:3015903");
        row("bell", "bothpulsebitclearedonce", "06:00|ON|PULSE|1|ON|PULSE|2|OC", "D06:0019901");
        row("bell", "threedigitseconds", "08:00|ON|CONT|120|OFF|CONT||OC", "D08:00239120");
        row("bell", "halfroundsdowntoeven", "08:00|ON|CONT|2.5|OFF|CONT||OC", "D08:0023902");
        row("bell", "halfroundsuptoeven", "08:00|ON|CONT|3.5|OFF|CONT||OC", "D08:0023904");
        row("bell", "emptysecondsgivezero", "08:00|ON|CONT||OFF|CONT||OC", "D08:0023900");
        row("bell", "trimmedwords", " 09:15 | ON |PULSE | 7|OFF|CONT|| OFF", "D09:1516707");
        row("bell", "lowercasewordsdonotmatch", "09:15|on|pulse|7|OFF|CONT||on", "D09:1525500");
        row("bell", "emptytimeends", "|ON|CONT|5|OFF|CONT||OC", "end");
        row("bell", "shorttimeends", "7:45|ON|CONT|5|OFF|CONT||OC", "end");
        row("bell", "leadingspacetimerefused", " 7:45|ON|CONT|5|OFF|CONT||OC", "refused");
        row("bell", "badtimerefused", "24:00|OFF|CONT||OFF|CONT||OC", "refused");
        row("bell", "negativesecondsrefused", "08:00|ON|CONT|-5|OFF|CONT||OC", "refused");
        row("bell", "hugesecondsrefused", "08:00|OFF|CONT||ON|CONT|256|OC", "refused");
        row("bell", "offbellsecondsnotlookedat", "08:00|OFF|CONT|999|OFF|CONT||OC", "D08:0025500");
        row("clock", "noleadingzero", "8:30", "08:30");
        row("clock", "withseconds", "08:30:15", "08:30");
        row("clock", "blanks", " 17:05 ", "17:05");
        row("clock", "garbage", "abc", "13:14");
        row("clock", "hourtoolarge", "24:00", "13:14");
        row("clock", "twelvehourevening", "8:30 PM", "20:30");
        row("clock", "twelvehourlowercasejoined", "2:30pm", "14:30");
        row("clock", "twelvehourmidnight", "12:05 AM", "00:05");
        row("clock", "twelvehourwithseconds", "8:30:15 PM", "20:30");
        row("clock", "twelvehourcutform", "8:30: AM", "13:14");
        row("day", "sunday", "0", "T08:301");
        row("day", "saturday", "6", "T08:307");
        const QString why = "Bell 2, %1 holds \"%2\", not a program 1, 2 or 3";
        row("schedule", "weekdaysandweekend", "1|1|1|1|1|2|2", "1111122");
        row("schedule", "trimmed", " 3|3 |3|3|3|3|3", "3333333");
        row("schedule", "zero", "1|0|1|1|1|1|1", why.arg("Tuesday", "0"));
        row("schedule", "fraction", "1|1|1|1|1|1|2.5", why.arg("Sun", "2.5"));
        row("schedule", "empty", "|1|1|1|1|1|1", why.arg("Monday", ""));
    }

    void rows()
    {
        const QString kind = QString(QTest::currentDataTag()).section('_', 0, 0);
        QFETCH(QString, input);
        const QStringList cells = input.split('|');
        QString why, got;
        if (kind == "bell") {
            const BellRowEncoding row = encodeBellRow(cells);
            got = QStringList{"end", QString::fromLatin1(row.command), "refused"}[row.outcome];
        } else if (kind == "clock") {
            got = clockTextToSend(input, QTime(13, 14, 59));
        } else if (kind == "day") {
            got = QString::fromLatin1(timeCommand("08:30", input.toInt()));
        } else {
            got = scheduleRowCommand(cells, 1, &why).value_or(QByteArray());
            got += why;
        }
        QTEST(got, "sent");
    }

    // Each byte alone in a cell, or in place of or before any of its characters.
    void hostileCellNeverMalformsCommand()
    {
        const QStringList good{"07:45", "ON", "PULSE", "5", "ON", "CONT", "120", "ON"};
        static const QRegularExpression command("^D\\d\\d:\\d\\d\\d{3}\\d{2,3}$");
        for (int column = 0; column < good.size(); ++column)
            for (int b = 1; b < 256; ++b)
                for (qsizetype at = 0; at <= good[column].size(); ++at)
                    for (qsizetype cut : {0, 1, 99}) {
                        QStringList cells = good;
                        cells[column].replace(at, cut, QChar(b));
                        const BellRowEncoding row = encodeBellRow(cells);
                        QVERIFY2(row.outcome != BellRowEncoding::Send ||
                                     command.match(QString::fromLatin1(row.command)).hasMatch(),
                                 qPrintable(cells.join('|')));
                    }
    }
};

QTEST_GUILESS_MAIN(tst_RowEncoding)
#include "tst_rowencoding.moc"
