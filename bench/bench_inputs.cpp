#include "bench_inputs.h"

#include <algorithm>

#include "decoders/families.h"
#include "reception/modulator.h"
#include "support/s410_stream_builder.h"

namespace zendrik {

namespace bench_inputs {

namespace {

testing_streams::S410Values LargeS510Values() {
    testing_streams::S410Values v;
    v.s510 = true;
    v.flags = 0x35;  // speed, cadence, cycling
    v.current.name = "Hills";
    v.current.start = {6, 45, 10, 0};
    v.current.length = {0, 30, 0, 0};  // 120 samples at 15 s
    v.current.avgHr = 141;
    v.current.maxHr = 178;
    for (int i = 0; i < 120; ++i) {
        v.hr.push_back(110 + (i * 7) % 65);
        v.speed.push_back(40 + (i * 11) % 80);
        v.cadence.push_back(70 + (i * 3) % 30);
    }
    for (int j = 0; j < 30; ++j) {
        testing_streams::Lap lap;
        lap.time = {0, j + 1, 0, j % 10};  // a lap a minute
        lap.endHr = 120 + j;
        lap.avgHr = 125 + j;
        lap.maxHr = 150 + j;
        lap.distance = 5 + j;
        v.laps.push_back(lap);
    }
    const char* names[] = {"Easy", "Tempo", "Long", "Sprint", "Rest"};
    for (int f = 0; f < 5; ++f) {
        testing_streams::Summary s;
        s.name = names[f];
        s.date = {2006, 2, 26 - f};
        s.start = {18, 5 * f, 0, 0};
        s.length = {1, 10 + f, 20, f};
        s.avgHr = 130 + f;
        s.maxHr = 170 + f;
        v.earlier.push_back(s);
    }
    return v;
}

}  // namespace

const std::vector<std::uint8_t>& LargeS510Stream() {
    static const std::vector<std::uint8_t> bytes = testing_streams::BuildS410Stream(LargeS510Values()).bytes;
    return bytes;
}

std::vector<std::int16_t> RepeatedTransferRecording(std::size_t samples,
                                                    std::vector<std::uint8_t>* bytesSent) {
    const std::vector<std::uint8_t>& stream = LargeS510Stream();
    ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(1, 44100));
    settings.leadOut = 0;
    std::vector<std::int16_t> out;
    if (bytesSent) bytesSent->clear();
    // Copies keep their own hiss, so no two stretches of the recording are the same.
    for (std::uint32_t copy = 0; out.size() < samples; ++copy) {
        settings.seed = copy + 1;
        const std::vector<std::int16_t> part = ModulateBytes(stream, settings);
        const std::size_t room = samples - out.size();
        if (part.size() <= room) {
            out.insert(out.end(), part.begin(), part.end());
            if (bytesSent) bytesSent->insert(bytesSent->end(), stream.begin(), stream.end());
            continue;
        }
        // The last copy is cut: keep the frames that fit whole, plus a quiet tail.
        const std::size_t frameSamples =
            static_cast<std::size_t>(settings.bitPeriod) * static_cast<std::size_t>(10 + settings.gapBits);
        const std::size_t whole =
            room > static_cast<std::size_t>(settings.leadIn) ? (room - settings.leadIn) / frameSamples : 0;
        const std::size_t keep = std::min(stream.size(), whole);
        if (keep > 0) {
            const std::vector<std::uint8_t> head(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
            const std::vector<std::int16_t> cut = ModulateBytes(head, settings);
            out.insert(out.end(), cut.begin(), cut.end());
            if (bytesSent) bytesSent->insert(bytesSent->end(), head.begin(), head.end());
        }
        const std::vector<std::int16_t> tail = QuietRecording(samples - out.size());
        out.insert(out.end(), tail.begin(), tail.end());
    }
    out.resize(samples);
    return out;
}

std::vector<std::int16_t> QuietRecording(std::size_t samples) {
    ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(1, 44100));
    settings.leadIn = static_cast<int>(samples);
    settings.leadOut = 0;
    settings.seed = 7;
    return ModulateBytes({}, settings);
}

}  // namespace bench_inputs

}  // namespace zendrik
