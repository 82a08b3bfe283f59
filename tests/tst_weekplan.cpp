#include "commandline.h"
#include "programcheck.h"
#include "weekindex.h"
#include "weekplan.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A program file written out by hand: rows with '|' between their cells, schedule rows too.
QByteArray fileBytes(const QList<QStringList> &programs,
                     const QStringList &schedule = {"1|1|1|1|1|1|1", "1|1|1|1|1|1|1"})
{
    QByteArray bytes;
    for (int p = 0; p < 3; ++p) {
        QStringList rows = programs.value(p);
        if (rows.isEmpty())
            rows = QStringList{"|OFF|CONT||OFF|CONT||OC"};
        bytes += ":P" + QByteArray::number(p + 1) + "\r\n" + QByteArray::number(rows.size()) +
                 "\r\n" + rows.join('\r').replace('|', '\t').toLatin1() + "\r\n";
    }
    return bytes + "\r\n\r\n\r\n2\r\n" + schedule.join('\r').replace('|', '\t').toLatin1() + "\r\n";
}

// All three programs and a schedule that mixes them: bell 2 follows program 2 on Wednesday and
// Thursday while bell 1 stays on program 1, both take program 2 on Saturday and program 3 on
// Sunday.
const QList<QStringList> WeekPrograms = {
    {"08:00|ON|CONT|5|ON|CONT|5|ON", "10:15|ON|PULSE|3|OFF|CONT||OC",
     "12:00|ON|CONT|10|ON|PULSE|20|OFF", "|OFF|CONT||OFF|CONT||OC", "14:00|ON|CONT|5|OFF|CONT||OC"},
    {"09:00|OFF|CONT||ON|CONT|4|OC", "07:30|ON|PULSE|2|OFF|CONT||OC",
     "11:00|OFF|CONT||OFF|CONT||ON", "25:00|ON|CONT|5|OFF|CONT||OC"},
    {"13:00|ON|CONT|300|OFF|CONT||OC", "13:30|ON|CONT|7|OFF|CONT||OC"}};
const QStringList WeekSchedule = {"1|1|1|1|1|2|3", "1|1|2|2|1|2|3"};
const QStringList UnsentSchedule = {"1|1|1|1|1|2|3", "1|1|2|2|1|2|x"};
const QByteArray Week = fileBytes(WeekPrograms, WeekSchedule);

QStringList eventTexts(const qmv::week::Day &day)
{
    QStringList texts;
    for (const qmv::week::Event &event : day.events)
        texts.append(qmv::week::eventText(event));
    return texts;
}

} // namespace

