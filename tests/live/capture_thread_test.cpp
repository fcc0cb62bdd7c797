// The capture and decode threads together, on a scripted sound input.
#include "reception/live/capture_thread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "decoders/families.h"
#include "reception/live/reading_channel.h"
#include "reception/modulator.h"
#include "scripted_capture_device.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

// Handles the user-interface thread's events until `done` holds (or the time is up).
template <typename Done>
bool RunUntil(Done done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

class RecordedTarget : public QObject, public zendrik::ReadingTarget {
public:
    void OnReadLevel(int peak) override { levels.push_back(peak); }
    void OnReadProgress(qint64 received, qint64) override { lastReceived = received; }
    void OnReadState(int state) override { states.push_back(state); }
    void OnReadAdvice(const QString& advice) override { advices.push_back(advice); }
    void OnCommandOk() override { ok = true; }
    void OnDeviceError(const QString& text) override { errors.push_back(text); }

    std::vector<int> levels;
    std::vector<int> states;
    std::vector<QString> advices;
    std::vector<QString> errors;
    qint64 lastReceived = 0;
    bool ok = false;
};

std::vector<std::uint8_t> TransferBytes() {
    S410Values v;
    for (int i = 0; i < 12; ++i) v.hr.push_back(100 + i);
    return BuildS410Stream(v).bytes;
}

// Members go in reverse order: the threads end before the dialog and the error owner do.
struct Reception {
    std::shared_ptr<DeviceScript> script = std::make_shared<DeviceScript>();
    QObject errorContext;
    std::vector<QString> appErrors;
    RecordedTarget target;
    std::unique_ptr<zendrik::CaptureThread> capture;
    std::shared_ptr<zendrik::ReadingChannel> channel;

    void Begin(int model = 1) {
        capture = std::make_unique<zendrik::CaptureThread>(
            ScriptedDevices(script), &errorContext, [this](const QString& text) { appErrors.push_back(text); });
        channel = zendrik::ReadingChannel::Open(&target, &target);
        capture->Start(zendrik::FamilyOrFirst(model).stream, zendrik::FamilyStreamFormats(), channel);
    }
    // Closing the dialog: nothing more reaches it, and capture stops.
    void EndReading() {
        channel->Close();
        capture->Stop();
    }
    bool HasStep(const std::string& step) const {
        const auto steps = script->Steps();
        return std::find(steps.begin(), steps.end(), step) != steps.end();
    }
};

}  // namespace

TEST(CaptureThread, CompleteTransferEndsTheReadingWithOk) {
    Reception r;
    const std::vector<std::uint8_t> bytes = TransferBytes();
    r.script->blocks = InBlocks(ModulateBytes(bytes, ModulatorSettings{}));
    r.Begin();
    ASSERT_TRUE(RunUntil([&] { return r.target.ok; }));
    const std::optional<zendrik::LiveTransfer> transfer = r.channel->TakeTransfer();
    ASSERT_TRUE(transfer.has_value());
    EXPECT_EQ(transfer->bytes.Elements(), ToReceived(bytes).Elements());
    EXPECT_EQ(transfer->reception.receiver, zendrik::ReceiverUsed::Exact);
    EXPECT_EQ(r.target.lastReceived, static_cast<qint64>(bytes.size()));
    EXPECT_EQ(r.target.states.back(), kReadingComplete);
    EXPECT_EQ(r.script->OpenRates(), std::vector<int>{44100});
    r.EndReading();
    r.capture.reset();  // ends both threads
    EXPECT_EQ(r.script->Steps(), (std::vector<std::string>{"open", "start", "stop", "reset", "close"}));
    EXPECT_TRUE(r.appErrors.empty());
}

