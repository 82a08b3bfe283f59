// Fuzz target for the calendar reader: on every input it either refuses the file, naming the
// fault and a line the file has, or gives a calendar that writes back to bytes which read back the
// same.
#include "calendarfile.h"

#include <cstdint>

using namespace qmv::calendar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CalendarError error;
    if (const auto calendar = parseCalendar(bytes, &error)) {
        const auto reread = parseCalendar(calendarBytes(*calendar), nullptr);
        if (!reread || !(*reread == *calendar))
            qFatal("a calendar written back does not read back the same");
    } else if (error.what.isEmpty() || error.line < 0 || error.line > bytes.count('\n') + 1) {
        qFatal("a refused calendar does not name the fault and its line");
    }
    return 0;
}
