// Turns recorded sound into SonicLink bytes by amplitude detection: each byte is a frame of ten
// bit periods (start bit, eight data bits LSB first, stop bit), a tone burst standing for 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reception/received_bytes.h"
#include "reception/sample_source.h"
#include "reception/stream_format.h"

namespace zendrik {

// The two rectifiers: a recording read from a file is differentiated first, live capture is
// taken by its absolute value; they also differ in their start threshold.
enum class DemodVariant { File, Live };

// Demodulates samples[0..count) into out, which is emptied first (left as it is when there
// are no samples). Integer arithmetic throughout,
// linear in count, with one working array of count 16-bit values: `work` when given (it may be
// `samples` itself, which then holds the envelope afterwards), else one of its own. With
// `frameStarts`, the sample each byte's frame starts at goes there, one per byte.
void DemodulateSamples(const std::int16_t* samples, std::ptrdiff_t count, DemodVariant variant,
                       BitTiming timing, ReceivedBytes& out, std::int16_t* work = nullptr,
                       std::vector<std::ptrdiff_t>* frameStarts = nullptr);

// The same bytes and frame starts from sound read a block at a time, in two passes over it: the
// start threshold is a share of the whole envelope's highest level, so a first pass finds that
// level and a second reads the frames. It holds a block of samples, a few frames of envelope and,
// of the back-fill still open, one entry per level it rises through; nothing grows with the
// recording but the bytes found. False (`out` as it was) when the source cannot be read again.
bool DemodulateSource(zendrik::SampleSource& source, DemodVariant variant, BitTiming timing,
                      ReceivedBytes& out, std::vector<std::ptrdiff_t>* frameStarts = nullptr);

}  // namespace zendrik
