// Finds the frequency of the watch's tone in a recording: the narrow band that stands out of
// its neighbourhood in the spectrum, so hum, hiss and other sounds do not count as the tone; and
// where in the recording it stands out.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace zendrik {

struct CarrierCandidate {
    double hz = 0;
    double prominenceDb = 0;  // how far the band stands above its neighbourhood
};

// A stretch of the recording, samples [begin, end).
struct ToneSpan {
    std::ptrdiff_t begin = 0;
    std::ptrdiff_t end = 0;
};

struct CarrierSearch {
    std::vector<CarrierCandidate> carriers;  // the most prominent first; empty when none stands out
    // Where one of the carriers stands out, with a few seconds either side so a transfer's first
    // and last frames are inside: in order, apart from one another.
    std::vector<ToneSpan> spans;
};

// Up to `most` candidate tones and where they sound. Every short spectrum of the recording is
// looked at, in stretches of a few seconds one after another, so a transfer anywhere in a
// recording of any length is found; the work grows with the length, the memory kept by a few
// kilobytes per stretch.
CarrierSearch SearchCarriers(const float* samples, std::ptrdiff_t count, int sampleRate, int most);

// The same over sound handed over in blocks, for a recording whose length is known beforehand:
// only the stretch being looked at is held, whatever the recording's length.
class CarrierSearcher {
public:
    // For `count` samples at `sampleRate`, up to `most` tones.
    CarrierSearcher(std::ptrdiff_t count, int sampleRate, int most);
    ~CarrierSearcher();
    CarrierSearcher(const CarrierSearcher&) = delete;
    CarrierSearcher& operator=(const CarrierSearcher&) = delete;

    // The next `n` samples, in order.
    void Add(const float* samples, std::ptrdiff_t n);
    // After the last of them: what SearchCarriers finds in them all.
    CarrierSearch Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The candidate tones alone.
std::vector<CarrierCandidate> FindCarriers(const float* samples, std::ptrdiff_t count,
                                           int sampleRate, int most);

}  // namespace zendrik
