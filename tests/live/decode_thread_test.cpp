// The decode thread driven by its calls alone, as the capture thread drives it.
#include "reception/live/decode_thread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include "decoders/families.h"
#include "reception/live/reading_channel.h"
#include "reception/modulator.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

class States : public QObject, public zendrik::ReadingTarget {
public:
    void OnReadLevel(int) override {}
    void OnReadProgress(qint64, qint64) override {}
    void OnReadState(int state) override { states.push_back(state); }
    void OnReadAdvice(const QString&) override {}
    void OnCommandOk() override {}
    void OnDeviceError(const QString&) override {}
    std::vector<int> states;
};

std::vector<std::int16_t> Part(const std::vector<std::int16_t>& sound, std::size_t count) {
    return std::vector<std::int16_t>(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(count));
}

template <typename Done>
bool RunUntil(Done done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

}  // namespace

TEST(DecodeThread, CallsAreHandledInTheOrderTheyWereMade) {
    States dialog;
    auto channel = zendrik::ReadingChannel::Open(&dialog, &dialog);
    const std::vector<std::uint8_t> bytes = BuildS410Stream(S410Values{}).bytes;
    {
        zendrik::DecodeThread thread;
        thread.Start(zendrik::FamilyOrFirst(1).stream, zendrik::FamilyStreamFormats(), channel);
        // Half a transfer, a restart that drops it, then the whole transfer; the rate comes
        // last, so the transfer is read at the full rate's timing and completes.
        const std::vector<std::int16_t> sound = ModulateBytes(bytes, ModulatorSettings{});
        thread.Samples(Part(sound, sound.size() / 2));
        thread.Restart();
        thread.Samples(sound);
        thread.SetSampleRate(22050);
        ASSERT_TRUE(RunUntil([&] { return !dialog.states.empty() && dialog.states.back() == kReadingComplete; }));
    }
    EXPECT_EQ(std::count(dialog.states.begin(), dialog.states.end(), kReadingCrcError), 0);
    // The transfer was handed over as a value, with the rate it was read at.
    const std::optional<zendrik::LiveTransfer> transfer = channel->TakeTransfer();
    ASSERT_TRUE(transfer.has_value());
    EXPECT_EQ(transfer->bytes.Elements(), ToReceived(bytes).Elements());
    EXPECT_EQ(transfer->reception.sampleRate, 44100);
    EXPECT_FALSE(channel->TakeTransfer().has_value());  // taken once
}
