// The work of the decode thread of live reception: collect the captured samples, demodulate
// everything collected after every block, recognise the stream head, check the blocks, and tell
// the reading dialog how far the transfer has come, until all expected bytes are in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reception/live_demodulator.h"
#include "reception/received_bytes.h"
#include "reception/second_receiver.h"
#include "reception/stream_format.h"
#include "reception/transfer_acceptance.h"

namespace zendrik {

// A complete transfer of a live reading and how it was received: the value the decode thread
// hands over at the end of a reading.
struct LiveTransfer {
    ReceivedBytes bytes;
    ReceptionReport reception;
};

// Reading states shown by the reading dialog.
enum ReadingState : int {
    kReadingWaiting = 1,    // "waiting for data..."
    kReadingReceiving = 2,  // "receiving data..."
    kReadingComplete = 3,   // "complete"
    kReadingCrcError = 4,   // "CRC error"
    kReadingSecond = 5,     // "second receiver reading..."
};

// The text the reading dialog shows for a state; nullptr for a value that is not a state.
const char* ReadingStateText(int state);

// What the reception threads tell the reading dialog. Implementations may be called from the
// worker threads; IsAlive says whether the dialog is still there to be told.
class ReadingReports {
public:
    virtual ~ReadingReports() = default;
    virtual bool IsAlive() const = 0;
    virtual void ReadLevel(int peak) = 0;
    virtual void ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) = 0;
    virtual void ReadState(int state) = 0;
    // After a broken block: what went wrong and what to do, in the words of the reception hint.
    virtual void ReadAdvice(const std::string& advice) = 0;
    // Ends the dialog with OK: the transfer is complete.
    virtual void CommandOk() = 0;
};

// While no stream head is found, a collection above kTrimAbove samples keeps its last kTrimTo,
// or more where a stream head takes longer to send (see SamplesKeptWithoutHead).
inline constexpr std::ptrdiff_t kTrimAbove = 40000;
inline constexpr std::ptrdiff_t kTrimTo = 20000;

// How many of the newest samples a trim keeps at a bit timing: kTrimTo, or the sound of 13
// frames with their quiet gaps when that is longer. A head found later must have begun in what
// was kept, so whatever moment a transfer starts, some pass holds its whole head.
std::ptrdiff_t SamplesKeptWithoutHead(BitTiming timing);

// While the exact pass has no transfer going, the second receiver reads the last
// kSecondWindowSeconds of sound after every kSecondPassSeconds of new sound: the longest transfer
// (about 93 seconds) fits the window, and a pass over it costs well under 2 % of the time between
// passes.
inline constexpr int kSecondPassSeconds = 10;
inline constexpr int kSecondWindowSeconds = 120;
// A transfer the exact pass is reading goes to the second receiver when no new byte has come for
// this long: a frame it missed leaves it short of the length the head announced for good.
inline constexpr int kStallSeconds = 3;

class LiveDecoder {
public:
    // A new reading of a transfer of `expected` (its timing and framing for the exact pass);
    // the second receiver takes a transfer of any of `known`, which must outlive the reading.
    // Drops the collected samples, clears the complete flag.
    void OnStart(const zendrik::StreamFormat& expected, zendrik::StreamFormats known,
                 ReadingReports* dialog);
    // Restart: drops the collected samples; the complete flag stays.
    void OnReset();
    // End: drops the collected samples.
    void OnQuit();
    // The reading is to end with what has arrived: a transfer not complete yet gets one more
    // read of the sound heard by the second receiver, which otherwise reads it only every
    // kSecondPassSeconds, so a transfer that ended just before is not lost.
    void OnLastRead();
    // A captured block: collected and demodulated with everything before it (ignored once the
    // transfer is complete).
    void OnSamples(const std::int16_t* samples, std::ptrdiff_t count);
    // The rate the capture device runs at, which sets the bit timing.
    void SetSampleRate(int rate) { m_sampleRate = rate; }

