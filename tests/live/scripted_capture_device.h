// A sound input for tests: answers each device step from a script and plays given samples in
// blocks, as a sound card would hand them over.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reception/live/capture_device.h"

namespace zendrik {

struct DeviceScript {
    // Answers to Open, in turn; once used up every Open succeeds.
    std::vector<DeviceResult> openResults;
    DeviceResult startResult;
    DeviceResult stopResult;
    DeviceResult resetResult;
    DeviceResult closeResult;
    // Blocks handed over after Start, one every intervalMs (0: as fast as the loop runs).
    std::vector<std::vector<std::int16_t>> blocks;
    int intervalMs = 0;
    // After the blocks, quiet blocks keep coming, as from a sound card left recording.
    bool thenSilence = true;
    // What the device still holds when it is reset: handed back afterwards as the device's own
    // notification, as a sound card returns its queued buffers (logged as "returned").
    std::vector<std::int16_t> heldAtReset;

    // What the device was asked, for the test to look at (any thread).
    std::vector<std::string> Steps() const;
    std::vector<int> OpenRates() const;

    void Log(const std::string& step, int rate = 0);

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_steps;
    std::vector<int> m_openRates;
};

// A factory making scripted devices that all follow `script`.
CaptureDeviceFactory ScriptedDevices(std::shared_ptr<DeviceScript> script);

// Samples cut into blocks of kBlockFrames (the last one shorter).
std::vector<std::vector<std::int16_t>> InBlocks(const std::vector<std::int16_t>& samples);

}  // namespace zendrik
