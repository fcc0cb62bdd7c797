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
#include "reception/reception_report.h"
#include "reception/sample_source.h"
#include "reception/stream_format.h"

namespace zendrik {

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

// The same for the sound of `source`, read in passes from its start, so that a recording of any
// length costs no more memory than its longest stretch of tone: one counts the samples and
// clicks, one finds the tone and where it sounds, holding a few seconds at a time, and then each
// stretch where the tone sounds (with a few seconds either side) is read again and held while it
// is searched for transfers. The transfers, their places, bytes and reports are those ReceiveClip
// gives for the same samples, as long as the source hands over the same samples on every pass;
// one that cannot rewind, or holds fewer samples on a later pass, leaves its stretches unread.
SecondReception ReceiveSource(SampleSource& source, StreamFormats formats, int most = 1);

// The same for 16-bit samples at a rate, as the WAV reader and live capture collect them.
SecondReception ReceiveSamples(const std::int16_t* samples, std::ptrdiff_t count, int sampleRate,
                               StreamFormats formats, int most = 1);

}  // namespace zendrik
