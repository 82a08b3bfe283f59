#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmv;

namespace {

// One default bell row as it stands in a file, written out by hand.
const QByteArray DefaultRow = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QByteArray DefaultSchedule = "3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3";

QByteArray rows(int count, const QByteArray &row = DefaultRow)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list.append(row);
    return list.join('\r');
}

QByteArray newFileBytes()
{
    const QByteArray clip = rows(15);
    return ":P1\r\n15\r\n" + clip + "\r\n:P2\r\n15\r\n" + clip + "\r\n:P3\r\n15\r\n" + clip +
           "\r\n\r\n\r\n\r\n2\r\n" + DefaultSchedule + "\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ProgramFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newFileIsTheFourteenLines();
    void lineSplitting_data();
    void lineSplitting();
    void twentyRowProgramRoundTrips();
    void everyByteSurvivesSplitAndJoin();
    void damagedFileIsRefused_data();
    void damagedFileIsRefused();
    void workingFiles_data();
    void workingFiles();
    void joinKeepsOldFileWhenWorkingFilesAreDamaged();
    void joinWithShellCharactersInName();

private:
    QTemporaryDir m_root;
};

void tst_ProgramFile::init()
{
    QVERIFY(m_root.isValid());
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QDir dir(m_root.path());
    dir.removeRecursively();
    QVERIFY(QDir().mkpath(paths::tmpDir()));
    QVERIFY(QDir().mkpath(paths::dataDir()));
}

void tst_ProgramFile::newFileIsTheFourteenLines()
{
    ProgramFile file{{defaultBellTable(), defaultBellTable(), defaultBellTable()},
                     defaultSchedule()};
    QCOMPARE(programFileBytes(file), newFileBytes());
    QCOMPARE(splitLines(newFileBytes()).size(), 14);
}

void tst_ProgramFile::lineSplitting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("windowslinebreaks") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("unixlinebreaks") << QByteArray("a\nb\n") << QByteArrayList{"a", "b"};
    QTest::newRow("lonecrbelongstoline")
        << QByteArray("a\rb\r\nc\r\n") << QByteArrayList{"a\rb", "c"};
    QTest::newRow("crcrlf") << QByteArray("a\r\r\n") << QByteArrayList{"a\r"};
    QTest::newRow("nofinallinebreak") << QByteArray("a\r\nb") << QByteArrayList{"a", "b"};
    QTest::newRow("emptylines") << QByteArray("\r\n\r\n") << QByteArrayList{"", ""};
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
}

void tst_ProgramFile::lineSplitting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(splitLines(bytes), lines);
}

void tst_ProgramFile::twentyRowProgramRoundTrips()
{
    QByteArray bytes = newFileBytes();
    bytes.replace(":P2\r\n15\r\n" + rows(15), ":P2\r\n20\r\n" + rows(20));
    ParseError error;
    const auto file = parseProgramFile(bytes, &error);
    QVERIFY2(file, qPrintable(error.toString()));
    QCOMPARE(file->programs[0].rowCount(), 15);
    QCOMPARE(file->programs[1].rowCount(), 20);
    QCOMPARE(file->programs[1].rows.at(19), defaultBellRow());
    QCOMPARE(programFileBytes(*file), bytes);
}

void tst_ProgramFile::everyByteSurvivesSplitAndJoin()
{
    // Every byte a cell can hold: all of 1..255 but TAB, CR and LF, spread over the cells.
    QByteArray all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\t' && b != '\r' && b != '\n')
            all.append(char(b));
    }
    QByteArrayList cells;
    for (int i = 0; i < all.size(); i += 5)
        cells.append(all.mid(i, 5));
    while (cells.size() % 8)
        cells.append(QByteArray());
    QByteArrayList rowTexts;
    for (int i = 0; i < cells.size(); i += 8)
        rowTexts.append(cells.mid(i, 8).join('\t'));
    const QByteArray clip = rowTexts.join('\r');
    const QByteArray count = QByteArray::number(rowTexts.size());
    const QByteArray original = ":P1\r\n" + count + "\r\n" + clip + "\r\n:P2\r\n15\r\n" + rows(15) +
                                "\r\n:P3\r\n" + count + "\r\n" + clip + "\r\n\r\n\r\n\r\n2\r\n" +
                                "1\t2\t3\t\xff\t\xe9\t \t3\r3\t3\t3\t3\t3\t3\t3\r\n";

    QString error;
    QFile source(m_root.path() + "/source.qmv");
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(original);
    source.close();
    const auto file = readProgramFile(source.fileName(), &error);
    QVERIFY2(file, qPrintable(error));
    QCOMPARE(splitIntoWorkingFiles(*file), QString());
    QCOMPARE(joinWorkingFiles("week1.qmv"), QString());
    QCOMPARE(readAll(paths::programFile("week1.qmv")), original);
    QVERIFY(QFile::exists(paths::joinBatch()));
    QCOMPARE(readAll(paths::joinBatch()), QByteArray());
    QCOMPARE(QDir(paths::tmpDir()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             (QStringList{"junk.bat", "temp#1", "temp#2", "temp#3"}));
}

