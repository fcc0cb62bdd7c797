#include "reception/live_decoder.h"

#include <algorithm>

#include "reception/stream_check.h"
#include "reception/transfer_acceptance.h"

namespace zendrik {

const char* ReadingStateText(int state) {
    switch (state) {
        case kReadingWaiting:
            return "waiting for data...";
        case kReadingReceiving:
            return "receiving data...";
        case kReadingComplete:
            return "complete";
        case kReadingCrcError:
            return "CRC error";
        case kReadingSecond:
            return "second receiver reading...";
        default:
            return nullptr;
    }
}

void LiveDecoder::OnStart(const zendrik::StreamFormat& expected, zendrik::StreamFormats known,
                           ReadingReports* dialog) {
    m_collected.Clear();
    ForgetRecent();
    m_complete = false;
    m_bySecond = false;
    m_secondReport = zendrik::ReceptionReport{};
    m_expected = expected;
    m_known = known;
    m_dialog = dialog;
}

void LiveDecoder::OnReset() {
    m_collected.Clear();
    ForgetRecent();
}

void LiveDecoder::OnQuit() {
    m_collected.Clear();
    ForgetRecent();
}

void LiveDecoder::OnLastRead() {
    if (IsComplete() || m_recent.size() == m_recentStart) return;
    const zendrik::SecondReception second = ReadWindow();
    if (second.accepted) TakeSecond(second, false);
}

void LiveDecoder::ForgetRecent() {
    m_recent.clear();
    m_recent.shrink_to_fit();
    m_recentStart = 0;
    m_sinceSecondPass = 0;
    m_exactReceiving = false;
    m_heard = 0;
    m_exactChangedAt = 0;
    m_exactCount = 0;
    m_handOverAt = -1;
}

void LiveDecoder::OnSamples(const std::int16_t* samples, std::ptrdiff_t count) {
    if (IsComplete()) return;
    if (samples && count > 0) KeepRecent(samples, count);
    m_collected.Append(samples, count);
    m_exactReceiving = false;
    if (!DemodulationPass()) {
        m_exactCount = 0;
        // Until a head turns up, look for it in the last second or so only.
        if (m_collected.SampleCount() > kTrimAbove) {
            m_collected.KeepLast(SamplesKeptWithoutHead(m_expected.TimingAt(m_sampleRate)));
        }
    }
    if (IsComplete()) return;
    const bool stalled =
        m_exactReceiving &&
        m_heard - m_exactChangedAt >= static_cast<std::ptrdiff_t>(kStallSeconds) * m_sampleRate;
    if (stalled || (m_handOverAt >= 0 && m_heard >= m_handOverAt)) {
        HandOver(stalled);
    } else {
        SecondReceiverPass();
    }
}

void LiveDecoder::KeepRecent(const std::int16_t* samples, std::ptrdiff_t count) {
    const std::size_t window = static_cast<std::size_t>(kSecondWindowSeconds) *
                               static_cast<std::size_t>(std::max(m_sampleRate, 1));
    m_recent.insert(m_recent.end(), samples, samples + count);
    if (m_recent.size() - m_recentStart > window) m_recentStart = m_recent.size() - window;
    if (m_recentStart >= window) {
        m_recent.erase(m_recent.begin(), m_recent.begin() + static_cast<std::ptrdiff_t>(m_recentStart));
        m_recentStart = 0;
    }
    m_sinceSecondPass += count;
    m_heard += count;
}

void LiveDecoder::SecondReceiverPass() {
    if (m_sinceSecondPass < static_cast<std::ptrdiff_t>(kSecondPassSeconds) * m_sampleRate) return;
    // A transfer the exact pass is reading needs no second opinion.
    if (m_exactReceiving) {
        m_sinceSecondPass = 0;
        return;
    }
    const zendrik::SecondReception second = ReadWindow();
    if (second.accepted) TakeSecond(second, false);
}

zendrik::SecondReception LiveDecoder::ReadWindow() {
    m_sinceSecondPass = 0;
    return zendrik::ReceiveSamples(m_recent.data() + m_recentStart,
                                   static_cast<std::ptrdiff_t>(m_recent.size() - m_recentStart),
                                   m_sampleRate, m_known);
}

void LiveDecoder::TakeSecond(const zendrik::SecondReception& second, bool announced) {
    m_bytes.SetSize(0);
    m_bytes.Reserve(static_cast<std::ptrdiff_t>(second.bytes.size()));
    for (std::uint8_t b : second.bytes) m_bytes.Add(b);
    m_secondReport = second.report;
    m_secondReport.receiver = zendrik::ReceiverUsed::Second;
    m_bySecond = true;
    if (DialogAlive()) {
        // Which receiver the transfer came from, then that it is all there.
        if (!announced) m_dialog->ReadState(kReadingSecond);
        m_dialog->ReadProgress(m_bytes.GetSize(), m_bytes.GetSize());
    }
    m_complete = true;
    if (DialogAlive()) m_dialog->ReadState(kReadingComplete);
}

void LiveDecoder::PlanHandOver(std::ptrdiff_t expected) {
    const std::ptrdiff_t count = m_bytes.GetSize();
    const std::ptrdiff_t first = m_collected.FrameStart(0);
    const std::ptrdiff_t last = m_collected.FrameStart(count - 1);
    if (count < 2 || first < 0 || last <= first) return;
    // Where the collection began in the sound heard, and how far apart the frames came.
    const std::ptrdiff_t origin = m_heard - m_collected.SampleCount();
    const double pace = static_cast<double>(last - first) / static_cast<double>(count - 1);
    const double rest =
        pace * static_cast<double>(std::max<std::ptrdiff_t>(expected - count + 1, 1));
    // A second more than the rest should take, and a tenth of it, for a watch that is slower
    // towards the end; but never so late that the window has lost the transfer's head.
    const std::ptrdiff_t rate = std::max(m_sampleRate, 1);
    const std::ptrdiff_t end = origin + last + static_cast<std::ptrdiff_t>(rest * 1.1) + rate;
    const std::ptrdiff_t latest =
        origin + first + static_cast<std::ptrdiff_t>(kSecondWindowSeconds) * rate - rate / 2;
    m_handOverAt = std::max(m_heard, std::min(end, latest));
}

void LiveDecoder::HandOver(bool stalled) {
    m_handOverAt = -1;
    if (DialogAlive()) m_dialog->ReadState(kReadingSecond);
    const zendrik::SecondReception second = ReadWindow();
    if (second.accepted) {
        TakeSecond(second, true);
        return;
    }
    if (stalled && second.report.soundEndsFirst) {
        // The transfer is still arriving, only not to the exact pass for now: it goes on, and the
        // second receiver tries again when the exact pass has had nothing new for as long again.
        m_exactChangedAt = m_heard;
        if (DialogAlive()) m_dialog->ReadState(kReadingReceiving);
        return;
    }
    if (stalled) {
        // Neither reads it: the exact pass waits for a transfer from scratch, and the dialog says
        // why this one failed.
        m_collected.Clear();
        m_exactReceiving = false;
        m_exactCount = 0;
        if (DialogAlive()) {
            m_dialog->ReadState(kReadingWaiting);
            const std::string advice = zendrik::ReceptionAdvice(second.report);
            if (!advice.empty()) m_dialog->ReadAdvice(advice);
        }
        return;
    }
    // The advice given for the broken block stays; the exact pass may have a new try going.
    if (DialogAlive()) m_dialog->ReadState(m_exactReceiving ? kReadingReceiving : kReadingCrcError);
}

std::ptrdiff_t SamplesKeptWithoutHead(BitTiming timing) {
    // A head is recognised once eleven bytes are in. Each trim moves the collection's start on
    // by what it drops, so a transfer that began before that start had its chance in an
    // earlier pass only if the kept part could hold its head; two more frames leave room for
    // the frame scan's margin and for a watch that pauses a little longer between frames.
    constexpr std::ptrdiff_t kHeadFrames = 13;
    constexpr std::ptrdiff_t kBitsWithGap = 12;  // ten bit periods and about two quiet ones
    return std::max(kTrimTo, kHeadFrames * kBitsWithGap * std::max(timing.period, 0));
}

std::string LiveDecoder::BrokenBlockAdvice() const {
    // How the tone of this transfer sounds, as the second receiver measures it over what was
    // collected since its head, and how many of the blocks that arrived the exact pass found
    // good. The sound goes on, so it never ended before the transfer did.
    const std::vector<std::int16_t>& samples = m_collected.Samples();
    zendrik::ReceptionReport report =
        zendrik::ReceiveSamples(samples.data(), static_cast<std::ptrdiff_t>(samples.size()), m_sampleRate, m_known)
            .report;
    const zendrik::TransferCheck check = zendrik::CheckTransfer(m_bytes, m_known);
    report.receiver = zendrik::ReceiverUsed::Exact;
    report.failure = zendrik::ReceptionFailure::BlocksFail;
    report.soundEndsFirst = false;
    report.blocksGood = check.blocksGood;
    report.blocksTotal = check.blocksArrived;
    return zendrik::ReceptionAdvice(report);
}

bool LiveDecoder::ArrivedTransferFails(const zendrik::TransferCheck& check) {
    // Blocks still arriving pass the live check, and a damaged length byte can make one seem to
    // reach past the announced end; with every byte in, each block has to be whole and good.
    // An RS200/CS200 transfer's blocks carry no checksum, but its head does, and its blocks
    // are framed.
    // A head the pass found by its layout but that names no family was misread: the report would
    // not be valid either.
    if (check.watchModel == 0) return true;
    return check.checksumCovered ? !check.complete
                                 : !check.headGood || check.blocksGood < check.blocksArrived;
}

bool LiveDecoder::ChecklessTransferSettled(const zendrik::TransferCheck& check, std::ptrdiff_t expected) {
    if (check.watchModel == 0 || check.checksumCovered) return true;
    // A byte the exact pass misreads (its timing is fixed, the watch's clock is not) would pass
    // every check of such a transfer, so the second receiver reads the sound too, once it holds
    // the whole transfer: the last block's padding, which the report does not read, or a second
    // with nothing new. Where it is sure of other bytes, its bytes are the transfer.
    const bool whole = m_bytes.GetSize() >= check.length;
    if (!whole && m_heard - m_exactChangedAt < m_sampleRate) return false;
    const zendrik::SecondReception second = ReadWindow();
    const std::vector<std::int32_t>& exact = m_bytes.Elements();
    const auto length = static_cast<std::size_t>(check.length);
    const bool same = second.bytes.size() == length && exact.size() >= length &&
                      std::equal(second.bytes.begin(), second.bytes.end(), exact.begin());
    if (second.accepted && !same) {
        TakeSecond(second, false);
        return true;
    }
    // The exact pass's bytes stand, up to where the report reads them, as they always did.
    if (m_bytes.GetSize() > expected) m_bytes.SetSize(expected);
    return true;
}

bool LiveDecoder::DemodulationPass() {
    if (m_collected.SampleCount() == 0) return false;
    m_collected.Demodulate(m_expected.TimingAt(m_sampleRate), m_bytes);
    std::ptrdiff_t expected = 0;
    if (!FindStreamHead(m_bytes, m_expected.layout, &expected)) return false;
    const bool allIn = m_bytes.GetSize() >= expected;
    // With every byte in, the whole transfer is checked once for both questions below.
    std::optional<zendrik::TransferCheck> arrived;
    if (allIn) arrived = zendrik::CheckTransfer(m_bytes, m_known);
    // The blocks are checked whether or not anyone is watching: a reading whose dialog has gone
    // (or that never had one) must not take broken bytes for a complete transfer.
    if (!BlockCheckPasses(m_bytes, m_expected.layout) || (arrived && ArrivedTransferFails(*arrived))) {
        // A broken block: collect anew. Even when it was the last block, the transfer is
        // not taken as complete: reception starts over like after any other broken block,
        // and the second receiver reads the transfer once the rest of it has come.
        PlanHandOver(expected);
        if (DialogAlive()) {
            const std::string advice = BrokenBlockAdvice();
            m_collected.Clear();
            m_dialog->ReadState(kReadingCrcError);
            m_dialog->ReadAdvice(advice);
        } else {
            m_collected.Clear();
        }
        return true;
    }
    if (DialogAlive()) {
        m_dialog->ReadProgress(m_bytes.GetSize(), expected);
        m_dialog->ReadState(kReadingReceiving);
    }
    m_exactReceiving = true;
    if (m_bytes.GetSize() != m_exactCount) {
        m_exactCount = m_bytes.GetSize();
        m_exactChangedAt = m_heard;
    }
    if (arrived && ChecklessTransferSettled(*arrived, expected) && !m_complete) {
        m_complete = true;
        if (DialogAlive()) m_dialog->ReadState(kReadingComplete);
    }
    return true;
}

std::optional<zendrik::LiveTransfer> LiveDecoder::Transfer() const {
    if (!m_complete) return std::nullopt;
    zendrik::LiveTransfer transfer;
    transfer.bytes = m_bytes;
    if (m_bySecond) {
        transfer.reception = m_secondReport;
        return transfer;
    }
    // How the exact pass received it, for --verbose and the desktop program.
    zendrik::ReceptionReport& reception = transfer.reception;
    reception.receiver = zendrik::ReceiverUsed::Exact;
    reception.sampleRate = m_sampleRate;
    const BitTiming timing = m_expected.TimingAt(m_sampleRate);
    if (timing.period > 0) {
        reception.bitPeriodSamples = timing.period;
        reception.bitsPerSecond = zendrik::BitsPerSecond(timing, m_sampleRate);
    }
    const zendrik::TransferCheck check = zendrik::CheckTransfer(m_bytes, m_known);
    reception.blocksGood = check.blocksGood;
    reception.blocksTotal = check.blocksTotal;
    return transfer;
}

}  // namespace zendrik
