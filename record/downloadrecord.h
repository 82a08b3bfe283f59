#pragma once

#include "programfile.h"

#include <QDateTime>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QFile;
class QLockFile;

// The record every download leaves in the tool's own folder: one text file per download, begun
// before anything reaches the controller and added to, a line at a time, as the controller
// answers, beside a copy of what was sent as a program file.
namespace qmv::record {

// The records kept; the newest complete download is kept even when it is older.
inline constexpr int KeptRecords = 200;

QString recordsDir(); // <root>/qmvdata/confg/downloads

// SHA-256, in hex, of the program file the tool writes for `file`: equal for equal tables.
QString contentHash(const ProgramFile &file);

// One download, as its record tells it.
struct DownloadRecord
{
    enum class Outcome
    {
        Complete,
        Incomplete,
        Interrupted, // never ended, and its writer is gone (killed, power lost)
        Running      // never ended, and its writer still runs
    };

    QString id;          // the record's file name without extension; ids sort by start
    QDateTime started;   // with the PC's UTC offset then
    QDateTime ended;     // invalid when it never ended
    QString programFile; // the file's name, "week1.qmv"
    QString programPath; // the program file, or the file being edited
    bool fromEditor = false;
    QString contentHash; // of what was sent
    QString port;
    std::optional<ProgramFile> sent; // the copy of what was sent, when it can be read

    // What the controller acknowledged. A new erase (RETRY) starts this afresh.
    bool eraseSent = false;
    bool erased = false;
    QString clockTime;     // hh:mm the controller's clock was set to
    int weekDayIndex = -1; // 0 Sunday to 6 Saturday
    QDateTime clockSetAt;  // the PC's time when the controller took it, with its UTC offset
    std::array<QList<int>, ProgramCount> rowsAcknowledged; // rows numbered from 0, as sent
    bool scheduleAcknowledged = false;

    Outcome outcome = Outcome::Interrupted;
    QString stage; // an incomplete download: where it stopped
    QString why;   // and why

    QString outcomeText() const; // "complete", "incomplete", "interrupted", "running"
    // One line for the history: when, the file, the port and the outcome.
    QString historyLine() const;
};

// Reads one record's text. A last line without its line end was torn by a crash and is ignored.
// Nothing, with `why`, for a file that is not a download record or is damaged. The outcome of a
// record that never ended is Interrupted here; readHistory() tells those still running apart.
std::optional<DownloadRecord> parseRecord(const QByteArray &bytes, QString *why);

struct History
{
    QList<DownloadRecord> records; // oldest first
    QStringList warnings;          // records skipped as damaged or foreign, one line each
};

// Every record in `folder`, with its copy of what was sent.
History readHistory(const QString &folder = recordsDir());

// Writes one download's record. Every write is checked: the first failure is kept in error()
// and later steps write nothing, so the download goes on unrecorded rather than failing.
class RecordWriter
{
public:
    struct Start
    {
        QString programFile;
        QString programPath;
        bool fromEditor = false;
        QString port;
        ProgramFile sent;
    };

    explicit RecordWriter(QString folder = recordsDir());
    ~RecordWriter();
    RecordWriter(const RecordWriter &) = delete;
    RecordWriter &operator=(const RecordWriter &) = delete;

    // The clock the record tells the time by; the system's local time unless set.
    void setNow(std::function<QDateTime()> now);

    // Writes the copy of what is sent and the record's start, then drops the oldest records
    // beyond KeptRecords. False when the download cannot be recorded (see error()).
    bool begin(const Start &start);
    void eraseSent();
    void erased();
    void clockSet(const QString &time, int weekDayIndex);
    void rowAcknowledged(int program, int row);
    void scheduleAcknowledged();
    void complete();
    void incomplete(const QString &stage, const QString &why);

    bool isOpen() const;
    QString id() const { return m_id; }
    QString error() const { return m_error; }

private:
    void append(const QString &line);
    void end(const QString &line);
    void prune();
    QString stamp() const;

    QString m_folder;
    std::function<QDateTime()> m_now;
    QString m_id;
    QString m_error;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace qmv::record
