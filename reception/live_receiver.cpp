#include "reception/live_receiver.h"

#include <algorithm>

namespace zendrik {

LiveReceiver::LiveReceiver(const StreamFormat& expected, StreamFormats known, int sampleRate) {
    m_decoder.SetSampleRate(sampleRate);
    m_decoder.OnStart(expected, known, &m_reports);
}

void LiveReceiver::Feed(const std::int16_t* samples, std::ptrdiff_t count) {
    if (count <= 0) return;
    // The loudest sample, as the reading dialog's level meter shows it.
    m_reports.ReadLevel(*std::max_element(samples, samples + count));
    m_decoder.OnSamples(samples, count);
}

}  // namespace zendrik
