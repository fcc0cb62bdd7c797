// The decode thread's rules, driven block by block without threads.
#include "reception/live_decoder.h"
#include "reception/live_receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "decoders/families.h"
#include "reception/demodulator.h"
#include "reception/modulator.h"
#include "document/document.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

class RecordedReports : public ReadingReports {
public:
    bool IsAlive() const override { return alive; }
    void ReadLevel(int) override {}
    void ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) override {
        progress.emplace_back(received, expected);
    }
    void ReadState(int state) override { states.push_back(state); }
    void ReadAdvice(const std::string& advice) override { advices.push_back(advice); }
    void CommandOk() override {}

    bool alive = true;
    std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> progress;
    std::vector<int> states;
    std::vector<std::string> advices;
};

std::vector<std::uint8_t> TransferBytes() {
    S410Values v;
    for (int i = 0; i < 20; ++i) v.hr.push_back(110 + i);
    v.laps = {{{0, 5, 0, 0}, 130, 120, 140, 0}};
    return BuildS410Stream(v).bytes;
}

void Feed(LiveDecoder& decoder, const std::vector<std::int16_t>& sound, std::size_t from = 0,
          std::size_t to = SIZE_MAX) {
    to = std::min(to, sound.size());
    for (std::size_t at = from; at < to; at += 10000) {
        decoder.OnSamples(sound.data() + at, static_cast<std::ptrdiff_t>(std::min<std::size_t>(10000, to - at)));
    }
}

std::vector<std::int16_t> Hiss(std::size_t count) {
    std::mt19937 rng(9);
    std::vector<std::int16_t> hiss(count);
    for (std::int16_t& s : hiss) s = static_cast<std::int16_t>(static_cast<int>(rng() % 41) - 20);
    return hiss;
}

// White noise over the sound, `snrDb` below the power of bursts of `amplitude`.
void AddWhiteNoise(std::vector<std::int16_t>& sound, int amplitude, double snrDb, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, amplitude / std::sqrt(2.0) / std::pow(10.0, snrDb / 20));
    for (std::int16_t& s : sound) s = static_cast<std::int16_t>(std::clamp(s + noise(rng), -32768.0, 32767.0));
}

}  // namespace

TEST(LiveDecoder, KeepsOnlyTheLastSecondWhileNoHeadIsFound) {
    LiveDecoder decoder;
    RecordedReports reports;
    decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), &reports);
    const std::vector<std::int16_t> hiss = Hiss(45000);
    decoder.OnSamples(hiss.data(), 30000);
    decoder.OnSamples(hiss.data() + 30000, 10000);
    EXPECT_EQ(decoder.SampleCount(), 40000);  // not above the bound yet
    decoder.OnSamples(hiss.data() + 40000, 5000);
    ASSERT_EQ(decoder.SampleCount(), 20000);
    EXPECT_TRUE(std::equal(decoder.CollectedSamples().begin(), decoder.CollectedSamples().end(),
                           hiss.begin() + 25000));
    EXPECT_TRUE(reports.states.empty());
}

// The value interface a caller without a dialog uses: the progress it would show, then the
// transfer, fed in the blocks of 128 samples an audio worklet delivers.
TEST(LiveReceiver, ShowsProgressThenHandsOverTheTransfer) {
    const std::vector<std::uint8_t> bytes = TransferBytes();
    ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(kModelS410, 44100));
    settings.leadIn = 30000;
    const std::vector<std::int16_t> sound = ModulateBytes(bytes, settings);
    LiveReceiver receiver(FamilyOrFirst(kModelS410).stream, FamilyStreamFormats(), 44100);
    EXPECT_EQ(receiver.Progress().state, kReadingWaiting);
    std::vector<LiveProgress> seen;
    for (std::size_t at = 0; at < sound.size(); at += 128) {
        receiver.Feed(sound.data() + at, static_cast<std::ptrdiff_t>(std::min<std::size_t>(128, sound.size() - at)));
        if (at % 12800 == 0) seen.push_back(receiver.Progress());
    }
    ASSERT_TRUE(receiver.Complete());
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const LiveProgress& p) {
        return p.state == kReadingReceiving && p.received > 0 && p.received < p.expected && p.peak > 1000;
    }));
    EXPECT_EQ(receiver.Progress().state, kReadingComplete);
    EXPECT_EQ(receiver.Progress().received, static_cast<std::ptrdiff_t>(bytes.size()));
    const std::optional<LiveTransfer> transfer = receiver.Take();
    ASSERT_TRUE(transfer);
    EXPECT_EQ(transfer->bytes.Elements(), std::vector<int>(bytes.begin(), bytes.end()));
}

