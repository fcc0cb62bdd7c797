#include "reception/live/worker_thread.h"

#include <QCoreApplication>

namespace zendrik {

WorkerThread::WorkerThread() : m_queue(new QObject) {
    // Calls posted before the thread runs wait in its queue.
    m_queue->moveToThread(this);
}

WorkerThread::~WorkerThread() {
    // The queue object belongs to the thread; once the thread has ended it is ours to delete.
    delete m_queue;
}

void WorkerThread::DropQueued() { QCoreApplication::removePostedEvents(m_queue); }

void WorkerThread::run() {
    exec();
    AtEnd();
    // Calls still queued (a block of samples, say) are released with the thread.
    DropQueued();
}

}  // namespace zendrik
