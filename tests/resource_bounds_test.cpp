// What a hostile or merely huge input may cost: memory and work are counted through operator
// new and through the characters a reader pulls, never timed, so none of this can flake on a
// busy machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "decoders/families.h"
#include "reception/dump_file.h"
#include "reception/live_decoder.h"
#include "reception/modulator.h"
#include "reception/second_receiver.h"
#include "document/document.h"
#include "support/open_document.h"
#include "reception/stream_check.h"
#include "reception/wave_reader.h"
#include "reception/wave_writer.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

using namespace testing_streams;
using testing_wave::WaveFileMaker;
using testing_wave::FormatFields;
using testing_wave::Pcm16;

namespace {

// --- WAV files whose size fields lie -------------------------------------------------------

struct WaveCost {
    bool read = false;
    std::int64_t samples = 0;
    AllocationTotals heap;
};

WaveCost ReadCost(const std::string& file, WaveChannel channel = WaveChannel::Second) {
    std::istringstream in(file);
    WaveSamples wave;
    WaveCost cost;
    AllocationCounter counter;
    cost.read = ReadWaveStream(in, wave, nullptr, channel);
    cost.heap = counter.Totals();
    cost.samples = wave.count;
    return cost;
}

TEST(ResourceBounds, AForgedDataSizeCostsNoMoreThanTheFileAndOneSecond) {
    struct Case {
        FormatFields format;
        int frameBytes;
    };
    for (const Case& c : {Case{{1, 1, 44100, 16}, 2}, Case{{1, 2, 44100, 16}, 4},
                           Case{{1, 1, 44100, 8}, 1}, Case{{1, 2, 44100, 8}, 2}}) {
        SCOPED_TRACE(c.frameBytes);
        // A hundred-byte file whose data chunk says four gigabytes follow.
        const std::string file = WaveFileMaker()
                                     .Format(c.format)
                                     .ChunkDeclaring("data", 0xFFFFFFFEu, std::vector<std::uint8_t>(56, 7))
                                     .OuterSize(0xFFFFFFFFu)
                                     .Bytes();
        ASSERT_EQ(file.size(), 100u);
        // Choosing the channel by its tone costs a pass over the data, not a copy of it.
        for (WaveChannel channel : {WaveChannel::Second, WaveChannel::ToneBandLoudest}) {
            const WaveCost cost = ReadCost(file, channel);
            ASSERT_TRUE(cost.read);
            const std::int64_t framesInFile = 56 / c.frameBytes;
            EXPECT_EQ(cost.samples, framesInFile + kMaxMissingFrames);
            // The samples, one read buffer and nothing in proportion to the claimed size.
            const std::size_t samplesBytes =
                static_cast<std::size_t>(cost.samples) * sizeof(std::int16_t);
            EXPECT_LE(cost.heap.peak,
                      samplesBytes + 8192u * static_cast<std::size_t>(c.frameBytes) + 1024u);
        }
    }
}

TEST(ResourceBounds, ChunkSizesThatLeadPastTheFileAllocateNothing) {
    // Every size field at its largest: the search runs off the end of the file and stops.
    const std::string file = WaveFileMaker()
                                 .ChunkDeclaring("JUNK", 0xFFFFFFFFu, std::vector<std::uint8_t>(40, 1))
                                 .Format({})
                                 .OuterSize(0xFFFFFFFFu)
                                 .Bytes();
    const WaveCost cost = ReadCost(file);
    EXPECT_FALSE(cost.read);
    EXPECT_EQ(cost.heap.peak, 0u);
}

TEST(ResourceBounds, OpeningAForgedRecordingStaysWithinItsSamples) {
    const std::string path = testing_wave::WriteWaveBytes(
        WaveFileMaker().Format({}).ChunkDeclaring("data", 0xFFFFFFF0u, Pcm16({1, -1, 2, -2})).Bytes(),
        "forged.wav");
    Document sonic;
    AllocationCounter counter;
    ASSERT_EQ(testing_streams::OpenInto(sonic, path), 1);
    const AllocationTotals heap = counter.Totals();
    const std::size_t samples = 4 + kMaxMissingFrames;
    // The samples and the demodulator's envelope of them, the file buffers and the report; and
    // since the exact receiver finds no transfer, the second receiver's float copy of the
    // samples and its working arrays, a few bytes per sample; and the tone search's tables,
    // which do not grow with the recording (a transform's tables and a stretch of spectra).
    EXPECT_LE(heap.peak, (2u * sizeof(std::int16_t) + 6u) * samples +
                             256u * 1024u);
}

TEST(ResourceBounds, ALongRecordingCostsTheExactReceiverNoMoreThanAShortOne) {
    // A transfer, then minutes of silence: the exact receiver reads it a block at a time, so
    // what it holds does not follow the recording's length (here 13 MB of samples).
    const std::vector<std::int16_t> transfer = ModulateBytes(
        BuildS410Stream(S410Values{}).bytes, ModulatorSettingsFor(BitTimingFor(kModelS410, 44100)));
    const std::size_t silence = std::size_t{150} * 44100;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(2 * (transfer.size() + silence));
    std::string file = WaveFileMaker()
                           .Format({})
                           .ChunkDeclaring("data", dataBytes,
                                           Pcm16(std::vector<int>(transfer.begin(), transfer.end())))
                           .OuterSize(dataBytes + 36)
                           .Bytes();
    file.append(2 * silence, '\0');
    std::istringstream in(std::move(file));
    Document sonic;
    AllocationCounter counter;
    ASSERT_EQ(testing_streams::OpenInto(sonic, DocumentInput{.path = "long.wav", .stream = &in}), 1)
        << sonic.ReadError();
    const AllocationTotals heap = counter.Totals();
    EXPECT_FALSE(sonic.Hrm().empty());
    // Its blocks of samples and envelope, the report texts; nothing near the samples' size.
    EXPECT_LE(heap.peak, std::size_t{2} << 20);
}

// Minutes of faint hiss with one transfer at the end, made as it is read: the sound itself
// costs nothing, so what the second receiver holds is all the counter sees.
class HissThenTransfer : public SampleSource {
public:
    HissThenTransfer(std::vector<std::int16_t> transfer, std::int64_t hiss)
        : transfer_(std::move(transfer)), hiss_(hiss) {}
    int SampleRate() const override { return 44100; }
    bool Rewind() override {
        at_ = 0;
        noise_.seed(5);
        return true;
    }
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override {
        const std::int64_t total = hiss_ + static_cast<std::int64_t>(transfer_.size());
        const std::ptrdiff_t got = static_cast<std::ptrdiff_t>(std::min<std::int64_t>(most, total - at_));
        for (std::ptrdiff_t i = 0; i < got; ++i, ++at_) {
            const int hiss = static_cast<int>(noise_() % 41) - 20;
            out[i] = static_cast<std::int16_t>(
                at_ < hiss_ ? hiss : transfer_[static_cast<std::size_t>(at_ - hiss_)] / 4 + hiss);
        }
        return got;
    }

private:
    std::vector<std::int16_t> transfer_;
    std::int64_t hiss_;
    std::int64_t at_ = 0;
    std::minstd_rand noise_{5};
};

TEST(ResourceBounds, ALongRecordingCostsTheSecondReceiverOnlyTheSoundAroundItsTransfer) {
    // Six minutes (106 MB as the floats the second receiver reads) of which it holds the
    // stretch where the tone sounds and the working arrays for reading it.
    const std::vector<std::uint8_t> bytes = BuildS410Stream(S410Values{}).bytes;
    HissThenTransfer source(ModulateBytes(bytes, ModulatorSettingsFor(BitTimingFor(kModelS410, 44100))),
                            std::int64_t{360} * 44100);
    AllocationCounter counter;
    const SecondReception got = ReceiveSource(source, FamilyStreamFormats());
    const AllocationTotals heap = counter.Totals();
    ASSERT_TRUE(got.accepted) << FormatReceptionReport(got.report);
    EXPECT_EQ(got.bytes, bytes);
    EXPECT_LE(heap.peak, std::size_t{16} << 20);
}

// --- Dumps of millions of lines ------------------------------------------------------------

// Makes a dump on the fly from a cycle of lines, as a file of that size would be read, and
// counts the characters the reader pulls and every attempt to step back or seek.
class LinesSource : public std::streambuf {
public:
    // The refill buffer is reserved here, so that reading allocates nothing of the source's.
    LinesSource(std::vector<std::string> cycle, std::size_t lines)
        : m_cycle(std::move(cycle)), m_linesLeft(lines) {
        std::size_t longest = 0;
        for (const std::string& line : m_cycle) longest = std::max(longest, line.size());
        m_buffer.reserve(kRefill + longest);
    }

