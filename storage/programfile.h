#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QLockFile;

#include <array>
#include <memory>
#include <optional>

// The program file and the working files.
//
// All files are single-byte text: every byte maps to one character (Latin-1), so any byte
// read comes back unchanged when written. Every line written ends with CR LF; a reader ends a
// line only at LF, so a lone CR belongs to the line (the clip text of a table uses CR between
// rows).
namespace qmv {

inline constexpr int BellColumns = 8;
inline constexpr int DefaultBellRows = 15;
inline constexpr int ScheduleRows = 2;
inline constexpr int ScheduleColumns = 7;
inline constexpr int ProgramCount = 3;

// A rectangular block of cell texts: every row holds exactly `columns` texts.
struct CellTable
{
    int columns = 0;
    QList<QStringList> rows;

    int rowCount() const { return int(rows.size()); }
    bool operator==(const CellTable &other) const
    {
        return columns == other.columns && rows == other.rows;
    }
    bool operator!=(const CellTable &other) const { return !(*this == other); }
};

// Whether a cell text can be stored: a TAB, CR or LF would break the lines and the clip text,
// and a character beyond Latin-1 has no byte of its own in a program file.
bool isStorableText(const QString &text);

QStringList defaultBellRow();
CellTable defaultBellTable(int rows = DefaultBellRows);
CellTable defaultSchedule();

// Clip text: cells joined by TAB, rows joined by CR, nothing after the last row.
QString toClipText(const CellTable &table);
std::optional<CellTable> fromClipText(const QString &clip, int rows, int columns, QString *why);

// Lines end at LF; a CR right before the LF is dropped, any other CR stays in the line.
// A last line without LF still counts as a line.
QList<QByteArray> splitLines(const QByteArray &bytes);

QByteArray programBlock(int program, const CellTable &bell);
QByteArray scheduleBlock(const CellTable &schedule);

struct ParseError
{
    int line = 0; // 1-based line of the file where the fault is; 0 for the file as a whole
    QString what;
    QString toString() const;
};

struct ProgramFile
{
    std::array<CellTable, ProgramCount> programs;
    CellTable schedule;
    bool operator==(const ProgramFile &other) const
    {
        return programs == other.programs && schedule == other.schedule;
    }
};

// The 14 lines: three program blocks, then the schedule block.
std::optional<ProgramFile> parseProgramFile(const QByteArray &bytes, ParseError *error);
QByteArray programFileBytes(const ProgramFile &file);

// A working file: one program block; program 3's file carries the schedule block as well.
struct WorkingProgram
{
    CellTable bell;
    std::optional<CellTable> schedule;
};

std::optional<WorkingProgram> parseWorkingFile(const QByteArray &bytes, bool withSchedule,
                                               ParseError *error);
QByteArray workingFileBytes(int program, const CellTable &bell,
                            const CellTable *schedule = nullptr);

// File operations. Each returns an empty string on success, otherwise a message for the user
// that names the file and what went wrong. Writes go through a temporary file beside the target
// and replace it only when complete, so a failed write leaves the earlier file as it was.
QString readFile(const QString &path, QByteArray *bytes);
QString writeFileAtomic(const QString &path, const QByteArray &bytes);

std::optional<ProgramFile> readProgramFile(const QString &path, QString *error);
std::optional<WorkingProgram> readWorkingFile(int program, bool withSchedule, QString *error);
QString writeWorkingFile(int program, const CellTable &bell, const CellTable *schedule = nullptr);

// Writes temp#1..temp#3 from the program file (program 3's with the schedule): all three, or,
// when one cannot be written, none.
QString splitIntoWorkingFiles(const ProgramFile &file);

// Joins temp#1, temp#2 and temp#3, byte for byte, into the program file NAME in the data
// folder, and leaves the join batch as an empty file. The joined bytes are checked to read
// back as a program file before anything is replaced.
QString joinWorkingFiles(const QString &name);

// The working folder belongs to one editor at a time. Held while the returned lock lives; null
// when another running copy holds it or the lock cannot be made, with `error` saying which.
std::unique_ptr<QLockFile> holdWorkingFolder(QString *error);

} // namespace qmv
