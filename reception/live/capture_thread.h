// The capture thread of live reception: owns the sound input, passes every filled block to the
// decode thread and ends the reading with OK once the transfer is complete.
#pragma once

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "reception/live/capture_device.h"
#include "reception/live/decode_thread.h"
#include "reception/live/device_errors.h"
#include "reception/live/worker_thread.h"
#include "reception/stream_format.h"

namespace zendrik {

class ReadingChannel;

class CaptureThread : public WorkerThread {
    Q_OBJECT
public:
    // Where device errors go while no reading is open (user-interface thread).
    using ErrorSink = std::function<void(const QString&)>;

    // Starts the capture and the decode thread; between readings they sit idle. `appErrors` is
    // called in the thread of `errorContext`, and only while that object lives: an error still on
    // its way when the context goes is dropped with it. The context must outlive this object.
    CaptureThread(CaptureDeviceFactory makeDevice, QObject* errorContext, ErrorSink appErrors);
    // Stops capture, closes the device and ends both threads, waiting for them: work still
    // queued is dropped, and neither thread nor anything it holds outlives this object.
    ~CaptureThread() override;

    // Each of these is queued and handled on the capture thread, in the order they were called.

    // Starts a reading of a transfer of `expected` (any of `known` for the second receiver, which
    // must outlive the threads) for `channel` (none: the decode thread is prepared, nothing is
    // captured). A reading already recording is left as it is.
    void Start(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel);
    // Stops capture; the device is closed once it has had time to hand back what it held.
    void Stop();
    // Drops what the decode thread has collected; capture goes on.
    void Restart();

private:
    void OnStart(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel);
    void OnStop();
    void CloseSettled();
    void OnBlock(std::vector<std::int16_t> block);
    void AtEnd() override;
    void ReportError(DeviceStep step, const DeviceResult& result);
    bool DialogAlive() const;

    CaptureDeviceFactory m_makeDevice;
    QObject* m_errorContext;
    ErrorSink m_appErrors;
    std::unique_ptr<CaptureDevice> m_device;
    bool m_recording = false;
    bool m_deviceOpen = false;
    // A stopped device waits this long before it is closed, so the blocks it hands back on the
    // reset still arrive; a timer, so the loop goes on delivering them meanwhile.
    bool m_closePending = false;
    std::unique_ptr<QTimer> m_settle;
    std::shared_ptr<ReadingChannel> m_dialog;
    std::unique_ptr<DecodeThread> m_decoder;
};

}  // namespace zendrik
