// The capture thread of live reception: owns the sound input, passes every filled block to the
// decode thread and ends the reading dialog with OK once the transfer is complete.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "reception/live/capture_device.h"
#include "reception/live/decode_sound.h"
#include "reception/live/device_errors.h"
#include "reception/live/message_thread.h"

class CReadingChannel;

class CRecordSound : public CMessageThread {
    Q_OBJECT
public:
    // Where device errors go while no reading dialog is open (user-interface thread).
    using ErrorSink = std::function<void(const QString&)>;

    // Starts the decode thread at once; the capture thread itself starts with StartThread().
    // `appErrors` is called in the thread of `errorContext`, and only while that object
    // lives: an error still on its way when the context goes is dropped with it. The context
    // must outlive this object.
    CRecordSound(int sampleRate, CCaptureDeviceFactory makeDevice, QObject* errorContext, ErrorSink appErrors);
    ~CRecordSound() override;

    // Starts a reading for `channel` (none: the decode thread is prepared, nothing is captured).
    void PostStart(int watchModel, std::shared_ptr<CReadingChannel> channel);

    CDecodeSound* Decoder() const { return m_decoder.get(); }
    // The rate capture runs at: 44100, or 22050 after the device refused 44100.
    int SampleRate() const { return m_sampleRate.load(); }

protected:
    void OnMessage(CThreadMessage& message) override;
    void ExitInstance() override;

private:
    void OnStart(int watchModel, std::shared_ptr<CReadingChannel> channel);
    void OnStop();
    void OnData(std::vector<std::int16_t> block);
    void ReportError(DeviceStep step, const CDeviceResult& result);
    bool DialogAlive() const;

    CCaptureDeviceFactory m_makeDevice;
    QObject* m_errorContext;
    ErrorSink m_appErrors;
    std::unique_ptr<CCaptureDevice> m_device;
    std::atomic<int> m_sampleRate;
    bool m_recording = false;
    bool m_deviceOpen = false;
    std::shared_ptr<CReadingChannel> m_dialog;
    std::unique_ptr<CDecodeSound> m_decoder;
};
