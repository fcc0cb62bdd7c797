// Plays a 16-bit mono WAV into a FIFO at the pace of real time at the file's own rate, 20 ms at a
// time, as a sound card would hear it; used to feed a virtual microphone in the end-to-end tests.
// An optional number of milliseconds of quiet goes first, so a test can start the transfer at other
// moments of the reading.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "reception/wave_reader.h"

using namespace zendrik;

int main(int argc, char** argv) {
    const long quietMs = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 0;
    if ((argc != 3 && argc != 4) || quietMs < 0 || quietMs > 60000) {
        std::fprintf(stderr, "usage: zendrik_fifo_feeder RECORDING.wav FIFO [QUIET_MS]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    WaveSamples wave;
    if (!file || !ReadWaveStream(file, wave)) {
        std::fprintf(stderr, "zendrik_fifo_feeder: cannot read %s\n", argv[1]);
        return 1;
    }
    // Opened without blocking: the sound server holds the FIFO open for reading.
    const int fifo = ::open(argv[2], O_WRONLY | O_NONBLOCK);
    if (fifo < 0) {
        std::perror("zendrik_fifo_feeder: open");
        return 1;
    }
    const std::size_t rate = static_cast<std::size_t>(std::clamp(wave.sampleRate, 8000, 192000));
    const std::size_t chunk = rate / 50;  // 20 ms
    std::vector<std::int16_t> samples(static_cast<std::size_t>(quietMs) * rate / 1000, 0);
    samples.insert(samples.end(), wave.samples.get(), wave.samples.get() + wave.count);
    samples.resize(samples.size() + rate, 0);  // and a second of quiet after the transfer
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < samples.size(); at += chunk) {
        const std::size_t count = std::min(chunk, samples.size() - at);
        const char* data = reinterpret_cast<const char*>(samples.data() + at);
        std::size_t left = count * 2;
        while (left > 0) {
            pollfd ready{fifo, POLLOUT, 0};
            // A reader that stopped reading must not leave the feeder waiting for ever.
            if (::poll(&ready, 1, 5000) <= 0) {
                std::fprintf(stderr, "zendrik_fifo_feeder: nobody reads the FIFO\n");
                return 1;
            }
            const ssize_t written = ::write(fifo, data, left);
            if (written < 0) {
                if (errno == EAGAIN) continue;
                std::perror("zendrik_fifo_feeder: write");
                return 1;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        std::this_thread::sleep_until(start +
                                      std::chrono::microseconds((at + count) * 1000000 / rate));
    }
    ::close(fifo);
    return 0;
}
