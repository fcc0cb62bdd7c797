#include "reception/phone_audio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "reception/input_file.h"
#include "reception/stream_source.h"

namespace zendrik {

namespace {

// FFmpeg reads the stream through these, so no demuxer can open anything but the stream.
int SourceRead(void* opaque, std::uint8_t* buffer, int count) {
    const std::int64_t got = static_cast<StreamSource*>(opaque)->Read(buffer, count);
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

std::int64_t SourceSeek(void* opaque, std::int64_t offset, int whence) {
    auto& source = *static_cast<StreamSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return source.Size();
    const std::int64_t target = source.Seek(offset, whence);
    return target >= 0 ? target : AVERROR(EINVAL);
}

// A demuxer that asks for another file (an MP4's external data reference, a playlist entry) gets
// none: a recording is the one file given.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// Whether an MP4 file has its index (the "moov" box) among its top-level boxes. Phones write it
// when the recording is stopped, after the sound, so a recording cut off (the app killed, the
// battery flat) or copied before it was finished has sound but no index.
bool HasMp4Index(StreamSource& source) {
    std::int64_t position = 0;
    for (int box = 0; box < 4096 && position + 8 <= source.Size(); ++box) {
        unsigned char head[16] = {};
        if (source.Seek(position, SEEK_SET) < 0) return false;
        const std::int64_t got = source.Read(head, 16);
        if (got < 8) return false;
        if (head[4] == 'm' && head[5] == 'o' && head[6] == 'o' && head[7] == 'v') return true;
        std::uint64_t size = (std::uint64_t{head[0]} << 24) | (std::uint64_t{head[1]} << 16) |
                             (std::uint64_t{head[2]} << 8) | head[3];
        if (size == 1) {  // the size follows in 64 bits
            if (got < 16) return false;
            size = 0;
            for (int i = 8; i < 16; ++i) size = (size << 8) | head[i];
        }
        // 0 means "to the end of the file"; anything shorter than its own head ends the walk.
        if (size < 8 || size > static_cast<std::uint64_t>(source.Size() - position)) return false;
        position += static_cast<std::int64_t>(size);
    }
    return false;
}

// The demuxer for each container, and no other: nothing a recording holds may reach FFmpeg's
// image, network or playlist demuxers.
const char* DemuxerFor(PhoneContainer container) {
    switch (container) {
        case PhoneContainer::Mp4:
        case PhoneContainer::ThreeGp: return "mov";
        case PhoneContainer::Adts: return "aac";
        case PhoneContainer::Amr: return "amr";
        case PhoneContainer::Matroska: return "matroska";
        case PhoneContainer::Caf: return "caf";
        case PhoneContainer::None: break;
    }
    return nullptr;
}
constexpr const char* kDemuxers = "mov,aac,amr,matroska,caf";

struct IoContextFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FormatContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ResamplerFree {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};

// What FFmpeg running out of memory is thrown as, caught where a bad_alloc is.
struct OutOfMemory : std::bad_alloc {};

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::string words(text);
    if (!words.empty()) words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return words;
}

// Each decoded frame converted to interleaved float, held to the limits as it comes.
class Converter {
public:
    // `damaged` begins the reason for a frame that cannot be converted ("the M4A file is damaged: ").
    Converter(std::int64_t maxSamples, std::string damaged)
        : maxSamples_(maxSamples), damaged_(std::move(damaged)) {}

    // Converts a decoded frame into `out`, setting how many frames it gave; "" or why the
    // recording is refused.
    std::string Add(const AVFrame& frame, std::vector<float>& out, std::int64_t& frames) {
        frames = 0;
        const int channels = frame.ch_layout.nb_channels;
        if (frame.nb_samples <= 0) return {};
        if (channels_ == 0) {
            if (channels <= 0 || frame.sample_rate <= 0) return "a sound file without channels or sample rate";
            channels_ = channels;
            rate_ = frame.sample_rate;
            maxFrames_ = MaxAudioFrames(channels_, rate_, maxSamples_);
        } else if (channels != channels_ || frame.sample_rate != rate_) {
            // A source hands over one channel of the file, at one rate throughout: bits timed at
            // one rate cannot be read at another.
            return "the sound changes its rate or channels partway";
        }
        if (frames_ + frame.nb_samples > maxFrames_) return kTooLongReason;
        if (!resampler_ || frame.format != format_) {
            // Only the sample format changes: the channels and the rate stay the file's own.
            format_ = frame.format;
            AVChannelLayout layout{};
            if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
                av_channel_layout_default(&layout, channels_);
            } else if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0) {
                throw OutOfMemory{};
            }
            SwrContext* swr = nullptr;
            const int made = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_FLT, rate_, &layout,
                                                 static_cast<AVSampleFormat>(format_), rate_, 0, nullptr);
            av_channel_layout_uninit(&layout);
            resampler_.reset(swr);
            if (made < 0 || !swr) return damaged_ + ErrorText(made);
            const int ready = swr_init(swr);
            if (ready == AVERROR(ENOMEM)) throw OutOfMemory{};
            if (ready < 0) return damaged_ + ErrorText(ready);
        }
        out.resize(static_cast<std::size_t>(frame.nb_samples) * static_cast<std::size_t>(channels_));
        std::uint8_t* converted = reinterpret_cast<std::uint8_t*>(out.data());
        const int got = swr_convert(resampler_.get(), &converted, frame.nb_samples,
                                    const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
        if (got < 0) return damaged_ + ErrorText(got);
        frames = got;
        frames_ += got;
        return {};
    }

