// The messages of live reception, with the numbers they have always had. Each reception thread
// handles its messages one at a time, in the order they arrive.
#pragma once

#include <QEvent>
#include <cstdint>
#include <memory>
#include <vector>

class CReadingChannel;

inline constexpr int WM_REC_START = 0x52C;      // capture thread: watch model, reading channel
inline constexpr int WM_REC_STOP = 0x52D;       // capture thread: stop capture
inline constexpr int WM_REC_QUIT = 0x52E;       // capture thread: stop, end the thread
inline constexpr int WM_REC_RESTART = 0x532;    // capture thread: pass a reset on
inline constexpr int MM_WIM_DATA = 0x3C0;       // capture thread, from the device: a filled block
inline constexpr int WM_READ_LEVEL = 0x52F;     // reading dialog: peak sample value
inline constexpr int WM_READ_PROGRESS = 0x530;  // reading dialog: bytes received, expected
inline constexpr int WM_READ_STATE = 0x531;     // reading dialog: state 1-4
inline constexpr int WM_DEC_SAMPLES = 0x590;    // decode thread: a block of samples
inline constexpr int WM_DEC_QUIT = 0x591;       // decode thread: free, end the thread
inline constexpr int WM_DEC_START = 0x592;      // decode thread: watch model, reading channel
inline constexpr int WM_DEC_RESET = 0x593;      // decode thread: drop the collected samples
inline constexpr int WM_DEC_RATE = 0x594;       // decode thread: the rate the device runs at

// A message posted to a reception thread. Samples travel with it: the block belongs to the
// thread that receives the message.
class CThreadMessage : public QEvent {
public:
    CThreadMessage(int message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

    static QEvent::Type EventType();

    int message;
    std::intptr_t wParam;
    std::intptr_t lParam;
    std::vector<std::int16_t> samples;
    std::shared_ptr<CReadingChannel> channel;
};
