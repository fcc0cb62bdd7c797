// The document the desktop program and zendrik-cli keep: the samples of the last recording, the
// received bytes, the transfer decoded from them and the report texts rendered from it, the path
// and whether a reading is unsaved; with the settings it reads and decodes under (the watch model,
// the CSV value separators).
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "decoders/exercise.h"
#include "decoders/report_conventions.h"
#include "decoders/transfer.h"
#include "decoders/transfer_decoders.h"
#include "reception/audio_clip.h"
#include "reception/input_file.h"
#include "reception/received_bytes.h"
#include "reception/second_receiver.h"
#include "reception/wave_reader.h"

namespace zendrik {

struct LiveTransfer;

// Today's date by the computer's clock, in UTC.
DateValue SystemUtcDate();

// One of the transfers a recording holds, as received: its bytes, how they were received and
// where it sounds in the recording.
struct RecordedTransfer {
    ReceivedBytes bytes;
    zendrik::ReceptionReport reception;
    double startSeconds = 0;
    double seconds = 0;
};

// Most transfers looked for in one recording: far more than anyone sends in one go, and a bound
// on the work a recording of nothing but tone bursts can cause.
inline constexpr int kMostTransfersInARecording = 64;

class Document {
public:
    Document();
    virtual ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    // Moving hands over everything received and decoded, so a file can be read into an object of
    // its own and kept only when reading it succeeded.
    Document(Document&&) = default;
    Document& operator=(Document&&) = default;

    // None of the operations below lets an exception out: when memory runs out they return 0 (or
    // leave an empty, invalid report) with the reason in m_readError.

    // Reads a recording (a WAV file, any sound file libsndfile reads, or a phone's M4A, 3GP, AMR
    // or WebM through FFmpeg), demodulates it and decodes with the current watch model; 1 when a
    // decoder ran, 0 when the file gave no samples, or nothing was received from sound at a rate
    // too low for the watch's tone (the report texts then stay as they were, m_readError says
    // why).
    int DecodeWaveFile(const std::string& path);
    // The same for a recording already open (standard input, say); the stream must be seekable.
    // A WAV file the exact reader takes is read by it as always; anything else it refuses goes
    // through the audio file reader (the phone reader for the containers it knows by their first
    // bytes) to DecodeClip. When neither reads it, the exact reader's reason is kept, unless the
    // input starts as another kind of sound file, or as none while its `name` (a path, or "")
    // names another kind of recording ("not an M4A recording: ...").
    int DecodeRecording(std::istream& in, std::string_view name = {});
    // Decodes a recording read from any audio file: the exact receiver first where the clip is
    // at the rate it assumes, then the second receiver; 1 when a decoder ran, 0 for no samples
    // (or no memory for them; the document then stays as it was) or for a rate too low for the
    // tone that neither receiver read anything from.
    int DecodeClip(const zendrik::AudioClip& clip);
    // Decodes what the sample buffer holds at m_sampleRate with the current watch model: the
    // exact receiver's bytes when they form a whole transfer that checks out, else the second
    // receiver's when it accepts them (it tries every family's bit timing), else the exact bytes
    // as they are, or nothing below kLowestRateForTone (m_readError then says so). A stream
    // head of another family than the model's gives no report (ExplainInvalid says which).
    // `exactFirst` false skips the exact receiver (a rate it cannot read); `clip`, when given,
    // is what the second receiver reads instead of the 16-bit buffer.
    void DecodeReception(bool exactFirst, const zendrik::AudioClip* clip = nullptr);
    // Reads a dump and decodes it with the model its bytes name; 1 when a model was found, else
    // 0 with the reason in m_readError.
    int LoadDumpFile(const std::string& path);
    // Reads the samples of a RIFF WAVE file into the sample buffer; 0 leaves the buffer as it was
    // and puts the reason in m_readError.
    int ReadWaveFile(const std::string& path);
    // The same for a recording already open (standard input, say); of two channels the one
    // `channel` says.
    int ReadWaveData(std::istream& in, WaveChannel channel = WaveChannel::Second);
    // Demodulates the sample buffer into m_bytes; 0 (bytes untouched) when there are no samples.
    int Demodulate();
    // Reads a dump into m_bytes; 0 (with the reason in m_readError) when the file cannot be
    // opened or is larger than any dump.
    int ReadDumpFile(const std::string& path);
    // The same for a dump already open; reads at most kMaxDumpFileBytes.
    int ReadDumpData(std::istream& in);
    // Forgets the samples, the bytes and the valid flag.
    void ClearReception();
    // Runs the decoder of m_watchModel, or writes "Watch model unknown (%d)".
    void DecodeExercises();
    // Decodes with the model the stream head names, keeping the user's model; 1 when one was
    // named, else the texts are emptied.
    int DetectModelAndDecode();
    // Shows transfer `index` of m_recorded: its bytes, reception and report, decoded with the
    // current watch model. Nothing happens for an index beyond them.
    void ShowRecordedTransfer(std::size_t index);
    // Transfer `index` of m_recorded decoded with the current watch model, without showing it.
    zendrik::Transfer DecodeRecordedTransfer(std::size_t index) const;
    // Stores the CSV value separators and, when any of them changed, renders the decoded transfer
    // anew (the bytes are not read again); when nothing was decoded yet, decodes with the model
    // the stream head names.
    void ApplyValueFormat(std::uint8_t noTenths, char decimalSep, char timeSep, char dateSep);
    // For a report that is not valid and has no text of its own: one line saying what was
    // received instead ("" otherwise), e.g. that the stream is of another watch family than the
    // model setting.
    std::string ExplainInvalid() const;

