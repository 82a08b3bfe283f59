#include "programfile.h"

#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace qmv {

namespace {

constexpr char Tab = '\t';
constexpr char Cr = '\r';
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

QByteArray line(const QString &text)
{
    return text.toLatin1() + LineEnd;
}

// A row-count line holds a whole number of at least 1 in the notations the conversion to a
// whole number accepts: blanks around it and a sign allowed.
std::optional<int> rowCountOf(const QByteArray &text)
{
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok || count < 1)
        return std::nullopt;
    return count;
}

struct Reader
{
    const QList<QByteArray> &lines;
    int next = 0; // index of the next line to read
    ParseError *error;

    bool fail(int lineIndex, const QString &what)
    {
        if (error)
            *error = {lineIndex + 1, what};
        return false;
    }

    // Reads a row-count line and the clip-text line after it.
    std::optional<CellTable> table(int columns, std::optional<int> requiredRows)
    {
        const int countLine = next++;
        const std::optional<int> rows = rowCountOf(lines.at(countLine));
        if (!rows) {
            fail(countLine, QStringLiteral("the row count is not a whole number of at least 1"));
            return std::nullopt;
        }
        if (requiredRows && *rows != *requiredRows) {
            fail(countLine,
                 QStringLiteral("the row count is %1, not %2").arg(*rows).arg(*requiredRows));
            return std::nullopt;
        }
        const int clipLine = next++;
        QString why;
        auto table = fromClipText(QString::fromLatin1(lines.at(clipLine)), *rows, columns, &why);
        if (!table)
            fail(clipLine, why);
        return table;
    }

    std::optional<CellTable> programBlock()
    {
        ++next; // the marker line is not compared with anything
        return table(BellColumns, std::nullopt);
    }

    std::optional<CellTable> scheduleBlock()
    {
        next += 3; // three empty lines, not compared either
        return table(ScheduleColumns, ScheduleRows);
    }
};

// A program file of the largest table anyone edits is well under a megabyte.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

// Where the first cell that cannot be stored is, or nothing.
QString unstorableCell(const CellTable &table)
{
    for (int r = 0; r < table.rowCount(); ++r) {
        const QStringList &row = table.rows.at(r);
        for (int c = 0; c < row.size(); ++c) {
            if (!isStorableText(row.at(c)))
                return QStringLiteral("row %1, column %2").arg(r + 1).arg(c + 1);
        }
    }
    return {};
}

// The reader goes by line position only, so whatever follows the last line it needs (a note, an
// end-of-file byte, another line break) is left alone.
bool checkLineCount(const QList<QByteArray> &lines, int expected, ParseError *error)
{
    if (lines.size() >= expected)
        return true;
    if (error)
        *error = {int(lines.size()),
                  QStringLiteral("the file has %1 lines, not %2").arg(lines.size()).arg(expected)};
    return false;
}

} // namespace

bool isStorableText(const QString &text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
            c.unicode() > 0xff)
            return false;
    }
    return true;
}

QStringList defaultBellRow()
{
    return {QString(), QStringLiteral("OFF"), QStringLiteral("CONT"),
            QString(), QStringLiteral("OFF"), QStringLiteral("CONT"),
            QString(), QStringLiteral("OC")};
}

CellTable defaultBellTable(int rows)
{
    CellTable table{BellColumns, {}};
    for (int r = 0; r < rows; ++r)
        table.rows.append(defaultBellRow());
    return table;
}

CellTable defaultSchedule()
{
    CellTable table{ScheduleColumns, {}};
    for (int r = 0; r < ScheduleRows; ++r)
        table.rows.append(QStringList(ScheduleColumns, QStringLiteral("3")));
    return table;
}

QString toClipText(const CellTable &table)
{
    QStringList rows;
    rows.reserve(table.rows.size());
    for (const QStringList &row : table.rows)
        rows.append(row.join(QLatin1Char(Tab)));
    return rows.join(QLatin1Char(Cr));
}