    std::size_t Delivered() const { return m_delivered; }
    std::size_t StepsBack() const { return m_stepsBack; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        m_buffer.clear();
        while (m_linesLeft > 0 && m_buffer.size() < kRefill) {
            m_buffer += m_cycle[m_next];
            m_next = (m_next + 1) % m_cycle.size();
            --m_linesLeft;
        }
        if (m_buffer.empty()) return traits_type::eof();
        m_delivered += m_buffer.size();
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + m_buffer.size());
        return traits_type::to_int_type(*gptr());
    }
    int_type pbackfail(int_type) override {
        ++m_stepsBack;
        return traits_type::eof();
    }
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override {
        ++m_stepsBack;
        return pos_type(off_type(-1));
    }
    pos_type seekpos(pos_type, std::ios_base::openmode) override {
        ++m_stepsBack;
        return pos_type(off_type(-1));
    }

private:
    static constexpr std::size_t kRefill = 65536;

    std::vector<std::string> m_cycle;
    std::size_t m_linesLeft;
    std::size_t m_next = 0;
    std::string m_buffer;
    std::size_t m_delivered = 0;
    std::size_t m_stepsBack = 0;
};

struct DumpCost {
    std::ptrdiff_t bytes = 0;
    std::size_t charactersPulled = 0;
    std::size_t charactersInDump = 0;
    std::size_t stepsBack = 0;
    AllocationTotals heap;
};

