// What a reading must show before the bytes no checksum vouches for are believed: frames at the
// transfer's pace, bits standing clear of the other value, both halves of every bit agreeing,
// gaps keeping to their runs, and no tone beside the watch's.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "reception/reading_attempt.h"
#include "reception/tone_energy.h"

namespace zendrik {

// The rules for readings of one tone frequency at one bit timing.
class AcceptanceRules {
public:
    // `box` is the one-bit boxcar envelope of `mixed` at `nominal`; both and `sound` must outlive
    // the rules.
    AcceptanceRules(const MixedChunks& mixed, double nominal, const ToneEnvelope& box,
                    const SoundView& sound)
        : mixed_(mixed), nominal_(nominal), box_(box), sound_(sound) {}

    // Bytes no checksum vouches for (all of an RS200/CS200 transfer, the head of the others)
    // are believed only from frames at the transfer's pace whose every bit stands clear of the
    // other value by the levels and noise measured in the transfer, whose two halves, read apart,
    // say the same, and with no sound beside the tone in any of their bits. Checks would pass any
    // wrong value of theirs.
    bool Confirmed(const Attempt& attempt) const;

private:
    const ToneEnvelope& HalfBits() const;
    bool KeepToTheirRuns(const Attempt& attempt, const std::vector<std::size_t>& positions,
                         const TransferLevels& levels) const;
    bool HalvesAgree(const Attempt& attempt, const std::vector<std::size_t>& positions,
                     const TransferLevels& levels) const;
    bool QuietBesideTheTone(const Attempt& attempt, const std::vector<std::size_t>& positions) const;

    const MixedChunks& mixed_;
    double nominal_;
    const ToneEnvelope& box_;
    SoundView sound_;
    mutable std::optional<ToneEnvelope> halves_;  // half-bit windows, made when first needed
};

}  // namespace zendrik
