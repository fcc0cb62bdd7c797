#include "reception/reading_attempt.h"

#include <algorithm>
#include <iterator>

namespace zendrik {

namespace {

// Bits of sound after the last frame's start that show a transfer has ended: its own ten and two
// frames of quiet.
constexpr double kQuietAfterBits = 34;

// A transfer's first bytes: its preamble and the head's mark, the same in every transfer.
constexpr std::uint8_t kTransferStart[] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55};
// Places looked at where one byte of that start was misread: a bounded number, so noise that
// comes near it again and again cannot make a reading slow.
constexpr int kMostStartsMended = 16;

// The transfer that starts where one of the first six bytes is not what every transfer sends
// there, taken as sent: these bytes carry nothing but their fixed values, and a codec spoils one
// now and then; the head's and the blocks' checks, which the place must pass as a whole, say
// whether a transfer really starts there. Its check, with `start` where it begins, and `bytes`
// mended there; none (watchModel 0) when no such place gives a complete transfer.
TransferCheck MendedStart(std::vector<std::uint8_t>& bytes, StreamFormats formats) {
    const std::size_t n = std::size(kTransferStart);
    int tried = 0;
    std::vector<std::uint8_t> window;
    for (std::size_t i = 0; i + n <= bytes.size() && tried < kMostStartsMended; ++i) {
        int wrong = 0;
        for (std::size_t j = 0; j < n; ++j) wrong += bytes[i + j] != kTransferStart[j];
        if (wrong != 1) continue;
        ++tried;
        window.assign(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end());
        std::copy(std::begin(kTransferStart), std::end(kTransferStart), window.begin());
        TransferCheck check = FindTransfer(window, formats);
        if (!check.complete || check.start != 0) continue;
        check.start = static_cast<std::ptrdiff_t>(i);
        std::copy(std::begin(kTransferStart), std::end(kTransferStart),
                  bytes.begin() + static_cast<std::ptrdiff_t>(i));
        return check;
    }
    return {};
}

}  // namespace

Attempt FromFrames(const std::vector<Frame>& frames, double period, double offset, StreamFormats formats) {
    Attempt attempt;
    attempt.period = period;
    attempt.offset = offset;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(frames.size());
    for (const Frame& frame : frames) bytes.push_back(frame.value);
    attempt.check = FindTransfer(bytes, formats);
    bool mended = false;
    if (!attempt.check.complete) {
        TransferCheck check = MendedStart(bytes, formats);
        if (check.complete) {
            attempt.check = check;
            mended = true;
        }
    }
    if (attempt.check.watchModel == 0) return attempt;
    const std::size_t first = static_cast<std::size_t>(attempt.check.start);
    const std::size_t end =
        std::min(bytes.size(), first + static_cast<std::size_t>(attempt.check.length));
    attempt.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                         bytes.begin() + static_cast<std::ptrdiff_t>(end));
    attempt.frames.assign(frames.begin() + static_cast<std::ptrdiff_t>(first),
                          frames.begin() + static_cast<std::ptrdiff_t>(end));
    if (mended) {
        for (std::size_t j = 0; j < std::size(kTransferStart) && j < attempt.frames.size(); ++j) {
            attempt.frames[j].value = kTransferStart[j];
        }
    }
    return attempt;
}

bool MorePromising(const Attempt& attempt, const std::optional<Attempt>& best) {
    return !best || attempt.check.blocksGood > best->check.blocksGood ||
           (attempt.check.blocksGood == best->check.blocksGood && attempt.check.complete &&
            !best->check.complete);
}

bool Over(const Attempt& attempt, std::ptrdiff_t samples) {
    if (attempt.check.arrived) return true;
    if (attempt.frames.empty()) return false;
    return attempt.frames.back().start + kQuietAfterBits * attempt.period < static_cast<double>(samples);
}

bool EndsWithTheSound(const Attempt& attempt, std::ptrdiff_t samples) {
    return attempt.check.watchModel != 0 && !attempt.check.arrived &&
           attempt.check.blocksGood == attempt.check.blocksArrived && !Over(attempt, samples);
}

std::vector<std::pair<double, double>> Bursts(const Attempt& attempt) {
    std::vector<std::pair<double, double>> bursts;
    for (const Frame& frame : attempt.frames) {
        const double start = frame.start - attempt.offset * attempt.period;
        const int bits = 1 | frame.value << 1;
        for (int j = 0; j < 9;) {
            if (!(bits >> j & 1)) {
                ++j;
                continue;
            }
            int end = j;
            while (end < 9 && (bits >> end & 1)) ++end;
            bursts.push_back({start + j * attempt.period, (end - j) * attempt.period});
            j = end;
        }
    }
    return bursts;
}

}  // namespace zendrik
