// Live reception as values: feed the sound as it comes, read how far the reading has got, and
// take the transfer once it is complete. For a caller without threads of its own to report to
// (the browser's worker, a test); the desktop program and zendrik-cli drive the same LiveDecoder
// from their decode thread and show its reports in the reading dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reception/live_decoder.h"

namespace zendrik {

// What a reading has shown so far: the state of the reading dialog ("receiving data...", ...),
// the bytes of the transfer in and announced, the loudest sample of the last block fed, and
// the reception hint after a broken block ("" before one).
struct LiveProgress {
    int state = kReadingWaiting;
    std::ptrdiff_t received = 0;
    std::ptrdiff_t expected = 0;
    int peak = 0;
    std::string advice;
};

class LiveReceiver {
public:
    // A reading of a transfer of `expected` (the exact pass's timing and framing) at the capture
    // rate `sampleRate`; the second receiver takes one of any of `known`, which must outlive it.
    LiveReceiver(const StreamFormat& expected, StreamFormats known, int sampleRate);
    LiveReceiver(const LiveReceiver&) = delete;
    LiveReceiver& operator=(const LiveReceiver&) = delete;

    // The next block of sound; ignored once the transfer is complete.
    void Feed(const std::int16_t* samples, std::ptrdiff_t count);

    const LiveProgress& Progress() const { return m_reports.progress; }
    bool Complete() const { return m_decoder.IsComplete(); }
    // The complete transfer: its bytes and how they were received; none before Complete().
    std::optional<LiveTransfer> Take() const { return m_decoder.Transfer(); }
    // The reading ends (the user stopped it): one more read of what was heard, so a transfer
    // that came whole since the second receiver last read is taken too.
    void Finish() { m_decoder.OnLastRead(); }
    // What was heard, its last two minutes at most: for the user to keep when nothing decoded.
    std::vector<std::int16_t> Heard() const { return m_decoder.HeardSound(); }

private:
    class Reports final : public ReadingReports {
    public:
        bool IsAlive() const override { return true; }
        void ReadLevel(int peak) override { progress.peak = peak; }
        void ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) override {
            progress.received = received;
            progress.expected = expected;
        }
        void ReadState(int state) override { progress.state = state; }
        void ReadAdvice(const std::string& advice) override { progress.advice = advice; }
        void CommandOk() override {}

        LiveProgress progress;
    };

    Reports m_reports;
    LiveDecoder m_decoder;
};

}  // namespace zendrik
