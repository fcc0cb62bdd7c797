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
        m_nReportModel = m_nWatchModel;
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
    if (m_nReportModel == 0) {
        DetectModelAndDecode();
        return;
    }
    // The same decoder as before: a value format changes how the report is written, never which
    // watch family it is read as.
    const std::int32_t userModel = m_nWatchModel;
    m_nWatchModel = m_nReportModel;
    DecodeExercises();
    m_nWatchModel = userModel;
}

std::string CSonicLinkData::ExplainInvalid() const {
    if (m_bValid || !m_strHrm.empty()) return {};
    if (m_bytes.GetSize() == 0) return "No SonicLink transfer was found: no tone bursts were received.";
    const int named = DetectWatchModel(m_bytes);
    if (named == 0) {
        return Concat("No SonicLink transfer was found: ", m_bytes.GetSize(),
                      " bytes were received, but no stream head.");
    }
    const WatchModelInfo* found = FindWatchModel(named);
    const WatchModelInfo* setting = FindWatchModel(m_nReportModel);
    if (found && setting && found->decode != setting->decode) {
        std::string setName = setting->family;
        setName.erase(0, setName.find(' ') + 1);  // without its article
        return Concat("The recording holds ", found->family, " transfer; the watch model setting is ",
                      setName, ".");
    }
    return Concat("The recording holds ", found ? found->family : "a", " transfer, but it could not be "
                  "decoded: its blocks are missing or damaged.");
}

CValueFormat CSonicLinkData::ValueFormat() const {
    return CValueFormat{m_strDecimalSep, m_strTimeSep, m_strDateSep, m_bNoTenths != 0};
}
