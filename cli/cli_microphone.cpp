// zendrik-cli --microphone: the two reception threads of the desktop program, driven by a
// stand-in for the reading dialog that reports on standard error.
#include <QCoreApplication>
#include <QTimer>
#include <iostream>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

#include "cli/cli_run.h"
#include "cli/reading_progress.h"
#include "decoders/families.h"
#include "reception/live/live_messages.h"
#include "reception/live/reading_channel.h"
#include "reception/live/record_sound.h"
#include "document/sonic_link_data.h"

namespace {

// Whether standard error is a terminal, where the reading's progress is one line kept in place.
bool ErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

// Plays the reading dialog's part: starts capture, shows state changes and progress, and ends
// the reading when the transfer is complete or the device fails.
class CHeadlessReading : public QObject, public CReadingTarget {
public:
    enum class Outcome { Listening, Complete, DeviceError, TimedOut };

    CHeadlessReading(CRecordSound& recorder, int watchModel, CReadingProgress& progress)
        : m_recorder(recorder), m_watchModel(watchModel), m_progress(progress) {}

    void Start() {
        const zendrik::Family* family = zendrik::FindFamily(m_watchModel);
        m_progress.Message(std::string("listening for ") + (family ? family->phrase : "a") + " transfer");
        OnReadState(kReadingWaiting);
        m_channel = CReadingChannel::Open(this, this);
        m_recorder.PostStart(m_watchModel, m_channel);
    }

    // Ends the reading as closing the dialog does: nothing more arrives, capture stops.
    void Stop() {
        if (!m_channel) return;
        m_channel->Close();
        m_channel.reset();
        m_recorder.PostMessage(WM_REC_STOP);
    }

    void TimeOut() { Finish(Outcome::TimedOut); }
    Outcome Result() const { return m_outcome; }

    void OnReadLevel(int) override {}
    void OnReadProgress(qint64 received, qint64 expected) override {
        m_progress.Progress(static_cast<std::ptrdiff_t>(received), static_cast<std::ptrdiff_t>(expected));
    }
    void OnReadState(int state) override { m_progress.State(state); }
    void OnReadAdvice(const QString& advice) override { m_progress.Message(advice.toStdString()); }
    void OnCommandOk() override { Finish(Outcome::Complete); }
    void OnDeviceError(const QString& text) override {
        m_progress.Message(text.toStdString());
        Finish(Outcome::DeviceError);
    }

private:
    void Finish(Outcome outcome) {
        if (m_outcome != Outcome::Listening) return;
        m_outcome = outcome;
        Stop();
        QCoreApplication::quit();
    }

    CRecordSound& m_recorder;
    int m_watchModel;
    CReadingProgress& m_progress;
    std::shared_ptr<CReadingChannel> m_channel;
    Outcome m_outcome = Outcome::Listening;
};

}  // namespace

int RunMicrophone(const CCliOptions& o, std::ostream& out, std::ostream& err) {
    static int argc = 1;
    static char name[] = "zendrik-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    CSonicLinkData data;
    data.m_nWatchModel = o.watchModel;
    SetValueFormat(o, data);
    int handedOver = 0;
    CHeadlessReading::Outcome outcome;
    CReadingProgress progress(err, ErrorIsTerminal());
    // Errors after the reading has ended (stopping, closing) are only told, once the threads
    // have gone.
    QObject errorContext;
    {
        CRecordSound recorder(44100, CaptureDeviceFactory(), &errorContext,
                              [&progress](const QString& text) { progress.Message(text.toStdString()); });
        recorder.StartThread();
        CHeadlessReading reading(recorder, o.watchModel, progress);
        QTimer::singleShot(0, &reading, [&reading] { reading.Start(); });
        QTimer::singleShot(o.seconds * 1000, &reading, [&reading] { reading.TimeOut(); });
        app.exec();
        outcome = reading.Result();
        reading.Stop();
        progress.End();
        if (outcome == CHeadlessReading::Outcome::Complete) {
            handedOver = HandOverLiveBytes(data, recorder.Decoder()->Decoder());
        }
        // The capture thread and its sound input end here, before the application object.
    }
    QCoreApplication::processEvents();

    if (outcome == CHeadlessReading::Outcome::DeviceError) return kExitInput;
    if (o.verbose && handedOver) {
        err << "zendrik-cli: reception:\n" << zendrik::FormatReceptionReport(data.m_reception);
    }
    if (!handedOver) {
        err << "zendrik-cli: no complete transfer arrived within " << o.seconds << " seconds\n";
        return kExitNoTransfer;
    }
    return WriteReport(o, data, {}, out, err);
}
