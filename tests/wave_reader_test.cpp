#include "reception/wave_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <vector>

#include "document/document.h"
#include "support/open_document.h"
#include "reception/wave_writer.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

using testing_wave::WaveFileMaker;
using testing_wave::FormatFields;
using testing_wave::Pcm16;

namespace {

// The samples the reader takes from the file, or nothing when it rejects it.
std::optional<std::vector<std::int16_t>> Read(const std::string& file) {
    std::istringstream in(file);
    WaveSamples wave;
    if (!ReadWaveStream(in, wave)) return std::nullopt;
    return std::vector<std::int16_t>(wave.samples.get(), wave.samples.get() + wave.count);
}

std::vector<std::int16_t> Samples(std::initializer_list<int> values) {
    return std::vector<std::int16_t>(values.begin(), values.end());
}

FormatFields Fields(int channels, int bits) {
    FormatFields f;
    f.channels = channels;
    f.bitsPerSample = bits;
    return f;
}

}  // namespace

TEST(WaveReader, ReadsSixteenBitSamplesOfOneOrTwoChannels) {
    EXPECT_EQ(Read(WaveFileMaker().Format({}).Data({0x80, 0x01, 0xFF, 0xFF}).Bytes()),
              Samples({384, -1}));
    // Frames count by whole frames: 10 bytes are 5 samples, an 11th byte is no sample.
    EXPECT_EQ(Read(WaveFileMaker().Format({}).Data(Pcm16({1, 2, 3, 4, 5})).Bytes())->size(), 5u);
    std::vector<std::uint8_t> odd = Pcm16({1, 2, 3, 4, 5});
    odd.push_back(7);
    EXPECT_EQ(Read(WaveFileMaker().Format({}).Data(odd).Bytes()), Samples({1, 2, 3, 4, 5}));
    // Of a stereo recording the second channel is kept.
    EXPECT_EQ(Read(WaveFileMaker()
                       .Format(Fields(2, 16))
                       .Data(Pcm16({100, -200, 300, -32768, -500, 32767}))
                       .Bytes()),
              Samples({-200, -32768, 32767}));
}

TEST(WaveReader, CentresEightBitSamplesWithoutScaling) {
    EXPECT_EQ(Read(WaveFileMaker().Format(Fields(1, 8)).Data({0, 128, 255, 129}).Bytes()),
              Samples({-128, 0, 127, 1}));
    EXPECT_EQ(Read(WaveFileMaker().Format(Fields(2, 8)).Data({0, 255, 255, 0}).Bytes()),
              Samples({127, -128}));
}

TEST(WaveReader, RejectsWhatIsNotIntegerPcmOfOneOrTwoChannels) {
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read("RIFF"));
    const std::vector<std::uint8_t> body = Pcm16({1, 2});
    EXPECT_FALSE(Read(WaveFileMaker().Outer("RIFX", "WAVE").Format({}).Data(body).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Outer("RIFF", "AVI ").Format({}).Data(body).Bytes()));
    FormatFields floating;
    floating.formatTag = 3;
    EXPECT_FALSE(Read(WaveFileMaker().Format(floating).Data(body).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Format(Fields(3, 16)).Data(Pcm16({1, 2, 3})).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Format(Fields(0, 16)).Data(body).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Format(Fields(1, 24)).Data({1, 2, 3}).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Format(Fields(1, 12)).Data(body).Bytes()));
    EXPECT_FALSE(Read(WaveFileMaker().Format({}).Bytes()));  // no data chunk
    EXPECT_FALSE(Read(WaveFileMaker().Data(body).Bytes()));  // no format chunk
}

TEST(WaveReader, FindsTheFormatBeforeTheData) {
    const std::vector<std::uint8_t> body = Pcm16({5, 6});
    EXPECT_FALSE(Read(WaveFileMaker().Data(body).Format({}).Bytes()));
    EXPECT_EQ(Read(WaveFileMaker().Format({}, 16).Data(body).Bytes()), Samples({5, 6}));
    EXPECT_FALSE(Read(WaveFileMaker().Format({}, 14).Data(body).Bytes()));
    // A longer format chunk is stepped over as a whole before the data is searched for.
    EXPECT_EQ(Read(WaveFileMaker().Format({}, 18).Data(body).Bytes()), Samples({5, 6}));
    // Other chunks are skipped, an odd-sized one together with its pad byte.
    EXPECT_EQ(Read(WaveFileMaker()
                       .Chunk("LIST", {'I', 'N', 'F', 'O'})
                       .Format({})
                       .Chunk("note", {1, 2, 3})
                       .Chunk("fact", {0, 0, 0, 0})
                       .Data(body)
                       .Bytes()),
              Samples({5, 6}));
}

