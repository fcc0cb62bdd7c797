// What reception found in a recording and the sentences that tell the user: which receiver, the
// tone, its level and timing, the blocks, and when nothing was accepted, what to do about it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "reception/audio_clip.h"

namespace zendrik {

// Which receiver gave the bytes of a recording.
enum class ReceiverUsed { None, Exact, Second };

// Why nothing was accepted, in terms a user can act on.
enum class ReceptionFailure {
    None,
    NoSound,          // no samples, or a sample rate outside 8000..192000
    NoTone,           // nothing that looks like the watch's tone
    NoStreamHead,     // a tone, but no transfer start among its bytes
    BlocksFail,       // a transfer start, but some blocks fail their check or are missing
    NotConfident,     // checks pass, but bytes no checksum covers are not clean enough, or
                      // independent passes disagree on them
    NoMemory,         // the working arrays for so long a recording could not be had
};

// What reception found, for the command line's --verbose and the desktop program.
struct ReceptionReport {
    // Of a failure: Exact when the exact receiver's bytes are the ones that failed (live
    // reception), which needs a clearer tone than the second receiver.
    ReceiverUsed receiver = ReceiverUsed::None;
    int sampleRate = 0;
    double toneHz = 0;        // 0 when no tone was found
    // The tone's level and its ratio to the noise in its band, from the bits read; none when no
    // bits could be read from the tone.
    std::optional<double> levelDbfs;
    std::optional<double> snrDb;
    double bitPeriodSamples = 0;
    int bitsPerSecond = 0;    // the bit timing used: 490 (S410/S510, RS200/CS200) or 196 (Coach)
    int blocksGood = 0;
    int blocksTotal = 0;
    ReceptionFailure failure = ReceptionFailure::None;
    // Of a transfer whose head was read but which was not accepted: the sound ends before it
    // does (every block that arrived whole is good, and frames run on to the sound's end), and
    // how much of it arrived: bytes of the bytes its head announces, or (a Coach, whose head
    // announces none: bytesAnnounced 0) blocks of blocksTotal.
    bool soundEndsFirst = false;
    std::ptrdiff_t bytesArrived = 0;
    std::ptrdiff_t bytesAnnounced = 0;
    int blocksArrived = 0;
    // How the file stored the sound, as its reader found it.
    SoundCoding coding;
};

// A few lines (LF ended) for standard error: which receiver, rate, tone, level, SNR, bit period,
// blocks, and when nothing was accepted, what to do about it.
std::string FormatReceptionReport(const ReceptionReport& report);

// The advice for a failure, one sentence naming the cause the receiver saw and what to do: the
// sound ends before the transfer, a lossy codec at a low bit rate, a faint or noisy tone, no tone
// at all; "" for none.
std::string ReceptionAdvice(const ReceptionReport& report);

}  // namespace zendrik
