// The sound input behind live capture: opened, started, stopped, reset and closed by the
// capture thread, handing over blocks of recorded 16-bit mono samples in order.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zendrik {

// The result of a device step: 0, or an error code with the system's wording.
struct DeviceResult {
    int code = 0;
    QString text;
    bool Ok() const { return code == 0; }
};

// The device does not take the format asked for; the capture thread then tries 22050.
inline constexpr int kDeviceBadFormat = 32;

// Frames per block the capture thread passes on, and blocks the device keeps buffered.
inline constexpr int kBlockFrames = 10000;
inline constexpr int kQueuedBlocks = 50;

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;

    // Every step runs on the capture thread.
    virtual DeviceResult Open(int sampleRate) = 0;
    virtual DeviceResult Start() = 0;
    virtual DeviceResult Stop() = 0;
    virtual DeviceResult Reset() = 0;
    virtual DeviceResult Close() = 0;

    // Where filled blocks go (kBlockFrames frames each; a reset may hand back a shorter or
    // empty one), and where an error that ends capture goes.
    std::function<void(std::vector<std::int16_t>)> onBlock;
    std::function<void(DeviceResult)> onFailure;
};

// Makes the device; called on the capture thread, so the device belongs to it.
using CaptureDeviceFactory = std::function<std::unique_ptr<CaptureDevice>()>;

// The default audio input through Qt Multimedia.
std::unique_ptr<CaptureDevice> MakeQtCaptureDevice();

// The device live capture opens: Qt's, unless a test installed another. Read when a reading
// starts capture, on the capture thread; install before the capture thread runs.
CaptureDeviceFactory CurrentCaptureDeviceFactory();
// Installs a factory; an empty one goes back to Qt's.
void SetCaptureDeviceFactory(CaptureDeviceFactory factory);

}  // namespace zendrik
