// zendrik-cli --microphone: the two reception threads of the desktop program, driven by a
// stand-in for the reading dialog that reports on standard error.
#include <QCoreApplication>
#include <QTimer>
#include <iostream>
#include <optional>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

#include "cli/cli_run.h"
#include "cli/reading_progress.h"
#include "zendrik/families.h"
#include "reception/live/capture_thread.h"
#include "reception/live/reading_channel.h"
#include "document/document.h"

namespace zendrik {

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
class HeadlessReading : public QObject, public zendrik::ReadingTarget {
public:
    enum class Outcome { Listening, Complete, DeviceError, TimedOut };

    HeadlessReading(zendrik::CaptureThread& capture, int watchModel, ReadingProgress& progress)
        : m_capture(capture), m_watchModel(watchModel), m_progress(progress) {}

    void Start() {
        const zendrik::Family* family = zendrik::FindFamily(m_watchModel);
        m_progress.Message(std::string("listening for ") + (family ? family->phrase : "a") + " transfer");
        OnReadState(kReadingWaiting);
        m_channel = zendrik::ReadingChannel::Open(this, this);
        // The same reading as the dialog's: the exact pass at the family's timing (the first
        // family's for a code outside the table), the second receiver for any family.
        m_capture.Start(zendrik::FamilyOrFirst(m_watchModel).stream, zendrik::FamilyStreamFormats(), m_channel);
    }

    // Ends the reading as closing the dialog does: nothing more arrives, capture stops.
    void Stop() {
        if (!m_channel || m_stopped) return;
        m_stopped = true;
        m_channel->Close();
        m_capture.Stop();
    }

    void TimeOut() { Finish(Outcome::TimedOut); }
    Outcome Result() const { return m_outcome; }
    // The complete transfer the reading handed over, if it completed.
    std::optional<zendrik::LiveTransfer> TakeTransfer() {
        return m_channel ? m_channel->TakeTransfer() : std::nullopt;
    }

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

    zendrik::CaptureThread& m_capture;
    int m_watchModel;
    ReadingProgress& m_progress;
    std::shared_ptr<zendrik::ReadingChannel> m_channel;
    bool m_stopped = false;
    Outcome m_outcome = Outcome::Listening;
};

}  // namespace

int RunMicrophone(const CliOptions& o, std::ostream& out, std::ostream& err) {
    static int argc = 1;
    static char name[] = "zendrik-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    Document data(SettingsFor(o));
    int handedOver = 0;
    HeadlessReading::Outcome outcome;
    ReadingProgress progress(err, ErrorIsTerminal());
    // Errors after the reading has ended (stopping, closing) are only told, once the threads
    // have gone.
    QObject errorContext;
    {
        zendrik::CaptureThread capture(CurrentCaptureDeviceFactory(), &errorContext,
                                       [&progress](const QString& text) { progress.Message(text.toStdString()); });
        HeadlessReading reading(capture, o.watchModel, progress);
        QTimer::singleShot(0, &reading, [&reading] { reading.Start(); });
        QTimer::singleShot(o.seconds * 1000, &reading, [&reading] { reading.TimeOut(); });
        app.exec();
        outcome = reading.Result();
        reading.Stop();
        progress.End();
        if (outcome == HeadlessReading::Outcome::Complete) handedOver = data.TakeLiveTransfer(reading.TakeTransfer());
        // The capture thread and its sound input end here, before the application object.
    }
    QCoreApplication::processEvents();

    if (outcome == HeadlessReading::Outcome::DeviceError) return kExitInput;
    if (o.verbose && handedOver) {
        err << "zendrik-cli: reception:\n" << zendrik::FormatReceptionReport(data.Reception());
    }
    if (!handedOver) {
        err << "zendrik-cli: no complete transfer arrived within " << o.seconds << " seconds\n";
        return kExitNoTransfer;
    }
    return WriteReport(o, data, {}, out, err);
}

}  // namespace zendrik
