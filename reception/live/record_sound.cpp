#include "reception/live/record_sound.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "reception/live/device_errors.h"
#include "reception/live/reading_channel.h"

namespace {

// How long a stop waits for the device to hand back what it still holds.
constexpr unsigned long kStopSettleMs = 500;
// How long the end of the capture thread waits for the decode thread.
constexpr unsigned long kThreadEndMs = 5000;

}  // namespace

CRecordSound::CRecordSound(int sampleRate, CCaptureDeviceFactory makeDevice, QObject* errorContext,
                           ErrorSink appErrors)
    : m_makeDevice(std::move(makeDevice)),
      m_errorContext(errorContext),
      m_appErrors(std::move(appErrors)),
      m_sampleRate(sampleRate),
      m_decoder(std::make_unique<CDecodeSound>()) {
    m_decoder->StartThread();
}

CRecordSound::~CRecordSound() {
    if (isRunning()) {
        // The capture thread ends the decode thread itself, and its way out is bounded by our
        // own waits (the stop settling, the decode thread's end); only then may it go.
        PostMessage(WM_REC_QUIT);
        wait();
        return;
    }
    // The capture thread never ran: the decode thread is ours to end.
    if (m_decoder && m_decoder->isRunning()) {
        m_decoder->PostMessage(WM_DEC_QUIT);
        if (!m_decoder->WaitForEnd(kThreadEndMs)) (void)m_decoder.release();  // cannot be freed
    }
}

void CRecordSound::PostStart(int watchModel, std::shared_ptr<CReadingChannel> channel) {
    auto* message = new CThreadMessage(WM_REC_START, watchModel);
    message->channel = std::move(channel);
    PostMessage(message);
}

void CRecordSound::OnMessage(CThreadMessage& message) {
    switch (message.message) {
        case WM_REC_START:
            OnStart(static_cast<int>(message.wParam), message.channel);
            break;
        case WM_REC_STOP:
            OnStop();
            break;
        case WM_REC_RESTART:
            m_decoder->PostMessage(WM_DEC_RESET);
            break;
        case MM_WIM_DATA:
            OnData(std::move(message.samples));
            break;
        case WM_REC_QUIT:
            m_dialog.reset();
            OnStop();
            EndMessageLoop();
            break;
        default:
            break;
    }
}

void CRecordSound::ExitInstance() {
    // The device goes with the thread it belongs to, before the application object does.
    if (m_device && m_deviceOpen) m_device->Close();
    m_device.reset();
    m_decoder->PostMessage(WM_DEC_QUIT);
    if (!m_decoder->WaitForEnd(kThreadEndMs)) (void)m_decoder.release();
}

bool CRecordSound::DialogAlive() const { return m_dialog && m_dialog->IsAlive(); }

void CRecordSound::OnStart(int watchModel, std::shared_ptr<CReadingChannel> channel) {
    if (m_recording) return;
    m_sampleRate = 44100;
    m_dialog = std::move(channel);
    auto* start = new CThreadMessage(WM_DEC_START, watchModel);
    start->channel = m_dialog;
    m_decoder->PostMessage(start);
    if (!m_dialog) return;

    if (!m_device) {
        m_device = m_makeDevice();
        m_device->onBlock = [this](std::vector<std::int16_t> block) {
            // The device hands blocks over in this thread; they queue like any message.
            auto* data = new CThreadMessage(MM_WIM_DATA);
            data->samples = std::move(block);
            PostMessage(data);
        };
        m_device->onFailure = [this](CDeviceResult result) {
            m_recording = false;
            ReportError(DeviceStep::Capture, result);
        };
    }
    CDeviceResult opened = m_device->Open(m_sampleRate);
    if (opened.code == kDeviceBadFormat) {
        m_sampleRate = 22050;
        opened = m_device->Open(m_sampleRate);
    }
    m_decoder->PostMessage(WM_DEC_RATE, m_sampleRate);
    if (!opened.Ok()) {
        ReportError(DeviceStep::Open, opened);
        return;
    }
    m_deviceOpen = true;
    const CDeviceResult started = m_device->Start();
    if (!started.Ok()) {
        ReportError(DeviceStep::Start, started);
        m_device->Close();
        m_deviceOpen = false;
        return;
    }
    m_recording = true;
}

void CRecordSound::OnStop() {
    if (!m_recording) return;
    const CDeviceResult stopped = m_device->Stop();
    CDeviceResult reset;
    if (!stopped.Ok()) {
        ReportError(DeviceStep::Stop, stopped);
    } else {
        reset = m_device->Reset();
        if (!reset.Ok()) {
            ReportError(DeviceStep::Reset, reset);
        } else {
            m_recording = false;
        }
    }
    QThread::msleep(kStopSettleMs);
    if (stopped.Ok() && reset.Ok()) {
        const CDeviceResult closed = m_device->Close();
        m_deviceOpen = false;
        if (!closed.Ok()) ReportError(DeviceStep::Close, closed);
    }
}

void CRecordSound::OnData(std::vector<std::int16_t> block) {
    // The loudest sample of the block for the level meter; an empty block leaves it at the
    // lowest value, which the meter shows as 0.
    int peak = -32768;
    for (std::int16_t s : block) peak = std::max<int>(peak, s);
    if (!block.empty()) {
        auto* samples = new CThreadMessage(WM_DEC_SAMPLES, static_cast<std::intptr_t>(block.size()));
        samples->samples = std::move(block);
        m_decoder->PostMessage(samples);
    }
    if (DialogAlive()) m_dialog->ReadLevel(peak);
    if (m_decoder->Decoder().IsComplete() && DialogAlive()) m_dialog->CommandOk();
}

void CRecordSound::ReportError(DeviceStep step, const CDeviceResult& result) {
    const QString text = DeviceErrorText(step, result);
    if (DialogAlive()) {
        m_dialog->DeviceError(text);
    } else if (m_appErrors && m_errorContext) {
        // No dialog to own the message: whoever started the threads shows it, in its own thread.
        QMetaObject::invokeMethod(m_errorContext, [sink = m_appErrors, text] { sink(text); }, Qt::QueuedConnection);
    }
}
