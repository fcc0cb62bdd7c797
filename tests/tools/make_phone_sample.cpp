// Writes the bundled phone-style recording: a short S410 transfer as a phone on a table takes it
// (48000 Hz, the watch's clock 2.5 % slow, a small room's echoes, mains hum and background noise
// about 15 dB below the tone), as 16-bit FLAC. Its dump is written next to it.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "reception/dump_file.h"
#include "reception/modulator.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zendrik_make_phone_sample OUT.flac OUT.sld\n");
        return 2;
    }
    S410Values v;
    v.current.name = "Phone";
    v.current.length = {0, 12, 0, 0};
    for (int i = 0; i < 24; ++i) v.hr.push_back(118 + (i * 7) % 25);
    v.laps = {{{0, 6, 0, 2}, 131, 126, 139, 0}, {{0, 12, 0, 0}, 142, 135, 144, 0}};
    const std::vector<std::uint8_t> bytes = BuildS410Stream(v).bytes;

    constexpr int kRate = 48000;
    constexpr double kLevel = 0.25;
    ModulatorSettings settings;
    settings.sampleRate = kRate;
    settings.bitPeriod = static_cast<int>(std::lround(kRate / (490 * 0.975)));
    settings.amplitude = 32767;
    settings.noise = 0;
    settings.leadIn = settings.leadOut = kRate / 2;
    const std::vector<std::int16_t> pcm = ModulateBytes(bytes, settings);

    std::vector<double> x(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) x[i] = kLevel * pcm[i] / 32767.0;
    const std::vector<double> dry = x;
    for (const auto& [delay, gain] : {std::pair{0.0042, 0.2}, {0.0113, 0.1}, {0.0190, 0.05}}) {
        const auto d = static_cast<std::size_t>(delay * kRate);
        for (std::size_t i = d; i < x.size(); ++i) x[i] += gain * dry[i - d];
    }
    std::mt19937 rng(2024);
    std::normal_distribution<double> normal(0.0, 1.0);
    const double noise = kLevel / std::sqrt(2.0) / std::pow(10.0, 15.0 / 20.0);
    std::vector<short> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double hum = 0.01 * std::sin(2 * std::numbers::pi * 50 * i / kRate) +
                           0.005 * std::sin(2 * std::numbers::pi * 150 * i / kRate);
        const double y = std::clamp(x[i] + hum + noise * normal(rng), -1.0, 32767.0 / 32768.0);
        out[i] = static_cast<short>(std::lround(y * 32768.0));
    }

    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    const bool written = sf_write_short(file, out.data(), static_cast<sf_count_t>(out.size())) ==
                         static_cast<sf_count_t>(out.size());
    sf_close(file);
    std::ofstream dump(argv[2], std::ios::binary | std::ios::trunc);
    const std::string text = FormatDump(ToReceived(bytes));
    dump.write(text.data(), static_cast<std::streamsize>(text.size()));
    return written && dump ? 0 : 1;
}
