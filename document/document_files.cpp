// Reading a recording's samples and a dump into the document, with the reason of a failure kept
// for the user.
#include <sstream>

#include "document/document.h"
#include "reception/dump_file.h"
#include "reception/input_file.h"
#include "reception/wave_reader.h"

namespace zendrik {

int Document::ReadWaveFile(const std::string& path) {
    return ReadNamedFile(path, [this](std::istream& in) { return ReadWaveData(in); });
}

int Document::ReadWaveData(std::istream& in, WaveChannel channel) {
    return Guarded([&] {
        WaveSamples wave;
        if (!ReadWaveStream(in, wave, &m_readError, channel)) return 0;
        m_readError.clear();
        m_samples = std::move(wave.samples);
        m_sampleCount = wave.count;
        m_sampleRate = wave.sampleRate;
        return 1;
    });
}

int Document::ReadDumpFile(const std::string& path) {
    return ReadNamedFile(path, [this](std::istream& in) { return ReadDumpData(in); });
}

int Document::ReadDumpData(std::istream& in) {
    return Guarded([&] {
        std::string text;
        if (!zendrik::ReadAtMost(in, zendrik::kMaxDumpFileBytes, text)) {
            m_readError.assign("larger than any dump (more than 16 MB)");
            return 0;
        }
        m_readError.clear();
        ClearReception();
        // A dump was not received here: no recording's reception report belongs to it.
        m_reception = zendrik::ReceptionReport{};
        std::istringstream lines(std::move(text));
        ParseDump(lines, m_bytes);
        return 1;
    });
}

std::string Document::DumpText() const { return FormatDump(m_bytes); }

}  // namespace zendrik
