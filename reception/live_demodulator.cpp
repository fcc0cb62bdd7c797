#include "reception/live_demodulator.h"

#include <algorithm>

#include "reception/demodulator_steps.h"

namespace zendrik {

namespace {

constexpr int kLiveThresholdPercent = 25;
constexpr std::ptrdiff_t kChunk = 1024;  // envelope values per cached low/high pair

}  // namespace

void LiveDemodulator::Clear() {
    m_samples.clear();
    ResetWork();
}

void LiveDemodulator::ResetWork() {
    m_envelope.clear();
    m_anchor = 0;
    m_filled = 0;
    m_changedFrom = 0;
    m_chunkLow.clear();
    m_chunkHigh.clear();
    m_frames.clear();
    m_threshold = -1;
}

void LiveDemodulator::Append(const std::int16_t* samples, std::ptrdiff_t count) {
    if (count > 0) m_samples.insert(m_samples.end(), samples, samples + count);
}

void LiveDemodulator::KeepLast(std::ptrdiff_t count) {
    if (count >= SampleCount()) return;
    m_samples.erase(m_samples.begin(), m_samples.end() - std::max<std::ptrdiff_t>(count, 0));
    ResetWork();  // every position moved
}

void LiveDemodulator::ExtendEnvelope() {
    const std::ptrdiff_t old = static_cast<std::ptrdiff_t>(m_envelope.size());
    const std::ptrdiff_t n = SampleCount();
    m_envelope.resize(static_cast<std::size_t>(n));
    std::int16_t* e = m_envelope.data();
    // The last pass set its final value to 0; it is the rectified sample again now that more
    // samples follow it. No back-fill ever wrote it (fills stop short of the step's own index).
    const std::ptrdiff_t firstNew = old > 0 ? old - 1 : 0;
    for (std::ptrdiff_t i = firstNew; i < n; ++i) e[i] = demod::LiveLevel(m_samples[static_cast<std::size_t>(i)]);
    // Carry the back-fill on from the step where the last pass stopped. Its comparisons only
    // ever see rectified values, so the steps already taken stay as they were.
    const std::ptrdiff_t written = demod::BackFillPeaks(e, m_filled, n - 1, m_anchor);
    m_filled = n - 1;
    m_changedFrom = std::min(firstNew, written);
    e[n - 1] = 0;
}

void LiveDemodulator::UpdateChunkRange(std::ptrdiff_t from) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(m_envelope.size());
    const std::size_t chunks = static_cast<std::size_t>((n + kChunk - 1) / kChunk);
    m_chunkLow.resize(chunks);
    m_chunkHigh.resize(chunks);
    for (std::ptrdiff_t c = from / kChunk; c < static_cast<std::ptrdiff_t>(chunks); ++c) {
        const auto begin = m_envelope.begin() + c * kChunk;
        const auto end = m_envelope.begin() + std::min(n, (c + 1) * kChunk);
        const auto [lo, hi] = std::minmax_element(begin, end);
        m_chunkLow[static_cast<std::size_t>(c)] = *lo;
        m_chunkHigh[static_cast<std::size_t>(c)] = *hi;
    }
}

void LiveDemodulator::Demodulate(BitTiming timing, ReceivedBytes& out) {
    out.SetSize(0);
    if (m_samples.empty()) return;
    ExtendEnvelope();
    UpdateChunkRange(m_changedFrom);
    const std::int16_t lo = *std::min_element(m_chunkLow.begin(), m_chunkLow.end());
    const std::int16_t hi = *std::max_element(m_chunkHigh.begin(), m_chunkHigh.end());
    const std::int32_t threshold = demod::StartThreshold(lo, hi, kLiveThresholdPercent);

    // Frames whose every envelope value is older than the first changed one read the same
    // again, provided the threshold and timing are the same; a louder sample changes the
    // threshold of the whole run, and everything is read anew.
    const std::ptrdiff_t frameLength = static_cast<std::ptrdiff_t>(demod::kFrameBits) * timing.period;
    if (threshold != m_threshold || timing.period != m_timing.period || timing.window != m_timing.window) {
        m_frames.clear();
    } else {
        while (!m_frames.empty() && m_frames.back().start + frameLength > m_changedFrom) m_frames.pop_back();
    }
    m_threshold = threshold;
    m_timing = timing;
    const std::ptrdiff_t resume = m_frames.empty() ? 1 : m_frames.back().start + frameLength + 1;
    demod::ScanFrames(m_envelope.data(), static_cast<std::ptrdiff_t>(m_envelope.size()), resume, timing,
                      threshold, [&](std::ptrdiff_t start, std::uint8_t value) {
                          m_frames.push_back({start, value});
                      });
    out.Reserve(static_cast<std::ptrdiff_t>(m_frames.size()));
    for (const Frame& frame : m_frames) out.Add(frame.value);
    // The envelope's final value is 0 only for this pass; the next one starts from here.
    m_changedFrom = static_cast<std::ptrdiff_t>(m_envelope.size());
}

}  // namespace zendrik
