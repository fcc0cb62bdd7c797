// Time zones from the system's zone database: the zone an IANA name or TZ names. The core reads
// local times under any rules it is handed; this is where the programs on a computer take them.
#pragma once

#include <optional>
#include <string_view>

#include "formats/time_zone.h"

namespace zendrik {

// The zone of an IANA name ("Europe/Berlin"), or "UTC"; nothing when the zone database does not
// know it, or cannot be read.
std::optional<TimeZone> ZoneNamed(std::string_view name);

// The computer's zone: the one TZ names, else the system's setting; UTC when neither is found.
TimeZone SystemZone();

}  // namespace zendrik
