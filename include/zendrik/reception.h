// Reception as the programs see it: what an input is (a recording or a dump, by its first bytes
// and its name), how a recording was received (`ReceptionReport`, its text for --verbose and the
// advice to the user), live reception as values (`LiveReceiver`: feed sound, read its progress,
// take the transfer), what a live reading hands over (`LiveTransfer`) and the states it shows,
// and the sound of a transfer as the watch sends it (the modulator and the WAV writer, for
// zendrik-cli --synthesize). Opening and decoding an input goes through `Document::Open`; sound
// that a shell decoded itself (the browser) becomes a clip for it through the decoded sound
// reader (`InterleavedDecoder`, `OpenDecoded`, `ReadWhole`), which keeps the channel with the
// most tone.
#pragma once

#include "reception/audio_file.h"
#include "reception/input_file.h"
#include "reception/live_decoder.h"
#include "reception/live_receiver.h"
#include "reception/modulator.h"
#include "reception/reception_report.h"
#include "reception/stream_check.h"
#include "reception/wave_writer.h"
