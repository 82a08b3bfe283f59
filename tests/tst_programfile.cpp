#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace qmv;

namespace {

const QByteArray DefaultRow = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";

// A program file written out by hand: the same rows in all three programs.
QByteArray fileBytes(int count = DefaultBellRows, QByteArray rows = {})
{
    if (rows.isEmpty())
        rows = QByteArrayList(count, DefaultRow).join('\r');
    const QByteArray block = "\r\n" + QByteArray::number(count) + "\r\n" + rows + "\r\n";
    return ":P1" + block + ":P2" + block + ":P3" + block + "\r\n\r\n\r\n2\r\n" +
           "3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_ProgramFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_special;

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(paths::tmpDir()) && QDir().mkpath(paths::dataDir()));
        QCOMPARE(writeFileAtomic(paths::programFile("week1.qmv"), fileBytes()), QString());
    }

    // Read by line position: a file is refused, at the line named, only for what it lacks.
    void fileIsReadOrRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("what"); // empty: read as the default file
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
        row("thirteenlines", good.left(good.lastIndexOf("2\r\n") + 3), 13,
            "the file has 13 lines, not 14");
        row("unixlinebreaks", QByteArray(good).replace("\r\n", "\n"), 0, {});
        row("ctrlzandnoteafterline14", good + "\x1a\r\nnote\r\n", 0, {});
        row("signedrowcount", with("15\r\n", " +15\r\n"), 0, {});
        row("rowcountnotanumber", with("15\r\n", "1x\r\n"), 2, badCount);
        row("rowcountzero", with("15\r\n", "-0\r\n"), 2, badCount);
        row("rowcounthuge", with("15\r\n", "999999999\r\n"), 3, holds.arg(999999999));
        row("missingcell", with(DefaultRow + "\r", "\tOFF\r"), 3, cells.arg(2).arg(8));
        row("extracell", with(":P3\r\n15\r\n\t", ":P3\r\n15\r\n\t\t"), 9, cells.arg(9).arg(8));
        row("schedulerows", with("\r\n2\r\n", "\r\n3\r\n"), 13, "the row count is 3, not 2");
        row("schedulecells", with("3\t3\r3", "3\r3"), 14, cells.arg(6).arg(7));
    }

    void fileIsReadOrRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, what);
        ParseError error;
        const auto file = parseProgramFile(bytes, &error);
        QCOMPARE(error.what, what);
        QCOMPARE(error.line, line);
        QVERIFY(!file == !what.isEmpty());
        QVERIFY(!file || programFileBytes(*file) == fileBytes());
    }

    // Saved byte for byte when there is no fault, otherwise refused leaving what was there.
    void join_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("fault"); // "<badname>", "<fulldisk>" or what temp#2 holds
        auto row = [](const char *tag, const char *name, const QByteArray &bytes,
                      const QByteArray &fault = {}) {
            QTest::newRow(tag) << QString(name) << bytes << fault;
        };
        QByteArray everyByte; // every byte a cell can hold, one to a cell
        for (int b = 1, cell = 0; b < 256; ++b)
            if (b != '\t' && b != '\r' && b != '\n')
                everyByte += QByteArray(cell++ % BellColumns ? "\t" : "\r") + char(b);
        const QByteArray one = fileBytes(1);
        row("workingfiledamaged", "new.qmv", one, ":P2\r\n2\r\n\r\n");
        row("parentfolder", "../escape.qmv", one, "<badname>");
        // A file-size limit stands in for a full disk. A small file goes through the save
        // file's buffer; a large one is written straight through.
        row("fulldisksmallfile", "week1.qmv", fileBytes(14), "<fulldisk>");
        row("fulldisklargefile", "week1.qmv", fileBytes(2000), "<fulldisk>");
        row("everybyte", "bytes.qmv", fileBytes(32, everyByte.mid(1) + "\t\t\t\t"));
        row("nonascii", "Größe Ωμέγα урок 時間割.qmv", one);
    }

    void join()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, fault);
        const bool saved = fault.isNull();
        const auto parsed = parseProgramFile(bytes, nullptr);
        QVERIFY(parsed && splitIntoWorkingFiles(*parsed).isEmpty());
        if (!saved && !fault.startsWith('<'))
            QCOMPARE(writeFileAtomic(paths::workingFile(2), fault), QString());
        const QByteArray before = readAll(paths::programFile(name));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit limited{fault == "<fulldisk>" ? rlim_t(bytes.size() / 2) : old.rlim_cur,
                             old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QString error = joinWorkingFiles(name);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY2(error.isEmpty() == saved, qPrintable(error));
        QCOMPARE(readAll(paths::programFile(name)), saved ? bytes : before);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(paths::dataDir()).entryList(all).size(), saved ? 2 : 1);
        QCOMPARE(QDir(m_root.path()).entryList(all), (QStringList{"qmvdata", "tmpqmv"}));
        QCOMPARE(readAll(paths::joinBatch()), saved ? "" : "<missing>");
    }

    // The three working files are written together or not at all; a character a file cannot
    // hold is refused, naming the file, rather than written as something else.
    void writeTables_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("program");  // where the cell goes; 4: the schedule
        QTest::addColumn<bool>("blocked"); // temp#2 is a folder
        QTest::newRow("euroinprogram3") << "1€2" << 3 << false;
        QTest::newRow("tabinschedule") << "a\tb" << 4 << false;
        QTest::newRow("crinprogram1") << "a\rb" << 1 << false;
        QTest::newRow("temp2cannotbewritten") << "" << 1 << true;
    }

    void writeTables()
    {
        QFETCH(QString, cell);
        QFETCH(int, program);
        QFETCH(bool, blocked);
        const CellTable bell = defaultBellTable();
        ProgramFile file{{bell, bell, bell}, defaultSchedule()};
        (program == 4 ? file.schedule : file.programs[program - 1]).rows[0][3] = cell;
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(writeFileAtomic(paths::workingFile(n), "old"), QString());
        QVERIFY(!blocked || (QFile::remove(paths::workingFile(2)) &&
                             QDir().mkpath(paths::workingFile(2) + "/inside")));
        const QString error = splitIntoWorkingFiles(file);
        QVERIFY(error.contains(paths::workingFile(blocked ? 2 : program == 4 ? 3 : program)));
        QByteArray files;
        for (int n = 1; n <= 3; ++n)
            files += blocked && n == 2 ? "" : readAll(paths::workingFile(n));
        QCOMPARE(files, blocked ? "oldold" : "oldoldold");
    }

    // Only a regular file of a sane size is read: a FIFO would block the open, a device or a
    // file growing while it is read would never end.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("why");
        const QString fifo = m_special.filePath("fifo.qmv");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QFile large(m_special.filePath("large.qmv"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(16 * 1024 * 1024 + 1));
        QTest::newRow("fifo") << fifo << fifo + " is not a regular file";
        QTest::newRow("endlessdevice") << "/dev/zero"
                                       << "/dev/zero is not a regular file";
        QTest::newRow("overlarge")
            << large.fileName() << large.fileName() + " is too large to be a program file";
    }

    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, path);
        QByteArray bytes;
        QTEST(readFile(path, &bytes), "why");
        QVERIFY(bytes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_ProgramFile)
#include "tst_programfile.moc"
