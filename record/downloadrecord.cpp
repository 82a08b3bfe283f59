#include "downloadrecord.h"

#include "paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>

namespace qmv::record {

namespace {

const QByteArray Magic = QByteArrayLiteral("QMV download record 1");
const QString RecordSuffix = QStringLiteral(".rec");
const QString CopySuffix = QStringLiteral(".qmv");
const QString LockSuffix = QStringLiteral(".lock");
constexpr qint64 MaxRecordSize = 1024 * 1024;
constexpr int MaxRowsPerProgram = 100000;

// A value on one line of the record: a line break inside it would end the line early.
QString flat(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString isoTime(const QDateTime &time)
{
    // The offset is written out: a record read in another season or zone keeps its own hour.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

std::optional<QDateTime> parseTime(const QString &text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::optional<int> parseNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// Reads the lines after the header, one event each, into `record`.
bool applyEvent(DownloadRecord &record, const QString &line, QString *why)
{
    const QString keyword = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto fail = [&](const QString &what) {
        if (why)
            *why = what;
        return false;
    };
    if (keyword == QLatin1String("erase-sent")) {
        record.eraseSent = true;
    } else if (keyword == QLatin1String("erased")) {
        // A new erase leaves nothing of what an earlier attempt had sent.
        record.erased = true;
        record.clockTime.clear();
        record.weekDayIndex = -1;
        record.clockSetAt = {};
        for (QList<int> &rows : record.rowsAcknowledged)
            rows.clear();
        record.scheduleAcknowledged = false;
    } else if (keyword == QLatin1String("clock")) {
        const auto day = parseNumber(words.value(1), 0, 6);
        const auto at = parseTime(words.value(2));
        if (words.size() != 3 || !day || !at)
            return fail(QStringLiteral("a clock line is damaged"));
        record.clockTime = words.at(0);
        record.weekDayIndex = *day;
        record.clockSetAt = *at;
    } else if (keyword == QLatin1String("row")) {
        const auto program = parseNumber(words.value(0), 1, ProgramCount);
        const auto row = parseNumber(words.value(1), 0, MaxRowsPerProgram);
        if (words.size() != 2 || !program || !row)
            return fail(QStringLiteral("a row line is damaged"));
        QList<int> &rows = record.rowsAcknowledged[*program - 1];
        if (!rows.contains(*row))
            rows.append(*row);
    } else if (keyword == QLatin1String("schedule")) {
        record.scheduleAcknowledged = true;
    } else if (keyword == QLatin1String("end")) {
        const QString outcome = words.value(0);
        const auto at = parseTime(words.value(1));
        if (!at)
            return fail(QStringLiteral("the end line is damaged"));
        record.ended = *at;
        if (outcome == QLatin1String("complete")) {
            record.outcome = DownloadRecord::Outcome::Complete;
        } else if (outcome == QLatin1String("incomplete")) {
            record.outcome = DownloadRecord::Outcome::Incomplete;
            const QString reason = rest.section(QLatin1Char(' '), 2);
            record.stage = reason.section(QLatin1Char('\t'), 0, 0);
            record.why = reason.section(QLatin1Char('\t'), 1);
        } else {
            return fail(QStringLiteral("the end line is damaged"));
        }
    } else {
        return fail(QStringLiteral("a line of an unknown kind"));
    }
    return true;
}

bool applyHeader(DownloadRecord &record, const QString &key, const QString &value)
{
    if (key == QLatin1String("started")) {
        const auto at = parseTime(value);
        if (!at)
            return false;
        record.started = *at;
    } else if (key == QLatin1String("file")) {
        record.programFile = value;
    } else if (key == QLatin1String("path")) {
        record.programPath = value;
    } else if (key == QLatin1String("source")) {
        if (value != QLatin1String("file") && value != QLatin1String("editor"))
            return false;
        record.fromEditor = value == QLatin1String("editor");
    } else if (key == QLatin1String("hash")) {
        record.contentHash = value;
    } else if (key == QLatin1String("port")) {
        record.port = value;
    }
    // Other keys come from a newer tool: what this one knows is still read.
    return true;
}

QString lockPath(const QString &folder, const QString &id)
{
    return QDir(folder).filePath(id + LockSuffix);
}

// A record that never ended is still being written while its writer holds the lock.
bool writerRuns(const QString &folder, const QString &id)
{
    const QString path = lockPath(folder, id);
    if (!QFile::exists(path))
        return false;
    QLockFile lock(path);
    // Only a dead writer makes a lock stale, however long a download waits for its user.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return lock.error() == QLockFile::LockFailedError;
    lock.unlock();
    return false;
}

} // namespace

QString recordsDir()
{
    return QDir(paths::confgDir()).filePath(QStringLiteral("downloads"));
}

QString contentHash(const ProgramFile &file)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(programFileBytes(file), QCryptographicHash::Sha256).toHex());
}

QString DownloadRecord::outcomeText() const
{
    switch (outcome) {
    case Outcome::Complete:
        return QStringLiteral("complete");
    case Outcome::Incomplete:
        return QStringLiteral("incomplete");
    case Outcome::Interrupted:
        return QStringLiteral("interrupted");
    case Outcome::Running:
        return QStringLiteral("running");
    }
    return {};
}

QString DownloadRecord::historyLine() const
{
    QString line = QStringLiteral("%1  %2  %3  %4")
                       .arg(QLocale::c().toString(started, QStringLiteral("ddd d MMM yyyy HH:mm")),
                            programFile, port, outcomeText());
    if (outcome == Outcome::Incomplete && !stage.isEmpty())
        line += QStringLiteral(" (%1: %2)").arg(stage, why);
    return line;
}

std::optional<DownloadRecord> parseRecord(const QByteArray &bytes, QString *why)
{
    const auto fail = [why](const QString &what) {
        if (why)
            *why = what;
        return std::nullopt;
    };
    if (bytes.size() > MaxRecordSize)
        return fail(QStringLiteral("too large for a download record"));
    QList<QByteArray> lines = bytes.split('\n');
    // The last piece has no line end: empty after a whole last line, torn by a crash otherwise.
    lines.removeLast();
    if (lines.isEmpty() || lines.first() != Magic)
        return fail(QStringLiteral("not a download record"));

    DownloadRecord record;
    int index = 1;
    for (; index < lines.size() && !lines.at(index).isEmpty(); ++index) {
        const QString line = QString::fromUtf8(lines.at(index));
        const QString key = line.section(QLatin1Char(' '), 0, 0);
        if (!applyHeader(record, key, line.section(QLatin1Char(' '), 1)))
            return fail(QStringLiteral("line %1: the %2 is damaged").arg(index + 1).arg(key));
    }
    if (!record.started.isValid() || index >= lines.size())
        return fail(QStringLiteral("the start of the download is missing"));
    for (++index; index < lines.size(); ++index) {
        if (record.ended.isValid())
            return fail(QStringLiteral("line %1 follows the end").arg(index + 1));
        QString what;
        if (!applyEvent(record, QString::fromUtf8(lines.at(index)), &what))
            return fail(QStringLiteral("line %1: %2").arg(index + 1).arg(what));
    }
    return record;
}

History readHistory(const QString &folder)
{
    History history;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QLatin1Char('*') + RecordSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        QByteArray bytes;
        QString why = readFile(path, &bytes);
        std::optional<DownloadRecord> record;
        if (why.isEmpty())
            record = parseRecord(bytes, &why);
        if (!record) {
            history.warnings
                << QStringLiteral("%1: %2; skipped").arg(QDir::toNativeSeparators(path), why);
            continue;
        }
        record->id = name.chopped(RecordSuffix.size());
        if (!record->ended.isValid() && writerRuns(folder, record->id))
            record->outcome = DownloadRecord::Outcome::Running;
        QString copyError;
        record->sent = readProgramFile(dir.filePath(record->id + CopySuffix), &copyError);
        if (!record->sent)
            history.warnings << QStringLiteral("%1: the copy of what was sent cannot be read: %2")
                                    .arg(QDir::toNativeSeparators(path), copyError);
        history.records.append(*record);
    }
    return history;
}

RecordWriter::RecordWriter(QString folder)
    : m_folder(std::move(folder)), m_now([] { return QDateTime::currentDateTime(); })
{
}

RecordWriter::~RecordWriter() = default;

void RecordWriter::setNow(std::function<QDateTime()> now)
{
    m_now = std::move(now);
}

QString RecordWriter::stamp() const
{
    return isoTime(m_now());
}

bool RecordWriter::begin(const Start &start)
{
    m_error.clear();
    if (!QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("the folder %1 cannot be created")
                      .arg(QDir::toNativeSeparators(m_folder));
        return false;
    }
    const QDateTime started = m_now();
    const QDir dir(m_folder);
    const QString base = started.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    m_id = base;
    for (int n = 2; QFile::exists(dir.filePath(m_id + RecordSuffix)); ++n)
        m_id = base + QLatin1Char('-') + QString::number(n);

    m_lock = std::make_unique<QLockFile>(lockPath(m_folder, m_id));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_error = QStringLiteral("the record %1 cannot be locked").arg(m_id);
        m_lock.reset();
        return false;
    }
    // The copy first: a record never names a copy that is not there.
    if (QString why =
            writeFileAtomic(dir.filePath(m_id + CopySuffix), programFileBytes(start.sent));
        !why.isEmpty()) {
        m_error = why;
        m_lock.reset();
        return false;
    }
    QByteArray header = Magic + '\n';
    const auto field = [&header](const char *key, const QString &value) {
        header += QByteArray(key) + ' ' + flat(value).toUtf8() + '\n';
    };
    field("started", isoTime(started));
    field("file", start.programFile);
    field("path", start.programPath);
    field("source", start.fromEditor ? QStringLiteral("editor") : QStringLiteral("file"));
    field("hash", contentHash(start.sent));
    field("port", start.port);
    header += '\n';
    if (QString why = writeFileAtomic(dir.filePath(m_id + RecordSuffix), header); !why.isEmpty()) {
        m_error = why;
        m_lock.reset();
        return false;
    }
    m_file = std::make_unique<QFile>(dir.filePath(m_id + RecordSuffix));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = m_file->errorString();
        m_file.reset();
        m_lock.reset();
        return false;
    }
    prune();
    return true;
}

