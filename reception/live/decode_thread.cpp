#include "reception/live/decode_thread.h"

#include "reception/live/reading_channel.h"

namespace zendrik {

DecodeThread::DecodeThread() { start(); }

DecodeThread::~DecodeThread() {
    // Blocks still queued belong to a reading that is ending: nobody waits for them. The call
    // under way is one pass over a bounded collection, so the wait for it is bounded too.
    DropQueued();
    Post([this] {
        m_decoder.OnQuit();
        m_channel.reset();
        EndLoop();
    });
    wait();
}

void DecodeThread::Start(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel) {
    Post([this, expected, known, channel = std::move(channel)] {
        m_channel = channel;
        m_decoder.OnStart(expected, known, m_channel.get());
    });
}

void DecodeThread::Restart() {
    Post([this] { m_decoder.OnReset(); });
}

void DecodeThread::SetSampleRate(int rate) {
    Post([this, rate] { m_decoder.SetSampleRate(rate); });
}

void DecodeThread::Samples(std::vector<std::int16_t> block) {
    Post([this, block = std::move(block)] {
        const bool wasComplete = m_decoder.IsComplete();
        m_decoder.OnSamples(block.data(), static_cast<std::ptrdiff_t>(block.size()));
        // The transfer goes to the channel as a copy, before the capture thread can see that
        // there is one and end the reading with OK.
        if (!wasComplete && m_channel) {
            if (std::optional<LiveTransfer> transfer = m_decoder.Transfer()) m_channel->KeepTransfer(std::move(*transfer));
        }
    });
}

}  // namespace zendrik
