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

}  // namespace

std::uint16_t FitCrc(const void* data, std::size_t size, std::uint16_t crc) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = bytes[i];
        std::uint16_t tmp = kCrcTable[crc & 0xF];
        crc = static_cast<std::uint16_t>(((crc >> 4) & 0x0FFF) ^ tmp ^ kCrcTable[byte & 0xF]);
        tmp = kCrcTable[crc & 0xF];
        crc =
            static_cast<std::uint16_t>(((crc >> 4) & 0x0FFF) ^ tmp ^ kCrcTable[(byte >> 4) & 0xF]);
    }
    return crc;
}

FitMessage& FitMessage::Add(std::uint8_t number, FitType type, std::optional<std::int64_t> value) {
    if (count_ == kMaxFields) return *this;
    Field& f = fields_[count_++];
    f.number = number;
    f.type = type;
    f.size = SizeOf(type);
    const bool fits = value && *value >= 0 && static_cast<std::uint64_t>(*value) <= Largest(type) &&
                      !(type == FitType::UInt32z && *value == 0);
    f.value = fits ? static_cast<std::uint64_t>(*value) : Invalid(type);
    return *this;
}

FitMessage& FitMessage::AddString(std::uint8_t number, std::uint8_t size, std::string_view text) {
    if (count_ == kMaxFields || size == 0) return *this;
    Field& f = fields_[count_++];
    f.number = number;
    f.type = FitType::String;
    f.size = size;
    f.text = text.substr(0, std::min<std::size_t>(text.size(), size - 1u));
    return *this;
}

FitEncoder::FitEncoder() {
    data_.reserve(4096);
}

int FitEncoder::LocalTypeFor(const FitMessage& m) {
    Layout wanted;
    wanted.global = m.global_;
    wanted.count = m.count_;
    for (std::size_t i = 0; i < m.count_; ++i) {
        wanted.fields[2 * i] = m.fields_[i].number;
        wanted.fields[2 * i + 1] = m.fields_[i].size;
        wanted.types[i] = m.fields_[i].type;
    }
    auto same = [&](const Layout& l) {
        return l.global == wanted.global && l.count == wanted.count &&
               std::equal(wanted.fields.begin(), wanted.fields.begin() + 2 * wanted.count,
                          l.fields.begin()) &&
               std::equal(wanted.types.begin(), wanted.types.begin() + wanted.count,
                          l.types.begin());
    };
    for (int local = 0; local < nextLocal_; ++local) {
        if (same(layouts_[local])) return local;
    }
    // A message kind keeps its local type; a new layout of it is defined over the old one.
    int local = nextLocal_;
    for (int i = 0; i < nextLocal_; ++i) {
        if (layouts_[i].global == wanted.global) local = i;
    }
    if (local == nextLocal_) {
        if (nextLocal_ == static_cast<int>(layouts_.size()))
            local = 0;
        else
            ++nextLocal_;
    }
    layouts_[local] = wanted;
    data_ += static_cast<char>(0x40 | local);
    data_ += '\0';  // reserved
    data_ += '\0';  // little-endian
    PutLittle(data_, wanted.global, 2);
    data_ += static_cast<char>(wanted.count);
    for (std::size_t i = 0; i < wanted.count; ++i) {
        data_ += static_cast<char>(wanted.fields[2 * i]);
        data_ += static_cast<char>(wanted.fields[2 * i + 1]);
        data_ += static_cast<char>(BaseType(wanted.types[i]));
    }
    return local;
}

void FitEncoder::Write(const FitMessage& m) {
    data_ += static_cast<char>(LocalTypeFor(m));
    for (std::size_t i = 0; i < m.count_; ++i) {
        const FitMessage::Field& f = m.fields_[i];
        if (f.type == FitType::String) {
            data_ += f.text;
            data_.append(f.size - f.text.size(), '\0');
        } else {
            PutLittle(data_, f.value, f.size);
        }
    }
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
