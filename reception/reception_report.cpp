#include "reception/reception_report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace zendrik {

namespace {

void AppendNumber(std::string& text, double value, int decimals) {
    char buffer[64];
#if defined(__cpp_lib_to_chars)
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    text.append(buffer, result.ptr);
#else
    // The browser build's C++ library writes no floating point with to_chars; its printf rounds
    // the same ("as if by printf" in the "C" locale, the only one that C library has).
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (length > 0) text.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
#endif
}

// Below this bit rate a lossy codec blurs the edges of the tone bursts enough to lose bits.
constexpr int kClearCodingBitsPerSecond = 96000;
// A tone less than this far above the quiet between its bursts (noise, or its own echoes) is
// where the second receiver starts to lose bits; the exact one (live reception) needs far more,
// losing them from about 33 dB down.
constexpr double kNoisySnrDb = 20.0;
constexpr double kNoisyForExactSnrDb = 40.0;
// A tone this faint is best helped by bringing the watch closer rather than by a quieter room.
constexpr double kFaintDbfs = -40.0;

// What went wrong once a tone was found, as the middle of a sentence.
std::string WhatFailed(const ReceptionReport& report) {
    switch (report.failure) {
        case ReceptionFailure::NoStreamHead:
            return "no transfer start was found in it";
        case ReceptionFailure::BlocksFail:
            if (report.blocksGood < report.blocksTotal) {
                return std::to_string(report.blocksTotal - report.blocksGood) + " of " +
                       std::to_string(report.blocksTotal) + " blocks fail their check";
            }
            // Every block passed, but the head's checksum or its lengths do not agree.
            return "the transfer's head does not agree with its blocks";
        default:
            return "the transfer could not be read with confidence";
    }
}

}  // namespace

std::string ReceptionAdvice(const ReceptionReport& report) {
    switch (report.failure) {
        case ReceptionFailure::None:
            return {};
        case ReceptionFailure::NoSound:
            return "The recording holds no sound this program can read (sample rates from 8000 to "
                   "192000 Hz).";
        case ReceptionFailure::NoTone:
            return "No watch tone found in the recording: hold the watch close to the microphone "
                   "and start the transfer while recording.";
        case ReceptionFailure::NoMemory:
            return "The recording is too long to be read here: cut it down to the transfer.";
        case ReceptionFailure::NoStreamHead:
        case ReceptionFailure::BlocksFail:
        case ReceptionFailure::NotConfident:
            break;
    }
    // A tone was found: the cause it shows, the surest first. Bytes that never arrived cannot
    // be read however clear the rest is; a codec's blur is a fact of the file; noise last, as
    // both of the others lower the tone's distance from it too.
    if (report.soundEndsFirst) {
        const bool bytes = report.bytesAnnounced > 0;
        return "The recording ends before the transfer does: " +
               std::to_string(bytes ? report.bytesArrived : report.blocksArrived) + " of " +
               std::to_string(bytes ? report.bytesAnnounced : report.blocksTotal) +
               (bytes ? " bytes" : " blocks") + " arrived; record until the watch has finished sending.";
    }
    const SoundCoding& coding = report.coding;
    if (!coding.lossyCodec.empty() && coding.bitsPerSecond > 0 &&
        coding.bitsPerSecond < kClearCodingBitsPerSecond) {
        return "The recording was saved as " + coding.lossyCodec + " at about " +
               std::to_string((coding.bitsPerSecond + 500) / 1000) +
               " kbit/s, which blurs the watch's tone: record as WAV, or at 96 kbit/s or more.";
    }
    const std::string what = WhatFailed(report);
    if (!report.levelDbfs) {
        // No bits could be read from the tone: whether it was too far away or (without a start)
        // begun too late cannot be told.
        if (report.failure == ReceptionFailure::NoStreamHead) {
            return "A tone is there, but no transfer start was found in it: record the whole "
                   "transfer from its beginning, closer to the microphone or in a quieter room.";
        }
        return "The tone is there, but " + what +
               ": record again closer to the microphone or in a quieter room.";
    }
    // A tone over digital silence has no noise to measure: it is as clear as a tone can be.
    const bool exact = report.receiver == ReceiverUsed::Exact;
    if (report.snrDb && *report.snrDb < (exact ? kNoisyForExactSnrDb : kNoisySnrDb)) {
        std::string snr;
        AppendNumber(snr, *report.snrDb, 0);
        if (*report.levelDbfs < kFaintDbfs) {
            std::string level;
            AppendNumber(level, *report.levelDbfs, 0);
            return "The tone is faint (" + level + " dBFS), only " + snr +
                   " dB above the noise around it, so " + what + ": hold the watch closer to the microphone.";
        }
        return "The tone is only " + snr + " dB above the noise or echoes around it, so " + what +
               ": record again closer to the microphone or in a quieter room.";
    }
    if (report.failure == ReceptionFailure::NoStreamHead) {
        return "A tone is there, but no transfer start was found in it: record the whole "
               "transfer from its beginning.";
    }
    return "The tone is clear, but " + what + ": record the transfer again.";
}

std::string FormatReceptionReport(const ReceptionReport& report) {
    std::string text = "Receiver: ";
    switch (report.receiver) {
        case ReceiverUsed::Exact: text += "exact"; break;
        case ReceiverUsed::Second: text += "second (imperfect recordings)"; break;
        case ReceiverUsed::None: text += "none decoded the transfer"; break;
    }
    text += "\nSample rate: " + std::to_string(report.sampleRate) + " Hz\n";
    if (report.toneHz > 0) {
        text += "Tone: ";
        AppendNumber(text, report.toneHz, 0);
        text += " Hz";
        if (report.levelDbfs) {
            text += ", level ";
            AppendNumber(text, *report.levelDbfs, 1);
            text += " dBFS";
        }
        if (report.snrDb) {
            text += ", SNR ";
            AppendNumber(text, *report.snrDb, 1);
            text += " dB";
        }
        text += "\n";
    }
    if (report.bitsPerSecond > 0) {
        text += "Bit timing: " + std::to_string(report.bitsPerSecond) + " bit/s, period ";
        AppendNumber(text, report.bitPeriodSamples, 2);
        text += " samples\n";
    }
    if (report.blocksTotal > 0) {
        text += "Blocks good: " + std::to_string(report.blocksGood) + " of " +
                std::to_string(report.blocksTotal) + "\n";
    }
    const std::string advice = ReceptionAdvice(report);
    if (!advice.empty()) text += advice + "\n";
    return text;
}

}  // namespace zendrik
