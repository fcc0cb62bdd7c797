#include "formats/fit_encoder.h"

#include <algorithm>

namespace zendrik {

namespace {

constexpr std::uint16_t kCrcTable[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                         0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                         0x5000, 0x9C01, 0x8801, 0x4400};

constexpr std::uint8_t kHeaderSize = 14;
constexpr std::uint8_t kProtocolVersion = 0x10;  // 1.0: every reader takes it
constexpr std::uint16_t kProfileVersion = 2100;

std::uint8_t BaseType(FitType type) {
    switch (type) {
        case FitType::Enum:
            return 0x00;
        case FitType::UInt8:
            return 0x02;
        case FitType::UInt16:
            return 0x84;
        case FitType::UInt32:
            return 0x86;
        case FitType::UInt32z:
            return 0x8C;
        case FitType::String:
            return 0x07;
    }
    return 0x02;
}

std::uint8_t SizeOf(FitType type) {
    switch (type) {
        case FitType::UInt16:
            return 2;
        case FitType::UInt32:
        case FitType::UInt32z:
            return 4;
        default:
            return 1;
    }
}

// The "invalid" of each type, and the largest value that is not it.
std::uint64_t Invalid(FitType type) {
    switch (type) {
        case FitType::UInt16:
            return 0xFFFF;
        case FitType::UInt32:
            return 0xFFFFFFFF;
        case FitType::UInt32z:
            return 0;
        default:
            return 0xFF;
    }
}

std::uint64_t Largest(FitType type) {
    return type == FitType::UInt32z ? 0xFFFFFFFF : Invalid(type) - 1;
}

void PutLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// FIT's CRC step for one byte, a nibble at a time as FIT defines it.
constexpr std::uint16_t CrcStep(std::uint16_t crc, std::uint8_t byte) {
    std::uint16_t tmp = kCrcTable[crc & 0xF];
    crc = static_cast<std::uint16_t>(((crc >> 4) & 0x0FFF) ^ tmp ^ kCrcTable[byte & 0xF]);
    tmp = kCrcTable[crc & 0xF];
    return static_cast<std::uint16_t>(((crc >> 4) & 0x0FFF) ^ tmp ^ kCrcTable[(byte >> 4) & 0xF]);
}

// The same CRC four bytes at a time. The step is linear, so a byte's step from 0 over
// (crc ^ byte) combined with crc's high byte gives the same result (table 0), and table k holds
// what a byte does when k zero bytes follow it.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 4>;
constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (unsigned i = 0; i < 256; ++i) t[0][i] = CrcStep(0, static_cast<std::uint8_t>(i));
    for (std::size_t k = 1; k < 4; ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        }
    }
    return t;
}
constexpr CrcTables kCrc = MakeCrcTables();

}  // namespace

std::uint16_t FitCrc(const void* data, std::size_t size, std::uint16_t crc) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        const unsigned x = crc ^ (bytes[i] | unsigned{bytes[i + 1]} << 8);
        crc = static_cast<std::uint16_t>(kCrc[3][x & 0xFF] ^ kCrc[2][x >> 8] ^
                                         kCrc[1][bytes[i + 2]] ^ kCrc[0][bytes[i + 3]]);
    }
    for (; i < size; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrc[0][(crc ^ bytes[i]) & 0xFF]);
    }
    return crc;
}

namespace {

// A number as a field of that type holds it: the type's "invalid" for no value or one that does
// not fit.
std::uint64_t Encoded(FitType type, std::optional<std::int64_t> value) {
    const bool fits = value && *value >= 0 && static_cast<std::uint64_t>(*value) <= Largest(type) &&
                      !(type == FitType::UInt32z && *value == 0);
    return fits ? static_cast<std::uint64_t>(*value) : Invalid(type);
}

}  // namespace

FitMessage& FitMessage::Add(std::uint8_t number, FitType type, std::optional<std::int64_t> value) {
    if (count_ == kMaxFields) return *this;
    Field& f = fields_[count_++];
    f.number = number;
    f.type = type;
    f.size = SizeOf(type);
    f.text = nullptr;
    f.textSize = 0;
    f.items = nullptr;
    f.value = Encoded(type, value);
    return *this;
}

