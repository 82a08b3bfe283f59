// Fuzz target for the program file and working file readers. On every input a reader either
// refuses the file, naming the fault and a line of the file, or gives tables that write back
// to bytes which read back to the very same tables.
#include "programfile.h"

#include <QtGlobal>

#include <cstdint>

using namespace qmv;

namespace {

void require(bool condition, const char *what)
{
    if (!condition)
        qFatal("fuzz check failed: %s", what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ParseError error;
    if (const auto file = parseProgramFile(bytes, &error)) {
        const QByteArray written = programFileBytes(*file);
        const auto reread = parseProgramFile(written, nullptr);
        require(reread && *reread == *file, "a program file written back reads back the same");
        require(programFileBytes(*reread) == written, "writing a program file is stable");
    } else {
        require(!error.what.isEmpty() && error.line >= 0 && error.line <= 15,
                "a refused program file names the fault and its line");
    }
    for (const bool withSchedule : {false, true}) {
        const auto working = parseWorkingFile(bytes, withSchedule, &error);
        if (!working)
            continue;
        require(working->schedule.has_value() == withSchedule, "the schedule comes when asked");
        const auto reread =
            parseWorkingFile(workingFileBytes(withSchedule ? 3 : 1, working->bell,
                                              working->schedule ? &*working->schedule : nullptr),
                             withSchedule, nullptr);
        require(reread && reread->bell == working->bell && reread->schedule == working->schedule,
                "a working file written back reads back the same");
    }
    return 0;
}
