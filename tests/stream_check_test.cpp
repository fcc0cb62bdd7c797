#include "reception/stream_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoders/families.h"
#include "reception/block_scan.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using testing_streams::FrameS410Blocks;
using testing_streams::Head;
using testing_streams::ToReceived;

namespace {

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
    const ReceivedBytes received = ToReceived(bytes);
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

// The one block scan every reader takes the framing from: per layout and corruption, what the
// acceptance (whole, good, complete) and a decoder (fails, blocks it reads, faults) make of it.
TEST(StreamCheck, OneBlockScanServesAcceptanceAndDecoders) {
    using namespace testing_streams;
    using zendrik::ScanFault;
    const Stream s410 = TwoBlocks();
    Stream badCrc = s410;
    BreakChecksum(badCrc, 1);
    Stream badNumber = s410;
    SetBlockNumber(badNumber, 0, 3);
    const std::vector<std::uint8_t> cut(s410.bytes.begin(), s410.bytes.end() - 1);
    Stream lengthOff = s410;
    lengthOff.bytes[9] ^= 1;
    Stream tooMany = FrameS410Blocks(std::vector<std::vector<std::uint8_t>>(21, {1}), 10);
    CoachValues coachValues;
    coachValues.hr = {100, 101};
    const Stream coach = BuildCoachStream(coachValues);
    Stream coachCrc = coach;
    BreakCoachChecksum(coachCrc, 2);
    Stream coachShort = coach;
    SetCoachBlockLength(coachShort, 1, 4);
    const std::vector<std::uint8_t> run = BuildRs200Stream(RunValues{});
    std::vector<std::uint8_t> runHead = run;
    SetRsStoredCrc(runHead, 0x1234);
    std::vector<std::uint8_t> runFrame = run;
    SetRsBlockFrame(runFrame, 0, 0x54, 1);
    const std::vector<std::uint8_t> runCut(run.begin(), run.begin() + 100);

    struct Row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        StreamLayout layout;
        int whole, good;
        bool complete, failed;
        int readable;
        std::vector<ScanFault::Kind> faults;
    };
    const std::vector<Row> rows = {
        {"s410", s410.bytes, StreamLayout::S410Blocks, 2, 2, true, false, 2, {}},
        {"s410 crc", badCrc.bytes, StreamLayout::S410Blocks, 2, 1, false, true, 0,
         {ScanFault::Checksum, ScanFault::Length}},
        {"s410 number", badNumber.bytes, StreamLayout::S410Blocks, 2, 1, false, true, 0, {ScanFault::Length}},
        {"s410 cut", cut, StreamLayout::S410Blocks, 1, 1, false, true, 0, {ScanFault::Length}},
        {"s410 length", lengthOff.bytes, StreamLayout::S410Blocks, 2, 2, false, true, 0, {ScanFault::Length}},
        {"s410 21 blocks", tooMany.bytes, StreamLayout::S410Blocks, 21, 21, true, true, 0,
         {ScanFault::TooManyBlocks, ScanFault::Length}},
        {"coach", coach.bytes, StreamLayout::CoachBlocks, 6, 6, true, false, 6, {}},
        {"coach crc", coachCrc.bytes, StreamLayout::CoachBlocks, 6, 5, false, true, 0, {ScanFault::Checksum}},
        {"coach size 4", coachShort.bytes, StreamLayout::CoachBlocks, 1, 1, false, true, 0, {}},
        {"run", run, StreamLayout::RS200Blocks, 1, 1, true, false, 1, {}},
        {"run head", runHead, StreamLayout::RS200Blocks, 1, 1, false, false, 1, {ScanFault::Checksum}},
        {"run frame", runFrame, StreamLayout::RS200Blocks, 1, 0, false, false, 0, {}},
        {"run cut", runCut, StreamLayout::RS200Blocks, 0, 0, false, false, 1, {}},
    };
    for (const Row& row : rows) {
        const zendrik::BlockScan scan = zendrik::ScanBlocks(ToReceived(row.bytes), row.layout);
        std::vector<ScanFault::Kind> faults;
        for (const ScanFault& f : scan.faults) faults.push_back(f.kind);
        EXPECT_EQ(scan.WholeBlocks(), row.whole) << row.name;
        EXPECT_EQ(scan.GoodBlocks(), row.good) << row.name;
        EXPECT_EQ(scan.complete, row.complete) << row.name;
        EXPECT_EQ(scan.failed, row.failed) << row.name;
        EXPECT_EQ(scan.readable, row.readable) << row.name;
        EXPECT_EQ(faults, row.faults) << row.name;
    }
}
