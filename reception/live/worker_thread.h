// A thread with its own queue of calls: each call posted to it runs on the thread, one at a time,
// in the order they were posted. The reception threads are built on it.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace zendrik {

class WorkerThread : public QThread {
    Q_OBJECT
public:
    WorkerThread();
    // The thread must have ended (the owner ends and joins it first).
    ~WorkerThread() override;

protected:
    // Queues `call` to run on the thread. Calls may be posted before the thread runs; they wait.
    template <typename Call>
    void Post(Call&& call) {
        QMetaObject::invokeMethod(m_queue, std::forward<Call>(call), Qt::QueuedConnection);
    }
    // Drops the calls still queued, with whatever they carry; any thread.
    void DropQueued();
    // Ends the loop once the call running now returns; on the thread.
    void EndLoop() { exit(0); }
    // Called on the thread after its loop has ended, before the thread finishes.
    virtual void AtEnd() {}
    // An object living in the thread, for timers and device notifications handled there.
    QObject* Context() const { return m_queue; }

    void run() override;

private:
    QObject* m_queue;
};

}  // namespace zendrik
