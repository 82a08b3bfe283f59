// Fuzz target for the download record's reader: on every input it either refuses the record,
// saying why, or gives a download whose acknowledged parts lie within what a download can send.
#include "downloadrecord.h"

#include <cstdint>

using namespace qmv::record;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const std::optional<DownloadRecord> record = parseRecord(bytes, &why);
    if (!record) {
        if (why.isEmpty())
            qFatal("a refused record does not say why");
        return 0;
    }
    if (!record->started.isValid() || record->outcome == DownloadRecord::Outcome::Running)
        qFatal("a record read without a start, or running before its writer was looked for");
    if (record->weekDayIndex < -1 || record->weekDayIndex > 6)
        qFatal("a weekday out of range");
    for (const QList<int> &rows : record->rowsAcknowledged) {
        for (const int row : rows) {
            if (row < 0 || rows.count(row) != 1)
                qFatal("a row acknowledged out of range or twice");
        }
    }
    return 0;
}
