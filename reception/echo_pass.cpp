#include "reception/echo_pass.h"

#include <utility>

namespace zendrik {

namespace {

// How long after the direct sound a room's echoes are looked for (seconds), how many frames a
// reading needs before its bursts are trusted to show them, and how many times the echoes are
// fitted again from the bursts the reading without them places (each pass reads more bits right).
constexpr double kEchoReach = 0.03;
constexpr std::size_t kFewestFramesForEchoes = 20;
constexpr int kEchoPasses = 3;

}  // namespace

TimingSearchResult ReadWithoutEchoes(const MixedChunks& mixed, double nominal,
                                     StreamFormats formats, const SoundView& sound,
                                     TimingSearchResult heard) {
    TimingSearchResult result = std::move(heard);
    std::optional<Attempt> placed = result.best;  // the reading whose bursts place the echoes
    for (int pass = 0;
         pass < kEchoPasses && !result.accepted && placed && Over(*placed, sound.count) &&
         placed->frames.size() >= kFewestFramesForEchoes;
         ++pass) {
        const MixedChunks dry =
            RemoveEchoes(mixed, Bursts(*placed), placed->period, kEchoReach * sound.sampleRate);
        TimingSearchResult again = TimingSearch(dry, nominal, formats, sound).Run();
        result.accepted = std::move(again.accepted);
        result.confidenceLacking = result.confidenceLacking || again.confidenceLacking;
        if (again.best && MorePromising(*again.best, result.best)) result.best = again.best;
        // Bytes read as before place the same bursts: another pass would fit the same room.
        if (again.best && again.best->bytes == placed->bytes) break;
        placed = std::move(again.best);
    }
    return result;
}

}  // namespace zendrik
