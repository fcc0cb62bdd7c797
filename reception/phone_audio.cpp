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

struct OutOfMemory {};

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::string words(text);
    if (!words.empty()) words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return words;
}

// The decoded sound, each frame converted to interleaved float and collected whole.
class Collector {
public:
    // `damaged` begins the reason for a frame that cannot be converted ("the M4A file is damaged: ").
    Collector(std::int64_t maxSamples, std::string damaged)
        : maxSamples_(maxSamples), damaged_(std::move(damaged)) {}

    // Adds a decoded frame; "" or why the recording is refused.
    std::string Add(const AVFrame& frame) {
        const int channels = frame.ch_layout.nb_channels;
        if (frame.nb_samples <= 0) return {};
        if (!sound_) {
            if (channels <= 0 || frame.sample_rate <= 0) return "a sound file without channels or sample rate";
            channels_ = channels;
            rate_ = frame.sample_rate;
            sound_.emplace(channels_, rate_, maxSamples_);
        } else if (channels != channels_ || frame.sample_rate != rate_) {
            // Channels kept whole until the end cannot change their number, and bits timed at
            // one rate cannot be read at another.
            return "the sound changes its rate or channels partway";
        }
        if (!sound_->Fits(sound_->Frames() + frame.nb_samples)) return kTooLongReason;
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
        converted_.resize(static_cast<std::size_t>(frame.nb_samples) * static_cast<std::size_t>(channels_));
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(converted_.data());
        const int got = swr_convert(resampler_.get(), &out, frame.nb_samples,
                                    const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
        if (got < 0) return damaged_ + ErrorText(got);
        sound_->Append(converted_.data(), got);
        return {};
    }

    std::int64_t Frames() const { return sound_ ? sound_->Frames() : 0; }

    AudioClip Clip() && { return sound_ ? std::move(*sound_).LoudestChannel() : AudioClip{}; }

private:
    std::int64_t maxSamples_;
    std::string damaged_;
    int channels_ = 0;
    int rate_ = 0;
    int format_ = -1;
    std::optional<ChannelCollector> sound_;
    std::vector<float> converted_;  // the last frame as interleaved float
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

AudioFileResult ReadPhoneAudio(StreamSource& source, PhoneContainer container, std::int64_t maxSamples) {
    const std::string file = "the " + std::string(PhoneContainerName(container)) + " file";
    const std::string damaged = file + " is damaged: ";
    const AVInputFormat* demuxer = av_find_input_format(DemuxerFor(container));
    if (!demuxer) return Refused("this build cannot read " + std::string(PhoneContainerName(container)) + " files");

    constexpr int kBufferBytes = 64 * 1024;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
    if (!buffer) throw OutOfMemory{};
    std::unique_ptr<AVIOContext, IoContextFree> io(
        avio_alloc_context(buffer, kBufferBytes, 0, &source, SourceRead, nullptr, SourceSeek));
    if (!io) {
        av_free(buffer);
        throw OutOfMemory{};
    }
    std::unique_ptr<AVFormatContext, FormatContextClose> format(avformat_alloc_context());
    if (!format) throw OutOfMemory{};
    format->pb = io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = RefuseOpen;
    format->format_whitelist = av_strdup(kDemuxers);
    format->protocol_whitelist = av_strdup("none");
    if (!format->format_whitelist || !format->protocol_whitelist) throw OutOfMemory{};
    AVFormatContext* opened = format.release();
    const int open = avformat_open_input(&opened, "", demuxer, nullptr);
    format.reset(opened);  // freed by FFmpeg (and null) when it failed
    if (open == AVERROR(ENOMEM)) throw OutOfMemory{};
    if (open < 0) {
        const bool mp4 = container == PhoneContainer::Mp4 || container == PhoneContainer::ThreeGp;
        if (mp4 && !HasMp4Index(source)) {
            return Refused(damaged + "its index (the moov box) is missing, as when the recording was "
                                     "cut off before the phone finished the file");
        }
        return Refused(damaged + ErrorText(open));
    }

    // The first audio stream, chosen from the header alone: an ADTS stream's rate is known only
    // once a frame is decoded, and probing every stream would decode a video track too.
    int index = -1;
    for (unsigned i = 0; i < format->nb_streams && index < 0; ++i) {
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) index = static_cast<int>(i);
    }
    if (index < 0) return Refused(file + " holds no sound");
    const AVCodec* codec = avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
    if (!codec) return Refused(file + " holds sound in a form this program cannot decode");
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != index) format->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVCodecParameters& parameters = *format->streams[index]->codecpar;

