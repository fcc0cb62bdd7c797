// Any sound at any rate through the second receiver, streamed and whole: it must not crash or run away, and
// whatever it accepts must be a whole transfer whose head and blocks all check out, taken from
// no more frames than the sound can hold.
#include <cmath>
#include <limits>
#include <vector>

#include "decoders/families.h"
#include "fuzz_support.h"
#include "reception/received_bytes.h"
#include "reception/second_receiver.h"
#include "reception/transfer_acceptance.h"

using namespace zendrik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    // Rates from 4000 to about 200000, so both ends of the range and beyond them are tried.
    const int rate = 4000 + 3 * input.Word();
    // How the samples become a clip: bits 0-1 the scale (as recorded, 60 dB down, four times
    // over full scale), bit 2 a few samples that are not numbers.
    const unsigned shape = input.Byte();
    const std::size_t count = input.RestSize() / 2;
    zendrik::AudioClip clip;
    clip.sampleRate = rate;
    clip.samples.resize(count);
    const float scales[] = {1.0f / 32768, 1.0f / 32768000, 4.0f / 32768, 1.0f / 32768};
    const float scale = scales[shape & 3];
    const std::uint8_t* pcm = input.Rest();
    for (std::size_t i = 0; i < count; ++i) {
        const auto value = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        clip.samples[i] = static_cast<float>(value) * scale;
        if ((shape & 4) && value == 0x7FFF) {
            clip.samples[i] = (i & 1) ? std::numeric_limits<float>::quiet_NaN()
                                      : std::numeric_limits<float>::infinity();
        }
    }

    // Read in passes from a source, as a file is, and read whole: the same transfers, places
    // and report.
    zendrik::ClipSource source(clip);
    const zendrik::SecondReception got = zendrik::ReceiveSource(source, zendrik::FamilyStreamFormats(), 2);
    const zendrik::SecondReception whole = zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats(), 2);
    const std::string text = zendrik::FormatReceptionReport(got.report);
    fuzzing::Require(got.accepted == whole.accepted && got.bytes == whole.bytes &&
                         text == zendrik::FormatReceptionReport(whole.report) &&
                         got.transfers.size() == whole.transfers.size(),
                     "streamed reception is the whole clip's");
    for (std::size_t i = 0; i < got.transfers.size(); ++i) {
        fuzzing::Require(got.transfers[i].bytes == whole.transfers[i].bytes &&
                             got.transfers[i].firstSample == whole.transfers[i].firstSample &&
                             got.transfers[i].endSample == whole.transfers[i].endSample,
                         "streamed transfers are the whole clip's");
    }
    fuzzing::Require(!text.empty() && text.back() == '\n', "the report is whole lines");
    if (!got.accepted) {
        fuzzing::Require(got.report.failure != zendrik::ReceptionFailure::None,
                         "nothing accepted comes with a reason");
        return 0;
    }
    fuzzing::Require(rate >= zendrik::kMinSampleRate && rate <= zendrik::kMaxSampleRate,
                     "only rates in range are received");
    ReceivedBytes bytes;
    for (std::uint8_t b : got.bytes) bytes.Add(b);
    const zendrik::TransferCheck check =
        zendrik::CheckTransfer(bytes, zendrik::FamilyStreamFormats());
    fuzzing::Require(check.complete, "an accepted transfer passes every check");
    fuzzing::Require(check.length == bytes.GetSize(), "an accepted transfer is exactly one transfer");
    // Frames are read at least nine and a half bit periods apart, and no bit period is shorter
    // than the faster timing's with a clock 8 % fast.
    const double shortestFrame = 9.0 * rate / 490.0 * 0.92;
    fuzzing::Require(static_cast<double>(bytes.GetSize() - 1) * shortestFrame <= static_cast<double>(count),
                     "no more bytes than frames fit in the samples");
    return 0;
}
