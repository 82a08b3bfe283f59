#pragma once

#include "controllerstate.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace qmv::calendar {

// What the controller holds, as the calendar weighs it: the program file last sent, whether all
// of it arrived, and when the controller's clock was last set.
struct Held
{
    QString file;   // full path of the program file
    QString digest; // of the tables sent (record::contentHash)
    bool complete = false;
    QDateTime clockSet; // with the UTC offset of then; invalid when not known to be set
};

// What the download records say, or nothing when no download to the controller is recorded.
std::optional<Held> heldFrom(const record::ControllerState &state);

} // namespace qmv::calendar