    int Channels() const { return channels_; }
    int Rate() const { return rate_; }

private:
    std::int64_t maxSamples_;
    std::string damaged_;
    int channels_ = 0;
    int rate_ = 0;
    int format_ = -1;
    std::int64_t maxFrames_ = 0;
    std::int64_t frames_ = 0;
    std::unique_ptr<SwrContext, ResamplerFree> resampler_;
};

// How the file stored its sound: the lossy codec by the name a recorder's settings give it, and
// its bit rate as the file states it, else as its size over its length gives it.
SoundCoding CodingOf(const AVCodecParameters& parameters, std::int64_t fileBytes, std::int64_t frames,
                     int rate) {
    SoundCoding coding;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
    if (!descriptor || !(descriptor->props & AV_CODEC_PROP_LOSSY)) return coding;
    switch (parameters.codec_id) {
        case AV_CODEC_ID_AAC: coding.lossyCodec = "AAC"; break;
        case AV_CODEC_ID_OPUS: coding.lossyCodec = "Opus"; break;
        case AV_CODEC_ID_VORBIS: coding.lossyCodec = "Vorbis"; break;
        case AV_CODEC_ID_MP3: coding.lossyCodec = "MP3"; break;
        case AV_CODEC_ID_AMR_NB:
        case AV_CODEC_ID_AMR_WB: coding.lossyCodec = "AMR"; break;
        default: coding.lossyCodec = descriptor->name; break;
    }
    const std::int64_t stated = parameters.bit_rate;
    coding.bitsPerSecond = stated > 0 && stated < (std::int64_t{1} << 31)
                               ? static_cast<int>(stated)
                               : AverageBitRate(fileBytes, frames, rate);
    return coding;
}

// FFmpeg writes what it finds wrong with a file to standard error; the reason returned says it
// in the program's own words instead.
void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// A phone's recording decoded a frame at a time; each start opens the file afresh.
class PhoneDecoder : public InterleavedDecoder {
public:
    PhoneDecoder(std::istream& in, std::int64_t maxSamples) : in_(in), maxSamples_(maxSamples) {}

    std::string Restart() override {
        decoder_.reset();
        format_.reset();
        io_.reset();
        converter_.reset();
        reading_ = true;
        draining_ = false;
        silentPackets_ = 0;
        readError_ = 0;
        if (container_ == PhoneContainer::None) {
            if (!source_.Attach(in_)) return "the sound file cannot be read";
            std::string head(16, '\0');
            head.resize(static_cast<std::size_t>(source_.Read(head.data(), std::ssize(head))));
            container_ = PhoneContainerByContent(head);
            if (container_ == PhoneContainer::None) {
                return "not a sound file that can be read: no M4A, 3GP, AAC, AMR or WebM signature";
            }
        }
        if (source_.Seek(0, SEEK_SET) != 0) return "the sound file cannot be read";
        return Open();
    }

    std::int64_t Next(std::vector<float>& out, std::string& why) override {
        for (;;) {
            if (draining_) {
                // The frames waiting in the decoder for the last packet sent.
                const int got = avcodec_receive_frame(decoder_.get(), frame_.get());
                if (got == AVERROR(ENOMEM)) throw OutOfMemory{};
                if (got == 0) {
                    std::int64_t frames = 0;
                    why = converter_->Add(*frame_, out, frames);
                    av_frame_unref(frame_.get());
                    if (!why.empty()) return -1;
                    if (frames == 0) continue;
                    gaveSound_ = true;
                    return frames;
                }
                // Drained, or a damaged packet: its sound is missing, the rest is read.
                draining_ = false;
                if (!reading_) return 0;
                // A forged sample table can repeat one damaged packet endlessly: so many in a
                // row that give no sound end the reading as the end of the file would.
                constexpr int kMostSilentPackets = 4096;
                silentPackets_ = gaveSound_ ? 0 : silentPackets_ + 1;
                if (silentPackets_ > kMostSilentPackets) Flush();
                continue;
            }
            if (!reading_) return 0;
            const int read = av_read_frame(format_.get(), packet_.get());
            if (read == AVERROR(ENOMEM)) throw OutOfMemory{};
            if (read < 0) {
                // A recording cut short reads as far as it goes, as a short WAV file does.
                if (read != AVERROR_EOF) readError_ = read;
                Flush();
                continue;
            }
            if (packet_->stream_index != index_) {
                av_packet_unref(packet_.get());
                continue;
            }
            const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
            av_packet_unref(packet_.get());
            if (sent == AVERROR(ENOMEM)) throw OutOfMemory{};
            draining_ = true;
            gaveSound_ = false;
        }
    }

