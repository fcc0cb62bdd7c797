#include "reception/live_decoder.h"

#include <algorithm>

#include "reception/sonic_link_data.h"
#include "reception/stream_check.h"
#include "reception/watch_models.h"

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

void CLiveDecoder::OnStart(int watchModel, CReadingReports* dialog) {
    m_collected.Clear();
    m_complete.store(0, std::memory_order_release);
    m_watchModel = watchModel;
    m_dialog = dialog;
}

void CLiveDecoder::OnReset() { m_collected.Clear(); }

void CLiveDecoder::OnQuit() { m_collected.Clear(); }

void CLiveDecoder::OnSamples(const std::int16_t* samples, std::ptrdiff_t count) {
    if (IsComplete()) return;
    m_collected.Append(samples, count);
    if (DemodulationPass()) return;
    // Until a head turns up, look for it in the last second or so only.
    if (m_collected.SampleCount() > kTrimAbove) {
        m_collected.KeepLast(SamplesKeptWithoutHead(BitTimingFor(m_watchModel, m_sampleRate)));
    }
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

bool CLiveDecoder::DemodulationPass() {
    if (m_collected.SampleCount() == 0) return false;
    m_collected.Demodulate(BitTimingFor(m_watchModel, m_sampleRate), m_bytes);
    std::ptrdiff_t expected = 0;
    if (!FindStreamHead(m_bytes, m_watchModel, &expected)) return false;
    if (DialogAlive()) {
        if (!BlockCheckPasses(m_bytes, m_watchModel)) {
            // A broken block: collect anew. Even when it was the last block, the transfer is
            // not taken as complete: reception starts over like after any other broken block.
            m_collected.Clear();
            m_dialog->ReadState(kReadingCrcError);
            return true;
        }
        m_dialog->ReadProgress(m_bytes.GetSize(), expected);
        m_dialog->ReadState(kReadingReceiving);
    }
    if (m_bytes.GetSize() >= expected) {
        m_complete.store(1, std::memory_order_release);
        if (DialogAlive()) m_dialog->ReadState(kReadingComplete);
    }
    return true;
}

int HandOverLiveBytes(CSonicLinkData& data, const CLiveDecoder& decoder) {
    data.m_pSamples.reset();
    data.m_nSamples = 0;
    if (!decoder.IsComplete()) return 0;
    data.m_bytes.SetSize(0);
    const CReceivedBytes& bytes = decoder.Bytes();
    if (!HasPreamble(bytes)) return 0;
    data.m_bytes = bytes;
    data.DecodeExercises();
    return 1;
}
