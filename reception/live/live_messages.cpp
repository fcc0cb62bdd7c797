#include "reception/live/live_messages.h"

CThreadMessage::CThreadMessage(int message_, std::intptr_t wParam_, std::intptr_t lParam_)
    : QEvent(EventType()), message(message_), wParam(wParam_), lParam(lParam_) {}

QEvent::Type CThreadMessage::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
