// Fuzz target for the program file and working file readers. On every input the reader must
// either refuse the file with a line number and a reason, or give tables that write back to
// bytes which read back to the very same tables.
#include "programfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void checkProgramFile(const QByteArray &bytes)
{
    qmv::ParseError error;
    const auto file = qmv::parseProgramFile(bytes, &error);
    if (!file) {
        require(!error.what.isEmpty(), "a refused program file names the fault");
        require(error.line >= 0 && error.line <= 15, "the fault's line lies in the file");
        return;
    }
    for (const qmv::CellTable &program : file->programs) {
        require(program.rowCount() >= 1, "a program has at least one row");
        for (const QStringList &row : program.rows)
            require(row.size() == qmv::BellColumns, "a bell row has eight cells");
    }
    require(file->schedule.rowCount() == qmv::ScheduleRows, "the schedule has two rows");
    const QByteArray written = qmv::programFileBytes(*file);
    const auto reread = qmv::parseProgramFile(written, nullptr);
    require(reread && *reread == *file, "a program file written back reads back the same");
    require(qmv::programFileBytes(*reread) == written, "writing is stable");
}

void checkWorkingFile(const QByteArray &bytes, bool withSchedule)
{
    qmv::ParseError error;
    const auto working = qmv::parseWorkingFile(bytes, withSchedule, &error);
    if (!working) {
        require(!error.what.isEmpty(), "a refused working file names the fault");
        return;
    }
    require(working->schedule.has_value() == withSchedule, "the schedule is there when asked");
    const QByteArray written = qmv::workingFileBytes(
        withSchedule ? 3 : 1, working->bell, working->schedule ? &*working->schedule : nullptr);
    const auto reread = qmv::parseWorkingFile(written, withSchedule, nullptr);
    require(reread && reread->bell == working->bell && reread->schedule == working->schedule,
            "a working file written back reads back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkProgramFile(bytes);
    checkWorkingFile(bytes, false);
    checkWorkingFile(bytes, true);
    return 0;
}
