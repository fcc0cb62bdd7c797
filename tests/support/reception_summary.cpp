#include "support/reception_summary.h"

#include <cstdio>
#include <fstream>

#include "decoders/families.h"

namespace zendrik {

namespace testing_streams {

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

}  // namespace

std::string ReceptionSummary(const zendrik::SecondReception& reception) {
    std::string text = (reception.accepted ? "accepted " : "refused ") + Hex(reception.bytes) + "\n" +
                       zendrik::FormatReceptionReport(reception.report);
    for (const zendrik::ReceivedTransfer& transfer : reception.transfers) {
        text += "transfer at " + std::to_string(transfer.firstSample) + ".." + std::to_string(transfer.endSample) +
                ": " + Hex(transfer.bytes) + "\n" + zendrik::FormatReceptionReport(transfer.report);
    }
    return text;
}

WholeAndStreamed ReceiveBothWays(const std::string& path,
                                 AudioFileResult (*read)(std::istream&, std::int64_t),
                                 std::unique_ptr<DecodedSound> (*open)(std::istream&, std::string&, std::int64_t)) {
    WholeAndStreamed both;
    std::ifstream whole(path, std::ios::binary);
    const AudioFileResult clip = read(whole, kMaxAudioSamples);
    both.whole = clip.ok ? ReceptionSummary(ReceiveClip(clip.clip, FamilyStreamFormats())) : clip.reason;
    std::ifstream passes(path, std::ios::binary);
    std::string why;
    const std::unique_ptr<DecodedSound> sound = open(passes, why, kMaxAudioSamples);
    both.streamed = sound ? ReceptionSummary(ReceiveSource(*sound, FamilyStreamFormats())) : why;
    return both;
}

}  // namespace testing_streams

}  // namespace zendrik