// A burst of noise over the second block breaks it for the exact pass; the second receiver reads
// the whole transfer from the sound kept once the rest of it has come, and the reading ends with
// OK. The sound stops two seconds after the transfer, before a pass over the window on its own
// schedule would come.
TEST(CaptureThread, ABrokenBlockHandsTheTransferToTheSecondReceiver) {
    Reception r;
    const Stream stream = BuildS410Stream(S410Values{});
    ModulatorSettings settings;
    settings.leadOut = 2 * 44100;
    std::vector<std::int16_t> sound = ModulateBytes(stream.bytes, settings);
    const std::size_t frame = 12 * static_cast<std::size_t>(settings.bitPeriod);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, settings.amplitude / 3);
    for (std::size_t i = stream.blockAt[1] * frame; i < stream.blockAt[2] * frame; ++i) {
        std::int16_t& s = sound[static_cast<std::size_t>(settings.leadIn) + i];
        s = static_cast<std::int16_t>(std::clamp(s + noise(rng), -32768.0, 32767.0));
    }
    r.script->blocks = InBlocks(sound);
    r.script->thenSilence = false;
    r.Begin();
    ASSERT_TRUE(RunUntil(
        [&] { return !r.target.states.empty() && r.target.states.back() == kReadingComplete; }));
    const auto crc = std::find(r.target.states.begin(), r.target.states.end(), kReadingCrcError);
    ASSERT_NE(crc, r.target.states.end())
        << "the exact pass read it all: the test needs more noise";
    EXPECT_EQ(r.target.advices.size(), 1u);
    EXPECT_NE(std::find(crc, r.target.states.end(), kReadingSecond), r.target.states.end());
    const std::optional<zendrik::LiveTransfer> transfer = r.channel->TakeTransfer();
    ASSERT_TRUE(transfer.has_value());
    EXPECT_EQ(transfer->reception.receiver, zendrik::ReceiverUsed::Second);
    EXPECT_EQ(transfer->bytes.Elements(), ToReceived(stream.bytes).Elements());
}

TEST(CaptureThread, RefusedFormatFallsBackToHalfRateWithItsTiming) {
    Reception r;
    const std::vector<std::uint8_t> bytes = TransferBytes();
    ModulatorSettings settings;
    settings.sampleRate = 22050;
    settings.toneHz = 2205;
    settings.bitPeriod = BitTimingFor(1, 22050).period;
    r.script->openResults = {{kDeviceBadFormat, "bad format"}};
    r.script->blocks = InBlocks(ModulateBytes(bytes, settings));
    r.Begin();
    ASSERT_TRUE(RunUntil([&] { return r.target.ok; }));
    EXPECT_EQ(r.script->OpenRates(), (std::vector<int>{44100, 22050}));
    const std::optional<zendrik::LiveTransfer> transfer = r.channel->TakeTransfer();
    ASSERT_TRUE(transfer.has_value());
    EXPECT_EQ(transfer->reception.sampleRate, 22050);
    EXPECT_EQ(transfer->bytes.Elements(), ToReceived(bytes).Elements());
    EXPECT_TRUE(r.target.errors.empty());
}

TEST(CaptureThread, DeviceErrorsReachTheDialogOrTheApplication) {
    {
        Reception r;
        r.script->openResults = {{2, "no such device"}};
        r.Begin();
        ASSERT_TRUE(RunUntil([&] { return !r.target.errors.empty(); }));
        EXPECT_EQ(r.target.errors.front(), QStringLiteral("Could not open the sound input (code 2): no such device."));
        EXPECT_EQ(r.script->Steps(), std::vector<std::string>{"open"});  // nothing started
    }
    {
        Reception r;
        r.script->startResult = {0x1F, "cannot start"};
        r.Begin();
        ASSERT_TRUE(RunUntil([&] { return !r.target.errors.empty(); }));
        EXPECT_EQ(r.target.errors.front(), QStringLiteral("Could not start recording from the sound input (code 31): cannot start."));
    }
    {
        // Stopping happens after the dialog has gone: the application tells the user, once,
        // and a device that did not stop is not closed.
        Reception r;
        r.script->stopResult = {0xABC, "stuck"};
        r.script->intervalMs = 1000;
        r.Begin();
        ASSERT_TRUE(RunUntil([&] { return r.HasStep("start"); }));
        r.EndReading();
        ASSERT_TRUE(RunUntil([&] { return !r.appErrors.empty(); }));
        EXPECT_EQ(r.appErrors, std::vector<QString>{QStringLiteral("Could not stop recording from the sound input (code 2748): stuck.")});
        EXPECT_TRUE(r.target.errors.empty());
        const auto steps = r.script->Steps();
        EXPECT_EQ(std::count(steps.begin(), steps.end(), "reset"), 0);
    }
}

