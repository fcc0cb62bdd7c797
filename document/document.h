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
#include "decoders/report_name.h"
#include "formats/export_timeline.h"
#include "formats/report_conventions.h"
#include "formats/time_zone.h"
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

// What a document decodes and renders under: the watch model the user set (how a recording's or
// a reading's bytes are decoded; a dump's head names its own), the CSV value format, and the
// clock that gives today's date (the Coach sends no year).
struct DecodeSettings {
    std::int32_t watchModel = 1;
    ValueFormat values = {};
    std::function<DateValue()> utcToday = SystemUtcDate;
};

// The value format of the user's separators, where a separator of 0 stands for none.
ValueFormat MakeValueFormat(bool noTenths, char decimal, char time, char date);

// What to open: a named file, a seekable stream already open (standard input), or sound already
// read into a clip. What it is follows its first bytes, then its name's extension, then
// `fallback`.
struct DocumentInput {
    std::string_view path = {};  // the file to open, or for a stream or clip the name messages use
    std::istream* stream = nullptr;
    const zendrik::AudioClip* clip = nullptr;
    zendrik::InputKind fallback = zendrik::InputKind::Unknown;
};

// How opening went: what the input was taken for, and whether it opened. A dump whose head
// names no watch model is read, but has nothing decoded.
enum class OpenOutcome { Unreadable, Opened, NoModel };
struct Opened {
    OpenOutcome outcome = OpenOutcome::Unreadable;
    zendrik::InputKind kind = zendrik::InputKind::Unknown;
};

// Which model decodes bytes: the user's setting (recordings, readings) or the one the stream
// head names (dumps, which say what they hold).
enum class ModelBy { Setting, StreamHead };

class Document {
public:
    explicit Document(DecodeSettings settings = {});
    virtual ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    // Moving hands over everything received and decoded, so a file can be read into an object of
    // its own and kept only when reading it succeeded.
    Document(Document&&) = default;
    Document& operator=(Document&&) = default;

    // None of the operations below lets an exception out: when memory runs out they fail (or
    // leave an empty, invalid report) with the reason in ReadError().

    // Reads `input` and decodes it under `settings`: a recording (WAV, any sound file libsndfile
    // reads, a phone's M4A, 3GP, AMR or WebM through FFmpeg) with the watch model setting, a dump
    // with the model its head names. What the document held goes, all but its unsaved mark, so
    // the shells open into a new document and keep it when it opened; when it did not,
    // ReadError() says why.
    Opened Open(const DocumentInput& input, const DecodeSettings& settings);

    // Decodes bytes handed in (a reading's, a test's) with the model `rule` says; 1 when a
    // decoder ran (by the head: when the head named a model; else the texts are emptied).
    int DecodeBytes(ReceivedBytes bytes, ModelBy rule = ModelBy::Setting);
    // The end of a microphone reading: releases the recording's samples and, when the reading
    // handed over a complete transfer whose bytes start with a stream head, takes them and how
    // they were received and decodes them with the watch model setting, whichever receiver
    // read them. 1 when bytes were handed over and decoded.
    int TakeLiveTransfer(const std::optional<zendrik::LiveTransfer>& transfer);

    // Shows transfer `index` of Recorded(): its bytes, reception and report, decoded with the
    // current watch model. Nothing happens for an index beyond them.
    void ShowRecordedTransfer(std::size_t index);
    // Transfer `index` of Recorded() decoded with the current watch model, without showing it.
    zendrik::Transfer DecodeRecordedTransfer(std::size_t index) const;
    // Keeps a decoding run's transfer, renders its texts and sets the validity and the
    // exercise's date from it.
    void ShowTransfer(zendrik::Transfer transfer);

    const DecodeSettings& Settings() const { return m_settings; }
    // The watch model setting, for what is decoded next (what is shown stays as it is).
    void SetWatchModel(std::int32_t model) { m_settings.watchModel = model; }
    // The CSV value format. When it changed, the decoded transfer is rendered anew (the bytes
    // are not read again); when nothing was decoded yet, the bytes are decoded with the model
    // the stream head names.
    void SetValueFormat(const ValueFormat& values);