    std::unique_ptr<AVCodecContext, CodecContextFree> decoder(avcodec_alloc_context3(codec));
    if (!decoder) throw OutOfMemory{};
    if (avcodec_parameters_to_context(decoder.get(), &parameters) < 0) throw OutOfMemory{};
    decoder->thread_count = 1;  // a recording decodes in seconds; no threads of FFmpeg's own
    const int ready = avcodec_open2(decoder.get(), codec, nullptr);
    if (ready == AVERROR(ENOMEM)) throw OutOfMemory{};
    if (ready < 0) return Refused(damaged + ErrorText(ready));

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!packet || !frame) throw OutOfMemory{};
    Collector sound(maxSamples, damaged);
    // Frames waiting in the decoder go to the collector; "" or why the recording is refused.
    auto drain = [&]() -> std::string {
        for (;;) {
            const int got = avcodec_receive_frame(decoder.get(), frame.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return {};
            if (got == AVERROR(ENOMEM)) throw OutOfMemory{};
            if (got < 0) return {};  // a damaged packet: its sound is missing, the rest is read
            std::string refused = sound.Add(*frame);
            av_frame_unref(frame.get());
            if (!refused.empty()) return refused;
        }
    };
    // A forged sample table can repeat one damaged packet endlessly: so many in a row that give
    // no sound end the reading as the end of the file would.
    constexpr int kMostSilentPackets = 4096;
    int silentPackets = 0;
    int readError = 0;
    for (;;) {
        const int read = av_read_frame(format.get(), packet.get());
        if (read == AVERROR(ENOMEM)) throw OutOfMemory{};
        if (read < 0) {
            // A recording cut short reads as far as it goes, as a short WAV file does.
            if (read != AVERROR_EOF) readError = read;
            break;
        }
        if (packet->stream_index != index) {
            av_packet_unref(packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        if (sent == AVERROR(ENOMEM)) throw OutOfMemory{};
        const std::int64_t before = sound.Frames();
        std::string refused = drain();
        if (!refused.empty()) return Refused(std::move(refused));
        silentPackets = sound.Frames() == before ? silentPackets + 1 : 0;
        if (silentPackets > kMostSilentPackets) break;
    }
    avcodec_send_packet(decoder.get(), nullptr);
    std::string refused = drain();
    if (!refused.empty()) return Refused(std::move(refused));
    if (sound.Frames() == 0) {
        return Refused(readError ? damaged + ErrorText(readError) : std::string("the recording holds no sound"));
    }
    AudioFileResult result;
    result.ok = true;
    const std::int64_t frames = sound.Frames();
    result.clip = std::move(sound).Clip();
    result.clip.coding = CodingOf(parameters, source.Size(), frames, result.clip.sampleRate);
    return result;
}

}  // namespace

AudioFileResult ReadPhoneAudioStream(std::istream& in, std::int64_t maxSamples) {
    try {
        QuietLibraries();
        StreamSource source;
        if (!source.Attach(in)) return Refused("the sound file cannot be read");
        std::string head(16, '\0');
        head.resize(static_cast<std::size_t>(source.Read(head.data(), std::ssize(head))));
        source.Seek(0, SEEK_SET);
        const PhoneContainer container = PhoneContainerByContent(head);
        if (container == PhoneContainer::None) {
            return Refused("not a sound file that can be read: no M4A, 3GP, AAC, AMR or WebM signature");
        }
        return ReadPhoneAudio(source, container, maxSamples);
    } catch (const std::bad_alloc&) {
        return Refused(kOutOfMemoryReason);
    } catch (const OutOfMemory&) {
        return Refused(kOutOfMemoryReason);
    }
}

}  // namespace zendrik