TEST(LiveDecoder, ReceivesATransferWhateverMomentItStarts) {
    // While no head is seen the collection is trimmed in a cycle of a few blocks, and a transfer
    // may start anywhere in it. Sweep the start over a whole cycle, past the first trims, for
    // every model and both capture rates: each must be handed over and decode as its bytes do.
    S410Values s510;
    s510.s510 = true;
    CoachValues coach;
    coach.hr.assign(14, 120);
    const std::pair<int, std::vector<std::uint8_t>> transfers[] = {
        {kModelS410, TransferBytes()},
        {kModelCoach, BuildCoachStream(coach).bytes},
        {kModelS410S510, BuildS410Stream(s510).bytes},
        {kModelRS200, BuildRs200Stream(RunValues{})},
    };
    constexpr int kFirstStart = 40000;
    constexpr int kCycle = 30000;
    constexpr int kStep = 300;
    for (const auto& [model, bytes] : transfers) {
        Document whole;
        whole.SetWatchModel(model);
        whole.DecodeBytes(ToReceived(bytes));
        ASSERT_EQ(whole.Valid(), 1) << model;
        for (int rate : {44100, 22050}) {
            ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(model, 44100));
            settings.sampleRate = rate;
            settings.toneHz = rate / 10.0;
            settings.bitPeriod = BitTimingFor(model, rate).period;
            settings.leadIn = kFirstStart + kCycle;
            const std::vector<std::int16_t> sound = ModulateBytes(bytes, settings);
            int missed = 0;
            for (int start = kFirstStart; start < kFirstStart + kCycle; start += kStep) {
                LiveDecoder decoder;
                decoder.OnStart(zendrik::FamilyOrFirst(model).stream,
                                zendrik::FamilyStreamFormats(), nullptr);
                decoder.SetSampleRate(rate);
                Feed(decoder, sound, static_cast<std::size_t>(settings.leadIn - start));
                // RS200/CS200 readings end before the padding of the last block; the others
                // take the whole transfer.
                const std::vector<int> got = decoder.Bytes().Elements();
                Document data;
                data.SetWatchModel(model);
                const bool received = data.TakeLiveTransfer(decoder.Transfer()) == 1 && got.size() <= bytes.size() &&
                                      std::equal(got.begin(), got.end(), bytes.begin()) &&
                                      data.Valid() == 1 && data.Hrm() == whole.Hrm();
                if (!received && ++missed <= 3) {
                    ADD_FAILURE() << "model " << model << " at " << rate << ": missed after " << start
                                  << " quiet samples, " << got.size() << " bytes";
                }
            }
            EXPECT_EQ(missed, 0) << "model " << model << " at " << rate;
        }
    }
}

TEST(LiveDecoder, ReportsProgressUntilCompleteThenIgnoresSamples) {
    const std::vector<std::uint8_t> bytes = TransferBytes();
    const std::vector<std::int16_t> sound = ModulateBytes(bytes, ModulatorSettings{});
    LiveDecoder decoder;
    RecordedReports reports;
    decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), &reports);
    Feed(decoder, sound);
    ASSERT_TRUE(decoder.IsComplete());
    EXPECT_EQ(decoder.Bytes().Elements(), ToReceived(bytes).Elements());
    ASSERT_FALSE(reports.progress.empty());
    EXPECT_EQ(reports.progress.back(),
              std::make_pair(static_cast<std::ptrdiff_t>(bytes.size()), static_cast<std::ptrdiff_t>(bytes.size())));
    EXPECT_TRUE(std::is_sorted(reports.progress.begin(), reports.progress.end()));
    EXPECT_EQ(reports.states.front(), kReadingReceiving);
    EXPECT_EQ(reports.states.back(), kReadingComplete);

    const std::ptrdiff_t collected = decoder.SampleCount();
    decoder.OnSamples(sound.data(), 10000);
    EXPECT_EQ(decoder.SampleCount(), collected);

    // A new reading clears the flag; a restart does not.
    decoder.OnReset();
    EXPECT_TRUE(decoder.IsComplete());
    decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), &reports);
    EXPECT_FALSE(decoder.IsComplete());
    EXPECT_EQ(decoder.SampleCount(), 0);
}

