#include "support/rs200_stream_builder.h"

#include <algorithm>
#include <stdexcept>

#include "reception/stream_check.h"

namespace zendrik {

namespace testing_streams {

namespace {

constexpr std::size_t kHeadBytes = 13;
constexpr std::size_t kStride = 255;
constexpr std::size_t kDataBytes = 220;
constexpr std::size_t kFirstDataAt = 16;
constexpr std::size_t kRunLapArea = 128;
constexpr std::size_t kRideLapArea = 141;

// The data of all blocks as one run, addressed by stream position for the first block.
class DataImage {
public:
    // Whole blocks up to the end of the lap area, at least one.
    explicit DataImage(std::size_t lapAreaEnd)
        : m_data(std::max<std::size_t>(1, (lapAreaEnd + kDataBytes - 1) / kDataBytes) *
                 kDataBytes),
          m_set(m_data.size(), false) {}

    void Byte(std::size_t position, int value) {
        m_data.at(position - kFirstDataAt) = static_cast<std::uint8_t>(value);
        m_set.at(position - kFirstDataAt) = true;
    }
    void Word(std::size_t position, int value) {
        Byte(position, value & 0xFF);
        Byte(position + 1, (value >> 8) & 0xFF);
    }
    // Seconds, minutes, hours as BCD bytes.
    void BcdTime(std::size_t position, const Time& t) {
        Byte(position, BcdByte(t.seconds));
        Byte(position + 1, BcdByte(t.minutes));
        Byte(position + 2, BcdByte(t.hours));
    }
    // Tenths in the high nibble, then seconds, minutes, hours.
    void BcdDuration(std::size_t position, const Time& t) {
        Byte(position, t.tenths << 4);
        BcdTime(position + 1, t);
    }
    void PackedTime(std::size_t position, const Time& t, int hourFlags = 0) {
        Byte(position, (t.seconds & 0x3F) | ((t.tenths & 3) << 6));
        Byte(position + 1, (t.minutes & 0x3F) | ((t.tenths & 0x0C) << 4));
        Byte(position + 2, (t.hours & 0x7F) | hourFlags);
    }
    void PackedDate(std::size_t position, const Date& d) {
        Byte(position, (d.day & 0x1F) | ((d.month & 7) << 5));
        Byte(position + 1, ((d.year - 2000) << 1) | ((d.month >> 3) & 1));
    }
    void Name(std::size_t position, const std::string& name) {
        if (name.empty() || name.size() > 15) throw std::invalid_argument("name of 1 to 15");
        for (std::size_t i = 0; i < name.size(); ++i) {
            const int last = i + 1 == name.size() ? 0x80 : 0;
            Byte(position + i, WatchCode(name[i]) | last);
        }
    }
    void User(std::size_t heightAt, std::size_t maxHrAt, const RsUser& u) {
        Byte(heightAt, u.height);
        for (int i = 0; i < 3; ++i) Byte(heightAt + 1 + i, u.birth[i]);
        Byte(maxHrAt, u.maxHr);
        Byte(maxHrAt + 1, u.maxVo2);
        Byte(maxHrAt + 2, u.restHr);
    }