    int Channels() const override { return converter_ ? converter_->Channels() : 0; }
    int Rate() const override { return converter_ ? converter_->Rate() : 0; }

    SoundCoding CodingFor(std::int64_t frames) const override {
        return CodingOf(*format_->streams[index_]->codecpar, source_.Size(), frames, Rate());
    }

    std::string EmptyReason() const override {
        return readError_ ? Damaged() + ErrorText(readError_) : std::string("the recording holds no sound");
    }

private:
    std::string File() const { return "the " + std::string(PhoneContainerName(container_)) + " file"; }
    std::string Damaged() const { return File() + " is damaged: "; }

    // The end of the packets: what the decoder still holds is drained, then the sound ends.
    void Flush() {
        avcodec_send_packet(decoder_.get(), nullptr);
        reading_ = false;
        draining_ = true;
    }

    std::string Open() {
        const AVInputFormat* demuxer = av_find_input_format(DemuxerFor(container_));
        if (!demuxer) return "this build cannot read " + std::string(PhoneContainerName(container_)) + " files";

        constexpr int kBufferBytes = 64 * 1024;
        auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
        if (!buffer) throw OutOfMemory{};
        io_.reset(avio_alloc_context(buffer, kBufferBytes, 0, &source_, SourceRead, nullptr, SourceSeek));
        if (!io_) {
            av_free(buffer);
            throw OutOfMemory{};
        }
        format_.reset(avformat_alloc_context());
        if (!format_) throw OutOfMemory{};
        format_->pb = io_.get();
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        format_->io_open = RefuseOpen;
        format_->format_whitelist = av_strdup(kDemuxers);
        format_->protocol_whitelist = av_strdup("none");
        if (!format_->format_whitelist || !format_->protocol_whitelist) throw OutOfMemory{};
        AVFormatContext* opened = format_.release();
        const int open = avformat_open_input(&opened, "", demuxer, nullptr);
        format_.reset(opened);  // freed by FFmpeg (and null) when it failed
        if (open == AVERROR(ENOMEM)) throw OutOfMemory{};
        if (open < 0) {
            const bool mp4 = container_ == PhoneContainer::Mp4 || container_ == PhoneContainer::ThreeGp;
            if (mp4 && !HasMp4Index(source_)) {
                return Damaged() + "its index (the moov box) is missing, as when the recording was "
                                   "cut off before the phone finished the file";
            }
            return Damaged() + ErrorText(open);
        }

        // The first audio stream, chosen from the header alone: an ADTS stream's rate is known
        // only once a frame is decoded, and probing every stream would decode a video track too.
        index_ = -1;
        for (unsigned i = 0; i < format_->nb_streams && index_ < 0; ++i) {
            if (format_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) index_ = static_cast<int>(i);
        }
        if (index_ < 0) return File() + " holds no sound";
        const AVCodec* codec = avcodec_find_decoder(format_->streams[index_]->codecpar->codec_id);
        if (!codec) return File() + " holds sound in a form this program cannot decode";
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            if (static_cast<int>(i) != index_) format_->streams[i]->discard = AVDISCARD_ALL;
        }
        decoder_.reset(avcodec_alloc_context3(codec));
        if (!decoder_) throw OutOfMemory{};
        if (avcodec_parameters_to_context(decoder_.get(), format_->streams[index_]->codecpar) < 0) throw OutOfMemory{};
        decoder_->thread_count = 1;  // a recording decodes in seconds; no threads of FFmpeg's own
        const int ready = avcodec_open2(decoder_.get(), codec, nullptr);
        if (ready == AVERROR(ENOMEM)) throw OutOfMemory{};
        if (ready < 0) return Damaged() + ErrorText(ready);

        if (!packet_) packet_.reset(av_packet_alloc());
        if (!frame_) frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) throw OutOfMemory{};
        converter_.emplace(maxSamples_, Damaged());
        return {};
    }

    std::istream& in_;
    std::int64_t maxSamples_;
    StreamSource source_;
    PhoneContainer container_ = PhoneContainer::None;
    std::unique_ptr<AVIOContext, IoContextFree> io_;
    std::unique_ptr<AVFormatContext, FormatContextClose> format_;
    std::unique_ptr<AVCodecContext, CodecContextFree> decoder_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::optional<Converter> converter_;
    int index_ = -1;
    bool reading_ = true;    // packets are still read
    bool draining_ = false;  // frames are taken from the decoder
    bool gaveSound_ = false; // the packet being drained gave frames
    int silentPackets_ = 0;
    int readError_ = 0;
};

}  // namespace

std::unique_ptr<DecodedSound> OpenPhoneAudioStream(std::istream& in, std::string& why, std::int64_t maxSamples) {
    QuietLibraries();
    return OpenDecoded([&] { return std::make_unique<PhoneDecoder>(in, maxSamples); }, maxSamples, why);
}

AudioFileResult ReadPhoneAudioStream(std::istream& in, std::int64_t maxSamples) {
    std::string why;
    const std::unique_ptr<DecodedSound> sound = OpenPhoneAudioStream(in, why, maxSamples);
    return ReadWhole(sound, why);
}

}  // namespace zendrik
