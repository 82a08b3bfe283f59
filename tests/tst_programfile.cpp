#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmv;

namespace {

// One default bell row and the default schedule as they stand in a file, written out by hand.
const QByteArray DefaultRow = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QByteArray DefaultSchedule = "3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3";

QByteArray rows(int count)
{
    return QByteArrayList(count, DefaultRow).join('\r');
}

QByteArray newFileBytes()
{
    const QByteArray block = "\r\n15\r\n" + rows(15) + "\r\n";
    return ":P1" + block + ":P2" + block + ":P3" + block + "\r\n\r\n\r\n2\r\n" + DefaultSchedule +
           "\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_ProgramFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(paths::tmpDir()) && QDir().mkpath(paths::dataDir()));
    }

    void lineSplitting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("windowslinebreaks") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
        QTest::newRow("unixlinebreaks") << QByteArray("a\nb\n") << QByteArrayList{"a", "b"};
        QTest::newRow("lonecr") << QByteArray("a\rb\r\nc") << QByteArrayList{"a\rb", "c"};
        QTest::newRow("crcrlf") << QByteArray("a\r\r\n") << QByteArrayList{"a\r"};
        QTest::newRow("emptylines") << QByteArray("\r\n\r\n") << QByteArrayList{"", ""};
        QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    }

    void lineSplitting()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, lines);
        QCOMPARE(splitLines(bytes), lines);
    }

    void newFileAndTwentyRowProgram()
    {
        const ProgramFile fresh{{defaultBellTable(), defaultBellTable(), defaultBellTable()},
                                defaultSchedule()};
        QCOMPARE(programFileBytes(fresh), newFileBytes());
        const QByteArray bytes =
            newFileBytes().replace(":P2\r\n15\r\n" + rows(15), ":P2\r\n20\r\n" + rows(20));
        ParseError error;
        const auto file = parseProgramFile(bytes, &error);
        QVERIFY2(file, qPrintable(error.toString()));
        QCOMPARE(file->programs[1].rowCount(), 20);
        QCOMPARE(programFileBytes(*file), bytes);
    }

    void damagedFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("what");
        const QByteArray good = newFileBytes();
        auto with = [&good](const QByteArray &from, const QByteArray &to) {
            return QByteArray(good).replace(good.indexOf(from), from.size(), to);
        };
        auto row = [](const char *name, const QByteArray &bytes, int line, const QString &what) {
            QTest::newRow(name) << bytes << line << what;
        };
        const QString badCount = "the row count is not a whole number of at least 1";
        const QString holds = "the table text holds 15 rows, the row count says %1";
        const QString cells = "row 1 of the table text holds %1 cells, not %2";
        row("empty", {}, 0, "the file has 0 lines, not 14");
        row("thirteenlines", good.left(good.lastIndexOf(DefaultSchedule)), 13,
            "the file has 13 lines, not 14");
        row("extraline", good + "\r\n", 15, "unexpected text after line 14");
        row("rowcountnotanumber", with("15\r\n", "1x\r\n"), 2, badCount);
        row("rowcountzero", with("15\r\n", "0\r\n"), 2, badCount);
        row("rowcountnegative", with("15\r\n", "-15\r\n"), 2, badCount);
        row("rowcounthuge", with("15\r\n", "999999999\r\n"), 3, holds.arg(999999999));
        row("fewerrows", with("15\r\n", "16\r\n"), 3, holds.arg(16));
        row("missingcell", with(DefaultRow + "\r", "\tOFF\r"), 3, cells.arg(2).arg(8));
        row("extracell", with(":P3\r\n15\r\n\t", ":P3\r\n15\r\n\t\t"), 9, cells.arg(9).arg(8));
        row("schedulerows", with("\r\n2\r\n", "\r\n3\r\n"), 13, "the row count is 3, not 2");
        row("schedulecells", with("3\t3\r3", "3\r3"), 14, cells.arg(6).arg(7));
    }

    void damagedFileIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, what);
        ParseError error;
        QVERIFY(!parseProgramFile(bytes, &error));
        QCOMPARE(error.line, line);
        QCOMPARE(error.what, what);
    }

    void joinRefusesAndKeepsOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("temp2"); // "<missing>" removes the working file
        const QByteArray good = ":P2\r\n1\r\n" + DefaultRow + "\r\n";
        QTest::newRow("workingfilemissing") << "week1.qmv" << QByteArray("<missing>");
        QTest::newRow("workingfiledamaged") << "week1.qmv" << QByteArray(":P2\r\n2\r\n\r\n");
        QTest::newRow("parentfolder") << "../escape.qmv" << good;
        QTest::newRow("subfolder") << "sub/x.qmv" << good;
        QTest::newRow("backslash") << "..\\escape.qmv" << good;
        QTest::newRow("dotdot") << ".." << good;
        QTest::newRow("empty") << "" << good;
    }

    void joinRefusesAndKeepsOldFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, temp2);
        const CellTable one = defaultBellTable(1);
        QCOMPARE(splitIntoWorkingFiles({{one, one, one}, defaultSchedule()}), QString());
        QVERIFY(temp2 == "<missing>" ? QFile::remove(paths::workingFile(2))
                                     : writeAll(paths::workingFile(2), temp2));
        QVERIFY(writeAll(paths::programFile("week1.qmv"), "old content"));
        QVERIFY(!joinWorkingFiles(name).isEmpty());
        QCOMPARE(readAll(paths::programFile("week1.qmv")), QByteArray("old content"));
        const auto all = QDir::AllEntries | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(paths::dataDir()).entryList(all), QStringList{"week1.qmv"});
        QCOMPARE(QDir(m_root.path()).entryList(all), (QStringList{"qmvdata", "tmpqmv"}));
    }

private:
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(tst_ProgramFile)
#include "tst_programfile.moc"