DumpCost ParseCost(const std::vector<std::string>& cycle, std::size_t lines) {
    LinesSource source(cycle, lines);
    std::istream in(&source);
    ReceivedBytes out;
    DumpCost cost;
    {
        AllocationCounter counter;
        ParseDump(in, out);
        cost.heap = counter.Totals();
    }
    cost.bytes = out.GetSize();
    cost.charactersPulled = source.Delivered();
    cost.stepsBack = source.StepsBack();
    for (std::size_t i = 0; i < lines; ++i) cost.charactersInDump += cycle[i % cycle.size()].size();
    return cost;
}

// Every character of the dump was pulled, none twice.
void ExpectReadOnceToTheEnd(const DumpCost& cost) {
    EXPECT_EQ(cost.charactersPulled, cost.charactersInDump);
    EXPECT_EQ(cost.stepsBack, 0u);
}

TEST(ResourceBounds, MillionsOfUnreadableLinesAreReadOnceWithoutMemory) {
    // Lines the reader skips: too long, too short, out of range, empty.
    const DumpCost many = ParseCost({"AAA\r\n", "5\r\n", "G0\r\n", "\r\n", "\r\r\n"}, 3'000'000);
    EXPECT_EQ(many.bytes, 0);
    ExpectReadOnceToTheEnd(many);
    EXPECT_EQ(many.heap.calls, 0u);
    // Lines of millions of characters are counted, not kept.
    const DumpCost wide = ParseCost({std::string(4'000'000, 'F') + "\r\n"}, 5);
    EXPECT_EQ(wide.bytes, 0);
    ExpectReadOnceToTheEnd(wide);
    EXPECT_EQ(wide.heap.calls, 0u);
}

TEST(ResourceBounds, MillionsOfBytesAreReadInLinearWorkAndSpace) {
    constexpr std::size_t kLines = 3'000'000;
    const std::vector<std::string> cycle = {"AA\r\n", "55\n", "0a\r\n", "ZZ\r\n"};
    const DumpCost n = ParseCost(cycle, kLines / 2);
    const DumpCost twice = ParseCost(cycle, kLines);
    ASSERT_EQ(twice.bytes, static_cast<std::ptrdiff_t>(kLines / 4 * 3));
    // Each character is pulled once: twice the lines, twice the characters.
    ExpectReadOnceToTheEnd(n);
    ExpectReadOnceToTheEnd(twice);
    EXPECT_EQ(twice.charactersPulled, 2 * n.charactersPulled);
    // Only the bytes held (4 per byte) and their geometric growth: at most the old and the new
    // storage at once, and all storage ever taken twice the last. A reader that kept lines or
    // copied the buffer per line would be far above this.
    const std::size_t held = sizeof(std::int32_t) * static_cast<std::size_t>(twice.bytes);
    EXPECT_LE(twice.heap.peak, 3 * held);
    EXPECT_LE(twice.heap.bytes, 4 * held);
    // Doubling the dump adds a few allocations, not twice as many.
    EXPECT_LE(twice.heap.calls, n.heap.calls + 4);
}

// --- Decoders: work follows the data, not the stream length ---------------------------------

struct DecodeCost {
    std::size_t output = 0;  // bytes of the three report texts
    AllocationTotals heap;
    std::string hrm;
};