bool RecordWriter::isOpen() const
{
    return m_file != nullptr;
}

void RecordWriter::append(const QString &line)
{
    if (!m_file)
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    // Flushed line by line: a download killed after this line leaves it in the record.
    if (m_file->write(bytes) != bytes.size() || !m_file->flush()) {
        m_error = m_file->errorString();
        m_file.reset();
        m_lock.reset();
    }
}

void RecordWriter::end(const QString &line)
{
    append(line);
    m_file.reset();
    m_lock.reset();
}

void RecordWriter::eraseSent()
{
    append(QStringLiteral("erase-sent ") + stamp());
}

void RecordWriter::erased()
{
    append(QStringLiteral("erased ") + stamp());
}

void RecordWriter::clockSet(const QString &time, int weekDayIndex)
{
    append(QStringLiteral("clock %1 %2 %3")
               .arg(flat(time).remove(QLatin1Char(' ')))
               .arg(weekDayIndex)
               .arg(stamp()));
}

void RecordWriter::rowAcknowledged(int program, int row)
{
    append(QStringLiteral("row %1 %2").arg(program).arg(row));
}

void RecordWriter::scheduleAcknowledged()
{
    append(QStringLiteral("schedule"));
}

void RecordWriter::complete()
{
    end(QStringLiteral("end complete ") + stamp());
}