    // Whether the transfer is all in (no more samples are taken then).
    bool IsComplete() const { return m_complete; }
    // The complete transfer as a value to hand over; none before IsComplete().
    std::optional<zendrik::LiveTransfer> Transfer() const;
    // The bytes demodulated so far; stable once IsComplete() (no more samples are taken).
    const ReceivedBytes& Bytes() const { return m_bytes; }
    std::ptrdiff_t SampleCount() const { return m_collected.SampleCount(); }
    const std::vector<std::int16_t>& CollectedSamples() const { return m_collected.Samples(); }
    int SampleRate() const { return m_sampleRate; }
    // The sound heard, its last kSecondWindowSeconds at most.
    std::vector<std::int16_t> HeardSound() const {
        return {m_recent.begin() + static_cast<std::ptrdiff_t>(m_recentStart), m_recent.end()};
    }
    const zendrik::StreamFormat& Expected() const { return m_expected; }
    zendrik::StreamFormats Known() const { return m_known; }
    // Whether the second receiver gave the bytes (it takes a transfer of any known family, at
    // any of their bit timings), and how it received them; stable once IsComplete().
    bool ReceivedBySecond() const { return m_bySecond; }
    const zendrik::ReceptionReport& SecondReport() const { return m_secondReport; }

private:
    bool DemodulationPass();
    // Whether the bytes, all the head announces being in, hold a block that is not whole and
    // good.
    static bool ArrivedTransferFails(const zendrik::TransferCheck& check);
    // With the `expected` bytes of a transfer in: true when the transfer may be taken. One that no
    // checksum covers waits for the rest of its sound, then the second receiver's bytes replace
    // the exact pass's where it is sure of others (the reading is then complete already).
    bool ChecklessTransferSettled(const zendrik::TransferCheck& check, std::ptrdiff_t expected);
    std::string BrokenBlockAdvice() const;
    void KeepRecent(const std::int16_t* samples, std::ptrdiff_t count);
    void SecondReceiverPass();
    // After a broken block: when the second receiver is to read the transfer, once the rest of it
    // should have arrived by the pace its frames came at.
    void PlanHandOver(std::ptrdiff_t expected);
    // The second receiver reads the window for the transfer the exact pass failed or stalled on.
    void HandOver(bool stalled);
    zendrik::SecondReception ReadWindow();
    // Completes the reading with the second receiver's transfer; `announced` when the dialog
    // already shows that receiver at work.
    void TakeSecond(const zendrik::SecondReception& second, bool announced);
    void ForgetRecent();
    bool DialogAlive() const { return m_dialog && m_dialog->IsAlive(); }

    ReadingReports* m_dialog = nullptr;
    ReceivedBytes m_bytes;
    bool m_complete = false;
    LiveDemodulator m_collected;
    // Nothing is read before the first OnStart: a format without a timing finds no frames.
    zendrik::StreamFormat m_expected;
    zendrik::StreamFormats m_known;
    int m_sampleRate = 44100;
    // The exact pass has a stream head whose blocks check out so far.
    bool m_exactReceiving = false;
    // Samples heard since the reading began, and where in them the exact pass's bytes last
    // changed, and how many it had then.
    std::ptrdiff_t m_heard = 0;
    std::ptrdiff_t m_exactChangedAt = 0;
    std::ptrdiff_t m_exactCount = 0;
    // Where in the sound heard the second receiver is to read a transfer whose block the exact
    // pass found broken; -1 for none.
    std::ptrdiff_t m_handOverAt = -1;
    // The last kSecondWindowSeconds of sound from m_recentStart on; what lies before it is
    // dropped in one go once it is as long as the window, so keeping costs O(1) per sample.
    std::vector<std::int16_t> m_recent;
    std::size_t m_recentStart = 0;
    std::ptrdiff_t m_sinceSecondPass = 0;
    bool m_bySecond = false;
    zendrik::ReceptionReport m_secondReport;
};

}  // namespace zendrik
