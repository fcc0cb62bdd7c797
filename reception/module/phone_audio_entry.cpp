// The exported entry of the FFmpeg module (zendrik-ffmpeg.so).
#include "reception/module/phone_audio_entry.h"

#include "reception/phone_audio.h"

extern "C" __attribute__((visibility("default"))) zendrik::PhoneAudioOpener
zendrik_phone_audio_reader() {
    return &zendrik::OpenPhoneAudioStream;
}
