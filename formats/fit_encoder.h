// A small encoder of FIT files: definition and data messages, the file header and both CRCs.
// It knows nothing of activities; formats/fit_writer.cpp decides which messages to write.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zendrik {

// FIT's CRC-16 over bytes, continuing from `crc`. Over a whole file, its CRC included, it is 0.
std::uint16_t FitCrc(const void* data, std::size_t size, std::uint16_t crc = 0);

enum class FitType : std::uint8_t { Enum, UInt8, UInt16, UInt32, UInt32z, String };

// One message: its fields in order, each with a value or left invalid.
class FitMessage {
public:
    explicit FitMessage(std::uint16_t global) : global_(global) {}

    // A number field; no value, or a value outside the type's range, writes the type's "invalid".
    FitMessage& Add(std::uint8_t number, FitType type, std::optional<std::int64_t> value);
    // A string field of a fixed size in bytes, cut to fit and NUL-terminated.
    FitMessage& AddString(std::uint8_t number, std::uint8_t size, std::string_view text);
    // An array field of `values.size()` numbers of one type, each written as Add would write it.
    // The values are read when the message is written, so they must live until then; an array
    // longer than a field can hold (255 bytes) is cut.
    FitMessage& AddArray(std::uint8_t number, FitType type,
                         std::span<const std::optional<std::int64_t>> values);

private:
    friend class FitEncoder;
    // Left uninitialised until added: a message is made for every sample, and only the first
    // count_ fields are ever read.
    struct Field {
        std::uint8_t number;
        FitType type;
        std::uint8_t size;
        std::uint64_t value;
        const char* text;
        std::size_t textSize;
        const std::optional<std::int64_t>* items;  // an array field's values, size / element size
    };
    static constexpr std::size_t kMaxFields = 24;

    std::uint16_t global_;
    std::size_t count_ = 0;
    std::array<Field, kMaxFields> fields_;
};

class FitEncoder {
public:
    FitEncoder();
    // Appends a data message, preceded by its definition when its layout is new or has changed.
    void Write(const FitMessage& message);
    // The whole file: header with its CRC, the messages, the file CRC.
    std::string Finish();

private:
    struct Layout {
        std::uint16_t global = 0xFFFF;
        std::size_t count = 0;
        std::array<std::uint8_t, FitMessage::kMaxFields> numbers{};
        std::array<std::uint8_t, FitMessage::kMaxFields> sizes{};
        std::array<FitType, FitMessage::kMaxFields> types{};

        bool Matches(const FitMessage& m) const;
    };
    int LocalTypeFor(const FitMessage& message);
    void Define(int local, const FitMessage& message);

    std::string data_;
    std::array<Layout, 16> layouts_{};
    int nextLocal_ = 0;
};

}  // namespace zendrik
