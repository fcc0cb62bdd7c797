// Capture from the desktop's default audio input (PulseAudio or PipeWire on Linux, the
// system's own on Windows and macOS) through Qt Multimedia.
#include <QAudioDevice>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>

#include "reception/live/capture_device.h"

namespace zendrik {

namespace {

// Codes reported when a step fails (the wording comes with them).
constexpr int kNoDevice = 6;      // there is no input device at all
constexpr int kNotOpen = 5;       // a step on a device that is not open

QString DescribeError(QAudio::Error error) {
    switch (error) {
        case QAudio::OpenError:
            return QStringLiteral("The sound input could not be opened.");
        case QAudio::IOError:
            return QStringLiteral("Reading from the sound input failed.");
        case QAudio::UnderrunError:
            return QStringLiteral("The sound input delivered no data in time.");
        case QAudio::FatalError:
            return QStringLiteral("The sound input stopped with a fatal error.");
        case QAudio::NoError:
            break;
    }
    return QString();
}

class QtCaptureDevice final : public CaptureDevice {
public:
    ~QtCaptureDevice() override { Close(); }

    DeviceResult Open(int sampleRate) override {
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (device.isNull()) return {kNoDevice, QStringLiteral("No sound input device is available.")};
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            return {kDeviceBadFormat,
                    QStringLiteral("The sound input does not record %1 samples per second, 16-bit mono.")
                        .arg(sampleRate)};
        }
        m_source = std::make_unique<QAudioSource>(device, format);
        m_source->setBufferSize(kQueuedBlocks * kBlockFrames * 2);
        QObject::connect(m_source.get(), &QAudioSource::stateChanged, [this](QAudio::State state) {
            // A source that stops by itself with an error (the sound server went away) ends
            // capture; a stop we asked for carries no error.
            if (state == QAudio::StoppedState && m_running && m_source->error() != QAudio::NoError) {
                m_running = false;
                if (onFailure) onFailure({static_cast<int>(m_source->error()), DescribeError(m_source->error())});
            }
        });
        return {};
    }

    DeviceResult Start() override {
        if (!m_source) return {kNotOpen, QStringLiteral("The sound input is not open.")};
        m_pending.clear();
        m_io = m_source->start();
        if (!m_io || m_source->error() != QAudio::NoError) {
            const QAudio::Error error = m_source->error() == QAudio::NoError ? QAudio::OpenError : m_source->error();
            m_io = nullptr;
            return {static_cast<int>(error), DescribeError(error)};
        }
        m_running = true;
        QObject::connect(m_io, &QIODevice::readyRead, [this] { Collect(); });
        return {};
    }

    DeviceResult Stop() override {
        if (!m_source) return {kNotOpen, QStringLiteral("The sound input is not open.")};
        m_running = false;
        if (m_io) Collect();
        m_source->stop();
        m_io = nullptr;
        return {};
    }

    DeviceResult Reset() override {
        if (!m_source) return {kNotOpen, QStringLiteral("The sound input is not open.")};
        // What was recorded but did not fill a block comes back as a last, shorter one.
        std::vector<std::int16_t> rest;
        rest.swap(m_pending);
        if (onBlock) onBlock(std::move(rest));
        return {};
    }

    DeviceResult Close() override {
        m_running = false;
        if (m_source) {
            m_source->stop();
            m_source.reset();
        }
        m_io = nullptr;
        return {};
    }

private:
    // Collects what the device delivers into blocks of exactly kBlockFrames frames.
    void Collect() {
        if (!m_io) return;
        const QByteArray data = m_io->readAll();
        const auto* samples = reinterpret_cast<const std::int16_t*>(data.constData());
        const std::size_t count = static_cast<std::size_t>(data.size()) / 2;
        for (std::size_t i = 0; i < count; ++i) {
            m_pending.push_back(samples[i]);
            if (m_pending.size() == kBlockFrames) {
                std::vector<std::int16_t> block;
                block.swap(m_pending);
                m_pending.reserve(kBlockFrames);
                if (onBlock) onBlock(std::move(block));
            }
        }
    }

    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_io = nullptr;
    std::vector<std::int16_t> m_pending;
    bool m_running = false;
};

}  // namespace

std::unique_ptr<CaptureDevice> MakeQtCaptureDevice() { return std::make_unique<QtCaptureDevice>(); }

namespace {
CaptureDeviceFactory& InstalledFactory() {
    static CaptureDeviceFactory factory;
    return factory;
}
}  // namespace

CaptureDeviceFactory CurrentCaptureDeviceFactory() {
    const CaptureDeviceFactory& installed = InstalledFactory();
    return installed ? installed : CaptureDeviceFactory(MakeQtCaptureDevice);
}

void SetCaptureDeviceFactory(CaptureDeviceFactory factory) { InstalledFactory() = std::move(factory); }

}  // namespace zendrik
