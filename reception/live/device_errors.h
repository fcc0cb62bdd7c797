// What the user is told when the sound input fails: the step in plain words, the code and the
// system's own wording. The reading dialog and zendrik-cli show the same text.
#pragma once

#include <QString>

#include "reception/live/capture_device.h"

namespace zendrik {

// The device steps of a reading whose failure is reported.
enum class DeviceStep {
    Open,     // opening the input at the capture format
    Start,    // starting to record
    Capture,  // recording stopped by itself (the sound server went away, say)
    Stop,
    Reset,    // taking back what the device still holds
    Close,
};

// One line, e.g. "Could not open the sound input (code 6): No sound input device is
// available." The system's wording is cut to 256 characters; without one the line ends after
// the code.
QString DeviceErrorText(DeviceStep step, const DeviceResult& result);

}  // namespace zendrik
