// The decode thread driven by its messages alone, as the capture thread drives it.
#include "reception/live/decode_sound.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include "reception/live/reading_channel.h"
#include "reception/modulator.h"
#include "support/s410_stream_builder.h"

using namespace testing_streams;

namespace {

class CStates : public QObject, public CReadingTarget {
public:
    void OnReadLevel(int) override {}
    void OnReadProgress(qint64, qint64) override {}
    void OnReadState(int state) override { states.push_back(state); }
    void OnReadAdvice(const QString&) override {}
    void OnCommandOk() override {}
    void OnDeviceError(const QString&) override {}
    std::vector<int> states;
};

void PostSamples(CDecodeSound& thread, const std::int16_t* samples, std::size_t count) {
    auto* message = new CThreadMessage(WM_DEC_SAMPLES, static_cast<std::intptr_t>(count));
    message->samples.assign(samples, samples + count);
    thread.PostMessage(message);
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

TEST(DecodeSound, MessagesAreHandledInTheOrderTheyArrive) {
    CDecodeSound thread;
    thread.StartThread();
    CStates dialog;
    auto channel = CReadingChannel::Open(&dialog, &dialog);
    auto* start = new CThreadMessage(WM_DEC_START, 1);
    start->channel = channel;
    thread.PostMessage(start);

    // Half a transfer, a reset that drops it, then the whole transfer; the rate message comes
    // last, so the transfer is read at the full rate's timing and completes.
    const std::vector<std::int16_t> sound = ModulateBytes(BuildS410Stream(S410Values{}).bytes, CModulatorSettings{});
    PostSamples(thread, sound.data(), sound.size() / 2);
    thread.PostMessage(WM_DEC_RESET);
    PostSamples(thread, sound.data(), sound.size());
    thread.PostMessage(WM_DEC_RATE, 22050);
    ASSERT_TRUE(RunUntil([&] { return !dialog.states.empty() && dialog.states.back() == kReadingComplete; }));
    thread.PostMessage(WM_DEC_QUIT);
    ASSERT_TRUE(thread.WaitForEnd(5000));
    EXPECT_TRUE(thread.Decoder().IsComplete());
    EXPECT_EQ(thread.Decoder().SampleRate(), 22050);
    EXPECT_EQ(thread.Decoder().SampleCount(), 0);  // the quit message dropped the collection
    EXPECT_EQ(std::count(dialog.states.begin(), dialog.states.end(), kReadingCrcError), 0);
}