class tst_WeekPlan : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void week_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("programs"); // bell 1's and bell 2's
        QTest::addColumn<QStringList>("events");
        const QString afterEnd = "not sent: it comes after row 4, where the program ends";
        const QStringList program1 = {
            "08:00 P1 B1 CONT 5 s B2 CONT 5 s ON", "10:15 P1 B1 PULSE 3 s OC",
            "12:00 P1 B1 PULSE 10 s B2 PULSE 10 s OFF", "14:00 P1 row 5 " + afterEnd};
        QTest::newRow("sameprogramforbothbells") << 0 << "1/1" << program1;
        QTest::newRow("bellsfollowdifferentprograms")
            << 2 << "1/2"
            << QStringList{"08:00 P1 B1 CONT 5 s ON",
                           "09:00 P2 B2 CONT 4 s OC",
                           "10:15 P1 B1 PULSE 3 s OC",
                           "11:00 P2 ON",
                           "12:00 P1 B1 PULSE 10 s OFF",
                           "14:00 P1 row 5 " + afterEnd,
                           "25:00 P2 row 4 not sent: the time \"25:00\" is not a time hh:mm"};
        QTest::newRow("rowsoutoforderaresorted")
            << 5 << "2/2"
            << QStringList{"07:30 P2 B1 PULSE 2 s OC", "09:00 P2 B2 CONT 4 s OC", "11:00 P2 ON",
                           "25:00 P2 row 4 not sent: the time \"25:00\" is not a time hh:mm"};
        QTest::newRow("sundayfollowsprogram3")
            << 6 << "3/3"
            << QStringList{"13:00 P3 row 1 not sent: the seconds \"300\" are not from 0 to 255",
                           "13:30 P3 B1 CONT 7 s OC"};
        // The controller keeps a schedule the download does not replace: no day is known.
        QTest::newRow("schedulenotsent") << 0 << "0/0" << QStringList{};
    }

    void week()
    {
        QFETCH(int, day);
        const bool sent = QByteArray(QTest::currentDataTag()) != "schedulenotsent";
        qmv::ParseError error;
        const auto file = qmv::parseProgramFile(
            fileBytes(WeekPrograms, sent ? WeekSchedule : UnsentSchedule), &error);
        QVERIFY2(file, qPrintable(error.toString()));
        const qmv::week::WeekPlan plan = qmv::week::weekPlan(file->programs, file->schedule);
        const qmv::week::Day &got = plan.days[day];
        QTEST(QStringLiteral("%1/%2").arg(got.bell1Program).arg(got.bell2Program), "programs");
        QTEST(eventTexts(got), "events");
        QCOMPARE(plan.scheduleNotSent,
                 sent ? QString() : "Bell 2, Sun holds \"x\", not a program 1, 2 or 3");
    }

    // The week follows rows edited one at a time as it follows a whole table read at once.
    void edits_data()
    {
        QTest::addColumn<QStringList>("edits"); // "row|cells", applied in turn
        QTest::addColumn<QStringList>("events");
        const QString ring = "|ON|CONT|5|OFF|CONT||OC";
        QTest::newRow("timemoveslater")
            << QStringList{"0|09:30" + ring}
            << QStringList{"09:00 P1 B1 CONT 5 s OC", "09:30 P1 B1 CONT 5 s OC",
                           "10:00 P1 B1 CONT 5 s OC"};
        QTest::newRow("shorttimeendsprogram")
            << QStringList{"1|09:3" + ring}
            << QStringList{"08:00 P1 B1 CONT 5 s OC",
                           "10:00 P1 row 3 not sent: it comes after row 2, where the program ends",
                           "09:3 P1 row 2 not sent: the time \"09:3\" is shorter than hh:mm and "
                           "ends the program"};
        QTest::newRow("endmended")
            << QStringList{"1|09:3" + ring, "1|09:35" + ring}
            << QStringList{"08:00 P1 B1 CONT 5 s OC", "09:35 P1 B1 CONT 5 s OC",
                           "10:00 P1 B1 CONT 5 s OC"};
        QTest::newRow("sametimekeepsroworder")
            << QStringList{"2|08:00|OFF|CONT||OFF|CONT||ON", "0|10:00" + ring}
            << QStringList{"08:00 P1 ON", "09:00 P1 B1 CONT 5 s OC", "10:00 P1 B1 CONT 5 s OC"};
        QTest::newRow("timecleared")
            << QStringList{"2|" + ring}
            << QStringList{"08:00 P1 B1 CONT 5 s OC", "09:00 P1 B1 CONT 5 s OC"};
    }

    void edits()
    {
        QFETCH(QStringList, edits);
        qmv::CellTable program{qmv::BellColumns, {}};
        for (const QString &time : QStringList{"08:00", "09:00", "10:00"})
            program.rows.append((time + "|ON|CONT|5|OFF|CONT||OC").split('|'));
        qmv::week::WeekIndex index;
        index.setProgram(1, program);
        index.setSchedule({qmv::ScheduleColumns, {QStringList(7, "1"), QStringList(7, "1")}});
        for (const QString &edit : edits) {
            const QList<QStringList> row{edit.section('|', 1).split('|')};
            index.setRows(1, edit.section('|', 0, 0).toInt(), row);
        }
        QTEST(eventTexts(index.plan().days[0]), "events");
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("lines");    // %1 stands for the file's path
        QTest::addColumn<int>("exitCode");
        auto add = [](const char *name, const QByteArray &bytes, const QString &lines, int code) {
            QTest::newRow(name) << bytes << lines << code;
        };
        const QString row = "program 1, row %1: ";
        const QString ok = "08:00|ON|CONT|5|OFF|CONT||OC";
        add("shorttime", fileBytes({{"7:45" + ok.mid(5)}}),
            row.arg(1) + "not sent: the time \"7:45\" is shorter than hh:mm and ends the program",
            1);
        add("timesoutoforderandrepeated",
            fileBytes({{},
                       {},
                       {"09:00" + ok.mid(5), "08:00|OFF|CONT||OFF|CONT||ON",
                        "08:10|ON|CONT|300|OFF|CONT||OC", "08:00|OFF|CONT||OFF|CONT||OFF"}}),
            "program 3, row 2: the time 08:00 comes after 09:00 in row 1\n"
            "program 3, row 3: not sent: the seconds \"300\" are not from 0 to 255\n"
            "program 3, row 4: the time 08:00 repeats row 2",
            1);
        add("bell2ringslikebell1",
            fileBytes({{"08:00|ON|CONT|5|ON|PULSE|9|OC",
                        "09:00|ON|CONT|5|ON|CONT|99999999999999999999|OC"}}),
            row.arg(1) + "both bells ring PULSE 5 s (bell 1: CONT 5 s; bell 2: PULSE 9 s)\n" +
                row.arg(2) +
                "both bells ring CONT 5 s (bell 1: CONT 5 s; bell 2: the seconds "
                "\"99999999999999999999\" are not from 0 to 255)",
            1);
        add("schedulenotaprogram", fileBytes({}, {"1|1|4|1|1|1|1", "1|1|1|1|1|1| "}),
            "schedule: Bell 1, Wed holds \"4\", not a program 1, 2 or 3\n"
            "schedule: Bell 2, Sun holds \" \", not a program 1, 2 or 3",
            1);
        add("bellonwithoutseconds",
            fileBytes({{"08:00|ON|CONT||OFF|CONT||OC", "09:00|OFF|CONT||ON|PULSE|0|OC",
                        "10:00|ON|CONT| |ON|CONT||OC", "11:00|ON|CONT|5|OFF|CONT|0|OC"}}),
            row.arg(1) + "bell 1 is ON with no seconds (sent as 0)\n" + row.arg(2) +
                "bell 2 is ON with the seconds \"0\" (sent as 0)\n" + row.arg(3) +
                "bells 1 and 2 are ON with no seconds (sent as 0)",
            1);
        add("damagedoneline", fileBytes({}).left(3),
            "%1 is damaged: line 1: the file has 1 line, not 14", 2);
        add("missing", {}, "Cannot open %1: No such file or directory", 2);
    }

    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, lines);
        const QString path = m_dir.filePath("x.qmv");
        QFile::remove(path);
        QVERIFY(bytes.isEmpty() || qmv::writeFileAtomic(path, bytes).isEmpty());
        QString output;
        QTextStream out(&output);
        QTEST(qmv::cli::checkProgramFile(path, out), "exitCode");
        QCOMPARE(output, QString(lines).replace("%1", path) + '\n');
    }

    // `qmv --print`, with no display at all: the week on one PDF page, its days in order from
    // Monday, never over the program file it comes from, every text whole and apart from the next.
    void pdf_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("pdfName");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines"); // patterns the page's text must hold
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QString bells; // each day's programs in the header, Monday first
        for (const char *day : {"11", "11", "12", "12", "11", "22", "33"})
            bells += QString(" +B1 P%1 +B2 P%2 +Light").arg(day[0]).arg(day[1]);
        const QString days = "Monday +Tuesday +Wednesday +Thursday +Friday +Saturday +Sunday\n";
        const QStringList week = QString("week1.qmv +printed %1|%2|%3|09:00|PULSE 10 s|not sent: "
                                         "P1 row 5|program 3, row 1: not sent")
                                     .arg(today, days, bells.mid(2))
                                     .split('|');
        QTest::newRow("week") << "week1.qmv" << Week << "week.pdf" << 0 << week;
        QTest::newRow("schedulenotsent")
            << "week1.qmv" << fileBytes(WeekPrograms, UnsentSchedule) << "week.pdf" << 0
            << QStringList{"B1 P\\? +B2 P\\? +Light", "weekly schedule will not be sent",
                           "^((?!Sun holds).)*Sun holds((?!Sun holds).)*$"};
        QTest::newRow("widesttextsandlongname")
            << QString(240, 'w') + ".qmv" << fileBytes({{"08:00|ON|PULSE|255|ON|PULSE|255|OFF"}})
            << "week.pdf" << 0
            << QStringList{"w… +printed " + today, "PULSE 255 s +PULSE 255 s +OFF"};
        QTest::newRow("notesbeyondeight")
            << "week1.qmv" << fileBytes({}, {"x|x|x|x|x|x|x", "x|x|x|x|x|x|x"}) << "notes.pdf" << 0
            << QStringList{"Bell 1, Sun holds", "\\.\\.\\. and 7 more\n"};
        QTest::newRow("outputisprogramfile")
            << "week1.qmv" << Week << "week1.qmv" << 2 << QStringList();
        QTest::newRow("pdfcannotbewritten")
            << "week1.qmv" << Week << "none/week.pdf" << 2 << QStringList();
    }

    void pdf()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, pdfName);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        const QString file = m_dir.filePath(fileName), pdf = m_dir.filePath(pdfName);
        QCOMPARE(qmv::writeFileAtomic(file, bytes), QString());
        QProcess qmv;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        qmv.setProcessEnvironment(environment);
        qmv.start(QMV_BINARY, {"--print", file, "--output", pdf});
        QVERIFY(qmv.waitForFinished(20000));
        QCOMPARE(qmv.exitCode(), exitCode);
        QCOMPARE(qmv.readAllStandardError().contains(pdfName.toLatin1()), exitCode != 0);
        QByteArray kept;
        QVERIFY(qmv::readFile(file, &kept).isEmpty() && kept == bytes);
        if (exitCode != 0)
            return;
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is not installed");
        QProcess process;
        process.start(pdftotext, {"-layout", pdf, "-"});
        QVERIFY(process.waitForFinished());
        const QString got = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(got.count('\f'), 1); // one page
        for (const QString &line : lines) {
            const QRegularExpression pattern(line, QRegularExpression::DotMatchesEverythingOption);
            QVERIFY2(got.contains(pattern), qPrintable(line + " missing from:\n" + got));
        }
    }
};

QTEST_MAIN(tst_WeekPlan)
#include "tst_weekplan.moc"