TEST(WaveReader, SearchesOnlyInsideTheOuterChunk) {
    const std::vector<std::uint8_t> body = Pcm16({5, 6});
    // The data chunk lies after the end the outer chunk declares.
    EXPECT_FALSE(Read(WaveFileMaker().Format({}).Data(body).OuterSize(4 + 24).Bytes()));
    // An outer size beyond the file end is cut to the file.
    EXPECT_EQ(Read(WaveFileMaker().Format({}).Data(body).OuterSize(0xFFFFFFF0u).Bytes()),
              Samples({5, 6}));
    // A chunk size that leads past the end of the file ends the search.
    EXPECT_FALSE(Read(
        WaveFileMaker().Format({}).ChunkDeclaring("JUNK", 0x7FFFFFF0u, {}).Data(body).Bytes()));
}

TEST(WaveReader, PadsAShortDataChunkWithAtMostOneSecondOfSilence) {
    EXPECT_EQ(
        Read(WaveFileMaker().Format({}).ChunkDeclaring("data", 12, Pcm16({7, -7, 9})).Bytes()),
        Samples({7, -7, 9, 0, 0, 0}));
    // A trailing half sample is not a sample.
    EXPECT_EQ(Read(WaveFileMaker().Format({}).ChunkDeclaring("data", 8, {3, 0, 1}).Bytes()),
              Samples({3, 0, 0, 0}));

    // A hundred-byte file that claims four gigabytes of data.
    std::vector<std::uint8_t> body = Pcm16(std::vector<int>(28, 1000));
    const std::string forged =
        WaveFileMaker().Format({}).ChunkDeclaring("data", 0xFFFFFFFEu, body).Bytes();
    ASSERT_EQ(forged.size(), 100u);
    const auto samples = Read(forged);
    ASSERT_TRUE(samples);
    ASSERT_EQ(static_cast<std::int64_t>(samples->size()), 28 + kMaxMissingFrames);
    EXPECT_EQ((*samples)[27], 1000);
    EXPECT_EQ((*samples)[28], 0);
    EXPECT_EQ(samples->back(), 0);
}

TEST(WaveReader, ReadsBackWhatTheWriterWrote) {
    const std::vector<std::int16_t> samples = Samples({0, 1, -1, 32767, -32768, 12345, -54});
    std::ostringstream out;
    ASSERT_TRUE(WriteWaveStream(out, samples, 44100));
    EXPECT_EQ(Read(out.str()), samples);
    std::ostringstream empty;
    ASSERT_TRUE(WriteWaveStream(empty, {}, 22050));
    EXPECT_EQ(Read(empty.str()), Samples({}));
}

TEST(WaveReader, KeepsThePreviousSamplesWhenAFileIsRejected) {
    WaveSamples wave;
    std::istringstream good(WaveFileMaker().Format({}).Data(Pcm16({11, 22, 33})).Bytes());
    ASSERT_TRUE(ReadWaveStream(good, wave));
    ASSERT_EQ(wave.count, 3);

    FormatFields floating;
    floating.formatTag = 3;
    std::istringstream bad(WaveFileMaker().Format(floating).Data(Pcm16({1, 2, 3, 4})).Bytes());
    EXPECT_FALSE(ReadWaveStream(bad, wave));
    ASSERT_EQ(wave.count, 3);
    EXPECT_EQ(wave.samples[2], 33);

    // An empty data chunk is a readable file, but there is nothing to demodulate.
    const std::string silent =
        testing_wave::WriteWaveBytes(WaveFileMaker().Format({}).Data({}).Bytes(), "empty.wav");
    Document data;
    EXPECT_EQ(testing_streams::OpenInto(data, silent), 0);
    EXPECT_EQ(data.ReadError(), "the recording holds no sound");
}
