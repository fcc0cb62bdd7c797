#include "reception/live/capture_thread.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>

#include "reception/live/reading_channel.h"

namespace zendrik {

namespace {

// How long a stopped device has to hand back what it still holds before it is closed.
constexpr int kStopSettleMs = 500;

}  // namespace

CaptureThread::CaptureThread(CaptureDeviceFactory makeDevice, QObject* errorContext, ErrorSink appErrors)
    : m_makeDevice(std::move(makeDevice)),
      m_errorContext(errorContext),
      m_appErrors(std::move(appErrors)),
      m_decoder(std::make_unique<DecodeThread>()) {
    start();
}

CaptureThread::~CaptureThread() {
    // The way out is one device stop and close, and the decode thread's end (which drops the
    // blocks it has not read yet).
    Post([this] {
        m_dialog.reset();
        OnStop();
        if (m_closePending) CloseSettled();
        EndLoop();
    });
    wait();
}

void CaptureThread::Start(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel) {
    Post([this, expected, known, channel = std::move(channel)] { OnStart(expected, known, channel); });
}

void CaptureThread::Stop() {
    Post([this] { OnStop(); });
}

void CaptureThread::Restart() {
    Post([this] { m_decoder->Restart(); });
}

void CaptureThread::AtEnd() {
    // The device goes with the thread it belongs to, before the application object does; the
    // decode thread is joined.
    m_settle.reset();
    if (m_device && m_deviceOpen) m_device->Close();
    m_device.reset();
    m_decoder.reset();
}

bool CaptureThread::DialogAlive() const { return m_dialog && m_dialog->IsAlive(); }

void CaptureThread::OnStart(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel) {
    if (m_recording) return;
    // A device still settling from the last reading is closed before it opens again.
    if (m_closePending) CloseSettled();
    int sampleRate = 44100;
    m_dialog = std::move(channel);
    m_decoder->Start(expected, known, m_dialog);
    if (!m_dialog) return;

    if (!m_device) {
        m_device = m_makeDevice();
        m_device->onBlock = [this](std::vector<std::int16_t> block) {
            // The device hands blocks over in this thread; they queue like any call.
            Post([this, block = std::move(block)]() mutable { OnBlock(std::move(block)); });
        };
        m_device->onFailure = [this](DeviceResult result) {
            m_recording = false;
            ReportError(DeviceStep::Capture, result);
        };
    }
    DeviceResult opened = m_device->Open(sampleRate);
    if (opened.code == kDeviceBadFormat) {
        sampleRate = 22050;
        opened = m_device->Open(sampleRate);
    }
    m_decoder->SetSampleRate(sampleRate);
    if (!opened.Ok()) {
        ReportError(DeviceStep::Open, opened);
        return;
    }
    m_deviceOpen = true;
    const DeviceResult started = m_device->Start();
    if (!started.Ok()) {
        ReportError(DeviceStep::Start, started);
        m_device->Close();
        m_deviceOpen = false;
        return;
    }
    m_recording = true;
}

void CaptureThread::OnStop() {
    if (!m_recording) return;
    const DeviceResult stopped = m_device->Stop();
    if (!stopped.Ok()) {
        ReportError(DeviceStep::Stop, stopped);
        return;  // a device that did not stop is not closed
    }
    const DeviceResult reset = m_device->Reset();
    if (!reset.Ok()) {
        ReportError(DeviceStep::Reset, reset);
        return;
    }
    m_recording = false;
    m_closePending = true;
    if (!m_settle) {
        m_settle = std::make_unique<QTimer>();
        m_settle->setSingleShot(true);
        QObject::connect(m_settle.get(), &QTimer::timeout, [this] {
            if (m_closePending) CloseSettled();
        });
    }
    m_settle->start(kStopSettleMs);
}

void CaptureThread::CloseSettled() {
    m_closePending = false;
    m_settle->stop();
    const DeviceResult closed = m_device->Close();
    m_deviceOpen = false;
    if (!closed.Ok()) ReportError(DeviceStep::Close, closed);
}

void CaptureThread::OnBlock(std::vector<std::int16_t> block) {
    // The loudest sample of the block for the level meter; an empty block leaves it at the
    // lowest value, which the meter shows as 0.
    int peak = -32768;
    for (std::int16_t s : block) peak = std::max<int>(peak, s);
    if (!block.empty()) m_decoder->Samples(std::move(block));
    if (DialogAlive()) m_dialog->ReadLevel(peak);
    // The decode thread keeps the complete transfer in the reading's channel; the reading ends
    // with OK with the next block after that.
    if (DialogAlive() && m_dialog->HasTransfer()) m_dialog->CommandOk();
}

void CaptureThread::ReportError(DeviceStep step, const DeviceResult& result) {
    const QString text = DeviceErrorText(step, result);
    if (DialogAlive()) {
        m_dialog->DeviceError(text);
    } else if (m_appErrors && m_errorContext) {
        // No dialog to own the message: whoever started the threads shows it, in its own thread.
        QMetaObject::invokeMethod(m_errorContext, [sink = m_appErrors, text] { sink(text); }, Qt::QueuedConnection);
    }
}

}  // namespace zendrik
