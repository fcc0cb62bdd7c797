// How the reception threads reach the reading dialog (or the command line's stand-in for it).
// The threads never wait on the dialog: each report is queued to the user-interface thread
// and delivered there only while the dialog of that reading is still open.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "reception/live_decoder.h"

namespace zendrik {

// The user-interface side of a reading: the reading dialog, or the command line's stand-in.
class ReadingTarget {
public:
    virtual ~ReadingTarget() = default;
    virtual void OnReadLevel(int peak) = 0;
    virtual void OnReadProgress(qint64 received, qint64 expected) = 0;
    virtual void OnReadState(int state) = 0;
    // What went wrong with a broken block and what to do; the reading goes on.
    virtual void OnReadAdvice(const QString& advice) = 0;
    // The transfer is complete: end the reading with OK.
    virtual void OnCommandOk() = 0;
    // A sound device step failed and capture has ended; `text` says which step, in words.
    virtual void OnDeviceError(const QString& text) = 0;
};

class ReadingChannel : public QObject, public ReadingReports {
    Q_OBJECT
public:
    // A channel to `target`, which must be a QObject living in the user-interface thread.
    static std::shared_ptr<ReadingChannel> Open(QObject* targetObject, ReadingTarget* target);

    // The reading has ended: nothing more reaches the target. User-interface thread.
    void Close();

    // The decode thread's complete transfer, kept for the hand-over whether or not the target
    // is still there (the RS200/CS200's Close ends the reading with OK at any moment).
    void KeepTransfer(LiveTransfer transfer);
    // Whether a complete transfer is kept; any thread.
    bool HasTransfer() const;
    // Takes the kept transfer out (none when the reading did not complete); any thread.
    std::optional<LiveTransfer> TakeTransfer();

    bool IsAlive() const override { return m_alive.load(std::memory_order_acquire); }
    void ReadLevel(int peak) override;
    void ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) override;
    void ReadState(int state) override;
    void ReadAdvice(const std::string& advice) override;
    void CommandOk() override;
    void DeviceError(const QString& text);

private:
    ReadingChannel(QObject* targetObject, ReadingTarget* target);
    template <typename Deliver>
    void Queue(Deliver deliver);

    QPointer<QObject> m_targetObject;  // user-interface thread only
    ReadingTarget* m_target;
    std::atomic<bool> m_alive{true};
    std::weak_ptr<ReadingChannel> m_self;
    mutable std::mutex m_transferLock;
    std::optional<LiveTransfer> m_transfer;
};

}  // namespace zendrik