    // Head, then every block at its fixed stride. The bytes the decoder does not read stay 0,
    // or with a `randomSeed` are drawn at random, as a watch's memory holds something there.
    std::vector<std::uint8_t> Framed(std::uint32_t randomSeed) const {
        const std::size_t blocks = m_data.size() / kDataBytes;
        std::vector<std::uint8_t> out(kHeadBytes + kStride * blocks, 0);
        std::vector<bool> fixed(out.size(), false);
        std::fill_n(fixed.begin(), kHeadBytes, true);
        std::fill_n(out.begin(), 5, 0xAA);
        out[5] = 0x55;
        out[6] = 1;
        out[kRsBlockCountAt] = static_cast<std::uint8_t>(blocks);
        for (std::size_t k = 0; k < blocks; ++k) {
            const std::size_t at = kHeadBytes + kStride * k;
            out[at] = 0x55;
            out[at + 1] = static_cast<std::uint8_t>(k + 1);
            fixed[at] = fixed[at + 1] = true;
            for (std::size_t i = 0; i < kDataBytes; ++i) {
                out[at + 3 + i] = m_data[k * kDataBytes + i];
                fixed[at + 3 + i] = m_set[k * kDataBytes + i];
            }
        }
        if (randomSeed != 0) {
            // The head's spare bytes too: its checksum covers whatever they hold.
            for (std::size_t spare : {7, 9, 10}) fixed[spare] = false;
            RandomContent random(randomSeed);
            for (std::size_t i = 0; i < out.size(); ++i) {
                if (!fixed[i]) random.Fill(out, i, i + 1);
            }
        }
        SetRsStoredCrc(out, RsHeadCrc(out));
        return out;
    }

private:
    std::vector<std::uint8_t> m_data;
    std::vector<bool> m_set;  // the data bytes a value was written to
};

int LapCount(int given, std::size_t laps) {
    return given >= 0 ? given : static_cast<int>(laps);
}

}  // namespace

std::vector<std::uint8_t> BuildRs200Stream(const RunValues& v) {
    const std::size_t areaAt = kFirstDataAt + kRunLapArea;
    DataImage d(kRunLapArea + 12 * v.laps.size());
    d.Byte(kRsKindAt, 2);
    d.User(23, 27, v.user);
    d.Name(32, v.name);
    d.PackedDate(42, v.date);
    d.BcdTime(44, v.start);
    d.PackedTime(47, v.length);
    d.Byte(50, v.avgHr);
    d.Byte(51, v.maxHr);
    d.Word(53, v.calories);
    for (int z = 0; z < 3; ++z) {
        for (int part = 0; part < 3; ++part)
            d.BcdTime(71 + 9 * z + 3 * part, v.targetZones[z][part]);
    }
    for (int z = 0; z < 5; ++z) {
        d.Byte(107 + 2 * z, v.sportLower[z]);
        d.Byte(108 + 2 * z, v.sportUpper[z]);
        d.BcdTime(117 + 3 * z, v.sportInZone[z]);
    }
    d.Word(132, v.distance);
    d.Word(134, v.maxPace);
    d.Byte(137, LapCount(v.lapCount, v.laps.size()));
    d.PackedTime(138, v.bestLapTime);
    d.Byte(141, v.bestLap);
    d.Word(142, v.avgPace);
    // Last lap first.
    for (std::size_t i = 0; i < v.laps.size(); ++i) {
        const RunLap& lap = v.laps[v.laps.size() - 1 - i];
        const std::size_t at = areaAt + 12 * i;
        d.PackedTime(at, lap.time, lap.autoLap ? 0x80 : 0);
        d.Byte(at + 3, lap.endHr);
        d.Byte(at + 4, lap.avgHr);
        d.Byte(at + 5, lap.maxHr);
        d.Word(at + 6, lap.endPace);
        d.Word(at + 8, lap.distance);
        d.Word(at + 10, lap.avgPace);
    }
    return d.Framed(v.randomSeed);
}

std::vector<std::uint8_t> BuildCs200Stream(const RideValues& v) {
    const std::size_t areaAt = kFirstDataAt + kRideLapArea;
    DataImage d(kRideLapArea + 12 * v.laps.size());
    d.Byte(kRsKindAt, 1);
    d.User(105, 110, v.user);
    d.BcdDuration(114, v.length);
    d.Byte(118, v.avgHr);
    d.Byte(119, v.maxHr);
    for (int i = 0; i < 3; ++i) d.BcdTime(120 + 3 * i, v.times[i]);
    d.Word(129, v.calories);
    d.Word(131, v.distance);
    d.Word(133, v.avgSpeed);
    d.Word(135, v.maxSpeed);
    d.Byte(137, v.avgCadence);
    d.Byte(138, v.maxCadence);
    d.BcdDuration(139, v.rideTime);
    d.Byte(143, LapCount(v.lapCount, v.laps.size()));
    d.Byte(144, v.bestLap);
    d.PackedDate(145, v.date);
    d.BcdTime(147, v.start);
    d.Byte(151, v.lowerLimit);
    d.Byte(152, v.upperLimit);
    for (std::size_t i = 0; i < v.laps.size(); ++i) {
        const RideLap& lap = v.laps[i];
        const std::size_t at = areaAt + 12 * i;
        d.Byte(at, lap.autoLap ? 1 : 0);
        d.PackedTime(at + 1, lap.time);
        d.Byte(at + 4, lap.endHr);
        d.Byte(at + 5, lap.avgHr);
        d.Word(at + 6, lap.endSpeed);
        d.Byte(at + 8, lap.endCadence);
        d.Byte(at + 9, lap.avgCadence);
        d.Word(at + 10, lap.distance);
    }
    return d.Framed(v.randomSeed);
}

std::size_t RsDataAt(std::size_t block, std::size_t offset) {
    return kFirstDataAt + kStride * block + offset;
}

std::uint16_t RsHeadCrc(const std::vector<std::uint8_t>& bytes) {
    return BlockCrc16(bytes.data() + 5, 6);
}

void SetRsStoredCrc(std::vector<std::uint8_t>& bytes, std::uint16_t stored) {
    bytes.at(11) = static_cast<std::uint8_t>(stored >> 8);
    bytes.at(12) = static_cast<std::uint8_t>(stored & 0xFF);
}

void SetRsBlockCount(std::vector<std::uint8_t>& bytes, int count) {
    bytes.at(kRsBlockCountAt) = static_cast<std::uint8_t>(count);
    SetRsStoredCrc(bytes, RsHeadCrc(bytes));
}

void SetRsBlockFrame(std::vector<std::uint8_t>& bytes, std::size_t block, int mark, int number) {
    const std::size_t at = kHeadBytes + kStride * block;
    bytes.at(at) = static_cast<std::uint8_t>(mark);
    bytes.at(at + 1) = static_cast<std::uint8_t>(number);
}

}  // namespace testing_streams

}  // namespace zendrik
