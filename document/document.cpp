#include "document/document.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

#include "decoders/families.h"
#include "decoders/text_append.h"
#include "formats/hrm_report.h"
#include "reception/audio_file.h"
#include "reception/demodulator.h"
#include "reception/input_file.h"
#include "reception/live_decoder.h"
#include "reception/phone_audio.h"
#include "reception/stream_check.h"
#include "reception/transfer_acceptance.h"
#include "reception/wave_reader.h"

namespace zendrik {

DateValue SystemUtcDate() {
    using namespace std::chrono;
    // Calendar arithmetic on the clock reading: no time-zone database and no shared state.
    const year_month_day today{floor<days>(system_clock::now())};
    return {static_cast<int>(today.year()), static_cast<int>(static_cast<unsigned>(today.month())),
            static_cast<int>(static_cast<unsigned>(today.day()))};
}

ValueFormat MakeValueFormat(bool noTenths, char decimal, char time, char date) {
    auto asText = [](char c) { return c ? std::string(1, c) : std::string(); };
    return ValueFormat{asText(decimal), asText(time), asText(date), noTenths};
}

Document::Document(DecodeSettings settings) : m_settings(std::move(settings)) {
    // Room for any reason, so that saying "out of memory" needs no memory.
    m_readError.reserve(256);
}

Document::~Document() = default;

void Document::OnOutOfMemory() {
    m_valid = 0;
    ClearReports();
    m_readError.assign(kOutOfMemoryReason);
}

int Document::DecodeRecording(std::istream& in, std::string_view name) {
    return Guarded([&] {
        WaveSource wave;
        if (wave.Open(in, &m_readError)) {
            m_readError.clear();
            ClearReception();
            m_sampleRate = wave.SampleRate();
            if (wave.Count() <= 0) {
                m_readError.assign("the recording holds no sound");
                return 0;
            }
            // The exact receiver runs on every WAV file it reads as it always has, whatever its
            // rate, so what it decoded before it decodes the same. The file is read a block at a
            // time, by both receivers, so a long recording costs no memory: the exact receiver's
            // channel to confirm its bytes or find more after them; where its bytes do not check
            // out, the channel with the most tone in it, as for any other file.
            WaveSource loudest;
            DecodeReception(true, wave, [&]() -> SampleSource* {
                return loudest.Open(in, nullptr, WaveChannel::ToneBandLoudest) ? &loudest : nullptr;
            });
            return m_readError.empty() ? 1 : 0;
        }
        if (m_readError == kOutOfMemoryReason) return 0;
        const std::string exactReason = m_readError;
        const std::string head = zendrik::FirstBytesOf(in);
        // libsndfile reads none of the M4A, 3GP, AMR and WebM recordings phones make: they go to
        // FFmpeg's decoders.
        std::string why;
        const std::unique_ptr<DecodedSound> sound =
            zendrik::PhoneContainerByContent(head) != zendrik::PhoneContainer::None
                ? zendrik::OpenPhoneAudioStream(in, why)
                : zendrik::OpenAudioStream(in, why);
        if (!sound) {
            // "not a RIFF WAVE file" says nothing useful about a damaged FLAC, MP3 or M4A file,
            // nor about a file that only its name calls an M4A recording.
            const bool otherSoundFile =
                zendrik::InputKindByContent(head) == zendrik::InputKind::Recording &&
                head.compare(0, 4, "RIFF") != 0;
            const bool ownReason = otherSoundFile || why == kOutOfMemoryReason;
            const std::string named = zendrik::NotTheRecordingItsNameSays(name, head);
            m_readError.assign(ownReason ? why : !named.empty() ? named : exactReason);
            return 0;
        }
        return DecodeSound(*sound, sound->Frames());
    });
}

int Document::DecodeClip(const zendrik::AudioClip& clip) {
    ClipSource source(clip);
    return DecodeSound(source, static_cast<std::int64_t>(clip.samples.size()));
}

int Document::DecodeSound(SampleSource& sound, std::int64_t frames) {
    return Guarded([&] {
        if (frames <= 0) {
            m_readError.assign("the recording holds no sound");
            return 0;
        }
        ClearReception();
        m_sampleRate = sound.SampleRate();
        DecodeReception(sound.SampleRate() == 44100, sound, nullptr);
        return m_readError.empty() ? 1 : 0;
    });
}

void Document::DecodeReception(bool exactFirst, SampleSource& sound,
                               const std::function<SampleSource*()>& unchecked) {
    m_reception = zendrik::ReceptionReport{};
    m_reception.sampleRate = m_sampleRate;
    m_recorded.clear();
    std::optional<zendrik::SecondReception> second;
    if (exactFirst) {
        std::vector<std::ptrdiff_t> starts;
        Guarded([&] {
            DemodulateSource(sound, DemodVariant::File, BitTimingFor(m_settings.watchModel, 44100), m_bytes, &starts);
        });
        if (AcceptExact([&] { return ReceiveBySecond(sound); }, second)) {
            const std::ptrdiff_t after = CollectExactTransfers(starts);
            // Sound after the transfers it read: the second receiver looks for more there.
            if (after >= 0 && m_readError.empty()) CollectSecondTransfers(sound, after);
            return;
        }
    } else {
        m_bytes.SetSize(0);
    }
    if (!second) {
        SampleSource* other = unchecked ? unchecked() : &sound;
        if (!other) {
            DecodeUnvouched();
            return;
        }
        second = ReceiveBySecond(*other);
    }
    DecodeBySecond(std::move(*second));
}

std::ptrdiff_t Document::CollectExactTransfers(const std::vector<std::ptrdiff_t>& frameStarts) {
    const zendrik::StreamFormats formats = zendrik::FamilyStreamFormats();
    const BitTiming timing = BitTimingFor(m_settings.watchModel, 44100);
    const std::ptrdiff_t frame = 10 * static_cast<std::ptrdiff_t>(timing.period);
    const std::vector<std::int32_t>& all = m_bytes.Elements();
    const auto total = static_cast<std::ptrdiff_t>(all.size());
    if (static_cast<std::ptrdiff_t>(frameStarts.size()) != total || total == 0) return -1;
    const zendrik::ReceptionReport firstReport = m_reception;
    std::ptrdiff_t begin = 0;
    zendrik::TransferCheck check = zendrik::CheckTransfer(m_bytes, formats);
    std::vector<RecordedTransfer> found;
    for (;;) {
        RecordedTransfer transfer;
        const std::ptrdiff_t end = std::min(total, begin + check.length);
        for (std::ptrdiff_t i = begin; i < end; ++i) transfer.bytes.Add(all[static_cast<std::size_t>(i)]);
        transfer.reception = firstReport;
        transfer.reception.blocksGood = check.blocksGood;
        transfer.reception.blocksTotal = check.blocksTotal;
        const std::ptrdiff_t first = frameStarts[static_cast<std::size_t>(begin)];
        const std::ptrdiff_t last = frameStarts[static_cast<std::size_t>(std::max(begin, end - 1))] + frame;
        transfer.startSeconds = static_cast<double>(first) / m_sampleRate;
        transfer.seconds = static_cast<double>(last - first) / m_sampleRate;
        found.push_back(std::move(transfer));
        if (end >= total) break;
        // The next whole transfer among the bytes after this one, if one starts there.
        const std::vector<std::uint8_t> rest(all.begin() + end, all.end());
        check = zendrik::FindTransfer(rest, formats);
        if (!check.complete || static_cast<int>(found.size()) >= kMostTransfersInARecording) {
            m_recorded = std::move(found);
            return frameStarts[static_cast<std::size_t>(end)];
        }
        begin = end + check.start;
    }
    m_recorded = std::move(found);
    return -1;
}

void Document::CollectSecondTransfers(SampleSource& sound, std::ptrdiff_t from) {
    const int most = kMostTransfersInARecording - static_cast<int>(m_recorded.size());
    if (most <= 0) return;
    SourceFrom rest(sound, from);
    KeepSecondTransfers(zendrik::ReceiveSource(rest, zendrik::FamilyStreamFormats(), most), from);
}

void Document::KeepSecondTransfers(const zendrik::SecondReception& second, std::ptrdiff_t from) {
    const double rate = second.report.sampleRate > 0 ? second.report.sampleRate : m_sampleRate;
    for (const zendrik::ReceivedTransfer& received : second.transfers) {
        RecordedTransfer transfer;
        transfer.bytes.Reserve(static_cast<std::ptrdiff_t>(received.bytes.size()));
        for (std::uint8_t b : received.bytes) transfer.bytes.Add(b);
        transfer.reception = received.report;
        transfer.startSeconds = static_cast<double>(from + received.firstSample) / rate;
        transfer.seconds = static_cast<double>(received.endSample - received.firstSample) / rate;
        m_recorded.push_back(std::move(transfer));
    }
}

bool Document::AcceptExact(const std::function<zendrik::SecondReception()>& bySecond,
                                 std::optional<zendrik::SecondReception>& second) {
    const zendrik::TransferCheck exact =
        zendrik::CheckTransfer(m_bytes, zendrik::FamilyStreamFormats());
    if (!exact.complete) return false;
    if (!exact.checksumCovered) {
        // An RS200/CS200 transfer's blocks carry no checksum, and the exact receiver's timing
        // is fixed while the watch's clock is not: a byte it misreads passes every check. The
        // second receiver takes such bytes only when every bit stands clear; where it is sure of
        // other bytes than these, its bytes are the transfer.
        second = bySecond();
        const std::ptrdiff_t length = exact.length;
        bool same = second->accepted && static_cast<std::ptrdiff_t>(second->bytes.size()) == length &&
                    m_bytes.GetSize() >= length;
        for (std::ptrdiff_t i = 0; same && i < length; ++i) same = m_bytes[i] == second->bytes[static_cast<std::size_t>(i)];
        if (second->accepted && !same) return false;
    }
    const BitTiming timing = BitTimingFor(m_settings.watchModel, 44100);
    m_reception.receiver = zendrik::ReceiverUsed::Exact;
    m_reception.bitPeriodSamples = timing.period;
    m_reception.bitsPerSecond = zendrik::BitsPerSecond(timing, 44100);
    m_reception.blocksGood = exact.blocksGood;
    m_reception.blocksTotal = exact.blocksTotal;
    DecodeExercises();
    return true;
}

zendrik::SecondReception Document::ReceiveBySecond(SampleSource& sound) const {
    return zendrik::ReceiveSource(sound, zendrik::FamilyStreamFormats(), kMostTransfersInARecording);
}

void Document::DecodeBySecond(zendrik::SecondReception second) {
    m_reception = second.report;
    m_recorded.clear();
    KeepSecondTransfers(second, 0);
    if (second.accepted) {
        m_reception.receiver = zendrik::ReceiverUsed::Second;
        m_bytes.SetSize(0);
        m_bytes.Reserve(static_cast<std::ptrdiff_t>(second.bytes.size()));
        for (std::uint8_t b : second.bytes) m_bytes.Add(b);
        // It tried every family's bit timing to find the transfer, but the watch model setting
        // still says how it is decoded, as for the exact receiver's bytes.
        DecodeExercises();
        return;
    }
    if (m_sampleRate < zendrik::kLowestRateForTone) {
        // Whatever the container: what the rate cannot hold is not the microphone's fault.
        m_readError.assign(zendrik::RateTooLowReason(m_sampleRate));
        return;
    }
    // Nothing checked out: the exact receiver's bytes are decoded as they always were, so
    // the report shows what is wrong with them.
    DecodeUnvouched();
}

void Document::DecodeUnvouched() {
    DecodeExercises();
    // The RS200/CS200 decoder calls any transfer with a sound stream head valid, as its blocks
    // carry no checksum; a dump is taken as saved. But bytes received with a head that does not
    // check out, or with blocks missing, are what the sound gave, not what the watch sent: their
    // report shows what arrived, and is no exercise.
    if (!m_valid) return;
    const zendrik::TransferCheck check = zendrik::CheckTransfer(m_bytes, zendrik::FamilyStreamFormats());
    if (check.watchModel != 0 && !check.checksumCovered && !check.complete) {
        m_transfer.valid = false;
        m_valid = 0;
    }
}

void Document::ShowRecordedTransfer(std::size_t index) {
    if (index >= m_recorded.size()) return;
    Guarded([&] {
        m_bytes = m_recorded[index].bytes;
        m_reception = m_recorded[index].reception;
    });
    DecodeExercises();
}

zendrik::Transfer Document::DecodeRecordedTransfer(std::size_t index) const {
    if (index >= m_recorded.size()) return {};
    return zendrik::Decode(m_recorded[index].bytes, m_settings.watchModel, Context());
}

void Document::ClearReception() {
    m_bytes.SetSize(0);
    m_recorded.clear();
    m_valid = 0;
    // The texts stay until the next decoding, but what they were decoded from is gone.
    m_transfer = zendrik::Transfer{};
}

void Document::ClearReports() {
    m_hrm.clear();
    m_hrmCompat.clear();
    m_csv.clear();
    m_transfer = zendrik::Transfer{};
}

zendrik::DecodeContext Document::Context() const {
    return {m_settings.utcToday ? m_settings.utcToday() : SystemUtcDate()};
}

void Document::RenderTransfer() {
    zendrik::ReportTexts texts = zendrik::RenderReport(m_transfer, m_settings.values);
    m_hrm = std::move(texts.hrm);
    m_hrmCompat = std::move(texts.hrmCompat);
    m_csv = std::move(texts.csv);
}

void Document::ShowTransfer(zendrik::Transfer transfer) {
    m_transfer = std::move(transfer);
    RenderTransfer();
    m_valid = m_transfer.valid ? 1 : 0;
    if (!m_transfer.exercise) return;
    const zendrik::Exercise& exercise = *m_transfer.exercise;
    m_date = FormatHrmDate({exercise.start.year, exercise.start.month, exercise.start.day});
}

const zendrik::Exercise* Document::ValidExercise() const {
    if (!m_valid || !m_transfer.valid || !m_transfer.exercise) return nullptr;
    return &*m_transfer.exercise;
}

void Document::DecodeExercises() {
    Guarded([&] {
        m_readError.clear();
        // A code outside the table gives a message, not a report: nothing may be saved as an
        // exercise.
        ShowTransfer(zendrik::Decode(m_bytes, m_settings.watchModel, Context()));
    });
}

int Document::DetectModelAndDecode() {
    const std::int32_t userModel = m_settings.watchModel;
    const int detected = DetectWatchModel(m_bytes);
    if (detected == 0) {
        ClearReports();
        // With the texts gone there is nothing left that could be saved.
        m_valid = 0;
        return 0;
    }
    m_settings.watchModel = detected;
    DecodeExercises();
    m_settings.watchModel = userModel;
    return m_readError.empty() ? 1 : 0;
}

void Document::SetValueFormat(const ValueFormat& values) {
    const ValueFormat& now = m_settings.values;
    if (values.noTenths == now.noTenths && values.decimalSep == now.decimalSep &&
        values.timeSep == now.timeSep && values.dateSep == now.dateSep) {
        return;
    }
    m_settings.values = values;
    if (m_transfer.model == 0) {
        DetectModelAndDecode();
        return;
    }
    // A value format changes how the report is written, never what was decoded: the texts are
    // rendered again from the transfer, whatever the bytes hold by now.
    Guarded([&] { RenderTransfer(); });
}

std::string Document::ExplainInvalid() const {
    if (m_valid || !m_hrm.empty()) return {};
    if (m_bytes.GetSize() == 0) return "No SonicLink transfer was found: no tone bursts were received.";
    const zendrik::Family* found = zendrik::FamilyOfStream(m_bytes);
    if (!found) {
        return Concat("No SonicLink transfer was found: ", m_bytes.GetSize(),
                      " bytes were received, but no stream head.");
    }
    if (zendrik::OtherFamilyOfStream(m_bytes, m_transfer.model)) {
        std::string setName = zendrik::FindFamily(m_transfer.model)->phrase;
        setName.erase(0, setName.find(' ') + 1);  // without its article
        return Concat("The recording holds ", found->phrase,
                      " transfer; the watch model setting is ", setName, ".");
    }
    return Concat("The recording holds ", found->phrase,
                  " transfer, but it could not be "
                  "decoded: its blocks are missing or damaged.");
}

int Document::DecodeBytes(ReceivedBytes bytes, ModelBy rule) {
    return Guarded([&] {
        ClearReception();
        m_reception = zendrik::ReceptionReport{};
        m_bytes = std::move(bytes);
        if (rule == ModelBy::StreamHead) return DetectModelAndDecode();
        DecodeExercises();
        return m_readError.empty() ? 1 : 0;
    });
}

int Document::TakeLiveTransfer(const std::optional<zendrik::LiveTransfer>& transfer) {
    if (!transfer) return 0;
    m_recorded.clear();
    m_bytes.SetSize(0);
    if (!HasPreamble(transfer->bytes)) return 0;
    m_bytes = transfer->bytes;
    // Whichever pass read them, the bytes are decoded as the watch model setting says.
    m_reception = transfer->reception;
    DecodeExercises();
    return 1;
}

}  // namespace zendrik
