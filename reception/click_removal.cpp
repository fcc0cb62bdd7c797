#include "reception/click_removal.h"

#include <algorithm>
#include <cmath>

namespace zendrik {

namespace {

constexpr double kClickRatio = 12.0;  // a sine peaks at 1.6 times its mean level, noise rarely 6
constexpr float kAudible = 1e-4f;    // nothing quieter counts as a click
constexpr std::ptrdiff_t kMostClicksPer = 1000;  // more than one in this many: not clicks

// The least power of two that holds `values`: a ring of it wraps with a mask.
std::size_t RingFor(std::ptrdiff_t values) {
    std::size_t ring = 1;
    while (ring < static_cast<std::size_t>(values)) ring <<= 1;
    return ring;
}

}  // namespace

bool FewEnoughClicks(std::size_t clicks, std::ptrdiff_t count) {
    return static_cast<std::ptrdiff_t>(clicks) <= count / kMostClicksPer + 1;
}

ClickFinder::ClickFinder(int sampleRate)
    : half_(std::max<std::ptrdiff_t>(4, sampleRate / 500)),
      ring_(RingFor(2 * half_ + 2)),
      levels_(ring_, 0.0f) {}

// The window [lo, hi) around sample i runs from i - half to i + half, cut at the ends; its sum
// slides with the sample, in double so it does not drift, adding before it takes away.
bool ClickFinder::JudgeNext() {
    const std::ptrdiff_t i = judged_++;
    const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(0, i - half_);
    const std::ptrdiff_t hi = std::min(added_, i + half_ + 1);
    if (i - half_ - 1 >= 0) sum_ -= Level(i - half_ - 1);
    const float level = Level(i);
    const double mean = std::max(0.0, sum_) / static_cast<double>(hi - lo);
    return level > kAudible && level > kClickRatio * mean;
}

bool ClickFinder::Add(float sample) {
    const float level = std::fabs(sample);
    levels_[static_cast<std::size_t>(added_) & (ring_ - 1)] = level;
    ++added_;
    sum_ += level;
    return added_ > half_ && JudgeNext();
}

std::vector<std::ptrdiff_t> FindClicks(const float* samples, std::ptrdiff_t count, int sampleRate) {
    std::vector<std::ptrdiff_t> clicks;
    if (!samples || count <= 0 || sampleRate <= 0) return clicks;
    ClickFinder finder(sampleRate);
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        if (!finder.Add(samples[i])) continue;
        clicks.push_back(finder.Judged() - 1);
        if (!FewEnoughClicks(clicks.size(), count)) return {};
    }
    finder.Finish([&](std::ptrdiff_t at) { clicks.push_back(at); });
    if (!FewEnoughClicks(clicks.size(), count)) return {};
    return clicks;
}

void SilenceClicks(std::vector<float>& samples, const std::vector<std::ptrdiff_t>& clicks) {
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(samples.size());
    for (std::ptrdiff_t at : clicks) {
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, at - kClickNeighbours);
        const std::ptrdiff_t to = std::min(count, at + kClickNeighbours + 1);
        for (std::ptrdiff_t j = from; j < to; ++j) samples[static_cast<std::size_t>(j)] = 0.0f;
    }
}

}  // namespace zendrik
