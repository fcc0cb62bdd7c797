// Inputs that once made the program misbehave, each kept as the smallest transfer or file that
// showed it, so the fault stays fixed.
#include <gtest/gtest.h>

#include "decoders/families.h"
#include "document/document.h"
#include "support/open_document.h"
#include "support/coach_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

struct Texts {
    std::string hrm, csv;
    int valid = 0;
};

Texts Decode(const std::vector<std::uint8_t>& bytes, int model) {
    Document sonic(testing_streams::OnDay({2024, 6, 15}, model));
    sonic.DecodeBytes(ToReceived(bytes));
    return {sonic.Hrm(), sonic.Csv(), sonic.Valid()};
}

std::vector<std::uint8_t> Followed(std::vector<std::uint8_t> bytes, std::size_t count, std::uint8_t value) {
    bytes.resize(bytes.size() + count, value);
    return bytes;
}

}  // namespace

// Noise a live reception demodulates after the transfer, or junk appended to a dump, is not
// part of the transfer. Where the layout runs past the end of the last block (here the fifth
// earlier exercise, 38 bytes into a last block of 36), it reads zeros, not what follows.
TEST(HostileInput, S410ReportIgnoresBytesAfterTheLastBlock) {
    S410Values v;
    for (int i = 0; i < 60; ++i) v.hr.push_back(100 + i);
    for (int i = 0; i < 6; ++i) v.laps.push_back({{0, i + 1, 0, 0}, 130, 120, 140, 0});
    const std::vector<std::uint8_t> stream = BuildS410Stream(v).bytes;
    ASSERT_EQ(stream[8], 4);  // more than three blocks: the last two carry earlier exercises

    const Texts plain = Decode(stream, kModelS410);
    ASSERT_EQ(plain.valid, 1);
    EXPECT_NE(plain.hrm.find("[File5]\r\nDate=20000000\r\nStartTime=00:00:00.0\r\n"), std::string::npos);
    for (std::uint8_t junk : {0x55, 0x99, 0xFF}) {
        const Texts noisy = Decode(Followed(stream, 64, junk), kModelS410);
        EXPECT_EQ(noisy.hrm, plain.hrm) << "followed by " << int{junk};
        EXPECT_EQ(noisy.csv, plain.csv);
    }
}

// A Coach block may hold fewer than the 12 data bytes the layout counts with; the lap record
// that runs past the last such block reads zeros, not the bytes after the transfer.
TEST(HostileInput, CoachReportIgnoresBytesAfterTheLastBlock) {
    CoachValues v;
    v.laps = {{{0, 5, 0, 0}, 130, 120, 140, 0}};
    std::vector<std::vector<std::uint8_t>> blocks = BuildCoachBlocks(v);
    // The lap's time only: its end and average heart rates fall on the block's checksum, its
    // maximum on what follows the transfer.
    blocks.back().resize(3);
    const std::vector<std::uint8_t> stream = FrameCoachBlocks(blocks).bytes;

    const Texts plain = Decode(stream, kModelCoach);
    ASSERT_EQ(plain.valid, 1);
    const std::size_t lap = plain.hrm.find("[IntTimes]\r\n00:05:00.0\t");
    ASSERT_NE(lap, std::string::npos);
    const std::string row = plain.hrm.substr(lap, plain.hrm.find("\r\n", lap + 12) + 2 - lap);
    EXPECT_TRUE(row.ends_with("\t0\r\n")) << row;
    for (std::uint8_t junk : {0x55, 0x99, 0xFF}) {
        const Texts noisy = Decode(Followed(stream, 64, junk), kModelCoach);
        EXPECT_EQ(noisy.hrm, plain.hrm) << "followed by " << int{junk};
        EXPECT_EQ(noisy.csv, plain.csv);
    }
}