// A broken block starts reception over, and the next transfer completes the reading. The dialog
// is told in between what went wrong and what to do, in the words of the reception hint: how far
// the tone stood above the noise, as the sound collected since the head shows it, against what
// the exact pass needs, and how many of the blocks that came failed.
TEST(LiveDecoder, BrokenBlockStartsOverWithAdviceAndAGoodTransferStillCompletes) {
    struct Row {
        const char* name;
        double snrDb;  // of white noise under the broken transfer; 0 for the modulator's hiss
        const char* advice;
    };
    const Row rows[] = {
        {"clean", 0, "The tone is clear, but 1 of 3 blocks fail their check: record the transfer again."},
        {"noisy", 17, " dB above the noise or echoes around it, so 1 of 3 blocks fail their check: record again closer"},
    };
    Stream broken = BuildS410Stream(S410Values{});
    BreakChecksum(broken, 1);
    for (const Row& row : rows) {
        ModulatorSettings settings;
        if (row.snrDb > 0) settings.noise = 0;
        std::vector<std::int16_t> sound = ModulateBytes(broken.bytes, settings);
        if (row.snrDb > 0) AddWhiteNoise(sound, settings.amplitude, row.snrDb, 5);
        const std::vector<std::int16_t> good = ModulateBytes(TransferBytes(), ModulatorSettings{});
        sound.insert(sound.end(), good.begin(), good.end());

        LiveDecoder decoder;
        RecordedReports reports;
        decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), &reports);
        Feed(decoder, sound);
        const auto crc = std::find(reports.states.begin(), reports.states.end(), kReadingCrcError);
        ASSERT_NE(crc, reports.states.end()) << row.name;
        EXPECT_NE(std::find(crc, reports.states.end(), kReadingReceiving), reports.states.end()) << row.name;
        ASSERT_EQ(reports.advices.size(), 1u) << row.name;
        EXPECT_NE(reports.advices[0].find(row.advice), std::string::npos) << row.name << ": " << reports.advices[0];
        EXPECT_TRUE(decoder.IsComplete()) << row.name;
        EXPECT_EQ(decoder.Bytes().Elements(), ToReceived(TransferBytes()).Elements()) << row.name;
    }
}

// Neither a broken last block nor a length byte that makes a block reach past the announced end
// (the live check lets a block still arriving pass) completes the transfer, whether the reading
// has a dialog, had one that has gone, or never had one.
TEST(LiveDecoder, BrokenBlockDoesNotCompleteTheTransfer) {
    Stream lastBlock = BuildS410Stream(S410Values{});
    BreakChecksum(lastBlock, lastBlock.blockAt.size() - 1);
    Stream tooLong = BuildS410Stream(S410Values{});
    tooLong.bytes[tooLong.blockAt[1] + 2] = 0xFF;
    enum class Dialog { Open, Gone, None };
    for (const Stream& broken : {lastBlock, tooLong}) {
        for (const Dialog dialog : {Dialog::Open, Dialog::Gone, Dialog::None}) {
            LiveDecoder decoder;
            RecordedReports reports;
            reports.alive = dialog == Dialog::Open;
            decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(),
                            dialog == Dialog::None ? nullptr : &reports);
            Feed(decoder, ModulateBytes(broken.bytes, ModulatorSettings{}));
            EXPECT_FALSE(decoder.IsComplete()) << static_cast<int>(dialog);
            EXPECT_FALSE(decoder.Transfer().has_value());
            if (dialog == Dialog::Open) {
                EXPECT_EQ(reports.states.back(), kReadingCrcError);
            }
        }
    }
}

