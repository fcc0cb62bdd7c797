#include "reception/stream_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoders/families.h"
#include "support/s410_stream_builder.h"

using testing_streams::FrameS410Blocks;
using testing_streams::ToReceived;

namespace {

// A transfer head of `size` bytes: preamble, start mark, model byte, then zeros.
std::vector<std::uint8_t> Head(int modelByte, std::size_t size) {
    std::vector<std::uint8_t> bytes{
        0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, static_cast<std::uint8_t>(modelByte)};
    bytes.resize(size, 0);
    return bytes;
}

std::ptrdiff_t Expected(const std::vector<std::uint8_t>& bytes, int model) {
    std::ptrdiff_t expected = -1;
    EXPECT_TRUE(
        FindStreamHead(ToReceived(bytes), zendrik::FamilyOrFirst(model).stream.layout, &expected));
    return expected;
}

testing_streams::Stream TwoBlocks() {
    return FrameS410Blocks({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}}, 10);
}

}  // namespace

TEST(StreamCheck, BlockChecksum) {
    const std::string check = "123456789";
    EXPECT_EQ(BlockCrc16(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
              0xFEE8);
    EXPECT_EQ(BlockCrc16(nullptr, 0), 0);

    // Over received bytes, from any position; positions past the end count as 0.
    const std::vector<std::uint8_t> bytes(check.begin(), check.end());
    const CReceivedBytes received = ToReceived(bytes);
    EXPECT_EQ(BlockCrc16(received, 0, 9), 0xFEE8);
    EXPECT_EQ(BlockCrc16(received, 4, 5), BlockCrc16(bytes.data() + 4, 5));
    const std::vector<std::uint8_t> padded{'8', '9', 0, 0, 0};
    EXPECT_EQ(BlockCrc16(received, 7, 5), BlockCrc16(padded.data(), padded.size()));
}

TEST(StreamCheck, StreamHeadNeedsElevenBytesAndThePreamble) {
    std::ptrdiff_t expected = 0;
    EXPECT_FALSE(FindStreamHead(ToReceived(Head(10, 10)), StreamLayout::S410Blocks, &expected));
    EXPECT_TRUE(FindStreamHead(ToReceived(Head(10, 11)), StreamLayout::S410Blocks, &expected));
    std::vector<std::uint8_t> noMark = Head(10, 11);
    noMark[5] = 0;  // the start mark is not looked at
    EXPECT_TRUE(FindStreamHead(ToReceived(noMark), StreamLayout::S410Blocks, &expected));
    for (int i = 0; i < 5; ++i) {
        std::vector<std::uint8_t> broken = Head(10, 40);
        broken[static_cast<std::size_t>(i)] = 0xAB;
        EXPECT_FALSE(FindStreamHead(ToReceived(broken), StreamLayout::S410Blocks, &expected)) << i;
    }
}

TEST(StreamCheck, ExpectedLengthByModel) {
    std::vector<std::uint8_t> s410 = Head(10, 11);
    s410[8] = 2;
    s410[9] = 0x20;
    s410[10] = 0x01;
    EXPECT_EQ(Expected(s410, 1), 311);
    EXPECT_EQ(Expected(s410, 3), 311);
    EXPECT_EQ(Expected(s410, 7), 311);  // codes outside the table are framed like the S410
    EXPECT_EQ(Expected(TwoBlocks().bytes, 1),
              static_cast<std::ptrdiff_t>(TwoBlocks().bytes.size()));

    std::vector<std::uint8_t> rs200 = Head(1, 11);
    rs200[8] = 3;
    EXPECT_EQ(Expected(rs200, 4), 768);

    // Four Coach blocks of 17 bytes from byte 11, each naming its size in its third byte.
    std::vector<std::uint8_t> coach = Head(10, 11);
    coach[8] = 4;
    for (int block = 1; block <= 4; ++block) {
        const std::vector<std::uint8_t> b{0x55, static_cast<std::uint8_t>(block), 17};
        coach.insert(coach.end(), b.begin(), b.end());
        coach.resize(coach.size() + 14, 0);
    }
    coach.resize(90, 0);
    for (std::size_t count = 11; count <= coach.size(); ++count) {
        const std::vector<std::uint8_t> part(coach.begin(), coach.begin() + count);
        // The walk passes the fourth size byte (byte 64) at 65 bytes and ends at 81; the
        // fourth block ends at byte 78, so from 79 bytes on the transfer counts as complete.
        const std::ptrdiff_t want = count >= 79 ? static_cast<std::ptrdiff_t>(count) : 82;
        EXPECT_EQ(Expected(part, 2), want) << count << " bytes";
    }
}

TEST(StreamCheck, LiveBlockCheckFailsOnlyOnCompleteBadBlocks) {
    const testing_streams::Stream good = TwoBlocks();
    EXPECT_TRUE(BlockCheckPasses(ToReceived(good.bytes), StreamLayout::S410Blocks));

    // Correct checksum, but the first block is numbered 3.
    testing_streams::Stream misnumbered = TwoBlocks();
    testing_streams::SetBlockNumber(misnumbered, 0, 3);
    EXPECT_FALSE(BlockCheckPasses(ToReceived(misnumbered.bytes), StreamLayout::S410Blocks));

    // Twenty bytes are too few to be checked, even when they hold a whole bad block.
    testing_streams::Stream small = FrameS410Blocks({{1, 2}, {3}}, 10);
    testing_streams::SetBlockNumber(small, 0, 3);
    const std::vector<std::uint8_t> twenty(small.bytes.begin(), small.bytes.begin() + 20);
    const std::vector<std::uint8_t> twentyOne(small.bytes.begin(), small.bytes.begin() + 21);
    EXPECT_TRUE(BlockCheckPasses(ToReceived(twenty), StreamLayout::S410Blocks));
    EXPECT_FALSE(BlockCheckPasses(ToReceived(twentyOne), StreamLayout::S410Blocks));

    // The second block's checksum is wrong: every prefix passes until its last byte is in.
    testing_streams::Stream broken = TwoBlocks();
    testing_streams::BreakChecksum(broken, 1);
    for (std::size_t count = 0; count <= broken.bytes.size(); ++count) {
        const std::vector<std::uint8_t> part(broken.bytes.begin(), broken.bytes.begin() + count);
        EXPECT_EQ(BlockCheckPasses(ToReceived(part), StreamLayout::S410Blocks),
                  count < broken.bytes.size())
            << count << " bytes";
    }
    testing_streams::Stream badMark = TwoBlocks();
    badMark.bytes[badMark.blockAt[1]] = 0x54;
    EXPECT_FALSE(BlockCheckPasses(ToReceived(badMark.bytes), StreamLayout::S410Blocks));

    // Other layouts, and streams without a head, are not checked here.
    for (StreamLayout layout : {StreamLayout::CoachBlocks, StreamLayout::RS200Blocks}) {
        EXPECT_TRUE(BlockCheckPasses(ToReceived(broken.bytes), layout));
    }
    std::vector<std::uint8_t> headless = broken.bytes;
    headless[5] = 0x54;
    EXPECT_TRUE(BlockCheckPasses(ToReceived(headless), StreamLayout::S410Blocks));
    headless = broken.bytes;
    headless[0] = 0;
    EXPECT_TRUE(BlockCheckPasses(ToReceived(headless), StreamLayout::S410Blocks));
}
