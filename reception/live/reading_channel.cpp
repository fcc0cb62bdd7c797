#include "reception/live/reading_channel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace zendrik {

std::shared_ptr<ReadingChannel> ReadingChannel::Open(QObject* targetObject, ReadingTarget* target) {
    // Whichever thread lets go of the channel last, it is deleted in its own thread. While the
    // application object goes, though, the reports still queued are deleted under the lock that
    // posting takes, and posting the deletion would wait for ever: the channel's own thread
    // deletes it there and then (its last queued report is the one being deleted).
    std::shared_ptr<ReadingChannel> channel(new ReadingChannel(targetObject, target), [](ReadingChannel* c) {
        if (QCoreApplication::closingDown() && QThread::currentThread() == c->thread()) {
            delete c;
        } else {
            c->deleteLater();
        }
    });
    channel->m_self = channel;
    return channel;
}

ReadingChannel::ReadingChannel(QObject* targetObject, ReadingTarget* target)
    : m_targetObject(targetObject), m_target(target) {}

void ReadingChannel::Close() {
    m_alive.store(false, std::memory_order_release);
    m_targetObject = nullptr;
}

template <typename Deliver>
void ReadingChannel::Queue(Deliver deliver) {
    if (!IsAlive()) return;
    // The queued call holds the channel, so it outlives every report still on its way.
    std::shared_ptr<ReadingChannel> self = m_self.lock();
    if (!self) return;
    QMetaObject::invokeMethod(
        this,
        [self, deliver] {
            if (self->IsAlive() && self->m_targetObject) deliver(*self->m_target);
        },
        Qt::QueuedConnection);
}

void ReadingChannel::ReadLevel(int peak) {
    Queue([peak](ReadingTarget& t) { t.OnReadLevel(peak); });
}

void ReadingChannel::ReadProgress(std::ptrdiff_t received, std::ptrdiff_t expected) {
    Queue([received, expected](ReadingTarget& t) { t.OnReadProgress(received, expected); });
}

void ReadingChannel::ReadState(int state) {
    Queue([state](ReadingTarget& t) { t.OnReadState(state); });
}

void ReadingChannel::ReadAdvice(const std::string& advice) {
    const QString text = QString::fromStdString(advice);
    Queue([text](ReadingTarget& t) { t.OnReadAdvice(text); });
}

void ReadingChannel::CommandOk() {
    Queue([](ReadingTarget& t) { t.OnCommandOk(); });
}

void ReadingChannel::DeviceError(const QString& text) {
    Queue([text](ReadingTarget& t) { t.OnDeviceError(text); });
}

void ReadingChannel::KeepTransfer(LiveTransfer transfer) {
    std::lock_guard<std::mutex> hold(m_transferLock);
    m_transfer = std::move(transfer);
}

bool ReadingChannel::HasTransfer() const {
    std::lock_guard<std::mutex> hold(m_transferLock);
    return m_transfer.has_value();
}

std::optional<LiveTransfer> ReadingChannel::TakeTransfer() {
    std::lock_guard<std::mutex> hold(m_transferLock);
    std::optional<LiveTransfer> taken = std::move(m_transfer);
    m_transfer.reset();
    return taken;
}

}  // namespace zendrik
