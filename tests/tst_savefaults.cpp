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

// Whatever happens to a save, the program file is the old one or the new one, complete, and a
// failure is reported.
class tst_SaveFaults : public QObject
{
    Q_OBJECT

    QString target() const { return paths::programFile("week1.qmv"); }
    void restoreOld()
    {
        QFile file(target());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(m_old) == m_old.size());
    }

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QVERIFY(QDir().mkpath(paths::tmpDir()) && QDir().mkpath(paths::dataDir()));
        QFile::remove(paths::joinBatch());
        restoreOld();
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("folderMissing");
        // A file-size limit stands in for a full disk. A small file goes through the save
        // file's buffer; a large one is written straight through.
        QTest::newRow("smallfilefulldisk") << 15 << false;
        QTest::newRow("largefilefulldisk") << 2000 << false;
        QTest::newRow("missingfolder") << 15 << true;
    }

    void failedSaveKeepsOldFile()
    {
        QFETCH(int, rows);
        QFETCH(bool, folderMissing);
        const ProgramFile file = fileOf(rows, "09:00");
        QCOMPARE(splitIntoWorkingFiles(file), QString());
        QVERIFY(!folderMissing || QDir(paths::dataDir()).removeRecursively());
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit limited{
            folderMissing ? old.rlim_cur : rlim_t(programFileBytes(file).size() / 2), old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QString error = joinWorkingFiles("week1.qmv");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY2(error.startsWith("Cannot write " + target()), qPrintable(error));
        QCOMPARE(readAll(target()), folderMissing ? QByteArray("<missing>") : m_old);
        QVERIFY(!QFile::exists(paths::joinBatch()));
    }

    void killedWhileWritingLeavesOldOrNew()
    {
        // A child saves over and over and is killed at a random moment, 40 times.
        const ProgramFile file = fileOf(2000, "08:00");
        QCOMPARE(splitIntoWorkingFiles(file), QString());
        QRandomGenerator random(20261206);
        int sawNew = 0;
        for (int round = 0; round < 40; ++round) {
            restoreOld();
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

private:
    QTemporaryDir m_root;
    const QByteArray m_old = programFileBytes(fileOf(15, "07:00"));
};

QTEST_GUILESS_MAIN(tst_SaveFaults)
#include "tst_savefaults.moc"
