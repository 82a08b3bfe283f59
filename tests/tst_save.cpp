#include "editorfixture.h"
#include "frmdownload.h"

#include <QApplication>
#include <QPointer>

#include <sys/resource.h>

#include <csignal>

using namespace editortest;

namespace {

// DOWNLOAD without the download window: the working files are all it would read.
class DownloadCounter : public Form2
{
public:
    using Form2::Form2;
    int opened = 0;
    // Program 3's working file at the moment the window would load.
    QByteArray temp3;

protected:
    void openDownloadWindow() override
    {
        ++opened;
        temp3 = workingBytes(3);
    }
};

// The three blocks after "07:30" with bell 1 pulsing for 5 seconds went into program 1, and
// the schedule's Monday of bell 1 became "1" and its Sunday of bell 2 "2".
const QByteArray Program1Row = "07:30\tON\tPULSE\t5\tOFF\tCONT\t\tOC";
const QByteArray EditedTemp1 =
    ":P1\r\n15\r\n07:30\tON\tPULSE\t5\tOFF\tCONT\t\tOC\r" + joinedRows(14) + "\r\n";
const QByteArray DefaultTemp2 = ":P2\r\n15\r\n" + joinedRows(15) + "\r\n";
const QByteArray EditedTemp3 = ":P3\r\n15\r\n" + joinedRows(14) +
                               "\r\tON\tCONT\t9\tOFF\tCONT\t\tON\r\n\r\n\r\n\r\n2\r\n"
                               "1\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t2\r\n";

// A limit on the size of any file this process writes; writes beyond it fail with EFBIG
// instead of killing the process. Root is bound by it too, unlike file permissions.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class tst_Save : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { m.tearDown(); }

    void savedFileIsTheWorkingFiles_data();
    void savedFileIsTheWorkingFiles();
    void savingTwice();
    void savedIntoTheDataFolder();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void downloadWorkingFile_data();
    void downloadWorkingFile();
    void failedDownloadWriteOpensNothing();
    void downloadOpensOneWindowBesideTheEditor();

private:
    DownloadCounter *openAndEdit(const QString &name = QStringLiteral("week1.qmv"));
    void save() { m.click(QStringLiteral("cmdSaveProgram")); }
    void download() { m.click(QStringLiteral("cmdDownload")); }

    Fixture m;
};

// Program 1 and the schedule edited through the boxes, program 3's last row directly.
DownloadCounter *tst_Save::openAndEdit(const QString &name)
{
    auto *form = m.openNew<DownloadCounter>(name);
    if (!form)
        return nullptr;
    form->show();
    QTest::keyClicks(m.box(), QStringLiteral("07:30"));
    for (Qt::Key key :
         {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Return, Qt::Key_Right})
        QTest::keyClick(m.box(), key);
    QTest::keyClicks(m.box(), QStringLiteral("5"));
    m.next();
    m.next();
    m.grid1()->setCellText(14, 1, QStringLiteral("ON"));
    m.grid1()->setCellText(14, 3, QStringLiteral("9"));
    m.grid1()->setCellText(14, 7, QStringLiteral("ON"));
    QTest::keyClick(m.text4(), Qt::Key_Backspace);
    QTest::keyClicks(m.text4(), QStringLiteral("1"));
    QTest::keyClick(m.text4(), Qt::Key_Left);
    m.grid2()->setCurrentCell(1, 6);
    QTest::keyClick(m.text4(), Qt::Key_Backspace);
    QTest::keyClicks(m.text4(), QStringLiteral("2"));
    // The boxes stand elsewhere, so the reset to the first cells can be seen.
    m.grid1()->setCurrentCell(5, 3);
    form->PlaceTextbox();
    m.grid2()->setCurrentCell(1, 3);
    return form;
}

void tst_Save::savedFileIsTheWorkingFiles_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("plain name") << "week1.qmv";
    QTest::newRow("spaces") << "term 2 week 1.qmv";
    QTest::newRow("shell characters") << "a&b;c|d>e<f$(g)`h`%i%^j'k\"l!m*n?.qmv";
    QTest::newRow("leading dash and blanks") << "-x  y .qmv";
}

