// The decode thread of live reception.
#pragma once

#include <memory>

#include "reception/live/message_thread.h"
#include "reception/live_decoder.h"

class CReadingChannel;

class CDecodeSound : public CMessageThread {
    Q_OBJECT
public:
    CDecodeSound();

    // The decoder's state; its complete flag may be read from any thread, its bytes once the
    // transfer is complete (no more samples are taken then).
    const CLiveDecoder& Decoder() const { return m_decoder; }

protected:
    void OnMessage(CThreadMessage& message) override;

private:
    CLiveDecoder m_decoder;
    std::shared_ptr<CReadingChannel> m_dialog;
};
