// Clicks in a recording (a tap on the microphone, a crackle in a cable): single samples far
// above the sound around them. Through the tone's filter a loud one looks like a burst in the
// bit it falls on; silenced, it costs that bit a few samples of tone at most.
#pragma once

#include <cstddef>
#include <vector>

namespace zendrik {

// Positions of samples that stand more than a dozen times above the mean level of the two
// milliseconds either side. Empty when there are none, and also when they are so many that
// they are the sound itself rather than clicks in it.
std::vector<std::ptrdiff_t> FindClicks(const float* samples, std::ptrdiff_t count, int sampleRate);

// Silences each click and its neighbours.
void SilenceClicks(std::vector<float>& samples, const std::vector<std::ptrdiff_t>& clicks);

// Samples silenced on each side of a click.
inline constexpr int kClickNeighbours = 2;

// Whether `clicks` clicks in `count` samples are clicks in the sound rather than the sound itself.
bool FewEnoughClicks(std::size_t clicks, std::ptrdiff_t count);

// FindClicks over sound handed over a sample at a time, keeping only the two milliseconds either
// side: a sample is judged once the samples after it that its level is measured against have
// come, and the judgement is the same, to the last bit, as over the whole recording at once.
class ClickFinder {
public:
    explicit ClickFinder(int sampleRate);

    // Takes the next sample; true when the sample `Judged() - 1` is a click.
    bool Add(float sample);
    // After the last sample: calls onClick(position) for each click among those not yet judged.
    template <typename OnClick>
    void Finish(OnClick onClick) {
        while (judged_ < added_) {
            if (JudgeNext()) onClick(judged_ - 1);
        }
    }
    // How many samples have been judged, from the first.
    std::ptrdiff_t Judged() const { return judged_; }

private:
    bool JudgeNext();
    float Level(std::ptrdiff_t at) const { return levels_[static_cast<std::size_t>(at) & (ring_ - 1)]; }

    std::ptrdiff_t half_;
    std::size_t ring_;           // a power of two, room for a window and one more
    std::vector<float> levels_;  // |sample| of the last `ring_` samples
    double sum_ = 0;
    std::ptrdiff_t added_ = 0;
    std::ptrdiff_t judged_ = 0;
};

}  // namespace zendrik
