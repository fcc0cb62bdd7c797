// A whole transfer read but not believed: in a room the echoes of each burst blur the bits after
// it. It is read again with them taken out, as the frames read so far show them.
#pragma once

#include "reception/timing_search.h"

namespace zendrik {

// The search at one tone frequency and bit timing, given what the search of the sound as
// recorded found (`heard`): when that accepted nothing, up to a few passes over the sound with
// the echoes of the bursts its best reading places taken out, each pass fitting the room again
// from the bursts the pass before placed. What they found with `heard`: the first transfer
// accepted, the most promising reading of all, and whether any lacked confidence. A transfer
// still arriving (as live reception sees it) is left until it is over.
TimingSearchResult ReadWithoutEchoes(const MixedChunks& mixed, double nominal,
                                     StreamFormats formats, const SoundView& sound,
                                     TimingSearchResult heard);

}  // namespace zendrik