void tst_Save::savedFileIsTheWorkingFiles()
{
    QFETCH(QString, name);

    // Files a shell would have touched when the name was taken apart.
    const QStringList bystanders = {QStringLiteral("qmvdata/a"), QStringLiteral("qmvdata/b"),
                                    QStringLiteral("qmvdata/term"), QStringLiteral("tmpqmv/j1x"),
                                    QStringLiteral("qmvdata/e<f$(g)`h`%i%^j'k\"l!m*n?.qmv")};
    for (const QString &file : bystanders)
        QVERIFY(writeAll(m.root->path() + QLatin1Char('/') + file, "keep"));
    QVERIFY(openAndEdit(name));
    QCOMPARE(m.form->pgmSaved, false);

    save();

    const QByteArray expected = EditedTemp1 + DefaultTemp2 + EditedTemp3;
    QCOMPARE(readAll(qmv::paths::programFile(name)), expected);
    QCOMPARE(workingBytes(1) + workingBytes(2) + workingBytes(3), expected);
    QCOMPARE(readAll(qmv::paths::joinBatch()), QByteArray());
    QStringList files = bystanders;
    files << QStringLiteral("qmvdata/") + name << QStringLiteral("tmpqmv/junk.bat")
          << QStringLiteral("tmpqmv/temp#1") << QStringLiteral("tmpqmv/temp#2")
          << QStringLiteral("tmpqmv/temp#3");
    files.sort();
    QCOMPARE(filesBelow(m.root->path()), files);
    for (const QString &file : bystanders)
        QCOMPARE(readAll(m.root->path() + QLatin1Char('/') + file), "keep");

    QCOMPARE(m.answerer->seen().size(), 1);
    const qmvtest::SeenMessage seen = m.answerer->seen().first();
    QCOMPARE(seen.message, "Program saved...");
    QCOMPARE(seen.title, "qmv Program Save...");
    QCOMPARE(seen.style, 3);
    QCOMPARE(seen.icon, 3);
    QCOMPARE(m.form->pgmSaved, true);
    QCOMPARE(m.form->pgmCurrent, 3);

    // Both boxes stand over their table's first cell again.
    QCOMPARE(QPoint(m.grid1()->currentColumn(), m.grid1()->currentRow()), QPoint(0, 0));
    QCOMPARE(m.box()->pos(), m.grid1()->cellRect(0, 0, m.form.get()).topLeft());
    QCOMPARE(m.box()->text(), QString());
    QCOMPARE(QPoint(m.grid2()->currentColumn(), m.grid2()->currentRow()), QPoint(0, 0));
    QCOMPARE(m.text4()->geometry(), m.grid2()->cellRect(0, 0, m.form.get()));
    QCOMPARE(m.text4()->text(), "1");
    QTest::keyClicks(m.box(), QStringLiteral("08:15"));
    QCOMPARE(m.grid1()->cellText(0, 0), "08:15");
    QCOMPARE(m.grid1()->cellText(5, 3), QString());
}

void tst_Save::savingTwice()
{
    QVERIFY(openAndEdit());
    save();
    const QByteArray first = readAll(qmv::paths::programFile(QStringLiteral("week1.qmv")));
    save();
    QCOMPARE(readAll(qmv::paths::programFile(QStringLiteral("week1.qmv"))), first);

    // An edit after a save goes into the next save; a save never goes back to unsaved.
    m.grid1()->setCellText(0, 0, QStringLiteral("06:00"));
    save();
    QCOMPARE(readAll(qmv::paths::programFile(QStringLiteral("week1.qmv"))),
             EditedTemp1 + DefaultTemp2 + ":P3\r\n15\r\n06:00" + EditedTemp3.mid(9));
    QCOMPARE(m.answerer->messages(), QStringList(3, QStringLiteral("Program saved...")));
    QCOMPARE(m.form->pgmSaved, true);
}