    // What was received: the bytes and how the recording was received (for --verbose and the
    // desktop program's hints).
    const ReceivedBytes& Bytes() const { return m_bytes; }
    const zendrik::ReceptionReport& Reception() const { return m_reception; }
    // Every transfer the last recording held that a receiver accepted, in the order they sound;
    // the report shows the first of them until ShowRecordedTransfer picks another. Empty after
    // a dump, a live reading, or a recording nothing was accepted from.
    const std::vector<RecordedTransfer>& Recorded() const { return m_recorded; }
    // Why the last read or decoding step failed, in words for the user ("not found", "not a PCM
    // WAV: 24-bit, format tag 1 ...", "the dump holds no bytes"); "" after a success.
    const std::string& ReadError() const { return m_readError; }
    void ForgetReadError() { m_readError.clear(); }

    // What the last decoding found, which the report texts are rendered from: the model, the
    // decoder, validity, the checks' messages (a block's CRC error, a failed length check, ...)
    // and the exercise.
    const zendrik::Transfer& DecodedTransfer() const { return m_transfer; }
    // The report: the Enhanced and Polar Compatible HRM texts and the CSV text rendered from the
    // decoded transfer under the value format, whether it may be saved, and the exercise's date
    // for the proposed file name.
    const std::string& Hrm() const { return m_hrm; }
    const std::string& HrmCompat() const { return m_hrmCompat; }
    const std::string& Csv() const { return m_csv; }
    bool Valid() const { return m_valid != 0; }
    const std::string& Date() const { return m_date; }
    // The exercise of a valid report, for the chart and the FIT, TCX and JSON writers; none when
    // the report is not valid or its transfer holds no exercise.
    const zendrik::Exercise* ValidExercise() const;
    // The dump text of the bytes: each byte as "%02X\r\n".
    std::string DumpText() const;
    // For a report that is not valid and has no text of its own: one line saying what was
    // received instead ("" otherwise), e.g. that the stream is of another watch family than the
    // model setting.
    std::string ExplainInvalid() const;