std::optional<CellTable> fromClipText(const QString &clip, int rows, int columns, QString *why)
{
    auto refuse = [why](const QString &what) {
        if (why)
            *why = what;
        return std::nullopt;
    };
    // Count first, so a damaged row count never makes us build a huge table.
    const qsizetype crs = clip.count(QLatin1Char(Cr));
    if (crs + 1 != rows)
        return refuse(QStringLiteral("the table text holds %1 rows, the row count says %2")
                          .arg(crs + 1)
                          .arg(rows));
    CellTable table{columns, {}};
    table.rows.reserve(rows);
    const QStringList rowTexts = clip.split(QLatin1Char(Cr));
    for (int r = 0; r < rowTexts.size(); ++r) {
        QStringList cells = rowTexts.at(r).split(QLatin1Char(Tab));
        if (cells.size() != columns)
            return refuse(QStringLiteral("row %1 of the table text holds %2 cells, not %3")
                              .arg(r + 1)
                              .arg(cells.size())
                              .arg(columns));
        table.rows.append(std::move(cells));
    }
    return table;
}

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool lastWithoutLf = end < 0;
        if (lastWithoutLf)
            end = bytes.size();
        qsizetype length = end - start;
        if (!lastWithoutLf && length > 0 && bytes.at(end - 1) == Cr)
            --length;
        lines.append(bytes.mid(start, length));
        start = end + 1;
    }
    return lines;
}

QByteArray programBlock(int program, const CellTable &bell)
{
    return line(QStringLiteral(":P") + QString::number(program)) +
           line(QString::number(bell.rowCount())) + line(toClipText(bell));
}

QByteArray scheduleBlock(const CellTable &schedule)
{
    return LineEnd + LineEnd + LineEnd + line(QString::number(schedule.rowCount())) +
           line(toClipText(schedule));
}

QString ParseError::toString() const
{
    if (line <= 0)
        return what;
    return QStringLiteral("line %1: %2").arg(line).arg(what);
}

std::optional<ProgramFile> parseProgramFile(const QByteArray &bytes, ParseError *error)
{
    const QList<QByteArray> lines = splitLines(bytes);
    if (!checkLineCount(lines, 3 * ProgramCount + 5, error))
        return std::nullopt;
    Reader reader{lines, 0, error};
    ProgramFile file;
    for (CellTable &program : file.programs) {
        auto table = reader.programBlock();
        if (!table)
            return std::nullopt;
        program = std::move(*table);
    }
    auto schedule = reader.scheduleBlock();
    if (!schedule)
        return std::nullopt;
    file.schedule = std::move(*schedule);
    return file;
}

QByteArray programFileBytes(const ProgramFile &file)
{
    QByteArray bytes;
    for (int n = 0; n < ProgramCount; ++n)
        bytes += programBlock(n + 1, file.programs[n]);
    return bytes + scheduleBlock(file.schedule);
}

std::optional<WorkingProgram> parseWorkingFile(const QByteArray &bytes, bool withSchedule,
                                               ParseError *error)
{
    const QList<QByteArray> lines = splitLines(bytes);
    if (!checkLineCount(lines, withSchedule ? 8 : 3, error))
        return std::nullopt;
    Reader reader{lines, 0, error};
    auto bell = reader.programBlock();
    if (!bell)
        return std::nullopt;
    WorkingProgram program{std::move(*bell), std::nullopt};
    if (withSchedule) {
        program.schedule = reader.scheduleBlock();
        if (!program.schedule)
            return std::nullopt;
    }
    return program;
}

QByteArray workingFileBytes(int program, const CellTable &bell, const CellTable *schedule)
{
    QByteArray bytes = programBlock(program, bell);
    if (schedule)
        bytes += scheduleBlock(*schedule);
    return bytes;
}

QString readFile(const QString &path, QByteArray *bytes)
{
    // A FIFO would block the open until something writes to it, and a device such as /dev/zero
    // never ends: only a regular file (or a link to one) can be a program file.
    if (const QFileInfo info(path); info.exists() && !info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
    // Read one byte past the limit rather than trust the size: a file can grow while it is read.
    *bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    if (bytes->size() > MaxFileSize) {
        bytes->clear();
        return QStringLiteral("%1 is too large to be a program file").arg(path);
    }
    return {};
}

namespace {

// Writes `bytes` into the save file's temporary file and leaves it uncommitted; on failure the
// temporary file is gone and the message says why.
QString writeUncommitted(QSaveFile &file, const QByteArray &bytes)
{
    const QString path = file.fileName();
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    // QSaveFile buffers small writes and its commit() does not notice when emptying that buffer
    // fails, so flush first: otherwise a full disk would replace the old file with a cut one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Cannot write %1: %2").arg(path, why);
    }
    return {};
}

QString storableTables(const QString &path, const CellTable &bell, const CellTable *schedule)
{
    QString where;
    if (const QString cell = unstorableCell(bell); !cell.isEmpty())
        where = QStringLiteral("the program's ") + cell;
    else if (const QString cell = schedule ? unstorableCell(*schedule) : QString(); !cell.isEmpty())
        where = QStringLiteral("the schedule's ") + cell;
    if (where.isEmpty())
        return {};
    return QStringLiteral("Cannot write %1: %2 holds a tab, a line break or a character that a "
                          "program file cannot hold")
        .arg(path, where);
}

} // namespace

