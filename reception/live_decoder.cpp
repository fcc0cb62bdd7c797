#include "reception/live_decoder.h"

#include <algorithm>

#include "reception/stream_check.h"
#include "reception/transfer_acceptance.h"

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
        default:
            return nullptr;
    }
}

void CLiveDecoder::OnStart(const zendrik::StreamFormat& expected, zendrik::StreamFormats known,
                           CReadingReports* dialog) {
    m_collected.Clear();
    ForgetRecent();
    m_complete.store(0, std::memory_order_release);
    m_bySecond = false;
    m_secondReport = zendrik::ReceptionReport{};
    m_expected = expected;
    m_known = known;
    m_dialog = dialog;
}

void CLiveDecoder::OnReset() {
    m_collected.Clear();
    ForgetRecent();
}

void CLiveDecoder::OnQuit() {
    m_collected.Clear();
    ForgetRecent();
}

void CLiveDecoder::ForgetRecent() {
    m_recent.clear();
    m_recent.shrink_to_fit();
    m_recentStart = 0;
    m_sinceSecondPass = 0;
    m_exactReceiving = false;
}

void CLiveDecoder::OnSamples(const std::int16_t* samples, std::ptrdiff_t count) {
    if (IsComplete()) return;
    if (samples && count > 0) KeepRecent(samples, count);
    m_collected.Append(samples, count);
    m_exactReceiving = false;
    if (!DemodulationPass() && m_collected.SampleCount() > kTrimAbove) {
        // Until a head turns up, look for it in the last second or so only.
        m_collected.KeepLast(SamplesKeptWithoutHead(m_expected.TimingAt(m_sampleRate)));
    }
    if (!IsComplete()) SecondReceiverPass();
}

void CLiveDecoder::KeepRecent(const std::int16_t* samples, std::ptrdiff_t count) {
    const std::size_t window = static_cast<std::size_t>(kSecondWindowSeconds) *
                               static_cast<std::size_t>(std::max(m_sampleRate, 1));
    m_recent.insert(m_recent.end(), samples, samples + count);
    if (m_recent.size() - m_recentStart > window) m_recentStart = m_recent.size() - window;
    if (m_recentStart >= window) {
        m_recent.erase(m_recent.begin(), m_recent.begin() + static_cast<std::ptrdiff_t>(m_recentStart));
        m_recentStart = 0;
    }
    m_sinceSecondPass += count;
}

void CLiveDecoder::SecondReceiverPass() {
    if (m_sinceSecondPass < static_cast<std::ptrdiff_t>(kSecondPassSeconds) * m_sampleRate) return;
    m_sinceSecondPass = 0;
    // A transfer the exact pass is reading needs no second opinion.
    if (m_exactReceiving) return;
    const zendrik::SecondReception second = zendrik::ReceiveSamples(
        m_recent.data() + m_recentStart,
        static_cast<std::ptrdiff_t>(m_recent.size() - m_recentStart), m_sampleRate, m_known);
    if (!second.accepted) return;
    m_bytes.SetSize(0);
    m_bytes.Reserve(static_cast<std::ptrdiff_t>(second.bytes.size()));
    for (std::uint8_t b : second.bytes) m_bytes.Add(b);
    m_secondReport = second.report;
    m_secondReport.receiver = zendrik::ReceiverUsed::Second;
    m_bySecond = true;
    if (DialogAlive()) {
        m_dialog->ReadProgress(m_bytes.GetSize(), m_bytes.GetSize());
        m_dialog->ReadState(kReadingReceiving);
    }
    m_complete.store(1, std::memory_order_release);
    if (DialogAlive()) m_dialog->ReadState(kReadingComplete);
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

std::string CLiveDecoder::BrokenBlockAdvice() const {
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

bool CLiveDecoder::DemodulationPass() {
    if (m_collected.SampleCount() == 0) return false;
    m_collected.Demodulate(m_expected.TimingAt(m_sampleRate), m_bytes);
    std::ptrdiff_t expected = 0;
    if (!FindStreamHead(m_bytes, m_expected.layout, &expected)) return false;
    if (DialogAlive()) {
        if (!BlockCheckPasses(m_bytes, m_expected.layout)) {
            // A broken block: collect anew. Even when it was the last block, the transfer is
            // not taken as complete: reception starts over like after any other broken block.
            const std::string advice = BrokenBlockAdvice();
            m_collected.Clear();
            m_dialog->ReadState(kReadingCrcError);
            m_dialog->ReadAdvice(advice);
            return true;
        }
        m_dialog->ReadProgress(m_bytes.GetSize(), expected);
        m_dialog->ReadState(kReadingReceiving);
    }
    m_exactReceiving = true;
    if (m_bytes.GetSize() >= expected) {
        m_complete.store(1, std::memory_order_release);
        if (DialogAlive()) m_dialog->ReadState(kReadingComplete);
    }
    return true;
}
