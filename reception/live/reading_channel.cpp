#include "reception/live/reading_channel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

std::shared_ptr<CReadingChannel> CReadingChannel::Open(QObject* targetObject, CReadingTarget* target) {
    // Whichever thread lets go of the channel last, it is deleted in its own thread. While the
    // application object goes, though, the reports still queued are deleted under the lock that
    // posting takes, and posting the deletion would wait for ever: the channel's own thread
    // deletes it there and then (its last queued report is the one being deleted).
    std::shared_ptr<CReadingChannel> channel(new CReadingChannel(targetObject, target), [](CReadingChannel* c) {
        if (QCoreApplication::closingDown() && QThread::currentThread() == c->thread()) {
            delete c;
        } else {
            c->deleteLater();
        }
    });
    channel->m_self = channel;
    return channel;
}

CReadingChannel::CReadingChannel(QObject* targetObject, CReadingTarget* target)
    : m_targetObject(targetObject), m_target(target) {}

void CReadingChannel::Close() {
    m_alive.store(false, std::memory_order_release);
    m_targetObject = nullptr;
}

template <typename Deliver>
void CReadingChannel::Queue(Deliver deliver) {
    if (!IsAlive()) return;
    // The queued call holds the channel, so it outlives every report still on its way.
    std::shared_ptr<CReadingChannel> self = m_self.lock();
    if (!self) return;
    QMetaObject::invokeMethod(
        this,
        [self, deliver] {
            if (self->IsAlive() && self->m_targetObject) deliver(*self->m_target);
        },
        Qt::QueuedConnection);
}

void CReadingChannel::ReadLevel(int peak) {
    Queue([peak](CReadingTarget& t) { t.OnReadLevel(peak); });
}

void CReadingChannel::ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) {
    Queue([received, expected](CReadingTarget& t) { t.OnReadProgress(received, expected); });
}

void CReadingChannel::ReadState(int state) {
    Queue([state](CReadingTarget& t) { t.OnReadState(state); });
}

void CReadingChannel::ReadAdvice(const std::string& advice) {
    const QString text = QString::fromStdString(advice);
    Queue([text](CReadingTarget& t) { t.OnReadAdvice(text); });
}

void CReadingChannel::CommandOk() {
    Queue([](CReadingTarget& t) { t.OnCommandOk(); });
}

void CReadingChannel::DeviceError(const QString& text) {
    Queue([text](CReadingTarget& t) { t.OnDeviceError(text); });
}