    // The file last opened or saved, and whether the report comes from a microphone reading
    // that has not been saved.
    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }
    bool Modified() const { return m_modified != 0; }
    void SetModified(bool modified) { m_modified = modified ? 1 : 0; }

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
                return decltype(step()){};  // 0, or the first of an outcome: the failure
            }
        }
    }
    // Reads an opened input as `kind` says; the outcome, with the reason in m_readError.
    OpenOutcome ReadOpened(std::istream& in, std::string_view name, zendrik::InputKind kind);
    // Reads a recording already open (standard input, say); the stream must be seekable.
    // A WAV file the exact reader takes is read by it as always; anything else it refuses goes
    // through the audio file reader (the phone reader for the containers it knows by their first
    // bytes) to DecodeSound. When neither reads it, the exact reader's reason is kept, unless the
    // input starts as another kind of sound file, or as none while its `name` (a path, or "")
    // names another kind of recording ("not an M4A recording: ...").
    int DecodeRecording(std::istream& in, std::string_view name = {});
    // Decodes a recording given whole (a live reading's sound, a test's clip).
    int DecodeClip(const zendrik::AudioClip& clip);
    // Decodes a recording read from any audio file, of `frames` samples: the exact receiver
    // first where the sound is at the rate it assumes, then the second receiver; 1 when a
    // decoder ran, 0 for no samples (or no memory for them; the document then stays as it was)
    // or for a rate too low for the tone that neither receiver read anything from.
    int DecodeSound(SampleSource& sound, std::int64_t frames);
    // Decodes `sound` at m_sampleRate with the current watch model: the exact receiver's bytes
    // when they form a whole transfer that checks out, else the second receiver's when it
    // accepts them (it tries every family's bit timing), else the exact bytes as they are, or
    // nothing below kLowestRateForTone (m_readError then says so). A stream head of another
    // family than the model's gives no report (ExplainInvalid says which). `exactFirst` false
    // skips the exact receiver (a rate it cannot read). `unchecked`, when given, gives the
    // sound the second receiver reads when the exact receiver's bytes do not check out (null
    // when it cannot be read: those bytes are then decoded as they are); else it reads `sound`.
    void DecodeReception(bool exactFirst, SampleSource& sound,
                         const std::function<SampleSource*()>& unchecked);
    // Reads a dump into m_bytes, at most kMaxDumpFileBytes; 0 with the reason in m_readError.
    int ReadDumpData(std::istream& in);
    // Forgets the samples, the bytes and the valid flag.
    void ClearReception();
    // Runs the decoder of the watch model setting, or writes "Watch model unknown (%d)".
    void DecodeExercises();
    // Decodes with the model the stream head names, keeping the user's model; 1 when one was
    // named, else the texts are emptied.
    int DetectModelAndDecode();
    // Gives back what a failed step may have held, and leaves nothing that could be saved.
    void OnOutOfMemory();
    // When the exact receiver's bytes in m_bytes form a whole transfer that checks out (and,
    // where no checksum covers them, the second receiver is not sure of other bytes): notes how
    // they were received, decodes them and returns true.
    // `bySecond` gives that reading; `second` keeps it.
    bool AcceptExact(const std::function<zendrik::SecondReception()>& bySecond,
                     std::optional<zendrik::SecondReception>& second);
    // The second receiver over the sound, every transfer it holds.
    zendrik::SecondReception ReceiveBySecond(SampleSource& sound) const;
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
    // The second receiver's transfers in the sound from sample `from` on, added to m_recorded;
    // the report stays as it is.
    void CollectSecondTransfers(SampleSource& sound, std::ptrdiff_t from);
    void KeepSecondTransfers(const zendrik::SecondReception& second, std::ptrdiff_t from);
    void ClearReports();
    // The texts of the kept transfer under the current value format.
    void RenderTransfer();
    // What the decoders take from outside the stream: today's date.
    zendrik::DecodeContext Context() const;

    DecodeSettings m_settings;

    // The rate of the recording being received.
    std::int32_t m_sampleRate = 44100;
    ReceivedBytes m_bytes;
    zendrik::ReceptionReport m_reception;
    std::vector<RecordedTransfer> m_recorded;
    std::string m_readError;

    std::string m_hrm;
    std::string m_hrmCompat;
    std::string m_csv;
    std::int32_t m_valid = 0;
    std::string m_date;

    std::string m_path;
    std::uint8_t m_modified = 0;

    // The last decoding's result, which the report texts are rendered from.
    zendrik::Transfer m_transfer;
};

// Why a report is not valid, in the pieces every shell shows: for a recording that did not
// decode, the reception hint first ("No watch tone found in the recording: ..."; "" for a dump or
// a reading, or where there is none); then the report's text with its error lines (the Enhanced
// text, or for `csv` the CSV text, which carries the same lines), or, where the report has no
// text, one line saying what was received instead.
struct NotValid {
    std::string hint;
    std::string report;
    std::string instead;  // when `report` is empty
};
NotValid WhyNotValid(const Document& document, bool recording, bool csv = false);

// Of the transfers of a recording decoded in the order of Recorded(), the one a single report is
// written of: the first valid one, else the first.
std::size_t TransferToWrite(const std::vector<zendrik::Transfer>& decoded);

// The files of a valid report that a writer may refuse, as every shell writes them: the data,
// or why there is none in the words the programs say it with.
// The Polar Compatible HRM text, which only the families whose decoder writes it have ("the Polar
// Compatible HRM form exists for RS200/CS200 reports only, not for this Polar S410 one").
ExportResult CompatibleHrmFile(const Document& document);
// The exercise as a FIT or TCX file (`type`) in `zone`: "the transfer holds no exercise to write
// as FIT" for a valid head that names no exercise, "cannot be written as FIT: ..." when the
// writer refuses it.
ExportResult ExerciseFile(const Document& document, ReportFileType type, const TimeZone& zone);

}  // namespace zendrik