DecodeCost MeasureDecode(const std::vector<std::uint8_t>& bytes, int model) {
    Document sonic(testing_streams::OnDay({2024, 6, 15}, model));
    DecodeCost cost;
    ReceivedBytes received = ToReceived(bytes);
    {
        AllocationCounter counter;
        sonic.DecodeBytes(std::move(received));
        cost.heap = counter.Totals();
    }
    EXPECT_EQ(sonic.Valid(), 1);
    cost.output = sonic.Hrm().size() + sonic.HrmCompat().size() + sonic.Csv().size();
    cost.hrm = sonic.Hrm();
    return cost;
}

std::vector<testing_streams::Lap> Laps(int count) {
    std::vector<testing_streams::Lap> laps;
    for (int i = 0; i < count; ++i) {
        laps.push_back({{i / 60, i % 60, 30, i % 10}, 120 + i % 50, 110 + i % 40, 150 + i % 30, 10 + i});
    }
    return laps;
}

std::vector<std::uint8_t> S410WithLaps(int laps) {
    S410Values v;
    for (int i = 0; i < 60; ++i) v.hr.push_back(100 + i);
    v.laps = Laps(laps);
    return BuildS410Stream(v).bytes;
}

std::vector<std::uint8_t> CoachWithLaps(int laps) {
    CoachValues v;
    v.laps = Laps(laps);
    return BuildCoachStream(v).bytes;
}

std::vector<std::uint8_t> RunWithLaps(int laps) {
    RunValues v;
    for (int i = 0; i < laps; ++i) {
        RunLap lap;
        lap.time = {i / 60, i % 60, 7, 3};
        lap.endHr = 140;
        lap.distance = 100 + i;
        lap.endPace = 2500 + i;
        v.laps.push_back(lap);
    }
    return BuildRs200Stream(v);
}

std::vector<std::uint8_t> RideWithLaps(int laps) {
    RideValues v;
    for (int i = 0; i < laps; ++i) {
        RideLap lap;
        lap.time = {i / 60, i % 60, 7, 3};
        lap.distance = 100 + i;
        v.laps.push_back(lap);
    }
    return BuildCs200Stream(v);
}

struct FamilyCost {
    const char* name;
    int model;
    std::vector<std::uint8_t> (*withLaps)(int);
    int fewLaps;
    int mostLaps;  // as many as the family's blocks can carry
};

const FamilyCost kFamilies[] = {
    {"S410", kModelS410, S410WithLaps, 6, 99},
    {"Coach", kModelCoach, CoachWithLaps, 2, 20},
    {"RS200", kModelRS200, RunWithLaps, 16, 255},
    {"CS200", kModelRS200, RideWithLaps, 16, 255},
};

TEST(ResourceBounds, BytesAfterTheLastBlockCostTheDecodersNothing) {
    for (const FamilyCost& family : kFamilies) {
        SCOPED_TRACE(family.name);
        const std::vector<std::uint8_t> stream = family.withLaps(family.fewLaps);
        std::vector<std::uint8_t> padded = stream;
        padded.resize(stream.size() + 1'000'000, 0x55);
        const DecodeCost plain = MeasureDecode(stream, family.model);
        const DecodeCost longer = MeasureDecode(padded, family.model);
        EXPECT_EQ(longer.hrm, plain.hrm);
        // Nothing is copied or scanned in proportion to the stream.
        EXPECT_EQ(longer.heap.bytes, plain.heap.bytes);
        EXPECT_EQ(longer.heap.calls, plain.heap.calls);
    }
}

TEST(ResourceBounds, DecodingWorkGrowsInStepWithTheLaps) {
    for (const FamilyCost& family : kFamilies) {
        SCOPED_TRACE(family.name);
        const DecodeCost few = MeasureDecode(family.withLaps(family.fewLaps), family.model);
        const DecodeCost most = MeasureDecode(family.withLaps(family.mostLaps), family.model);
        ASSERT_GT(most.output, 2 * few.output);
        // Heap traffic per byte of report: texts grown by appending stay within a small
        // factor of what they hold whatever the lap count, where a text rebuilt per line or a
        // lap area copied per lap would grow with the laps.
        const double fewPerByte = static_cast<double>(few.heap.bytes) / static_cast<double>(few.output);
        const double mostPerByte = static_cast<double>(most.heap.bytes) / static_cast<double>(most.output);
        EXPECT_LT(mostPerByte, 2.0 * fewPerByte + 1.0);
        EXPECT_LT(mostPerByte, 12.0);
        // Allocations per lap stay bounded too (temporary texts of each line).
        const double callsPerLap = static_cast<double>(most.heap.calls - few.heap.calls) /
                                   static_cast<double>(family.mostLaps - family.fewLaps);
        EXPECT_LT(callsPerLap, 8.0);
    }
}

