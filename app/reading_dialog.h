// The reading dialog: starts capture, shows the watch, the reading state, the progress and a
// level meter, after a broken block what went wrong and what to do, and ends with OK by itself
// once the transfer is complete.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "reception/live/reading_channel.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zendrik {

class CaptureThread;

class ReadingDialog : public QDialog, public ReadingTarget {
    Q_OBJECT
public:
    explicit ReadingDialog(QWidget* parent);
    ~ReadingDialog() override;

    // Set before the dialog runs: the threads that capture (none: nothing is captured) and the
    // watch model of the reading.
    void SetCapture(CaptureThread* capture) { m_capture = capture; }
    void SetWatchModel(int model) { m_watchModel = model; }

    // After the dialog: the complete transfer the reading handed over, if it completed.
    std::optional<LiveTransfer> TakeTransfer();

    // Sets up the texts and starts capture.
    void OnInitDialog();
    // Runs the dialog modally; QDialog::Accepted when it ended with OK.
    int DoModal();

    void OnReadLevel(int peak) override;
    void OnReadProgress(qint64 received, qint64 expected) override;
    void OnReadState(int state) override;
    void OnReadAdvice(const QString& advice) override;
    void OnCommandOk() override;
    void OnDeviceError(const QString& text) override;

    void OnRestart();
    void OnCancel();

    int State() const { return m_state; }
    int StateTextUpdates() const { return m_stateTextUpdates; }
    QLabel* WatchText() const { return m_watchText; }
    QLabel* StateText() const { return m_stateText; }
    QLabel* AdviceText() const { return m_advice; }
    QProgressBar* Progress() const { return m_progress; }
    QProgressBar* Level() const { return m_level; }
    QPushButton* RestartButton() const { return m_restart; }
    QPushButton* AbortButton() const { return m_abort; }

    void done(int result) override;

protected:
    void reject() override;

private:
    void StartCapture();
    void StopCapture();
    // Shows the advice under the controls, the dialog growing to hold it; "" takes it away.
    void ShowAdvice(const QString& advice);
    // Whether the watch of the reading is one the user ends the reading of (the RS200/CS200).
    bool UserEndsReading() const;

    CaptureThread* m_capture = nullptr;
    int m_watchModel = 1;
    int m_state = 0;
    int m_stateTextUpdates = 0;
    bool m_captureStarted = false;
    std::shared_ptr<ReadingChannel> m_channel;
    QLabel* m_watchText = nullptr;
    QLabel* m_stateText = nullptr;
    QLabel* m_advice = nullptr;
    QProgressBar* m_progress = nullptr;
    QProgressBar* m_level = nullptr;
    QPushButton* m_restart = nullptr;
    QPushButton* m_abort = nullptr;
};

}  // namespace zendrik
