// One descriptor per watch family: what the shared reception and decoding code needs to know
// about a model code, kept in one table instead of switches on the code scattered around.
#pragma once

class CSonicLinkData;

// Model codes as stored in the settings, in CSonicLinkData and in the reception threads.
enum WatchModelCode : int {
    kModelS410 = 1,
    kModelCoach = 2,
    kModelS410S510 = 3,
    kModelRS200 = 4,
};

// How the blocks of a transfer are framed; decides the expected length and the live block check.
enum class StreamLayout {
    S410Blocks,   // 13-byte head, blocks of 0x55, number, length, data, CRC high, CRC low
    CoachBlocks,  // head of 11, blocks whose third byte is the whole block size, CRC low first
    RS200Blocks,  // 13-byte head with its own CRC, blocks at a fixed stride of 255 bytes
};

// Bit timing of the demodulator, in samples: the bit period and the start-detection window.
struct BitTiming {
    int period;
    int window;
};

struct WatchModelInfo {
    int code;
    const char* displayName;
    const char* family;  // the watch family in words, with its article ("an S410/S510")
    StreamLayout layout;
    BitTiming at44100;
    BitTiming at22050;
    void (CSonicLinkData::*decode)();  // none while the family has no decoder in this build
};

// The descriptor of a model code, or nullptr for a code outside the table.
const WatchModelInfo* FindWatchModel(int code);

// Display name of a model code: "" for a code outside the table.
const char* WatchModelName(int code);

// Stream layout of a model code; codes outside the table are framed like the S410.
StreamLayout LayoutOf(int code);

// Bit timing of a model code at a capture rate (44100, or 22050 after a device fallback);
// codes outside the table use the S410 timing.
BitTiming BitTimingFor(int code, int sampleRate);