// An RS200/CS200 transfer's blocks carry no checksum: the exact pass's bytes are taken only with
// a head that checks out, and where the second receiver is sure of other bytes, its bytes are the
// transfer. A watch 3 % or 4 % slow slips bits past the exact pass's fixed timing (at 4 % in the
// head, whose family it then misreads).
TEST(LiveDecoder, ChecklessTransfersNeedTheirHeadAndTheSecondReceiversWord) {
    std::vector<std::uint8_t> badHead = BuildRs200Stream(RunValues{});
    SetRsStoredCrc(badHead, 0x1234);
    RideValues ride;
    ride.randomSeed = 7;
    const std::vector<std::uint8_t> sent = BuildCs200Stream(ride);
    for (const int period : {90, 93, 94}) {
        ModulatorSettings watch;
        watch.bitPeriod = period;
        watch.toneHz = 4410.0 * 90 / period;
        LiveDecoder decoder;
        decoder.OnStart(zendrik::FamilyOrFirst(4).stream, zendrik::FamilyStreamFormats(), nullptr);
        Feed(decoder, ModulateBytes(period == 90 ? badHead : sent, watch));
        Feed(decoder, std::vector<std::int16_t>(44100 * 4));
        if (period == 90) {
            EXPECT_FALSE(decoder.IsComplete());
            continue;
        }
        ASSERT_TRUE(decoder.IsComplete()) << period;
        EXPECT_EQ(decoder.Transfer()->reception.receiver, zendrik::ReceiverUsed::Second) << period;
        EXPECT_EQ(decoder.Bytes().Elements(), ToReceived(sent).Elements()) << period;
    }
}

TEST(LiveDecoder, HalfRateCaptureUsesItsOwnBitTiming) {
    const std::vector<std::uint8_t> bytes = TransferBytes();
    ModulatorSettings settings;
    settings.sampleRate = 22050;
    settings.toneHz = 2205;
    settings.bitPeriod = BitTimingFor(1, 22050).period;
    LiveDecoder decoder;
    decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(),
                    nullptr);  // no dialog: nothing to report, the transfer still completes
    decoder.SetSampleRate(22050);
    Feed(decoder, ModulateBytes(bytes, settings));
    EXPECT_TRUE(decoder.IsComplete());
    EXPECT_EQ(decoder.Bytes().Elements(), ToReceived(bytes).Elements());
}

TEST(LiveDecoder, HandOverNeedsACompleteTransfer) {
    const std::vector<std::uint8_t> bytes = TransferBytes();
    const std::vector<std::int16_t> sound = ModulateBytes(bytes, ModulatorSettings{});
    Document data;
    data.DecodeBytes(ToReceived({1, 2, 3}));

    LiveDecoder decoder;
    decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), nullptr);
    const std::size_t half = sound.size() / 2 / 10000 * 10000;
    Feed(decoder, sound, 0, half);
    EXPECT_EQ(data.TakeLiveTransfer(decoder.Transfer()), 0);
    EXPECT_EQ(data.Bytes().GetSize(), 3);  // an incomplete reading hands nothing over

    Feed(decoder, sound, half);
    ASSERT_TRUE(decoder.IsComplete());
    EXPECT_EQ(data.TakeLiveTransfer(decoder.Transfer()), 1);
    EXPECT_EQ(data.Bytes().Elements(), ToReceived(bytes).Elements());
    EXPECT_EQ(data.Valid(), 1);
}