void tst_ProgramFile::damagedFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("what");
    const QByteArray good = newFileBytes();
    auto with = [&good](const QByteArray &from, const QByteArray &to) {
        QByteArray bytes = good;
        const qsizetype at = bytes.indexOf(from);
        return bytes.replace(at, from.size(), to);
    };
    QTest::newRow("empty") << QByteArray() << 0 << "the file has 0 lines, not 14";
    QTest::newRow("thirteenlines")
        << good.left(good.lastIndexOf(DefaultSchedule)) << 13 << "the file has 13 lines, not 14";
    QTest::newRow("extraline") << good + "\r\n" << 15 << "unexpected text after line 14";
    QTest::newRow("rowcountnotanumber")
        << with("15\r\n", "1x\r\n") << 2 << "the row count is not a whole number of at least 1";
    QTest::newRow("rowcountzero") << with("15\r\n", "0\r\n") << 2
                                  << "the row count is not a whole number of at least 1";
    QTest::newRow("rowcountnegative")
        << with("15\r\n", "-15\r\n") << 2 << "the row count is not a whole number of at least 1";
    QTest::newRow("rowcounthuge") << with("15\r\n", "999999999\r\n") << 3
                                  << "the table text holds 15 rows, the row count says 999999999";
    QTest::newRow("fewerrows") << with("15\r\n", "16\r\n") << 3
                               << "the table text holds 15 rows, the row count says 16";
    QTest::newRow("missingcell") << with(DefaultRow + "\r", "\tOFF\r") << 3
                                 << "row 1 of the table text holds 2 cells, not 8";
    QTest::newRow("extracell") << with(":P3\r\n15\r\n" + DefaultRow,
                                       ":P3\r\n15\r\n" + DefaultRow + "\t")
                               << 9 << "row 1 of the table text holds 9 cells, not 8";
    QTest::newRow("schedulerows") << with("\r\n2\r\n", "\r\n3\r\n") << 13
                                  << "the row count is 3, not 2";
    QTest::newRow("schedulecells")
        << with("3\t3\r3", "3\r3") << 14 << "row 1 of the table text holds 6 cells, not 7";
}

void tst_ProgramFile::damagedFileIsRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QFETCH(QString, what);
    ParseError error;
    QVERIFY(!parseProgramFile(bytes, &error));
    QCOMPARE(error.line, line);
    QCOMPARE(error.what, what);
}

void tst_ProgramFile::workingFiles_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<bool>("withSchedule");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("program1") << 1 << false << ":P1\r\n1\r\n" + DefaultRow + "\r\n";
    QTest::newRow("program3withschedule")
        << 3 << true
        << ":P3\r\n1\r\n" + DefaultRow + "\r\n\r\n\r\n\r\n2\r\n" + DefaultSchedule + "\r\n";
}

void tst_ProgramFile::workingFiles()
{
    QFETCH(int, program);
    QFETCH(bool, withSchedule);
    QFETCH(QByteArray, bytes);
    const CellTable schedule = defaultSchedule();
    QCOMPARE(writeWorkingFile(program, defaultBellTable(1), withSchedule ? &schedule : nullptr),
             QString());
    QCOMPARE(readAll(paths::workingFile(program)), bytes);
    QString error;
    const auto read = readWorkingFile(program, withSchedule, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->bell, defaultBellTable(1));
    QCOMPARE(read->schedule.has_value(), withSchedule);
    // A program 1 file read as program 3's is too short to hold the schedule.
    if (!withSchedule) {
        QVERIFY(!readWorkingFile(program, true, &error));
        QVERIFY2(error.contains("the file has 3 lines, not 8"), qPrintable(error));
    }
}

void tst_ProgramFile::joinKeepsOldFileWhenWorkingFilesAreDamaged()
{
    const QString target = paths::programFile("week1.qmv");
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    ProgramFile file{{defaultBellTable(), defaultBellTable(), defaultBellTable()},
                     defaultSchedule()};
    QCOMPARE(splitIntoWorkingFiles(file), QString());
    QVERIFY(QFile::remove(paths::workingFile(2)));
    QVERIFY(!joinWorkingFiles("week1.qmv").isEmpty());
    QCOMPARE(readAll(target), QByteArray("old content"));
}

void tst_ProgramFile::joinWithShellCharactersInName()
{
    ProgramFile file{{defaultBellTable(), defaultBellTable(), defaultBellTable()},
                     defaultSchedule()};
    QCOMPARE(splitIntoWorkingFiles(file), QString());
    const QString name = "a & b %PATH% \"q\"; del x.qmv";
    QCOMPARE(joinWorkingFiles(name), QString());
    QCOMPARE(readAll(paths::programFile(name)), newFileBytes());
    QCOMPARE(QDir(paths::dataDir()).entryList(QDir::Files), QStringList{name});
    QVERIFY(!joinWorkingFiles("../escape.qmv").isEmpty());
    QVERIFY(!QFile::exists(paths::driveRoot() + "escape.qmv"));
}

QTEST_GUILESS_MAIN(tst_ProgramFile)
#include "tst_programfile.moc"
