// One reading of a transfer from the tone's envelope at one timing, and what the receiver's
// stages ask of it: how far it got, whether its transfer is over, where its bursts sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "reception/frame_reader.h"
#include "reception/stream_format.h"
#include "reception/transfer_acceptance.h"

namespace zendrik {

struct Attempt {
    TransferCheck check;
    std::vector<std::uint8_t> bytes;  // the transfer, when its head was found
    std::vector<Frame> frames;        // the frames of the transfer
    double period = 0;
    double offset = 0;  // in bit periods
};

// The sound the envelopes were made from, for looking at single bits again.
struct SoundView {
    const float* samples = nullptr;
    std::ptrdiff_t count = 0;
    int sampleRate = 0;
    double toneHz = 0;
};

// Bursts the tone's frequency is measured over: a few hundred give it to a hertz or two.
inline constexpr std::size_t kMostTuningBursts = 400;

// The transfer among the frames of a reading at `period`, its sampling points shifted by
// `offset` bit periods.
Attempt FromFrames(const std::vector<Frame>& frames, double period, double offset,
                   StreamFormats formats);

// Of two failed attempts, the one that says more about what went wrong: more good blocks, or as
// many and complete.
bool MorePromising(const Attempt& attempt, const std::optional<Attempt>& best);

// Whether the transfer an attempt read is over: every byte its head announces is there, or its
// frames stop well before the sound of `samples` does (a misread head or block length can hide
// the former).
bool Over(const Attempt& attempt, std::ptrdiff_t samples);

// Whether the transfer an attempt read is cut off by the end of the sound: bytes its head
// announces are missing, every block that arrived whole is good, and frames go on to the end.
bool EndsWithTheSound(const Attempt& attempt, std::ptrdiff_t samples);

// The tone bursts of an attempt's frames (first sample and length), where the watch sent them.
std::vector<std::pair<double, double>> Bursts(const Attempt& attempt);

}  // namespace zendrik