TEST(LiveDecoder, TheSecondReceiverCompletesANoisySlowTransferTheExactPassCannotRead) {
    // 3 % slow with white noise at 10 dB SNR, quiet hiss before and more than one pass after.
    const std::vector<std::uint8_t> bytes = TransferBytes();
    ModulatorSettings settings;
    settings.bitPeriod = 93;
    settings.noise = 0;
    settings.amplitude = 8000;
    settings.leadIn = 2 * 44100;
    settings.leadOut = 12 * 44100;
    std::vector<std::int16_t> sound = ModulateBytes(bytes, settings);
    AddWhiteNoise(sound, settings.amplitude, 10, 4);

    ReceivedBytes exact;
    DemodulateSamples(sound.data(), static_cast<std::ptrdiff_t>(sound.size()), DemodVariant::File,
                      BitTimingFor(1, 44100), exact);
    ASSERT_FALSE(exact.GetSize() >= static_cast<std::ptrdiff_t>(bytes.size()) &&
                 std::equal(bytes.begin(), bytes.end(), exact.Elements().begin()))
        << "the exact receiver reads this one: the test needs a harder recording";

    LiveDecoder decoder;
    RecordedReports reports;
    decoder.OnStart(zendrik::FamilyOrFirst(3).stream, zendrik::FamilyStreamFormats(), &reports);
    Feed(decoder, sound);
    ASSERT_TRUE(decoder.IsComplete());
    EXPECT_TRUE(decoder.ReceivedBySecond());
    EXPECT_EQ(reports.states.back(), kReadingComplete);
    Document data;
    ASSERT_EQ(data.TakeLiveTransfer(decoder.Transfer()), 1);
    EXPECT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Reception().receiver, zendrik::ReceiverUsed::Second);
    EXPECT_EQ(std::vector<std::int32_t>(data.Bytes().Elements().begin(), data.Bytes().Elements().end()),
              std::vector<std::int32_t>(bytes.begin(), bytes.end()));
}

// A transfer the exact pass stops getting bytes of, mid-transfer, goes to the second receiver
// once nothing new has come for kStallSeconds, long before its next pass over the window would
// have come: when it reads the transfer the reading completes; when it cannot, the exact pass
// starts over and the dialog says why. The sound ends well before ten seconds.
TEST(LiveDecoder, AStalledTransferGoesToTheSecondReceiver) {
    struct Row {
        const char* name;
        double keep;   // the share of the transfer's sound that arrives
        double faint;  // the level of its last four frames, against the others
        bool read;     // whether the second receiver reads it
    };
    const Row rows[] = {
        {"last frames too faint for the exact pass", 1.0, 0.15, true},
        {"cut off in its last block", 0.97, 1.0, false},
    };
    const std::vector<std::uint8_t> bytes = TransferBytes();
    for (const Row& row : rows) {
        ModulatorSettings settings;
        settings.leadOut = 0;
        std::vector<std::int16_t> sound = ModulateBytes(bytes, settings);
        const std::size_t frame = 12 * static_cast<std::size_t>(settings.bitPeriod);
        for (std::size_t i = sound.size() - 4 * frame; i < sound.size(); ++i) {
            sound[i] = static_cast<std::int16_t>(sound[i] * row.faint);
        }
        sound.resize(static_cast<std::size_t>(static_cast<double>(sound.size()) * row.keep));
        const std::vector<std::int16_t> hiss = Hiss(5 * 44100);
        sound.insert(sound.end(), hiss.begin(), hiss.end());

        LiveDecoder decoder;
        RecordedReports reports;
        decoder.OnStart(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), &reports);
        Feed(decoder, sound);
        const auto second = std::find(reports.states.begin(), reports.states.end(), kReadingSecond);
        ASSERT_NE(second, reports.states.end()) << row.name;
        EXPECT_EQ(std::count(reports.states.begin(), reports.states.end(), kReadingSecond), 1)
            << row.name;
        EXPECT_EQ(std::find(reports.states.begin(), second, kReadingCrcError), second) << row.name;
        EXPECT_EQ(decoder.IsComplete(), row.read) << row.name;
        if (row.read) {
            EXPECT_TRUE(decoder.ReceivedBySecond());
            EXPECT_EQ(decoder.Bytes().Elements(), ToReceived(bytes).Elements());
            EXPECT_EQ(reports.states.back(), kReadingComplete);
        } else {
            EXPECT_EQ(reports.states.back(), kReadingWaiting) << row.name;
            EXPECT_EQ(reports.advices.size(), 1u) << row.name;
            EXPECT_LT(decoder.SampleCount(), 50000) << row.name;  // the exact pass started over
        }
    }
}
