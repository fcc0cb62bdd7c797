// Receives a recording with the streamed second receiver alone and says what it found, so that
// bench/long_recording.sh can measure what a recording of hours costs it (peak memory, time)
// apart from everything else the command line does.
//   zendrik_stream_receive FILE
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "decoders/families.h"
#include "reception/audio_file.h"
#include "reception/second_receiver.h"
#include "reception/wave_reader.h"

using namespace zendrik;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zendrik_stream_receive FILE\n");
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s cannot be opened\n", argv[1]);
        return 1;
    }
    // Our own WAV reader where it reads the file, libsndfile for the rest, as the program does.
    zendrik::WaveSource wave;
    std::unique_ptr<zendrik::DecodedSound> decoded;
    zendrik::SampleSource* source = &wave;
    std::string why;
    if (!wave.Open(in, &why, zendrik::WaveChannel::ToneBandLoudest)) {
        in.clear();
        in.seekg(0);
        decoded = zendrik::OpenAudioStream(in, why);
        if (!decoded) {
            std::fprintf(stderr, "%s: %s\n", argv[1], why.c_str());
            return 1;
        }
        source = decoded.get();
    }
    const zendrik::SecondReception got = zendrik::ReceiveSource(*source, zendrik::FamilyStreamFormats(), 8);
    for (const zendrik::ReceivedTransfer& transfer : got.transfers) {
        std::printf("transfer at %.2f s: %zu bytes\n",
                    static_cast<double>(transfer.firstSample) / source->SampleRate(), transfer.bytes.size());
    }
    std::fputs(zendrik::FormatReceptionReport(got.report).c_str(), stdout);
    return got.accepted ? 0 : 2;
}
