#include "reception/live/message_thread.h"

#include <QCoreApplication>

class CMessageThread::CReceiver : public QObject {
public:
    explicit CReceiver(CMessageThread* owner) : m_owner(owner) {}
    bool event(QEvent* e) override {
        if (e->type() == CThreadMessage::EventType()) {
            m_owner->OnMessage(*static_cast<CThreadMessage*>(e));
            return true;
        }
        return QObject::event(e);
    }

private:
    CMessageThread* m_owner;
};

CMessageThread::CMessageThread() : m_receiver(new CReceiver(this)) {
    // Messages may be posted before the thread runs; they wait in its queue.
    m_receiver->moveToThread(this);
}

CMessageThread::~CMessageThread() {
    // The receiver belongs to the thread; once the thread has ended it is ours to delete.
    delete m_receiver;
}

void CMessageThread::PostMessage(CThreadMessage* message) {
    QCoreApplication::postEvent(m_receiver, message);
}

void CMessageThread::PostMessage(int message, std::intptr_t wParam, std::intptr_t lParam) {
    PostMessage(new CThreadMessage(message, wParam, lParam));
}

void CMessageThread::StartThread() { start(); }

bool CMessageThread::WaitForEnd(unsigned long ms) { return wait(QDeadlineTimer(static_cast<qint64>(ms))); }

void CMessageThread::EndMessageLoop() { exit(0); }

void CMessageThread::run() {
    exec();
    ExitInstance();
    // Messages still queued (a sample block, say) are released with the thread.
    QCoreApplication::removePostedEvents(m_receiver);
}
