// Opening the files the program reads, with the reason in words when one cannot be read, and
// telling a recording from a dump.
#pragma once

#include <array>
#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <string_view>

namespace zendrik {

// What a reader or the document says when memory ran out.
inline constexpr const char* kOutOfMemoryReason = "not enough memory to decode it";

enum class InputKind { Recording, Dump, Unknown };

// Most bytes a dump may hold: far more than any watch sends (a transfer is a few thousand bytes,
// four characters each), and little enough to read whole.
inline constexpr std::size_t kMaxDumpFileBytes = 16 * 1024 * 1024;

// An extension a recording is known by, in lower case, and the kind of recording it names, as a
// sentence says it ("an M4A").
struct RecordingExtension {
    std::string_view extension;
    std::string_view kind;
};
inline constexpr std::array<RecordingExtension, 14> kRecordingTypes = {{
    {"wav", "a WAV"}, {"wave", "a WAV"}, {"flac", "a FLAC"}, {"ogg", "an Ogg"}, {"oga", "an Ogg"},
    {"opus", "an Opus"}, {"mp3", "an MP3"}, {"m4a", "an M4A"}, {"mp4", "an MP4"},
    {"aac", "an AAC"}, {"3gp", "a 3GP"}, {"amr", "an AMR"}, {"webm", "a WebM"}, {"caf", "a CAF"}}};

// The extensions alone, in the same order.
inline constexpr std::array<std::string_view, kRecordingTypes.size()> kRecordingExtensions = [] {
    std::array<std::string_view, kRecordingTypes.size()> extensions{};
    for (std::size_t i = 0; i < extensions.size(); ++i) extensions[i] = kRecordingTypes[i].extension;
    return extensions;
}();

// The containers of compressed sound that phones' own recorders write and libsndfile cannot read.
enum class PhoneContainer { None, Mp4, ThreeGp, Adts, Amr, Matroska, Caf };

// Which of them the first bytes of a file are: "ftyp" at byte 4 (M4A, MP4, 3GP), an ADTS frame
// head, "#!AMR", the EBML head of WebM and Matroska, "caff"; None for anything else.
PhoneContainer PhoneContainerByContent(std::string_view firstBytes);

// The name a user knows the container by ("M4A", "3GP", "AAC", "AMR", "WebM", "CAF"); "" for None.
std::string_view PhoneContainerName(PhoneContainer container);

// What the first bytes of a file say it is: a sound file by its signature (RIFF, FLAC, Ogg, MP3,
// or one of the phone containers above), Unknown when they name nothing.
InputKind InputKindByContent(std::string_view firstBytes);

// The kind of a named file: a sound file signature wins, else the extension decides, whatever
// its case (.sld a dump; .wav and the other sound file extensions a recording).
InputKind InputKindOf(std::string_view path, std::string_view firstBytes);

// Why a file named as a recording cannot be read when its first bytes are those of no sound file:
// "not an M4A recording: ..." for "talk.m4a", by its extension in any case. "" when the bytes
// start a sound file (its reader's reason says more), for a WAV name, which the WAV reader's own
// reason ("not a RIFF WAVE file") names already, and for any name no recording has.
std::string NotTheRecordingItsNameSays(std::string_view path, std::string_view firstBytes);

// Opens a named file for binary reading. Folders, devices, pipes and sockets are refused, so
// reading always ends. Returns "" on success, else the reason in words ("not found",
// "permission denied", ...).
std::string OpenInputFile(const std::string& path, std::ifstream& file);

// Up to `count` bytes from the start of the file, for InputKindOf; "" when it cannot be read.
std::string FirstBytesOf(const std::string& path, std::size_t count = 16);
// The same of a stream, read from its start; the stream is left at its start.
std::string FirstBytesOf(std::istream& in, std::size_t count = 16);

// Reads all of `in` into `out` when it holds at most `limit` bytes; false (out emptied) when it
// holds more.
bool ReadAtMost(std::istream& in, std::size_t limit, std::string& out);

}  // namespace zendrik
