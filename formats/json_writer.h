// The exercise as JSON, for scripts and other tools.
#pragma once

#include <string>

#include "decoders/exercise.h"
#include "decoders/transfer.h"

namespace zendrik {

// Bumped whenever a key changes meaning or goes away; new keys keep the version.
inline constexpr int kJsonSchemaVersion = 1;

// {"schemaVersion": 1, "exercise": {...}}: every value of the exercise, times as the watch keeps
// them (local, no zone), in UTF-8 with anything that is not UTF-8 replaced.
std::string WriteJson(const Exercise& exercise);

// The whole transfer: {"schemaVersion": 1, "family": "S510" (null without an exercise),
// "valid": true, "checkMessages": [...], "exercise": {...} or null}.
std::string WriteJson(const Transfer& transfer);

}  // namespace zendrik
