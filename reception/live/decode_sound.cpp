#include "reception/live/decode_sound.h"

#include "decoders/families.h"
#include "reception/live/reading_channel.h"

CDecodeSound::CDecodeSound() = default;

void CDecodeSound::OnMessage(CThreadMessage& message) {
    switch (message.message) {
        case WM_DEC_START: {
            m_dialog = message.channel;
            // The message carries the model code; the exact pass reads at that family's timing
            // (a code outside the table at the first family's), the second receiver any family.
            const zendrik::Family& family =
                zendrik::FamilyOrFirst(static_cast<int>(message.wParam));
            m_decoder.OnStart(family.stream, zendrik::FamilyStreamFormats(), m_dialog.get());
            break;
        }
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
