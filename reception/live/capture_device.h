// The sound input behind live capture: opened, started, stopped, reset and closed by the
// capture thread, handing over blocks of recorded 16-bit mono samples in order.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The result of a device step: 0, or an error code with the system's wording.
struct CDeviceResult {
    int code = 0;
    QString text;
    bool Ok() const { return code == 0; }
};

// The device does not take the format asked for; the capture thread then tries 22050.
inline constexpr int kDeviceBadFormat = 32;

// Frames per block the capture thread passes on, and blocks the device keeps buffered.
inline constexpr int kBlockFrames = 10000;
inline constexpr int kQueuedBlocks = 50;

class CCaptureDevice {
public:
    virtual ~CCaptureDevice() = default;

    // Every step runs on the capture thread.
    virtual CDeviceResult Open(int sampleRate) = 0;
    virtual CDeviceResult Start() = 0;
    virtual CDeviceResult Stop() = 0;
    virtual CDeviceResult Reset() = 0;
    virtual CDeviceResult Close() = 0;

    // Where filled blocks go (kBlockFrames frames each; a reset may hand back a shorter or
    // empty one), and where an error that ends capture goes.
    std::function<void(std::vector<std::int16_t>)> onBlock;
    std::function<void(CDeviceResult)> onFailure;
};

// Makes the device; called on the capture thread, so the device belongs to it.
using CCaptureDeviceFactory = std::function<std::unique_ptr<CCaptureDevice>()>;

// The default audio input through Qt Multimedia.
std::unique_ptr<CCaptureDevice> MakeQtCaptureDevice();

// The device live capture opens: Qt's, unless a test installed another. Read when a reading
// starts capture, on the capture thread; install before the capture thread runs.
CCaptureDeviceFactory CaptureDeviceFactory();
// Installs a factory; an empty one goes back to Qt's.
void SetCaptureDeviceFactory(CCaptureDeviceFactory factory);
