// Writes the transfers the stream builders make, whole and with every corruption they know, as
// dump files into a folder: the inputs scripts/differential runs two builds of zendrik-cli on.
// Not part of the tests; the cases only have to be many and varied, not to say anything.
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "reception/dump_file.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string g_folder;
int g_written = 0;

void Write(const std::string& name, const Bytes& bytes) {
    std::ofstream(g_folder + "/" + name + ".sld", std::ios::binary) << FormatDump(ToReceived(bytes));
    ++g_written;
}

std::vector<int> Ramp(int count, int from, int step) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(from + (i * step) % 60);
    return values;
}

// The stream cut after `keep` bytes, or with bytes beyond its end.
void WriteCuts(const std::string& name, const Bytes& bytes) {
    for (std::size_t keep : {6u, 11u, 13u, 20u, 21u, 40u, 100u, 300u}) {
        if (keep < bytes.size()) Write(name + "-cut" + std::to_string(keep), Bytes(bytes.begin(), bytes.begin() + keep));
    }
    Write(name + "-cut-last", Bytes(bytes.begin(), bytes.end() - 1));
    Bytes longer = bytes;
    longer.insert(longer.end(), {0x55, 0x12, 0xAA, 0x00, 0xFF});
    Write(name + "-junk-after", longer);
}

void WriteS410(const std::string& name, const S410Values& values) {
    const Stream whole = BuildS410Stream(values);
    Write(name, whole.bytes);
    WriteCuts(name, whole.bytes);
    const std::size_t blocks = whole.blockAt.size();
    for (std::size_t k = 0; k < blocks; ++k) {
        const std::string at = name + "-b" + std::to_string(k);
        Stream s = whole;
        BreakChecksum(s, k);
        Write(at + "-crc", s.bytes);
        s = whole;
        SetBlockNumber(s, k, static_cast<int>(k) + 7);
        Write(at + "-number", s.bytes);
        s = whole;
        s.bytes[s.blockAt[k]] = 0x54;
        Write(at + "-mark", s.bytes);
        s = whole;
        s.bytes[s.blockAt[k] + 2] ^= 0x01;
        Write(at + "-length", s.bytes);
    }
    for (int count : {0, 1, 2, 3, static_cast<int>(blocks) - 1, static_cast<int>(blocks) + 1, 20, 21, 255}) {
        Stream s = whole;
        SetBlockCount(s, count);
        Write(name + "-count" + std::to_string(count), s.bytes);
    }
    for (int field : {9, 10}) {
        Stream s = whole;
        s.bytes[static_cast<std::size_t>(field)] ^= 0x10;
        Write(name + "-lengthfield" + std::to_string(field), s.bytes);
        s.bytes[9] = s.bytes[10] = 0;
        Write(name + "-lengthzero" + std::to_string(field), s.bytes);
    }
    // Dropped and doubled blocks, framed anew so every checksum holds.
    const int modelByte = whole.bytes[6];
    for (std::size_t k = 0; k < blocks; ++k) {
        std::vector<Bytes> data = BuildS410Blocks(values);
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(k));
        Write(name + "-drop" + std::to_string(k), FrameS410Blocks(data, modelByte).bytes);
    }
    std::vector<Bytes> data = BuildS410Blocks(values);
    data.push_back(data.back());
    Write(name + "-extra", FrameS410Blocks(data, modelByte).bytes);
}

void WriteCoach(const std::string& name, const CoachValues& values) {
    const Stream whole = BuildCoachStream(values);
    Write(name, whole.bytes);
    WriteCuts(name, whole.bytes);
    for (std::size_t k = 0; k < whole.blockAt.size(); ++k) {
        const std::string at = name + "-b" + std::to_string(k);
        Stream s = whole;
        BreakCoachChecksum(s, k);
        Write(at + "-crc", s.bytes);
        s = whole;
        SetCoachBlockNumber(s, k, static_cast<int>(k) + 9);
        Write(at + "-number", s.bytes);
        for (int length : {0, 4, 5, 16, 18, 255}) {
            s = whole;
            SetCoachBlockLength(s, k, length);
            Write(at + "-length" + std::to_string(length), s.bytes);
        }
    }
    for (int count : {0, 1, 4, 20, 21, 255}) {
        Stream s = whole;
        s.bytes[8] = static_cast<std::uint8_t>(count);
        Write(name + "-count" + std::to_string(count), s.bytes);
    }
    std::vector<Bytes> data = BuildCoachBlocks(values);
    data.pop_back();
    Write(name + "-short", FrameCoachBlocks(data).bytes);
}

