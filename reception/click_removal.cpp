#include "reception/click_removal.h"

#include <algorithm>
#include <cmath>

namespace zendrik {

namespace {

constexpr double kClickRatio = 12.0;  // a sine peaks at 1.6 times its mean level, noise rarely 6
constexpr float kAudible = 1e-4f;    // nothing quieter counts as a click
constexpr int kNeighbours = 2;       // samples silenced on each side of a click
constexpr std::ptrdiff_t kMostClicksPer = 1000;  // more than one in this many: not clicks

}  // namespace

std::vector<std::ptrdiff_t> FindClicks(const float* samples, std::ptrdiff_t count, int sampleRate) {
    std::vector<std::ptrdiff_t> clicks;
    if (!samples || count <= 0 || sampleRate <= 0) return clicks;
    const std::ptrdiff_t half = std::max<std::ptrdiff_t>(4, sampleRate / 500);
    const std::ptrdiff_t most = count / kMostClicksPer + 1;
    // The window's sum slides with the sample; kept in double so it does not drift.
    double sum = 0;
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;  // the window is [lo, hi)
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const std::ptrdiff_t wantHi = std::min(count, i + half + 1);
        for (; hi < wantHi; ++hi) sum += std::fabs(samples[hi]);
        const std::ptrdiff_t wantLo = std::max<std::ptrdiff_t>(0, i - half);
        for (; lo < wantLo; ++lo) sum -= std::fabs(samples[lo]);
        const float level = std::fabs(samples[i]);
        const double mean = std::max(0.0, sum) / static_cast<double>(hi - lo);
        if (level > kAudible && level > kClickRatio * mean) {
            clicks.push_back(i);
            if (static_cast<std::ptrdiff_t>(clicks.size()) > most) return {};
        }
    }
    return clicks;
}

void SilenceClicks(std::vector<float>& samples, const std::vector<std::ptrdiff_t>& clicks) {
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(samples.size());
    for (std::ptrdiff_t at : clicks) {
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, at - kNeighbours);
        const std::ptrdiff_t to = std::min(count, at + kNeighbours + 1);
        for (std::ptrdiff_t j = from; j < to; ++j) samples[static_cast<std::size_t>(j)] = 0.0f;
    }
}

}  // namespace zendrik
