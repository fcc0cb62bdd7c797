// A thread with its own message queue: posted messages are handled one at a time, in the order
// they arrive, by the thread's OnMessage.
#pragma once

#include <QObject>
#include <QThread>

#include "reception/live/live_messages.h"

class CMessageThread : public QThread {
    Q_OBJECT
public:
    CMessageThread();
    ~CMessageThread() override;

    // Queues a message for the thread; takes ownership.
    void PostMessage(CThreadMessage* message);
    void PostMessage(int message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

    // Starts the thread and its message loop.
    void StartThread();
    // Waits for the thread to end, at most `ms` milliseconds; true when it ended.
    bool WaitForEnd(unsigned long ms);

protected:
    // Called on the thread for each message.
    virtual void OnMessage(CThreadMessage& message) = 0;
    // Ends the message loop once the current message is handled.
    void EndMessageLoop();
    // Called on the thread when its loop has ended, before the thread finishes.
    virtual void ExitInstance() {}

    void run() override;

private:
    class CReceiver;
    CReceiver* m_receiver;
};