void WriteRs(const std::string& name, const Bytes& whole) {
    Write(name, whole);
    WriteCuts(name, whole);
    for (std::size_t cut : {14u, 16u, 17u, 129u, 130u, 236u, 237u, 268u, 269u, 400u, 520u}) {
        if (cut < whole.size()) Write(name + "-at" + std::to_string(cut), Bytes(whole.begin(), whole.begin() + cut));
    }
    for (int count : {0, 1, 2, 3, 20, 21, 255}) {
        Bytes b = whole;
        SetRsBlockCount(b, count);
        Write(name + "-count" + std::to_string(count), b);
    }
    Bytes b = whole;
    SetRsStoredCrc(b, 0x1234);
    Write(name + "-headcrc", b);
    const std::size_t blocks = whole[kRsBlockCountAt];
    for (std::size_t k = 0; k < blocks; ++k) {
        b = whole;
        SetRsBlockFrame(b, k, 0x54, static_cast<int>(k) + 1);
        Write(name + "-b" + std::to_string(k) + "-mark", b);
        b = whole;
        SetRsBlockFrame(b, k, 0x55, static_cast<int>(k) + 5);
        Write(name + "-b" + std::to_string(k) + "-number", b);
    }
    for (int kind : {0, 1, 2, 3}) {
        b = whole;
        b[kRsKindAt] = static_cast<std::uint8_t>(kind);
        Write(name + "-kind" + std::to_string(kind), b);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    g_folder = argv[1];

    for (std::uint32_t seed : {0u, 7u}) {
        const std::string tag = seed ? "-random" : "";
        S410Values s410;
        s410.randomSeed = seed;
        s410.hr = Ramp(20, 100, 3);
        s410.laps = {{{0, 5, 0, 3}, 130, 120, 140, 0}, {{0, 10, 0, 0}, 150, 135, 160, 0}};
        WriteS410("s410" + tag, s410);
        S410Values empty;
        empty.randomSeed = seed;
        empty.current.named = false;
        WriteS410("s410-empty" + tag, empty);
        S410Values longer = s410;
        longer.hr = Ramp(61, 90, 7);
        longer.longLapRecords = true;
        longer.earlier = std::vector<Summary>(5);
        WriteS410("s410-long" + tag, longer);
        S410Values s510;
        s510.randomSeed = seed;
        s510.s510 = true;
        for (int flags : {0x35, 0x31, 0x34, 0x01, 0x00}) {
            s510.flags = flags;
            s510.hr = Ramp(70, 110, 5);
            s510.speed = Ramp(70, 40, 3);
            s510.cadence = Ramp(70, 80, 2);
            s510.laps = {{{0, 20, 0, 0}, 140, 130, 150, 25}, {{0, 41, 7, 9}, 160, 150, 171, 31}};
            WriteS410("s510-" + std::to_string(flags) + tag, s510);
        }

        CoachValues coach;
        coach.randomSeed = seed;
        coach.hr = Ramp(13, 95, 4);
        coach.laps = {{{0, 3, 0, 0}, 120, 110, 130, 0}, {{0, 6, 30, 5}, 140, 125, 150, 0},
                      {{0, 9, 0, 0}, 150, 140, 160, 0}};
        coach.secondLapCount = 1;
        WriteCoach("coach" + tag, coach);
        CoachValues bare;
        bare.randomSeed = seed;
        bare.month = 12;
        bare.sampleCount = 200;
        WriteCoach("coach-bare" + tag, bare);

        RunValues run;
        run.randomSeed = seed;
        for (int i = 0; i < 19; ++i) {
            run.laps.push_back({{0, 4 + i / 10, (i * 7) % 60, i % 10}, i % 3 == 0, 140 + i, 130 + i,
                                160 + i, 2700 + 10 * i, 3000 - 10 * i, 100 + 37 * i});
        }
        WriteRs("rs200" + tag, BuildRs200Stream(run));
        RunValues shortRun;
        shortRun.randomSeed = seed;
        shortRun.laps.resize(4);
        shortRun.maxPace = 0;
        shortRun.lapCount = 9;
        WriteRs("rs200-short" + tag, BuildRs200Stream(shortRun));

        RideValues ride;
        ride.randomSeed = seed;
        for (int i = 0; i < 19; ++i) {
            ride.laps.push_back({{0, 10 + i, i % 60, i % 10}, i % 2 == 1, 120 + i, 115 + i, 250 + i,
                                 80 + i, 78 + i, 123 + 50 * i});
        }
        WriteRs("cs200" + tag, BuildCs200Stream(ride));
        RideValues noLaps;
        noLaps.randomSeed = seed;
        WriteRs("cs200-nolaps" + tag, BuildCs200Stream(noLaps));
    }
    std::printf("%d cases\n", g_written);
    return 0;
}
