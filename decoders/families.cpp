#include "decoders/families.h"

#include <algorithm>
#include <array>

#include "decoders/text_append.h"

namespace zendrik {

namespace {

constexpr BitTiming kFastAt44100{90, 9};  // 490 bit periods per second
constexpr BitTiming kFastAt22050{44, 5};
constexpr BitTiming kCoachAt44100{225, 5};  // the Coach sends at 196 bit periods per second
constexpr BitTiming kCoachAt22050{113, 5};

// Byte 6 of a stream head is the model byte.
constexpr HeadMarker ModelByte(std::uint8_t value) {
    return {{{{6, value}}}, 1};
}

constexpr StreamFormat Stream(int code, HeadMarker marker, StreamLayout layout, BitTiming at44100,
                              BitTiming at22050) {
    return {code, marker, layout, at44100, at22050};
}

constexpr Family kFamilies[] = {
    {kModelS410, "Polar S410/S510", "an S410/S510",
     Stream(kModelS410, ModelByte(10), StreamLayout::S410Blocks, kFastAt44100, kFastAt22050),
     &ReadS410Transfer, false, false, 1},
    // The Coach sends the S410's model byte; the mark, number and size (17) of its first block,
    // where an S410 head still has its length fields, tell the two apart.
    {kModelCoach, "Polar Coach", "a Coach",
     Stream(kModelCoach, {{{{6, 10}, {11, 0x55}, {12, 1}, {13, 0x11}}}, 4},
            StreamLayout::CoachBlocks, kCoachAt44100, kCoachAt22050),
     &ReadCoachTransfer, false, false, 2},
    {kModelS410S510, "Polar S410/S510", "an S410/S510",
     Stream(kModelS410S510, ModelByte(0x51), StreamLayout::S410Blocks, kFastAt44100, kFastAt22050),
     &ReadS410Transfer, false, false, 0},
    // The RS200/CS200 may not finish by itself; closing the reading hands over a complete
    // transfer only.
    {kModelRS200, "Polar RS200/CS200 (beta test)", "an RS200/CS200",
     Stream(kModelRS200, ModelByte(1), StreamLayout::RS200Blocks, kFastAt44100, kFastAt22050),
     &ReadRs200Transfer, true, true, 3},
};

constexpr std::size_t kFamilyCount = std::size(kFamilies);

constexpr std::array<StreamFormat, kFamilyCount> kStreamFormats = [] {
    std::array<StreamFormat, kFamilyCount> formats{};
    for (std::size_t i = 0; i < kFamilyCount; ++i) formats[i] = kFamilies[i].stream;
    return formats;
}();

}  // namespace

std::span<const Family> Families() {
    return kFamilies;
}

const Family* FindFamily(int code) {
    for (const Family& family : kFamilies) {
        if (family.code == code) return &family;
    }
    return nullptr;
}

const Family& FamilyOrFirst(int code) {
    const Family* family = FindFamily(code);
    return family ? *family : kFamilies[0];
}

StreamFormats FamilyStreamFormats() {
    return kStreamFormats;
}

const Family* FamilyOfStream(const ReceivedBytes& bytes) {
    const StreamFormat* format = MatchStreamHead(bytes, kStreamFormats);
    return format ? FindFamily(format->family) : nullptr;
}

const Family* OtherFamilyOfStream(const ReceivedBytes& bytes, int code) {
    const Family* named = FamilyOfStream(bytes);
    const Family* chosen = FindFamily(code);
    return named && chosen && named->decode != chosen->decode ? named : nullptr;
}

std::vector<const Family*> ListedFamilies() {
    std::vector<const Family*> listed;
    for (const Family& family : kFamilies) {
        if (family.listPosition > 0) listed.push_back(&family);
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Family* a, const Family* b) {
        return a->listPosition < b->listPosition;
    });
    return listed;
}

std::string FamilyCodesText() {
    std::string text;
    for (std::size_t i = 0; i < kFamilyCount; ++i) {
        if (i > 0) text += i + 1 == kFamilyCount ? " or " : ", ";
        text += std::to_string(kFamilies[i].code);
    }
    return text;
}

Transfer Decode(const ReceivedBytes& bytes, int code, const DecodeContext& context) {
    Transfer transfer;
    if (const Family* family = FindFamily(code)) {
        // The model setting decides how a stream is read, whichever receiver brought it; under
        // another family's decoder a head would only give check lines that mislead ("Length
        // Check failed!"), so nothing is read and the shells say which family the stream is.
        if (!OtherFamilyOfStream(bytes, code)) transfer = family->decode(bytes, context);
    } else {
        transfer.checkMessages = {Concat("Watch model unknown (", code, ")")};
    }
    transfer.model = code;
    return transfer;
}

const char* WatchModelName(int code) {
    const zendrik::Family* family = zendrik::FindFamily(code);
    return family ? family->displayName : "";
}

int DetectWatchModel(const ReceivedBytes& bytes) {
    const zendrik::Family* family = zendrik::FamilyOfStream(bytes);
    return family ? family->code : 0;
}

BitTiming BitTimingFor(int code, int sampleRate) {
    return zendrik::FamilyOrFirst(code).stream.TimingAt(sampleRate);
}

}  // namespace zendrik
