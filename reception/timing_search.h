// Everything tried with one tone frequency and one bit timing: both filters, the nominal
// period, the period the preamble measures, shifted sampling points and clock errors, the
// frames held to their pace, and blocks joined from several readings.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "reception/acceptance_rules.h"
#include "reception/frame_reader.h"
#include "reception/reading_attempt.h"
#include "reception/tone_energy.h"

namespace zendrik {

struct TimingSearchResult {
    std::optional<Attempt> accepted;  // the first attempt whose transfer is accepted
    std::optional<Attempt> best;      // the most promising attempt with a stream head
    // A complete transfer was read whose bytes no checksum covers could not be believed.
    bool confidenceLacking = false;
};

class TimingSearch {
public:
    // `mixed`, `sound` and `formats`' table must outlive the search.
    TimingSearch(const MixedChunks& mixed, double nominal, StreamFormats formats,
                 const SoundView& sound);

    TimingSearchResult Run();

private:
    // One reading at one timing: the frames as found and, unless they were accepted, the same
    // frames held to their pace.
    struct Reading {
        Attempt found;
        Attempt paced;
        std::optional<Attempt> accepted;
        bool confidenceLacking = false;
    };

    const ToneEnvelope& Envelope(ToneFilter filter) const;
    const LevelTracks& Tracks(ToneFilter filter) const;
    Reading Try(ToneFilter filter, double period, double offset) const;
    Attempt TryPaced(ToneFilter filter, const FrameRun& run, double period, double offset) const;
    void Keep(const Attempt& attempt);
    TimingSearchResult Joined() const;

    double nominal_;
    StreamFormats formats_;
    ToneEnvelope box_;
    ToneEnvelope triangle_;
    LevelTracks boxTracks_;
    LevelTracks triangleTracks_;
    AcceptanceRules rules_;
    std::vector<Attempt> readings_;  // for Joined
    std::size_t framesKept_ = 0;     // in readings_
};

}  // namespace zendrik
