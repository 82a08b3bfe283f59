#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QFile>
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A program file of the given number of rows per program, every cell filled.
ProgramFile bigFile(int rows, const QString &time)
{
    CellTable bell = defaultBellTable(rows);
    for (QStringList &row : bell.rows) {
        row[0] = time;
        row[3] = QStringLiteral("30");
    }
    return {{bell, bell, bell}, defaultSchedule()};
}

} // namespace

// Saving must leave either the old program file or the new one, complete, whatever happens to
// the write, and must say when it failed.
class tst_SaveFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void readOnlyFolderKeepsOldFile();
    void missingFolderIsReported();
    void killedWhileWritingLeavesOldOrNew();

private:
    QTemporaryDir m_root;
    QString m_target;
    QByteArray m_old;
    QByteArray m_new;
};

void tst_SaveFaults::init()
{
    QVERIFY(m_root.isValid());
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QDir(m_root.path()).removeRecursively();
    QVERIFY(QDir().mkpath(paths::tmpDir()));
    QVERIFY(QDir().mkpath(paths::dataDir()));
    m_target = paths::programFile(QStringLiteral("week1.qmv"));
    m_old = programFileBytes(bigFile(15, QStringLiteral("07:00")));
    m_new = programFileBytes(bigFile(2000, QStringLiteral("08:00")));
    QVERIFY(writeRaw(m_target, m_old));
    QCOMPARE(splitIntoWorkingFiles(bigFile(2000, QStringLiteral("08:00"))), QString());
}

void tst_SaveFaults::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("rows");
    // A small file goes through the save file's buffer; a large one is written straight through.
    QTest::newRow("smallfile") << 15;
    QTest::newRow("largefile") << 2000;
}

void tst_SaveFaults::fullDiskKeepsOldFile()
{
    QFETCH(int, rows);
    const ProgramFile file = bigFile(rows, QStringLiteral("09:00"));
    QCOMPARE(splitIntoWorkingFiles(file), QString());
    // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = rlim_t(programFileBytes(file).size() / 2);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString error = joinWorkingFiles(QStringLiteral("week1.qmv"));
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY2(error.contains(m_target), qPrintable(error));
    QCOMPARE(readAll(m_target), m_old);
}

void tst_SaveFaults::readOnlyFolderKeepsOldFile()
{
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders; the file-size limit test covers the failure");
    QVERIFY(QFile::setPermissions(paths::dataDir(), QFile::ReadOwner | QFile::ExeOwner));
    const QString error = joinWorkingFiles(QStringLiteral("week1.qmv"));
    QFile::setPermissions(paths::dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(error.contains(m_target), qPrintable(error));
    QCOMPARE(readAll(m_target), m_old);
}

void tst_SaveFaults::missingFolderIsReported()
{
    QVERIFY(QDir(paths::dataDir()).removeRecursively());
    const QString error = joinWorkingFiles(QStringLiteral("week1.qmv"));
    QVERIFY2(error.startsWith(QStringLiteral("Cannot write ") + m_target), qPrintable(error));
    QVERIFY(!QFile::exists(paths::joinBatch()));
}

void tst_SaveFaults::killedWhileWritingLeavesOldOrNew()
{
    // A child process saves over and over; it is killed at a random moment, 40 times. Each time
    // the program file must hold the old bytes or the new ones, never a mix or nothing.
    QRandomGenerator random(20261206);
    int sawNew = 0;
    for (int round = 0; round < 40; ++round) {
        QVERIFY(writeRaw(m_target, m_old));
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            for (;;)
                joinWorkingFiles(QStringLiteral("week1.qmv"));
        }
        usleep(useconds_t(random.bounded(500, 100000)));
        kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        const QByteArray now = readAll(m_target);
        QVERIFY2(now == m_old || now == m_new,
                 qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
        sawNew += now == m_new;
    }
    QVERIFY2(sawNew > 0, "the child never finished a save; the test proves nothing");
}

QTEST_GUILESS_MAIN(tst_SaveFaults)
#include "tst_savefaults.moc"
