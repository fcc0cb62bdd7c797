#include "reception/input_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace zendrik {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string LowerExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string ReasonFor(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
        return "not found";
    }
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
        return "permission denied";
    }
    return error.message();
}

}  // namespace

PhoneContainer PhoneContainerByContent(std::string_view firstBytes) {
    if (firstBytes.size() >= 8 && firstBytes.substr(4, 4) == "ftyp") {
        // The brand says a 3GP file from an M4A or MP4 one; both are read the same way.
        const std::string_view brand = firstBytes.substr(8, std::min<std::size_t>(firstBytes.size() - 8, 3));
        return brand == "3gp" || brand == "3g2"
                   ? PhoneContainer::ThreeGp
                   : PhoneContainer::Mp4;
    }
    if (StartsWith(firstBytes, "#!AMR")) return PhoneContainer::Amr;
    if (StartsWith(firstBytes, "\x1A\x45\xDF\xA3")) return PhoneContainer::Matroska;
    if (StartsWith(firstBytes, "caff")) return PhoneContainer::Caf;
    // An ADTS frame starts with twelve set bits and the MPEG layer 0, where MP3 has layer 1.
    if (firstBytes.size() >= 2 && static_cast<unsigned char>(firstBytes[0]) == 0xFF &&
        (static_cast<unsigned char>(firstBytes[1]) & 0xF6) == 0xF0) {
        return PhoneContainer::Adts;
    }
    return PhoneContainer::None;
}

std::string_view PhoneContainerName(PhoneContainer container) {
    switch (container) {
        case PhoneContainer::None: break;
        case PhoneContainer::Mp4: return "M4A";
        case PhoneContainer::ThreeGp: return "3GP";
        case PhoneContainer::Adts: return "AAC";
        case PhoneContainer::Amr: return "AMR";
        case PhoneContainer::Matroska: return "WebM";
        case PhoneContainer::Caf: return "CAF";
    }
    return "";
}

InputKind InputKindByContent(std::string_view firstBytes) {
    if (PhoneContainerByContent(firstBytes) != PhoneContainer::None) return InputKind::Recording;
    if (StartsWith(firstBytes, "RIFF") || StartsWith(firstBytes, "RF64") ||
        StartsWith(firstBytes, "fLaC") || StartsWith(firstBytes, "OggS") ||
        StartsWith(firstBytes, "ID3")) {
        return InputKind::Recording;
    }
    // An MPEG audio frame starts with eleven set bits.
    if (firstBytes.size() >= 2 && static_cast<unsigned char>(firstBytes[0]) == 0xFF &&
        (static_cast<unsigned char>(firstBytes[1]) & 0xE0) == 0xE0) {
        return InputKind::Recording;
    }
    return InputKind::Unknown;
}

InputKind InputKindOf(std::string_view path, std::string_view firstBytes) {
    if (InputKindByContent(firstBytes) == InputKind::Recording) return InputKind::Recording;
    const std::string ext = LowerExtension(path);
    if (ext == "sld") return InputKind::Dump;
    if (std::find(kRecordingExtensions.begin(), kRecordingExtensions.end(), ext) !=
        kRecordingExtensions.end()) {
        return InputKind::Recording;
    }
    return InputKind::Unknown;
}

std::string NotTheRecordingItsNameSays(std::string_view path, std::string_view firstBytes) {
    if (InputKindByContent(firstBytes) == InputKind::Recording) return {};
    const std::string ext = LowerExtension(path);
    if (ext == "wav" || ext == "wave") return {};
    for (const RecordingExtension& type : kRecordingTypes) {
        if (type.extension != ext) continue;
        const std::string what = "not " + std::string(type.kind) + " recording: ";
        if (firstBytes.empty()) return what + "the file is empty";
        return what + "its first bytes are those of no sound file; it may be damaged, or another "
                      "kind of file renamed";
    }
    return {};
}

std::string OpenInputFile(const std::string& path, std::ifstream& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) return ReasonFor(error);
    if (status.type() == std::filesystem::file_type::directory) return "it is a folder, not a file";
    if (status.type() != std::filesystem::file_type::regular) {
        return "not a regular file (a device, pipe or socket)";
    }
    errno = 0;
    file.open(path, std::ios::binary);
    if (!file) {
        // The file may have gone, or lost its permissions, since it was looked at.
        const int code = errno;
        return code ? ReasonFor(std::error_code(code, std::generic_category())) : "cannot be opened";
    }
    return {};
}

std::string FirstBytesOf(const std::string& path, std::size_t count) {
    std::ifstream file;
    if (!OpenInputFile(path, file).empty()) return {};
    return FirstBytesOf(file, count);
}

std::string FirstBytesOf(std::istream& in, std::size_t count) {
    std::string bytes(count, '\0');
    in.clear();
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    in.clear();
    in.seekg(0);
    return bytes;
}

bool ReadAtMost(std::istream& in, std::size_t limit, std::string& out) {
    out.clear();
    std::array<char, 65536> chunk;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::size_t got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
        if (out.size() + got > limit) {
            out.clear();
            out.shrink_to_fit();
            return false;
        }
        out.append(chunk.data(), got);
    }
    return true;
}

}  // namespace zendrik
