#include "reception/sonic_link_data.h"

#include "decoders/text_append.h"
#include "reception/demodulator.h"
#include "reception/stream_check.h"
#include "reception/watch_models.h"

CSonicLinkData::CSonicLinkData() = default;

CSonicLinkData::~CSonicLinkData() = default;

int CSonicLinkData::DecodeWaveFile(const std::string& path) {
    if (!ReadWaveFile(path)) return 0;
    if (!Demodulate()) return 0;
    DecodeExercises();
    return 1;
}

int CSonicLinkData::LoadDumpFile(const std::string& path) {
    if (!ReadDumpFile(path)) return 0;
    return DetectModelAndDecode();
}

int CSonicLinkData::Demodulate() {
    if (m_nSamples <= 0) return 0;
    DemodulateSamples(m_pSamples.get(), m_nSamples, DemodVariant::File,
                      BitTimingFor(m_nWatchModel, 44100), m_bytes);
    return 1;
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
    const WatchModelInfo* model = FindWatchModel(m_nWatchModel);
    if (model && model->decode) {
        (this->*model->decode)();
        return;
    }
    m_strHrm = Concat("Watch model unknown (", m_nWatchModel, ")\r\n");
    m_strCsv = m_strHrm;
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
    return 1;
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
