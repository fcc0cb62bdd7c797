// Everything the second receiver gives for a recording, as text: to compare two ways of
// receiving the same sound in one expectation, and to show where they differ.
#pragma once

#include <string>

#include "reception/second_receiver.h"

namespace zendrik::testing_streams {

// Whether accepted, the bytes, and each transfer's place, bytes and report lines.
std::string ReceptionSummary(const zendrik::SecondReception& reception);

}  // namespace zendrik::testing_streams