void tst_Save::savedIntoTheDataFolder()
{
    // Opened from elsewhere: the file opened stays as it was, the save goes to the data folder.
    QVERIFY(QDir().mkpath(m.root->path() + QStringLiteral("/elsewhere")));
    const QString opened = m.root->path() + QStringLiteral("/elsewhere/old.qmv");
    const QByteArray original = ":P1\r\n1\r\n" + Program1Row + "\r\n" + ":P2\r\n1\r\n" +
                                DefaultRowBytes + "\r\n:P3\r\n1\r\n" + DefaultRowBytes + "\r\n" +
                                DefaultScheduleBlock;
    QVERIFY(writeAll(opened, original));
    m.form = std::make_unique<Form2>(true, opened, QStringLiteral("old.qmv"));
    QVERIFY(m.form->load());
    m.next();
    m.next();
    save();
    QCOMPARE(readAll(opened), original);
    QCOMPARE(readAll(qmv::paths::programFile(QStringLiteral("old.qmv"))), original);
}

void tst_Save::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("named"); // what the message must name, below the root

    QTest::newRow("program file's place taken by a folder") << "folder"
                                                            << "qmvdata/week1.qmv";
    QTest::newRow("working folder gone") << "no tmpqmv"
                                         << "tmpqmv/temp#3";
    QTest::newRow("disk limit reached while joining") << "limit"
                                                      << "qmvdata/week1.qmv";
    QTest::newRow("earlier working file damaged") << "damaged temp#2"
                                                  << "tmpqmv";
}

void tst_Save::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, fault);
    QFETCH(QString, named);

    const QString target = qmv::paths::programFile(QStringLiteral("week1.qmv"));
    // The user answered No to "File already exists": the old file stays until a save works.
    m.answerer->queue(QStringLiteral("cmdNo"));
    QVERIFY(writeAll(target, "old content"));
    QVERIFY(openAndEdit());
    m.answerer->clear();

    if (fault == QLatin1String("folder")) {
        QVERIFY(QFile::remove(target));
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
    } else if (fault == QLatin1String("no tmpqmv")) {
        QVERIFY(QDir(qmv::paths::tmpDir()).removeRecursively());
    } else if (fault == QLatin1String("damaged temp#2")) {
        QVERIFY(writeAll(qmv::paths::workingFile(2), ":P2\r\n15\r\n"));
    }

    if (fault == QLatin1String("limit")) {
        // Enough for temp#3, not for the joined program file. The table is large enough for
        // the join to reach the disk in one write rather than through Qt's write buffer.
        m.grid1()->setContents(qmv::defaultBellTable(1000));
        const qmv::CellTable schedule = m.grid2()->contents();
        const QByteArray temp3 = qmv::workingFileBytes(3, m.grid1()->contents(), &schedule);
        QVERIFY(temp3.size() > 20000);
        const FileSizeLimit limit(rlim_t(temp3.size()) + 100);
        QVERIFY(limit.ok());
        save();
    } else {
        save();
    }

    QCOMPARE(m.answerer->seen().size(), 1);
    const QString message = m.answerer->seen().first().message;
    QVERIFY2(!message.contains(QLatin1String("Program saved")), qPrintable(message));
    QVERIFY2(message.contains(m.root->path() + QLatin1Char('/') + named), qPrintable(message));
    QCOMPARE(m.answerer->seen().first().title, "qmv Program Save...");
    QCOMPARE(m.form->pgmSaved, false);
    if (fault == QLatin1String("folder"))
        QVERIFY(QFileInfo(target + QStringLiteral("/inside")).isDir());
    else
        QCOMPARE(readAll(target), "old content");
    const QStringList left = filesBelow(m.root->path());
    for (const QString &file : left)
        QVERIFY2(!file.contains(QLatin1String("j1")) && !file.contains(QLatin1String(".tmp")) &&
                     !file.contains(QLatin1String("week1.qmv.")),
                 qPrintable(file));
}