    // What the last decoding found, which the report texts are rendered from: the model, the
    // decoder, validity, the checks' messages (a block's CRC error, a failed length check, ...)
    // and the exercise.
    const zendrik::Transfer& DecodedTransfer() const { return m_transfer; }
    // Keeps a decoding run's transfer, renders its texts and sets the validity and the
    // exercise's date from it.
    void ShowTransfer(zendrik::Transfer transfer);
    // The exercise of a valid report, for the chart and the FIT, TCX and JSON writers; none when
    // the report is not valid or its transfer holds no exercise.
    const zendrik::Exercise* ValidExercise() const;

    // The dump text of m_bytes: each byte as "%02X\r\n".
    std::string DumpText() const;
    // The separators the decoders render CSV values with.
    ValueFormat CsvValueFormat() const;

    // Model decoders: each decodes m_bytes with its family's decoder and shows the transfer.
    void DecodeS410();
    void DecodeCoach();
    void DecodeRS200();

    // What was received: the samples of the last recording (a WAV file the exact receiver
    // decodes leaves none), the bytes, and how the recording was received (for --verbose and the
    // desktop program's hints).
    std::unique_ptr<std::int16_t[]> m_samples;
    std::int32_t m_sampleCount = 0;
    std::int32_t m_sampleRate = 44100;  // of the sample buffer, as recorded
    ReceivedBytes m_bytes;
    zendrik::ReceptionReport m_reception;
    // Every transfer the last recording held that a receiver accepted, in the order they sound;
    // the report shows the first of them until ShowRecordedTransfer picks another. Empty after
    // a dump, a live reading, or a recording nothing was accepted from.
    std::vector<RecordedTransfer> m_recorded;
    // Why the last read or decoding step failed, in words for the user ("not found", "not a PCM
    // WAV: 24-bit, format tag 1 ...", "the dump holds no bytes"); "" after a success.
    std::string m_readError;

    // The report: the texts rendered from the decoded transfer under the value format, whether
    // it may be saved, and the exercise's date for the proposed file name.
    std::string m_hrm;
    std::string m_hrmCompat;
    std::string m_csv;
    std::int32_t m_valid = 0;
    std::string m_date;

    // The file last opened or saved, and whether the report comes from a microphone reading
    // that has not been saved (1).
    std::string m_path;
    std::uint8_t m_modified = 0;

    // What it decodes and renders under: the watch model the user set, the CSV value format.
    std::int32_t m_watchModel = 1;
    std::string m_decimalSep = ".";
    std::string m_timeSep = ":";
    std::string m_dateSep = ".";
    std::uint8_t m_noTenths = 0;
    std::function<DateValue()> m_utcToday = SystemUtcDate;

private:
    // Runs a step, turning an allocation failure into a failed, invalid result with its reason.
    template <class Step>
    auto Guarded(Step step) -> decltype(step()) {
        try {
            return step();
        } catch (const std::bad_alloc&) {
            OnOutOfMemory();
            if constexpr (std::is_void_v<decltype(step())>) {
                return;
            } else {
                return 0;
            }
        }
    }
    // Opens a named file and hands it to `read`, one of the members that read from a stream; 0
    // with the reason in m_readError when it cannot be opened.
    template <class Read>
    int ReadNamedFile(const std::string& path, Read read) {
        return Guarded([&] {
            std::ifstream file;
            m_readError.assign(zendrik::OpenInputFile(path, file));
            if (!m_readError.empty()) return 0;
            return read(file);
        });
    }
    // Gives back what a failed step may have held, and leaves nothing that could be saved.
    void OnOutOfMemory();
    // When the exact receiver's bytes in m_bytes form a whole transfer that checks out (and,
    // where no checksum covers them, the second receiver is not sure of other bytes): notes how
    // they were received, decodes them and returns true.
    // `bySecond` gives that reading; `second` keeps it.
    bool AcceptExact(const std::function<zendrik::SecondReception()>& bySecond,
                     std::optional<zendrik::SecondReception>& second);
    // The second receiver over the clip (or the sample buffer), every transfer it holds.
    zendrik::SecondReception ReceiveBySecond(const zendrik::AudioClip* clip) const;
    // Takes the second receiver's reading and its transfers; when it accepted nothing, the bytes
    // in m_bytes are decoded as they are.
    void DecodeBySecond(zendrik::SecondReception second);
    // Decodes bytes that no receiver could vouch for, so the report shows what is wrong with
    // them; a transfer whose blocks no checksum covers is then not valid.
    void DecodeUnvouched();
    // After the exact receiver's first transfer: the further whole transfers among its bytes
    // (whose frames begin at `frameStarts`) into m_recorded. Gives the sample after the last of
    // them when sound was heard after it, which may hold transfers it could not read; else -1.
    std::ptrdiff_t CollectExactTransfers(const std::vector<std::ptrdiff_t>& frameStarts);
    // The second receiver's transfers in the sound from sample `from` on (of the clip, or the
    // sample buffer), added to m_recorded; the report stays as it is.
    void CollectSecondTransfers(const zendrik::AudioClip* clip, std::ptrdiff_t from);
    void KeepSecondTransfers(const zendrik::SecondReception& second, std::ptrdiff_t from);
    void ClearReports();
    // The texts of the kept transfer under the current value format.
    void RenderTransfer();
    // What the decoders take from outside the stream: today's date.
    zendrik::DecodeContext Context() const;

    // The last decoding's result, which the report texts are rendered from.
    zendrik::Transfer m_transfer;
};

// The end of a microphone reading, on the user-interface thread: releases the recording's
// samples and, when the reading handed over a complete transfer whose bytes start with a stream
// head, copies them into the reception object and decodes them with its watch model, whichever
// receiver read them.
// 1 when bytes were handed over and decoded.
int HandOverLiveBytes(Document& data, const std::optional<zendrik::LiveTransfer>& transfer);

}  // namespace zendrik
