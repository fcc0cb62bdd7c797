// The second receiver: reads SonicLink transfers from real, imperfect recordings (any sample rate,
// noise, hum, quiet or clipped sound, clicks, a clock a few percent off) by finding the tone,
// measuring its energy per bit with a threshold that follows the local level, and keeping only
// what passes every check of the transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reception/audio_clip.h"
#include "reception/stream_format.h"

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

// One transfer accepted in a recording, and where it sounds there.
struct ReceivedTransfer {
    std::vector<std::uint8_t> bytes;  // from its preamble to its last block
    ReceptionReport report;
    std::ptrdiff_t firstSample = 0;  // where its first frame's start bit begins
    std::ptrdiff_t endSample = 0;    // just after its last frame
};

struct SecondReception {
    // The first transfer in the recording: its bytes and how it was received; when none was
    // accepted, the report says why.
    bool accepted = false;
    std::vector<std::uint8_t> bytes;
    ReceptionReport report;
    // Every transfer accepted, in the order they sound, the first among them.
    std::vector<ReceivedTransfer> transfers;
};

// Lowest and highest sample rate the second receiver works at.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 192000;

// Lowest sample rate that can hold the watch's tone as far as it is known here: about 4400 Hz, a
// few per cent either way with the watch's clock, and a rate must be twice the highest frequency
// it keeps. The watches' own frequency is not documented, so a recording below it is still tried
// (a lower tone decodes); when neither receiver reads it, its rate is the reason given, whatever
// the container: an 8000 Hz WAV and a phone's AMR-NB file of the same sound say the same.
inline constexpr int kLowestRateForTone = 9000;
inline std::string RateTooLowReason(int rate) {
    return "recorded at " + std::to_string(rate) +
           " Hz, too low a rate to hold the watch's tone (about 4400 Hz): record in M4A/AAC or WAV "
           "at 44100 or 48000 Hz";
}

// Receives a recording as a transfer of any of `formats`: every bit timing among them is tried,
// and the family comes from the stream head. Bytes are accepted only when the stream head and
// every block check pass, and every byte no checksum covers (RS200/CS200: all but the head; the
// others: the head) comes from a clean frame that two independent passes agree on; otherwise
// `accepted` is false and the report says why. Work and memory are linear in the number of
// samples. Up to `most` transfers are looked for, one after another anywhere in the recording.
SecondReception ReceiveClip(const AudioClip& clip, StreamFormats formats, int most = 1);

// The same for 16-bit samples at a rate, as the WAV reader and live capture collect them.
SecondReception ReceiveSamples(const std::int16_t* samples, std::ptrdiff_t count, int sampleRate,
                               StreamFormats formats, int most = 1);

// A few lines (LF ended) for standard error: which receiver, rate, tone, level, SNR, bit period,
// blocks, and when nothing was accepted, what to do about it.
std::string FormatReceptionReport(const ReceptionReport& report);

// The advice for a failure, one sentence naming the cause the receiver saw and what to do: the
// sound ends before the transfer, a lossy codec at a low bit rate, a faint or noisy tone, no tone
// at all; "" for none.
std::string ReceptionAdvice(const ReceptionReport& report);

}  // namespace zendrik
