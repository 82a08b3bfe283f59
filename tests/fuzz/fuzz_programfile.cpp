// Fuzz target for the file readers: on every input a reader either refuses the file, naming the
// fault and its line, or gives tables that write back to bytes which read back the same.
#include "programfile.h"

#include <cstdint>

using namespace qmv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ParseError error;
    if (const auto file = parseProgramFile(bytes, &error)) {
        const auto reread = parseProgramFile(programFileBytes(*file), nullptr);
        if (!reread || !(*reread == *file))
            qFatal("a program file written back does not read back the same");
    } else if (error.what.isEmpty() || error.line < 0 || error.line > 15) {
        qFatal("a refused program file does not name the fault and its line");
    }
    for (const bool withSchedule : {false, true}) {
        const auto working = parseWorkingFile(bytes, withSchedule, &error);
        if (!working)
            continue;
        const CellTable *schedule = working->schedule ? &*working->schedule : nullptr;
        const QByteArray written = workingFileBytes(withSchedule ? 3 : 1, working->bell, schedule);
        const auto reread = parseWorkingFile(written, withSchedule, nullptr);
        if (!reread || reread->bell != working->bell || reread->schedule != working->schedule)
            qFatal("a working file written back does not read back the same");
    }
    return 0;
}