QString writeFileAtomic(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (QString why = writeUncommitted(file, bytes); !why.isEmpty())
        return why;
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

namespace {

// Reads the file at `path` and parses it; on failure `error` says what went wrong, naming the
// file and, for a damaged one, the line.
template <typename Parse>
auto readAndParse(const QString &path, QString *error, Parse parse) -> decltype(parse({}, nullptr))
{
    QByteArray bytes;
    if (QString why = readFile(path, &bytes); !why.isEmpty()) {
        *error = why;
        return std::nullopt;
    }
    ParseError parseError;
    auto parsed = parse(bytes, &parseError);
    if (!parsed)
        *error = QStringLiteral("%1 is damaged: %2").arg(path, parseError.toString());
    return parsed;
}

} // namespace

std::optional<ProgramFile> readProgramFile(const QString &path, QString *error)
{
    return readAndParse(path, error, parseProgramFile);
}

std::optional<WorkingProgram> readWorkingFile(int program, bool withSchedule, QString *error)
{
    return readAndParse(paths::workingFile(program), error,
                        [withSchedule](const QByteArray &bytes, ParseError *parseError) {
                            return parseWorkingFile(bytes, withSchedule, parseError);
                        });
}

QString writeWorkingFile(int program, const CellTable &bell, const CellTable *schedule)
{
    const QString path = paths::workingFile(program);
    if (QString why = storableTables(path, bell, schedule); !why.isEmpty())
        return why;
    return writeFileAtomic(path, workingFileBytes(program, bell, schedule));
}

QString splitIntoWorkingFiles(const ProgramFile &file)
{
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (int n = 1; n <= ProgramCount; ++n) {
        const CellTable *schedule = n == ProgramCount ? &file.schedule : nullptr;
        const QString path = paths::workingFile(n);
        if (QString why = storableTables(path, file.programs[n - 1], schedule); !why.isEmpty())
            return why;
        auto saved = std::make_unique<QSaveFile>(path);
        if (QString why =
                writeUncommitted(*saved, workingFileBytes(n, file.programs[n - 1], schedule));
            !why.isEmpty())
            return why;
        files.push_back(std::move(saved));
    }
    // Every file is written out beside its target before the first one replaces anything, so a
    // file that cannot be written leaves all three as they were.
    for (const auto &saved : files) {
        if (!saved->commit())
            return QStringLiteral("Cannot write %1: %2")
                .arg(saved->fileName(), saved->errorString());
    }
    return {};
}

QString joinWorkingFiles(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" is not a file name that can be saved").arg(name);
    QByteArray joined;
    for (int n = 1; n <= ProgramCount; ++n) {
        QByteArray bytes;
        if (QString why = readFile(paths::workingFile(n), &bytes); !why.isEmpty())
            return why;
        joined += bytes;
    }
    ParseError parseError;
    if (!parseProgramFile(joined, &parseError))
        return QStringLiteral("The working files in %1 do not make a program file (%2); %3 was "
                              "not changed")
            .arg(paths::tmpDir(), parseError.toString(), paths::programFile(name));
    if (QString why = writeFileAtomic(paths::programFile(name), joined); !why.isEmpty())
        return why;
    return writeFileAtomic(paths::joinBatch(), QByteArray());
}

std::unique_ptr<QLockFile> holdWorkingFolder(QString *error)
{
    auto lock = std::make_unique<QLockFile>(paths::tmpDir() + QStringLiteral("/editing.lock"));
    // An edit lasts as long as the user likes: only a holder that is no longer running, such as
    // a copy that was killed, gives the folder up.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (lock->error() == QLockFile::LockFailedError)
        *error = QStringLiteral("Cannot open: another QMV window is editing %1; close it first.")
                     .arg(QDir::toNativeSeparators(paths::tmpDir()));
    else
        *error = QStringLiteral("Cannot open: %1 cannot be locked for editing.")
                     .arg(QDir::toNativeSeparators(paths::tmpDir()));
    return nullptr;
}

} // namespace qmv