TEST(CaptureThread, ErrorsStillOnTheirWayToAnOwnerThatHasGoneAreDropped) {
    // A device that will not stop fails again when the threads end; that report is queued
    // for the owner, which is gone by the time the user-interface thread handles events.
    auto r = std::make_unique<Reception>();
    r->script->stopResult = {0xABC, "stuck"};
    r->script->intervalMs = 1000;
    r->Begin();
    ASSERT_TRUE(RunUntil([&] { return r->HasStep("start"); }));
    r->EndReading();
    r->capture.reset();
    const auto steps = r->script->Steps();
    ASSERT_EQ(std::count(steps.begin(), steps.end(), "stop"), 2);  // two failures, both queued
    r.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

TEST(CaptureThread, EmptyBlockUpdatesTheLevelButPassesNoSamples) {
    Reception r;
    std::vector<std::int16_t> loud(kBlockFrames, 0);
    loud[17] = 1234;
    r.script->blocks = {{}, loud};
    r.script->thenSilence = false;
    r.Begin();
    ASSERT_TRUE(RunUntil([&] { return r.target.levels.size() == 2; }));
    EXPECT_EQ(r.target.levels, (std::vector<int>{-32768, 1234}));
}

TEST(CaptureThread, EndingMidReadingNeverHangs) {
    // The reading goes away while blocks keep arriving and reports are on their way.
    for (int round = 0; round < 3; ++round) {
        Reception r;
        r.script->blocks = InBlocks(ModulateBytes(TransferBytes(), ModulatorSettings{}));
        r.script->intervalMs = 1;
        r.Begin();
        ASSERT_TRUE(RunUntil([&] { return !r.target.levels.empty(); }));
        r.channel->Close();
        QDeadlineTimer bounded(7000);
        r.capture.reset();
        EXPECT_FALSE(bounded.hasExpired());
    }
}

// Stopping: what the device still held comes back by its own notification and is taken before
// the device is closed; the capture thread does not sit out the wait for it.
TEST(CaptureThread, AStoppedDeviceHandsBackWhatItHeldBeforeItCloses) {
    Reception r;
    r.script->heldAtReset.assign(1234, 5);
    r.Begin();
    ASSERT_TRUE(RunUntil([&] { return !r.target.levels.empty(); }));
    r.EndReading();
    ASSERT_TRUE(RunUntil([&] { return r.HasStep("close"); }));
    EXPECT_EQ(r.script->Steps(), (std::vector<std::string>{"open", "start", "stop", "reset", "returned", "close"}));
}

// The reading ends while the decode thread is busy and long work waits in its queue: the end
// waits for the pass under way only, drops the rest, and leaves no thread behind still holding
// the reading.
TEST(CaptureThread, EndingWhileTheDecodeThreadIsBusyLeavesNothingBehind) {
    Reception r;
    // Blocks of half a minute of transfers with a broken block, sent again and again: each costs
    // the decode thread passes over the transfers and the second receiver's tries at them.
    Stream broken = BuildS410Stream(S410Values{});
    BreakChecksum(broken, 1);
    const std::vector<std::int16_t> once = ModulateBytes(broken.bytes, ModulatorSettings{});
    std::vector<std::int16_t> block;
    while (block.size() < 30 * 44100) block.insert(block.end(), once.begin(), once.end());
    r.script->blocks.assign(12, block);
    r.script->thenSilence = false;
    r.Begin();
    ASSERT_TRUE(RunUntil([&] { return r.target.levels.size() == r.script->blocks.size(); }));
    const std::weak_ptr<zendrik::ReadingChannel> reading = r.channel;
    r.channel->Close();
    r.channel.reset();
    r.capture.reset();
    EXPECT_TRUE(reading.expired());
}
