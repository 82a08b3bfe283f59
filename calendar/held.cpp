#include "held.h"

#include <QDir>

namespace qmv::calendar {

std::optional<Held> heldFrom(const record::ControllerState &state)
{
    if (state.knowledge == record::ControllerState::Knowledge::Unknown || !state.record)
        return std::nullopt;
    const record::DownloadRecord &last = *state.record;
    return Held{QDir::cleanPath(last.programPath), last.contentHash, state.isComplete(),
                state.clockSet ? last.clockSetAt : QDateTime()};
}

} // namespace qmv::calendar
