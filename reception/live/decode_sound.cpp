#include "reception/live/decode_sound.h"

#include "reception/live/reading_channel.h"

CDecodeSound::CDecodeSound() = default;

void CDecodeSound::OnMessage(CThreadMessage& message) {
    switch (message.message) {
        case WM_DEC_START:
            m_dialog = message.channel;
            m_decoder.OnStart(static_cast<int>(message.wParam), m_dialog.get());
            break;
        case WM_DEC_RESET:
            m_decoder.OnReset();
            break;
        case WM_DEC_RATE:
            m_decoder.SetSampleRate(static_cast<int>(message.wParam));
            break;
        case WM_DEC_SAMPLES:
            m_decoder.OnSamples(message.samples.data(), static_cast<std::ptrdiff_t>(message.samples.size()));
            message.samples = {};  // the block is released by the thread that consumed it
            break;
        case WM_DEC_QUIT:
            m_decoder.OnQuit();
            m_dialog.reset();
            EndMessageLoop();
            break;
        default:
            break;
    }
}
