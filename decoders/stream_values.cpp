#include "decoders/stream_values.h"

namespace zendrik {

long long BcdNumber(const ByteView& at, int k) {
    long long value = 0;
    long long scale = 1;
    for (int i = 0; i < k; ++i, scale *= 100) value += BcdToInt(at[i]) * scale;
    return value;
}

zendrik::WatchTime BcdTimeOfDay(const ByteView& at, int hourMask) {
    zendrik::WatchTime t;
    t.seconds = BcdToInt(at[0]);
    t.minutes = BcdToInt(at[1]);
    t.hours = BcdToInt(at[2] & hourMask);
    return t;
}

zendrik::WatchTime BcdDuration(const ByteView& at, int hourMask) {
    zendrik::WatchTime t;
    t.tenths = at[0] >> 4;
    t.seconds = BcdToInt(at[1]);
    t.minutes = BcdToInt(at[2]);
    t.hours = BcdToInt(at[3] & hourMask);
    return t;
}

zendrik::WatchTime PackedLapTime(int e0, int e1, int e2, int hourMask) {
    zendrik::WatchTime t;
    t.seconds = e0 & 0x3F;
    t.minutes = e1 & 0x3F;
    t.hours = e2 & hourMask;
    t.tenths = ((e0 >> 6) & 3) + ((e1 >> 4) & 0x0C);
    return t;
}

}  // namespace zendrik
