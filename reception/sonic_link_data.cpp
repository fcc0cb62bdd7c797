#include "reception/sonic_link_data.h"

#include "decoders/text_append.h"
#include "reception/demodulator.h"
#include "reception/stream_check.h"
#include "reception/watch_models.h"

CSonicLinkData::CSonicLinkData() {
    // Room for any reason, so that saying "out of memory" needs no memory.
    m_strReadError.reserve(256);
}

CSonicLinkData::~CSonicLinkData() = default;

void CSonicLinkData::OnOutOfMemory() {
    m_pSamples.reset();
    m_nSamples = 0;
    m_bValid = 0;
    ClearReports();
    m_strReadError.assign(kOutOfMemoryReason);
}

int CSonicLinkData::DecodeWaveFile(const std::string& path) {
    return Guarded([&] {
        if (!ReadWaveFile(path)) return 0;
        if (!Demodulate()) return 0;
        DecodeExercises();
        return m_strReadError.empty() ? 1 : 0;
    });
}

int CSonicLinkData::LoadDumpFile(const std::string& path) {
    return Guarded([&] {
        if (!ReadDumpFile(path)) return 0;
        const int named = DetectModelAndDecode();
        if (m_bytes.GetSize() == 0) {
            m_strReadError.assign("the dump holds no bytes");
        } else if (!named && m_strReadError.empty()) {
            m_strReadError.assign("the stream head names no known watch model");
        }
        return named;
    });
}

int CSonicLinkData::Demodulate() {
    return Guarded([&] {
        if (m_nSamples <= 0) return 0;
        DemodulateSamples(m_pSamples.get(), m_nSamples, DemodVariant::File,
                          BitTimingFor(m_nWatchModel, 44100), m_bytes);
        return 1;
    });
}

void CSonicLinkData::ClearReception() {
    m_pSamples.reset();
    m_nSamples = 0;
    m_bytes.SetSize(0);
    m_bValid = 0;
}

void CSonicLinkData::ClearReports() {
    m_strHrm.clear();
    m_strHrmCompat.clear();
    m_strCsv.clear();
}

void CSonicLinkData::BeginDecoding() {
    m_bValid = 0;
    ClearReports();
}

void CSonicLinkData::DecodeExercises() {
    Guarded([&] {
        m_strReadError.clear();
        const WatchModelInfo* model = FindWatchModel(m_nWatchModel);
        if (model && model->decode) {
            (this->*model->decode)();
            return;
        }
        m_strHrm = Concat("Watch model unknown (", m_nWatchModel, ")\r\n");
        m_strCsv = m_strHrm;
    });
}

int CSonicLinkData::DetectModelAndDecode() {
    const std::int32_t userModel = m_nWatchModel;
    const int detected = DetectWatchModel(m_bytes);
    if (detected == 0) {
        ClearReports();
        // With the texts gone there is nothing left that could be saved.
        m_bValid = 0;
        return 0;
    }
    m_nWatchModel = detected;
    DecodeExercises();
    m_nWatchModel = userModel;
    return m_strReadError.empty() ? 1 : 0;
}

void CSonicLinkData::ApplyValueFormat(std::uint8_t noTenths, char decimalSep, char timeSep,
                                      char dateSep) {
    auto asText = [](char c) { return c ? std::string(1, c) : std::string(); };
    const std::string decimal = asText(decimalSep);
    const std::string time = asText(timeSep);
    const std::string date = asText(dateSep);
    if (noTenths == m_bNoTenths && decimal == m_strDecimalSep && time == m_strTimeSep &&
        date == m_strDateSep) {
        return;
    }
    m_bNoTenths = noTenths;
    m_strDecimalSep = decimal;
    m_strTimeSep = time;
    m_strDateSep = date;
    DetectModelAndDecode();
}

CValueFormat CSonicLinkData::ValueFormat() const {
    return CValueFormat{m_strDecimalSep, m_strTimeSep, m_strDateSep, m_bNoTenths != 0};
}
