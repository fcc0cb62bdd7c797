// The decode thread of live reception: collects and demodulates the captured blocks of a reading
// and, once its transfer is complete, hands it over to the reading's channel as a value.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "reception/live/worker_thread.h"
#include "reception/live_decoder.h"
#include "reception/stream_format.h"

namespace zendrik {

class ReadingChannel;

class DecodeThread : public WorkerThread {
    Q_OBJECT
public:
    // Starts the thread at once; it sits idle until a reading starts.
    DecodeThread();
    // Drops the work still queued, lets the call under way finish and joins the thread: nothing
    // of it outlives this object, however long that call takes.
    ~DecodeThread() override;

    // Each of these is queued and handled on the thread, in the order they were called.

    // A new reading of a transfer of `expected` (its timing and framing for the exact pass); the
    // second receiver takes one of any of `known`, which must outlive the thread. The reports and
    // the complete transfer go to `channel` (none: the thread is only prepared).
    void Start(const StreamFormat& expected, StreamFormats known, std::shared_ptr<ReadingChannel> channel);
    // Drops the collected samples; the reading goes on.
    void Restart();
    // The rate the capture device runs at.
    void SetSampleRate(int rate);
    // A captured block; it belongs to the decode thread from here on.
    void Samples(std::vector<std::int16_t> block);

private:
    LiveDecoder m_decoder;
    std::shared_ptr<ReadingChannel> m_channel;
};

}  // namespace zendrik
