#include "reception/watch_models.h"

#include <iterator>

#include "reception/sonic_link_data.h"

namespace {

constexpr BitTiming kFastAt44100{90, 9};   // 490 bit periods per second
constexpr BitTiming kFastAt22050{44, 5};
constexpr BitTiming kCoachAt44100{225, 5};  // the Coach sends at 196 bit periods per second
constexpr BitTiming kCoachAt22050{113, 5};

const WatchModelInfo kModels[] = {
    {kModelS410, "Polar S410/S510", "an S410/S510", StreamLayout::S410Blocks, kFastAt44100, kFastAt22050,
     &CSonicLinkData::DecodeS410},
    {kModelCoach, "Polar Coach", "a Coach", StreamLayout::CoachBlocks, kCoachAt44100, kCoachAt22050,
     &CSonicLinkData::DecodeCoach},
    {kModelS410S510, "Polar S410/S510", "an S410/S510", StreamLayout::S410Blocks, kFastAt44100, kFastAt22050,
     &CSonicLinkData::DecodeS410},
    {kModelRS200, "Polar RS200/CS200 (beta test)", "an RS200/CS200", StreamLayout::RS200Blocks, kFastAt44100,
     kFastAt22050, &CSonicLinkData::DecodeRS200},
};

}  // namespace

const WatchModelInfo* FindWatchModel(int code) {
    for (const WatchModelInfo& info : kModels) {
        if (info.code == code) return &info;
    }
    return nullptr;
}

const char* WatchModelName(int code) {
    const WatchModelInfo* info = FindWatchModel(code);
    return info ? info->displayName : "";
}

StreamLayout LayoutOf(int code) {
    const WatchModelInfo* info = FindWatchModel(code);
    return info ? info->layout : StreamLayout::S410Blocks;
}

BitTiming BitTimingFor(int code, int sampleRate) {
    const WatchModelInfo* info = FindWatchModel(code);
    if (!info) info = &kModels[0];
    return sampleRate == 22050 ? info->at22050 : info->at44100;
}
