// Any sound at all: demodulate it with both rectifiers, feed it to the live demodulator in
// blocks of any size (its bytes must always be those of a full run over everything collected),
// and to the live decoder, whose collection must stay bounded while no stream head is seen.
#include <algorithm>
#include <vector>

#include "decoders/families.h"
#include "fuzz_support.h"
#include "reception/demodulator.h"
#include "reception/live_decoder.h"
#include "reception/live_demodulator.h"
#include "document/document.h"
#include "reception/stream_check.h"

using namespace zendrik;

namespace {

// Block sizes and choices from a seed, so a short input still drives many passes.
class Steps {
public:
    explicit Steps(std::uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    std::uint32_t Next(std::uint32_t below) {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return below ? m_state % below : 0;
    }

private:
    std::uint32_t m_state;
};

class QuietReports : public ReadingReports {
public:
    bool IsAlive() const override { return true; }
    void ReadLevel(int) override {}
    void ReadProgress(std::ptrdiff_t, std::ptrdiff_t) override {}
    void ReadState(int) override {}
    void ReadAdvice(const std::string&) override {}
    void CommandOk() override {}
};

BitTiming TimingOf(unsigned choice) {
    const int model = (choice & 1) ? kModelCoach : kModelS410;
    return BitTimingFor(model, (choice & 2) ? 22050 : 44100);
}

void RequireFrameBound(const ReceivedBytes& bytes, std::ptrdiff_t count, BitTiming timing) {
    fuzzing::Require(bytes.GetSize() * (10 * timing.period + 1) <= count,
                     "no more bytes than frames fit in the samples");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    const unsigned mode = input.Byte();
    const std::uint16_t seed = input.Word();
    // The live decoder's reading: bits 0-1 stretch the sound (so a short input can still
    // outgrow the trimming bound), bits 2-3 the model, bit 4 a half-rate device, bit 5 a
    // reading dialog to report to, bit 6 restarts.
    const unsigned reading = input.Byte();
    const int repeat = 1 + static_cast<int>(reading & 3);
    std::vector<std::int16_t> samples(input.RestSize() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint8_t* p = input.Rest() + 2 * i;
        samples[i] = static_cast<std::int16_t>(p[0] | (p[1] << 8));
    }
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(samples.size());
    const BitTiming timing = TimingOf(mode);

    // One-shot runs, both rectifiers.
    ReceivedBytes fileBytes;
    fileBytes.Add(42);
    DemodulateSamples(samples.data(), count, DemodVariant::File, timing, fileBytes);
    if (count == 0) {
        fuzzing::Require(fileBytes.GetSize() == 1, "no samples leave the bytes as they were");
    } else {
        RequireFrameBound(fileBytes, count, timing);
    }
    ReceivedBytes liveBytes;
    DemodulateSamples(samples.data(), count, DemodVariant::Live, timing, liveBytes);
    RequireFrameBound(liveBytes, count, timing);

    // The live demodulator, fed in blocks of any size (cut at up to 16 points, some of them
    // only a sample or two apart), now and then with another timing or after dropping the
    // oldest samples; every pass must equal a full run.
    Steps steps(seed);
    std::vector<std::ptrdiff_t> cuts = {0, count};
    for (unsigned k = mode >> 4; k > 0; --k) {
        const std::ptrdiff_t cut = steps.Next(static_cast<std::uint32_t>(count) + 1);
        cuts.push_back(cut);
        if (steps.Next(4) == 0) cuts.push_back(std::min<std::ptrdiff_t>(count, cut + 1 + steps.Next(3)));
    }
    std::sort(cuts.begin(), cuts.end());
    LiveDemodulator live;
    ReceivedBytes incremental;
    ReceivedBytes full;
    for (std::size_t c = 1; c < cuts.size(); ++c) {
        live.Append(samples.data() + cuts[c - 1], cuts[c] - cuts[c - 1]);
        const BitTiming passTiming = (mode & 4) ? TimingOf(steps.Next(4)) : timing;
        if ((mode & 8) && steps.Next(8) == 0) live.KeepLast(steps.Next(static_cast<std::uint32_t>(live.SampleCount()) + 1));
        live.Demodulate(passTiming, incremental);
        DemodulateSamples(live.Samples().data(), live.SampleCount(), DemodVariant::Live, passTiming, full);
        if (live.SampleCount() == 0) full.SetSize(0);
        fuzzing::Require(incremental == full, "each live pass gives the bytes of a full run");
    }
    live.Demodulate(timing, incremental);  // a pass with nothing new
    DemodulateSamples(live.Samples().data(), live.SampleCount(), DemodVariant::Live, timing, full);
    if (live.SampleCount() == 0) full.SetSize(0);
    fuzzing::Require(incremental == full, "each live pass gives the bytes of a full run");

    // The decode thread's work on the stretched sound in capture-sized blocks or any others.
    std::vector<std::int16_t> sound;
    sound.reserve(samples.size() * static_cast<std::size_t>(repeat));
    for (std::int16_t s : samples) sound.insert(sound.end(), static_cast<std::size_t>(repeat), s);
    const int model = 1 + static_cast<int>((reading >> 2) & 3);
    QuietReports reports;
    LiveDecoder decoder;
    decoder.SetSampleRate((reading & 0x10) ? 22050 : 44100);
    decoder.OnStart(zendrik::FamilyOrFirst(model).stream, zendrik::FamilyStreamFormats(),
                    (reading & 0x20) ? &reports : nullptr);
    const bool captureBlocks = (mode & 0x10) != 0;  // else 2500 to 20000 samples a block
    for (std::size_t at = 0; at < sound.size();) {
        const std::size_t block = std::min<std::size_t>(
            sound.size() - at, captureBlocks ? 10000 : 2500 + steps.Next(17500));
        // Restart, as the dialog's button does, now and then (bit 6).
        if ((reading & 0x40) && steps.Next(4) == 0) {
            decoder.OnReset();
            fuzzing::Require(decoder.SampleCount() == 0, "a restart drops the collection");
        }
        const bool wasComplete = decoder.IsComplete();
        const std::ptrdiff_t before = decoder.SampleCount();
        decoder.OnSamples(sound.data() + at, static_cast<std::ptrdiff_t>(block));
        at += block;
        if (wasComplete) {
            fuzzing::Require(decoder.SampleCount() == before, "a complete transfer takes no more samples");
            continue;
        }
        // Without a stream head the collection is trimmed back to the last second or so.
        if (!FindStreamHead(decoder.Bytes(), zendrik::FamilyOrFirst(model).stream.layout,
                            nullptr)) {
            fuzzing::Require(decoder.SampleCount() <= kTrimAbove, "collection trimmed while no head is found");
        }
    }
    Document sonic;
    sonic.SetWatchModel(model);
    const int handed = sonic.TakeLiveTransfer(decoder.Transfer());
    fuzzing::Require(handed == 0 || decoder.IsComplete(), "only a complete transfer is handed over");
    decoder.OnQuit();
    fuzzing::Require(decoder.SampleCount() == 0, "the end drops the collection");
    fuzzing::Require(fuzzing::IsWholeCrLfLines(sonic.Hrm()) && fuzzing::IsWholeCrLfLines(sonic.Csv()),
                     "report texts are whole CR LF lines");
    return 0;
}
