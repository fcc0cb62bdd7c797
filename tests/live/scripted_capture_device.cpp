#include "scripted_capture_device.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>

namespace zendrik {

std::vector<std::string> DeviceScript::Steps() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_steps;
}

std::vector<int> DeviceScript::OpenRates() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_openRates;
}

void DeviceScript::Log(const std::string& step, int rate) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_steps.push_back(step);
    if (step == "open") m_openRates.push_back(rate);
}

namespace {

class ScriptedCaptureDevice final : public CaptureDevice {
public:
    explicit ScriptedCaptureDevice(std::shared_ptr<DeviceScript> script) : m_script(std::move(script)) {
        // Made on the capture thread, so the timer runs there too.
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Play(); });
    }

    DeviceResult Open(int sampleRate) override {
        m_script->Log("open", sampleRate);
        if (m_opens < m_script->openResults.size()) return m_script->openResults[m_opens++];
        return {};
    }
    DeviceResult Start() override {
        m_script->Log("start");
        if (!m_script->startResult.Ok()) return m_script->startResult;
        m_timer.start(m_script->intervalMs);
        return {};
    }
    DeviceResult Stop() override {
        m_script->Log("stop");
        m_timer.stop();
        return m_script->stopResult;
    }
    DeviceResult Reset() override {
        m_script->Log("reset");
        if (!m_script->heldAtReset.empty()) {
            QMetaObject::invokeMethod(
                &m_timer,
                [this] {
                    m_script->Log("returned");
                    if (onBlock) onBlock(m_script->heldAtReset);
                },
                Qt::QueuedConnection);
        }
        return m_script->resetResult;
    }
    DeviceResult Close() override {
        m_script->Log("close");
        m_timer.stop();
        return m_script->closeResult;
    }

private:
    void Play() {
        if (m_next < m_script->blocks.size()) {
            if (onBlock) onBlock(m_script->blocks[m_next]);
            ++m_next;
            return;
        }
        if (!m_script->thenSilence) {
            m_timer.stop();
            return;
        }
        m_timer.setInterval(std::max(m_script->intervalMs, 5));
        if (onBlock) onBlock(std::vector<std::int16_t>(kBlockFrames, 0));
    }

    std::shared_ptr<DeviceScript> m_script;
    QTimer m_timer;
    std::size_t m_opens = 0;
    std::size_t m_next = 0;
};

}  // namespace

CaptureDeviceFactory ScriptedDevices(std::shared_ptr<DeviceScript> script) {
    return [script] { return std::make_unique<ScriptedCaptureDevice>(script); };
}

std::vector<std::vector<std::int16_t>> InBlocks(const std::vector<std::int16_t>& samples) {
    std::vector<std::vector<std::int16_t>> blocks;
    for (std::size_t at = 0; at < samples.size(); at += kBlockFrames) {
        const std::size_t end = std::min(samples.size(), at + kBlockFrames);
        blocks.emplace_back(samples.begin() + static_cast<std::ptrdiff_t>(at),
                            samples.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return blocks;
}

}  // namespace zendrik