// --- Live reception while no stream head turns up --------------------------------------------

std::vector<std::int16_t> NoHeadSound(std::mt19937& rng, int kind, std::size_t count) {
    std::vector<std::int16_t> sound;
    switch (kind) {
        case 0:  // digital silence
            sound.assign(count, 0);
            break;
        case 1:  // a square wave at full scale, both extremes included
            for (std::size_t i = 0; i < count; ++i) sound.push_back((i / 45) % 2 ? 32767 : -32768);
            break;
        case 2: {  // transfers of bytes that never make a preamble
            std::vector<std::uint8_t> bytes(count / 1000 + 1);
            for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(rng() % 0xAA);
            sound = ModulateBytes(bytes, ModulatorSettings{});
            sound.resize(count);
            break;
        }
        default:  // loud hiss
            for (std::size_t i = 0; i < count; ++i) sound.push_back(static_cast<std::int16_t>(rng() % 20001) - 10000);
            break;
    }
    return sound;
}

TEST(ResourceBounds, LiveCollectionStaysWithinTheTrimmingBoundWhateverIsFed) {
    std::mt19937 rng(2024);
    // The Coach's slower bits keep more samples at each trim, within the same bound.
    for (int kind = 0; kind < 8; ++kind) {
        const int model = kind < 4 ? kModelS410 : kModelCoach;
        SCOPED_TRACE(kind);
        const std::vector<std::int16_t> sound = NoHeadSound(rng, kind % 4, 600'000);
        LiveDecoder decoder;
        decoder.OnStart(zendrik::FamilyOrFirst(model).stream, zendrik::FamilyStreamFormats(),
                        nullptr);
        std::size_t largestBlock = 0;
        AllocationCounter counter;
        for (std::size_t at = 0; at < sound.size();) {
            // Blocks of any size, one of them far larger than the capture delivers.
            std::size_t block = 1 + rng() % 25000;
            if (at == 100'000) block = 300'000;
            block = std::min(block, sound.size() - at);
            largestBlock = std::max(largestBlock, block);
            decoder.OnSamples(sound.data() + at, static_cast<std::ptrdiff_t>(block));
            at += block;
            ASSERT_FALSE(FindStreamHead(decoder.Bytes(),
                                        zendrik::FamilyOrFirst(model).stream.layout, nullptr));
            ASSERT_LE(decoder.SampleCount(), kTrimAbove) << "after " << at << " samples";
        }
        // Memory follows the bound and the largest block, not the length of the session: the
        // samples and their envelope, each with room to grow; and the last two minutes kept for
        // the second receiver (twice that while the buffer grows) with its working arrays over
        // them, a few bytes per sample.
        const std::size_t bound = static_cast<std::size_t>(kTrimAbove) + largestBlock;
        const std::size_t window =
            std::min<std::size_t>(sound.size(), std::size_t{kSecondWindowSeconds} * 44100);
        EXPECT_LE(counter.Totals().peak,
                  8 * sizeof(std::int16_t) * bound + (4 * sizeof(std::int16_t) + 12) * window);
    }
}

// --- Running out of memory ------------------------------------------------------------------

TEST(ResourceBounds, RunningOutOfMemoryEndsInAReasonNotAnException) {
    const std::string recording = TempPath("memory.wav");
    {
        std::ofstream file(recording, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(
            WriteWaveStream(file,
                            ModulateBytes(BuildS410Stream(S410Values{}).bytes,
                                          ModulatorSettingsFor(BitTimingFor(kModelS410, 44100))),
                            44100));
    }
    // Every step of decoding, from reading the samples to writing the texts, under limits from
    // "nothing fits" up to "the receivers' blocks of samples do not fit".
    for (std::size_t largest : {std::size_t{0}, std::size_t{64}, std::size_t{4096}}) {
        SCOPED_TRACE(largest);
        Document data;
        int result = 1;
        {
            AllocationLimit limit(largest);
            result = testing_streams::OpenInto(data, recording);
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(data.ReadError(), "not enough memory to decode it");
        EXPECT_EQ(data.Valid(), 0);
    }
}

}  // namespace
