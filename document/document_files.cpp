// Reading a recording's samples and a dump into the document, with the reason of a failure kept
// for the user.
#include <sstream>

#include "document/sonic_link_data.h"
#include "reception/dump_file.h"
#include "reception/input_file.h"
#include "reception/wave_reader.h"

int CSonicLinkData::ReadWaveFile(const std::string& path) {
    return ReadNamedFile(path, [this](std::istream& in) { return ReadWaveData(in); });
}

int CSonicLinkData::ReadWaveData(std::istream& in, WaveChannel channel) {
    return Guarded([&] {
        CWaveSamples wave;
        if (!ReadWaveStream(in, wave, &m_strReadError, channel)) return 0;
        m_strReadError.clear();
        m_pSamples = std::move(wave.samples);
        m_nSamples = wave.count;
        m_nSampleRate = wave.sampleRate;
        return 1;
    });
}

int CSonicLinkData::ReadDumpFile(const std::string& path) {
    return ReadNamedFile(path, [this](std::istream& in) { return ReadDumpData(in); });
}

int CSonicLinkData::ReadDumpData(std::istream& in) {
    return Guarded([&] {
        std::string text;
        if (!zendrik::ReadAtMost(in, zendrik::kMaxDumpFileBytes, text)) {
            m_strReadError.assign("larger than any dump (more than 16 MB)");
            return 0;
        }
        m_strReadError.clear();
        ClearReception();
        // A dump was not received here: no recording's reception report belongs to it.
        m_reception = zendrik::ReceptionReport{};
        std::istringstream lines(std::move(text));
        ParseDump(lines, m_bytes);
        return 1;
    });
}

std::string CSonicLinkData::DumpText() const { return FormatDump(m_bytes); }
