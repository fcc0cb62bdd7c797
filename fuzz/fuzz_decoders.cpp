// Any byte stream through any model decoder, under any value separators. The first input bytes
// choose the decoder, the separators and the tenths flag, and whether the block frames and
// checksums are made right first (so that mutated exercise data reaches the report writers
// instead of stopping at a checksum). The core's Decode and RenderReport must give the texts the
// document shows, under this value format and rendered again under the plain one; a head of
// another family than the model's gives no report at all.
#include <string>
#include <vector>

#include "decoders/families.h"
#include "decoders/transfer_decoders.h"
#include "formats/hrm_report.h"
#include "fuzz_support.h"
#include "document/document.h"
#include "reception/stream_check.h"
#include "stream_framing.h"

using namespace zendrik;

namespace {

// The largest report a stream can make is a few tens of kilobytes (255 laps); a text beyond
// this means something runs away with the stream length.
constexpr std::size_t kMaxReportBytes = 1 << 20;

char Separator(std::uint8_t choice) {
    // 0 is "no separator"; every other choice is a printable character, as a user could type.
    return choice == 0 ? '\0' : static_cast<char>(0x20 + choice % 95);
}

ReceivedBytes Received(const std::vector<std::uint8_t>& stream) {
    ReceivedBytes bytes;
    bytes.Reserve(static_cast<std::ptrdiff_t>(stream.size()));
    for (std::uint8_t v : stream) bytes.Add(v);
    return bytes;
}

struct Run {
    int result = -1;  // decoding by the stream head's, when it ran
    std::string hrm, compat, csv, date;
    int valid = 0;
    int series = 0;
};

// Decodes the stream in `sonic` with the model code (0 for detection from the head).
Run Decode(Document& sonic, const ReceivedBytes& bytes, int model) {
    Run run;
    if (model == 0) {
        const int user = sonic.Settings().watchModel;
        run.result = sonic.DecodeBytes(bytes, ModelBy::StreamHead);
        fuzzing::Require(sonic.Settings().watchModel == user, "detection keeps the user's model");
    } else {
        sonic.SetWatchModel(model);
        sonic.DecodeBytes(bytes);
    }
    run.hrm = sonic.Hrm();
    run.compat = sonic.HrmCompat();
    run.csv = sonic.Csv();
    run.date = sonic.Date();
    run.valid = sonic.Valid();
    const zendrik::Transfer& transfer = sonic.DecodedTransfer();
    run.series = transfer.exercise ? static_cast<int>(transfer.exercise->SampleCount()) : 0;
    return run;
}

constexpr DateValue kToday{2024, 6, 15};

// Decoding on the day the tests take for today.
DecodeSettings FixedClock() {
    return {1, {}, [] { return kToday; }};
}

// The core's decoding of a stream as a model code, without the document.
zendrik::Transfer DecodeFree(const ReceivedBytes& bytes, int model) {
    return zendrik::Decode(bytes, model, zendrik::DecodeContext{kToday});
}

bool SameTexts(const zendrik::ReportTexts& texts, const Run& run) {
    return texts.hrm == run.hrm && texts.hrmCompat == run.compat && texts.csv == run.csv;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    const std::uint8_t mode = input.Byte();
    const char decimal = Separator(input.Byte());
    const char time = Separator(input.Byte());
    const char date = Separator(input.Byte());
    const std::uint8_t noTenths = (mode >> 4) & 1;
    // 0 detects the model from the head; 1-4 are the models; 5-7 are codes no decoder has.
    int model = mode & 7;
    if (model == 6) model = static_cast<std::int8_t>(input.Byte());  // any code, negative too

    std::vector<std::uint8_t> stream(input.Rest(), input.Rest() + input.RestSize());
    ReceivedBytes bytes = Received(stream);
    if (mode & 8) {
        const int framing = model == 0 ? DetectWatchModel(bytes) : model;
        fuzzing::FrameBlocks(stream, zendrik::FamilyOrFirst(framing).stream.layout);
        bytes = Received(stream);
    }

    DecodeSettings settings = FixedClock();
    settings.values = MakeValueFormat(noTenths, decimal, time, date);
    Document sonic(settings);
    const Run run = Decode(sonic, bytes, model);

    const zendrik::Family* family =
        model == 0 ? zendrik::FamilyOfStream(bytes) : zendrik::FindFamily(model);
    const bool known = family != nullptr;
    const int decoder = model == 0 ? (known ? family->code : 0) : model;
    // Blocks without a checksum of their own: the RS200/CS200's.
    const bool unchecked = known && family->stream.layout == StreamLayout::RS200Blocks;

    fuzzing::Require(fuzzing::IsWholeCrLfLines(run.hrm) && fuzzing::IsWholeCrLfLines(run.compat) &&
                         fuzzing::IsWholeCrLfLines(run.csv),
                     "report texts are whole CR LF lines");
    fuzzing::Require(run.hrm.size() < kMaxReportBytes && run.compat.size() < kMaxReportBytes &&
                         run.csv.size() < kMaxReportBytes,
                     "reports stay small whatever the stream");
    if (run.valid) {
        fuzzing::Require(!run.hrm.empty() && !run.csv.empty(), "a savable report has HRM and CSV text");
        const std::string_view version =
            unchecked ? "[Params]\r\nVersion=107\r\n" : "[Params]\r\nVersion=106\r\n";
        fuzzing::Require(run.hrm.find(version) != std::string::npos, "a savable report has its head");
    }
    // The exercise date is offered as a file name: eight digits or nothing.
    fuzzing::Require(run.date.empty() || (run.date.size() == 8 &&
                                          run.date.find_first_not_of("0123456789") == std::string::npos),
                     "the exercise date is eight digits");
    if (model == 0 && !family) {
        fuzzing::Require(run.result == 0 && run.hrm.empty() && run.compat.empty() && run.csv.empty() &&
                             !run.valid,
                         "an unnamed model leaves nothing to show or save");
    }
    if (!known && model != 0) {
        const std::string unknown = "Watch model unknown (" + std::to_string(model) + ")\r\n";
        fuzzing::Require(run.hrm == unknown && run.csv == unknown && !run.valid,
                         "an unknown model code is reported as such");
    }
    if (model != 0 && zendrik::OtherFamilyOfStream(bytes, model)) {
        fuzzing::Require(run.hrm.empty() && run.compat.empty() && run.csv.empty() && !run.valid,
                         "a stream of another family than the model's gives no report");
    }
    if (known && !family->compatibleText) {
        fuzzing::Require(run.compat.empty(), "only the RS200/CS200 has a compatible text");
    }
    if (known && !unchecked) {
        fuzzing::Require(run.series >= 0 && run.series <= kMaxSeriesSamples, "series within the watch's sample count");
    }

    // The HRM texts never depend on the separators or the tenths flag, and the CSV text keeps
    // its lines under any of them.
    Document plain(FixedClock());
    const Run reference = Decode(plain, bytes, model);
    fuzzing::Require(run.hrm == reference.hrm && run.compat == reference.compat,
                     "HRM texts do not depend on the value format");
    fuzzing::Require(fuzzing::CountLines(run.csv) == fuzzing::CountLines(reference.csv),
                     "the CSV text has the same lines under any separators");
    fuzzing::Require(run.valid == reference.valid, "validity does not depend on the value format");

    // The free decoder and the renderer make what the document shows, and the transfer it keeps
    // renders under another value format to what decoding under that format shows.
    if (known) {
        const zendrik::Transfer transfer = DecodeFree(bytes, decoder);
        fuzzing::Require(transfer.valid == (run.valid != 0),
                         "the free decoder's validity is the report's");
        fuzzing::Require(!transfer.exercise || transfer.valid,
                         "only a valid transfer has an exercise");
        fuzzing::Require(SameTexts(zendrik::RenderReport(transfer, sonic.Settings().values), run),
                         "the rendered transfer is the report");
        fuzzing::Require(SameTexts(zendrik::RenderReport(transfer, ValueFormat{}), reference),
                         "the rendered transfer is the report under the plain value format");
        sonic.SetValueFormat(MakeValueFormat(0, '.', ':', '.'));
        const bool same = sonic.Hrm() == reference.hrm &&
                          sonic.HrmCompat() == reference.compat && sonic.Csv() == reference.csv;
        fuzzing::Require(same, "rendering again is decoding afresh");
    }

    // Bytes after a checked transfer's last block are not part of it: noise caught after the
    // transfer or junk after a dump leaves the report as it was.
    if (reference.valid && known && !unchecked) {
        ReceivedBytes followed = bytes;
        for (int i = 0; i < 64; ++i) followed.Add((mode + 37 * i) & 0xFF);
        Document other(FixedClock());
        const Run noisy = Decode(other, followed, model);
        fuzzing::Require(noisy.hrm == reference.hrm && noisy.csv == reference.csv,
                         "bytes after the last block do not change the report");
    }

    // A decoder keeps nothing from an earlier stream: decoding after another model's run gives
    // the same texts as a fresh object. (An unknown model code only replaces the HRM and CSV
    // texts and leaves the rest of the last report as it was.)
    Decode(plain, bytes, 1 + ((decoder + 1) & 3));
    const Run again = Decode(plain, bytes, model);
    fuzzing::Require(again.hrm == reference.hrm && again.csv == reference.csv,
                     "decoding does not depend on what was decoded before");
    if (known) {
        fuzzing::Require(again.compat == reference.compat && again.valid == reference.valid,
                         "decoding does not depend on what was decoded before");
    }
    return 0;
}
