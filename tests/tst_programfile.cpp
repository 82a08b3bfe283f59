#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qmv;

namespace {

const QByteArray DefaultRow = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QByteArray DefaultSchedule = "3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3";

// A program file written out by hand: the same rows in all three programs.
QByteArray fileBytes(const QByteArray &rows = QByteArrayList(15, DefaultRow).join('\r'),
                     const QByteArray &count = "15")
{
    const QByteArray block = "\r\n" + count + "\r\n" + rows + "\r\n";
    return ":P1" + block + ":P2" + block + ":P3" + block + "\r\n\r\n\r\n2\r\n" + DefaultSchedule +
           "\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every time filled, so that the file's size grows with its rows.
ProgramFile fileOf(int rows, const QString &time)
{
    CellTable bell = defaultBellTable(rows);
    for (QStringList &row : bell.rows)
        row.replace(0, time);
    return {{bell, bell, bell}, defaultSchedule()};
}

} // namespace

// Whatever happens to a save, the program file is the old one or the new one, complete.
class tst_ProgramFile : public QObject
{
    Q_OBJECT

    const QByteArray m_old = programFileBytes(fileOf(15, "07:00"));
    QTemporaryDir m_root;
    static QString target() { return paths::programFile("week1.qmv"); }

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(paths::tmpDir()) && QDir().mkpath(paths::dataDir()));
        QCOMPARE(writeFileAtomic(target(), m_old), QString());
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

    void newFile()
    {
        const CellTable bell = defaultBellTable();
        QCOMPARE(programFileBytes({{bell, bell, bell}, defaultSchedule()}), fileBytes());
    }

    // Every byte a cell can hold, one to a cell, comes back from the working files unchanged.
    void everyByteSurvivesSplitAndJoin()
    {
        QByteArrayList cells(4), rows;
        for (int b = 1; b < 256; ++b)
            if (b != '\t' && b != '\r' && b != '\n')
                cells.append(QByteArray(1, char(b)));
        for (qsizetype at = 0; at < cells.size(); at += BellColumns)
            rows.append(cells.mid(at, BellColumns).join('\t'));
        const QByteArray bytes = fileBytes(rows.join('\r'), "32");
        ParseError error;
        const auto file = parseProgramFile(bytes, &error);
        QVERIFY2(file, qPrintable(error.toString()));
        QCOMPARE(splitIntoWorkingFiles(*file), QString());
        QCOMPARE(joinWorkingFiles("week1.qmv"), QString());
        QCOMPARE(readAll(target()), bytes);
    }

    void damagedFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("what");
        const QByteArray good = fileBytes();
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

    // A refused join leaves the old file; a saved one reads back. Neither touches other files.
    void join_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("temp2"); // null: as split; "<missing>": removed
        QTest::addColumn<bool>("saved");
        auto row = [](const char *tag, const char *name, const QByteArray &temp2, bool saved) {
            QTest::newRow(tag) << QString(name) << temp2 << saved;
        };
        row("workingfilemissing", "new.qmv", "<missing>", false);
        row("workingfiledamaged", "new.qmv", ":P2\r\n2\r\n\r\n", false);
        row("parentfolder", "../escape.qmv", {}, false);
        row("subfolder", "sub/x.qmv", {}, false);
        row("backslash", "..\\escape.qmv", {}, false);
        row("spaces", "term 2 week 1.qmv", {}, true);
        row("quotes", "it's \"mine\".qmv", {}, true);
        row("shell", "a & b; rm -rf ~ | $(x) `y`.qmv", {}, true);
        row("percent", "100% %PATH% %1.qmv", {}, true);
        row("dotsinname", "..week..1...qmv", {}, true);
        row("nonascii", "Größe Ωμέγα урок 時間割.qmv", {}, true);
    }

    void join()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, temp2);
        QFETCH(bool, saved);
        QCOMPARE(splitIntoWorkingFiles(fileOf(1, "")), QString());
        QVERIFY(temp2.isNull() ||
                (temp2 == "<missing>" ? QFile::remove(paths::workingFile(2))
                                      : writeFileAtomic(paths::workingFile(2), temp2).isEmpty()));
        const QString error = joinWorkingFiles(name);
        QVERIFY2(error.isEmpty() == saved, qPrintable(error));
        QCOMPARE(readAll(paths::programFile(name)),
                 saved ? programFileBytes(fileOf(1, "")) : "<missing>");
        QCOMPARE(readAll(target()), m_old);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        const QStringList data = QDir(paths::dataDir()).entryList(all);
        QCOMPARE(QSet<QString>(data.cbegin(), data.cend()),
                 (QSet<QString>{"week1.qmv", saved ? name : "week1.qmv"}));
        QCOMPARE(QDir(m_root.path()).entryList(all), (QStringList{"qmvdata", "tmpqmv"}));
    }

    // A character a program file cannot hold is refused, never written as something else.
    void cellTextRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("euro") << "1€2";
        QTest::newRow("cjk") << "時";
        QTest::newRow("emoji") << "\U0001F600";
        QTest::newRow("tab") << "a\tb";
        QTest::newRow("linebreak") << "a\r\nb";
    }

    void cellTextRefused()
    {
        QFETCH(QString, text);
        CellTable bell = defaultBellTable(1);
        bell.rows[0][3] = text;
        const QString error = writeWorkingFile(1, bell);
        QVERIFY2(error.contains("cannot hold"), qPrintable(error));
        QVERIFY(!QFile::exists(paths::workingFile(1)));
    }

    void fullDiskKeepsOldFile_data()
    {
        // A file-size limit stands in for a full disk. A small file goes through the save
        // file's buffer; a large one is written straight through.
        QTest::addColumn<int>("rows");
        QTest::newRow("smallfile") << 15;
        QTest::newRow("largefile") << 2000;
    }

    void fullDiskKeepsOldFile()
    {
        QFETCH(int, rows);
        const ProgramFile file = fileOf(rows, "09:00");
        QCOMPARE(splitIntoWorkingFiles(file), QString());
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit limited{rlim_t(programFileBytes(file).size() / 2), old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QString error = joinWorkingFiles("week1.qmv");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY2(error.startsWith("Cannot write " + target()), qPrintable(error));
        QCOMPARE(readAll(target()), m_old);
    }

    void killedWhileWritingLeavesOldOrNew()
    {
        // A child saves over and over and is killed at a random moment, 40 times.
        const ProgramFile file = fileOf(2000, "08:00");
        QCOMPARE(splitIntoWorkingFiles(file), QString());
        QRandomGenerator random(20261206);
        int sawNew = 0;
        for (int round = 0; round < 40; ++round) {
            QCOMPARE(writeFileAtomic(target(), m_old), QString());
            const pid_t child = fork();
            if (child == 0) {
                for (;;)
                    joinWorkingFiles("week1.qmv");
            }
            usleep(useconds_t(random.bounded(500, 100000)));
            kill(child, SIGKILL);
            QCOMPARE(waitpid(child, nullptr, 0), child);
            const QByteArray now = readAll(target());
            QVERIFY2(now == m_old || now == programFileBytes(file), qPrintable(now.left(40)));
            sawNew += now != m_old;
        }
        QVERIFY2(sawNew > 0, "the child never finished a save; the test proves nothing");
    }
};

QTEST_GUILESS_MAIN(tst_ProgramFile)
#include "tst_programfile.moc"
