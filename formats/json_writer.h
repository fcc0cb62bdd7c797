// The exercise as JSON, for scripts and other tools.
#pragma once

#include <string>

#include "decoders/exercise.h"
#include "decoders/transfer.h"

namespace zendrik {

// Bumped whenever a key changes meaning or goes away; new keys keep the version. 2: a "start"
// that is no date is null (its digits in "startAsSent"), where 1 wrote the digits as a string.
inline constexpr int kJsonSchemaVersion = 2;

// {"schemaVersion": 2, "exercise": {...}}: every value of the exercise, times as the watch keeps
// them (local, no zone), in UTF-8 with anything that is not UTF-8 replaced.
std::string WriteJson(const Exercise& exercise);

// The whole transfer: {"schemaVersion": 2, "family": "S510" (null without an exercise),
// "valid": true, "checkMessages": [...], "exercise": {...} or null}.
std::string WriteJson(const Transfer& transfer);

}  // namespace zendrik