void RecordWriter::incomplete(const QString &stage, const QString &why)
{
    QString reason = flat(why);
    end(QStringLiteral("end incomplete %1 %2\t%3")
            .arg(stamp(), flat(stage).remove(QLatin1Char('\t')),
                 reason.replace(QLatin1Char('\t'), QLatin1Char(' '))));
}

// The oldest records beyond the kept number go, but never the newest complete one nor one that
// is still being written.
void RecordWriter::prune()
{
    const QDir dir(m_folder);
    const QStringList names =
        dir.entryList({QLatin1Char('*') + RecordSuffix}, QDir::Files, QDir::Name);
    if (names.size() <= KeptRecords)
        return;
    QString newestComplete;
    for (auto name = names.crbegin(); name != names.crend() && newestComplete.isEmpty(); ++name) {
        QByteArray bytes;
        if (!readFile(dir.filePath(*name), &bytes).isEmpty())
            continue;
        const auto record = parseRecord(bytes, nullptr);
        if (record && record->outcome == DownloadRecord::Outcome::Complete)
            newestComplete = *name;
    }
    int excess = int(names.size()) - KeptRecords;
    for (const QString &name : names) {
        if (excess == 0)
            break;
        const QString id = name.chopped(RecordSuffix.size());
        if (name == newestComplete || id == m_id || writerRuns(m_folder, id))
            continue;
        // A record not removed stays whole: its copy goes only after it.
        if (!QFile::remove(dir.filePath(name)))
            continue;
        QFile::remove(dir.filePath(id + CopySuffix));
        --excess;
    }
}

} // namespace qmv::record