void tst_Save::downloadWorkingFile_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("temp3"); // "<saved>": as the first save left it

    const QByteArray edited = ":P3\r\n15\r\n04:00" + EditedTemp3.mid(9);
    QTest::newRow("unsaved writes program 3") << QStringList{"edit", "download"} << edited;
    QTest::newRow("saved keeps the saved file")
        << QStringList{"save", "edit", "download"} << EditedTemp3;
    QTest::newRow("saved, previous and next write it")
        << QStringList{"save", "edit", "previous", "next", "download"} << edited;
    QTest::newRow("download twice, unsaved")
        << QStringList{"download", "edit", "download"} << edited;
}

void tst_Save::downloadWorkingFile()
{
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, temp3);

    DownloadCounter *form = openAndEdit();
    QVERIFY(form);
    int downloads = 0;
    for (const QString &command : commands) {
        if (command == QLatin1String("edit")) {
            m.grid1()->setCellText(0, 0, QStringLiteral("04:00"));
        } else if (command == QLatin1String("save")) {
            save();
        } else if (command == QLatin1String("previous")) {
            m.previous();
        } else if (command == QLatin1String("next")) {
            m.next();
        } else {
            m.grid1()->setCurrentCell(5, 3);
            form->PlaceTextbox();
            m.grid2()->setCurrentCell(1, 3);
            download();
            ++downloads;
        }
    }

    QCOMPARE(form->opened, downloads);
    QCOMPARE(form->temp3, temp3);
    QCOMPARE(workingBytes(1), EditedTemp1);
    QCOMPARE(workingBytes(2), DefaultTemp2);
    const bool saved = commands.contains(QStringLiteral("save"));
    QCOMPARE(form->pgmSaved, saved);
    QCOMPARE(form->pgmCurrent, 3);
    QCOMPARE(m.grid1()->cellText(0, 0), "04:00");
    // Only a write puts the boxes back over the first cells.
    const QPoint expected = saved ? QPoint(3, 5) : QPoint(0, 0);
    QCOMPARE(QPoint(m.grid1()->currentColumn(), m.grid1()->currentRow()), expected);
    QCOMPARE(m.box()->pos(),
             m.grid1()->cellRect(expected.y(), expected.x(), m.form.get()).topLeft());
    QCOMPARE(m.text4()->geometry(),
             m.grid2()->cellRect(expected == QPoint(0, 0) ? 0 : 1, expected == QPoint(0, 0) ? 0 : 3,
                                 m.form.get()));
}

void tst_Save::failedDownloadWriteOpensNothing()
{
    DownloadCounter *form = openAndEdit();
    QVERIFY(form);
    QVERIFY(QFile::remove(qmv::paths::workingFile(3)));
    QVERIFY(QDir().mkpath(qmv::paths::workingFile(3) + QStringLiteral("/inside")));

    download();

    QCOMPARE(form->opened, 0);
    QCOMPARE(m.answerer->seen().size(), 1);
    QVERIFY(m.answerer->seen().first().message.contains(qmv::paths::workingFile(3)));
    QCOMPARE(form->pgmSaved, false);
    // Nothing moved: the boxes stay where the user left them.
    QCOMPARE(QPoint(m.grid1()->currentColumn(), m.grid1()->currentRow()), QPoint(3, 5));
}

void tst_Save::downloadOpensOneWindowBesideTheEditor()
{
    QVERIFY(m.openNew());
    m.form->show();
    m.next();
    m.next();
    auto downloadWindows = [] {
        QList<frmDownload *> windows;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<frmDownload *>(widget); window && window->isVisible())
                windows.append(window);
        }
        return windows;
    };

    download();
    QCOMPARE(downloadWindows().size(), 1);
    const QPointer<frmDownload> window = downloadWindows().first();
    QVERIFY(!window->isModal());
    QVERIFY(m.form->isVisible());
    download();
    QCOMPARE(downloadWindows(), QList<frmDownload *>{window.data()});

    // Closed before its connection starts, so no port is ever opened.
    window->close();
    QTRY_VERIFY(window.isNull());
}

QTEST_MAIN(tst_Save)
#include "tst_save.moc"
