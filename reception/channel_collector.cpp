// What every reader of compressed or foreign sound files shares, whichever library decodes them:
// gathering the channels to keep the one loudest in the tone's band, and a coding's bit rate.
#include <algorithm>
#include <vector>

#include "reception/audio_file.h"

namespace zendrik {

int AverageBitRate(std::int64_t bytes, std::int64_t frames, int rate) {
    if (bytes <= 0 || frames <= 0 || rate <= 0) return 0;
    const double bits = 8.0 * static_cast<double>(bytes) * rate / static_cast<double>(frames);
    return bits < 2e9 ? static_cast<int>(bits) : 0;
}

ChannelCollector::ChannelCollector(int channels, int rate, std::int64_t maxSamples)
    : channels_(channels),
      rate_(rate),
      maxFrames_(std::min<std::int64_t>(kMaxAudioSeconds * rate,
                                        std::max<std::int64_t>(maxSamples, 0) / channels)),
      toneBand_(channels, rate) {}

void ChannelCollector::Reserve(std::int64_t frames) {
    // A lying header costs at most 64 MB.
    all_.reserve(static_cast<std::size_t>(
        std::min<std::int64_t>(std::max<std::int64_t>(frames, 0) * channels_, std::int64_t{16} << 20)));
}

bool ChannelCollector::Append(const float* interleaved, std::int64_t frames) {
    if (frames <= 0) return true;
    if (frames_ + frames > maxFrames_) return false;
    const std::size_t values = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    // One channel is the one kept whatever its energy.
    if (channels_ > 1) toneBand_.Add(interleaved, frames);
    all_.insert(all_.end(), interleaved, interleaved + values);
    frames_ += frames;
    return true;
}

AudioClip ChannelCollector::LoudestChannel() && {
    const std::size_t keep = static_cast<std::size_t>(toneBand_.Loudest());
    const std::size_t channels = static_cast<std::size_t>(channels_);
    for (std::int64_t f = 0; f < frames_; ++f) {
        all_[static_cast<std::size_t>(f)] = all_[static_cast<std::size_t>(f) * channels + keep];
    }
    all_.resize(static_cast<std::size_t>(frames_));
    AudioClip clip;
    clip.samples = std::move(all_);
    clip.sampleRate = rate_;
    frames_ = 0;
    return clip;
}

}  // namespace zendrik
