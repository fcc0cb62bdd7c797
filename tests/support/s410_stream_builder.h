// Builds S410/S510 transfers from exercise values, so tests can state values instead of bytes.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reception/received_bytes.h"

namespace zendrik {

namespace testing_streams {

struct Time {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;
};

struct Date {
    int year = 2006;
    int month = 3;
    int day = 5;
};

// One exercise summary record as the watch stores it.
struct Summary {
    bool named = true;          // false: name flag 0, the report says "BasicUse"
    std::string name = "Ride";  // up to 7 characters of the watch's character set
    Time start{7, 30, 15, 0};
    Date date;
    Time length{0, 45, 30, 5};
    int avgHr = 132;
    int maxHr = 171;
};

struct Lap {
    Time time;  // from the exercise start to the end of the lap
    int endHr = 0;
    int avgHr = 0;
    int maxHr = 0;
    int distance = 0;  // S510: in units of 100, so 25 means 2500
};

struct S410Values {
    bool s510 = false;
    int flags = 0;  // S510 flags byte: bit 0 speed, bit 2 cadence, bits 4-5 cycling
    int intervalCode = 0;
    Summary current;
    int lower[3] = {100, 120, 140};
    int upper[3] = {120, 140, 160};
    long calories = 6543;  // tenths
    long totalCalories = 123456;
    int totalHours = 1234;
    int totalMinutes = 56;
    long totalDistance = 4321;
    int distance = 256;      // tenths
    std::vector<int> hr;     // 0 to 120 samples
    std::vector<int> speed;  // raw speed bytes, the report shows them times 5
    std::vector<int> cadence;
    std::vector<Lap> laps;
    bool longLapRecords = false;   // S410: 10-byte lap records (announced by a second lap count)
    std::vector<Summary> earlier;  // none, or the five earlier exercises
    std::uint32_t randomSeed = 0;  // see RandomContent
};

// A watch's memory is not zero where no decoder looks. With a seed other than 0 the builders draw
// every byte the layout does not fix (spare head bytes, padding, bytes between the values) from
// it; with 0 those bytes stay 0, as the golden cases and the bundled samples have them.
class RandomContent {
public:
    // `part` draws another sequence from the same seed, for another part of the stream.
    explicit RandomContent(std::uint32_t seed, std::uint32_t part = 0);
    // Draws bytes[from, to) when there is a seed; leaves them as they are without one.
    void Fill(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);

private:
    std::mt19937 m_rng;
    bool m_on;
};

struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> blockAt;  // index of each block's 0x55 mark
};

// The whole transfer: head, numbered blocks with their checksums.
Stream BuildS410Stream(const S410Values& values);

// The data of each block of that transfer, before framing, so a test can drop or add blocks.
std::vector<std::vector<std::uint8_t>> BuildS410Blocks(const S410Values& values);

// Frames blocks of data into a transfer with the given model byte (10 S410, 0x51 S510).
Stream FrameS410Blocks(const std::vector<std::vector<std::uint8_t>>& blocks, int modelByte);

// A transfer head of `size` bytes: preamble, start mark, model byte, then zeros.
std::vector<std::uint8_t> Head(int modelByte, std::size_t size);

// Corruptions of a built stream.
void BreakChecksum(Stream& stream, std::size_t block);
void SetBlockNumber(Stream& stream, std::size_t block, int number);
void SetBlockCount(Stream& stream, int count);  // the count byte alone; blocks stay as they are
void SetChecksum(Stream& stream, std::size_t block, std::uint16_t stored);
// Position of byte `offset` of a block's data in the stream.
std::size_t DataAt(const Stream& stream, std::size_t block, std::size_t offset);

// A value as k BCD bytes, least significant first.
std::vector<std::uint8_t> Bcd(long value, int k);
std::uint8_t BcdByte(int value);

// The character code of c in the watch's character set.
int WatchCode(char c);

// Bytes as the receiver holds them.
ReceivedBytes ToReceived(const std::vector<std::uint8_t>& bytes);

// Writes bytes as a dump file; returns its path (inside the test's temporary directory).
std::string WriteDump(const std::vector<std::uint8_t>& bytes, const std::string& name);

// A scratch file path for this test binary.
std::string TempPath(const std::string& name);

}  // namespace testing_streams

}  // namespace zendrik