FitMessage& FitMessage::AddArray(std::uint8_t number, FitType type,
                                 std::span<const std::optional<std::int64_t>> values) {
    const std::size_t count = std::min<std::size_t>(values.size(), 255 / SizeOf(type));
    if (count_ == kMaxFields || count == 0 || type == FitType::String) return *this;
    Field& f = fields_[count_++];
    f.number = number;
    f.type = type;
    f.size = static_cast<std::uint8_t>(count * SizeOf(type));
    f.value = 0;
    f.text = nullptr;
    f.textSize = 0;
    f.items = values.data();
    return *this;
}

FitMessage& FitMessage::AddString(std::uint8_t number, std::uint8_t size, std::string_view text) {
    if (count_ == kMaxFields || size == 0) return *this;
    Field& f = fields_[count_++];
    f.number = number;
    f.type = FitType::String;
    f.size = size;
    f.value = 0;
    f.text = text.data();
    f.textSize = std::min<std::size_t>(text.size(), size - 1u);
    f.items = nullptr;
    return *this;
}

FitEncoder::FitEncoder() {
    data_.reserve(4096);
}

bool FitEncoder::Layout::Matches(const FitMessage& m) const {
    if (global != m.global_ || count != m.count_) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const FitMessage::Field& f = m.fields_[i];
        if (numbers[i] != f.number || sizes[i] != f.size || types[i] != f.type) return false;
    }
    return true;
}

int FitEncoder::LocalTypeFor(const FitMessage& m) {
    for (int local = 0; local < nextLocal_; ++local) {
        if (layouts_[local].Matches(m)) return local;
    }
    // A message kind keeps its local type; a new layout of it is defined over the old one.
    int local = nextLocal_;
    for (int i = 0; i < nextLocal_; ++i) {
        if (layouts_[i].global == m.global_) local = i;
    }
    if (local == nextLocal_) {
        if (nextLocal_ == static_cast<int>(layouts_.size())) {
            local = 0;
        } else {
            ++nextLocal_;
        }
    }
    Define(local, m);
    return local;
}

void FitEncoder::Define(int local, const FitMessage& m) {
    Layout& layout = layouts_[local];
    layout.global = m.global_;
    layout.count = m.count_;
    data_ += static_cast<char>(0x40 | local);
    data_ += '\0';  // reserved
    data_ += '\0';  // little-endian
    PutLittle(data_, m.global_, 2);
    data_ += static_cast<char>(m.count_);
    for (std::size_t i = 0; i < m.count_; ++i) {
        const FitMessage::Field& f = m.fields_[i];
        layout.numbers[i] = f.number;
        layout.sizes[i] = f.size;
        layout.types[i] = f.type;
        data_ += static_cast<char>(f.number);
        data_ += static_cast<char>(f.size);
        data_ += static_cast<char>(BaseType(f.type));
    }
}

void FitEncoder::Write(const FitMessage& m) {
    // A message is at most 24 fields of at most 255 bytes; gathered first, appended once.
    char buffer[1 + FitMessage::kMaxFields * 255];
    char* p = buffer;
    *p++ = static_cast<char>(LocalTypeFor(m));
    for (std::size_t i = 0; i < m.count_; ++i) {
        const FitMessage::Field& f = m.fields_[i];
        if (f.type == FitType::String) {
            std::copy(f.text, f.text + f.textSize, p);
            std::fill(p + f.textSize, p + f.size, '\0');
        } else if (f.items) {
            const int width = SizeOf(f.type);
            for (int k = 0; k < f.size / width; ++k) {
                const std::uint64_t v = Encoded(f.type, f.items[k]);
                for (int b = 0; b < width; ++b) p[k * width + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
            }
        } else {
            for (int b = 0; b < f.size; ++b) p[b] = static_cast<char>((f.value >> (8 * b)) & 0xFF);
        }
        p += f.size;
    }
    data_.append(buffer, p);
}

std::string FitEncoder::Finish() {
    std::string file;
    file.reserve(kHeaderSize + data_.size() + 2);
    file += static_cast<char>(kHeaderSize);
    file += static_cast<char>(kProtocolVersion);
    PutLittle(file, kProfileVersion, 2);
    PutLittle(file, data_.size(), 4);
    file += ".FIT";
    PutLittle(file, FitCrc(file.data(), 12), 2);
    file += data_;
    PutLittle(file, FitCrc(file.data(), file.size()), 2);
    return file;
}

}  // namespace zendrik
