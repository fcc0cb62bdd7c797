// zendrik-cli's phone recording reader: FFmpeg's reader is loaded from its module the first time
// a phone recording comes, so runs on WAV files, dumps and other sound files never map FFmpeg's
// libraries (with every codec library they pull in, more than the rest of the program takes).
#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "reception/module/phone_audio_entry.h"
#include "reception/phone_audio.h"

namespace zendrik {

namespace {

struct LoadedReader {
    PhoneAudioOpener open = nullptr;
    std::string reason;  // when none was loaded: why
};

// Beside the program in the build tree; in its private library folder once installed.
LoadedReader Load() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::path() : program.parent_path();
    const std::filesystem::path candidates[] = {
        folder / kPhoneAudioModuleFile,
        folder / ZENDRIK_MODULE_DIR_FROM_BIN / kPhoneAudioModuleFile,
    };
    std::string failure;
    for (const std::filesystem::path& path : candidates) {
        if (!std::filesystem::exists(path, error)) continue;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = dlerror();
            failure = why != nullptr ? why : path.string();
            break;
        }
        using Entry = PhoneAudioOpener (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(module, kPhoneAudioModuleEntry));
        if (entry != nullptr) return {entry(), {}};
        failure = path.string() + " has no reader in it";
        break;
    }
    const std::string what = failure.empty() ? std::string(kPhoneAudioModuleFile) + " is not installed"
                                             : "it cannot be loaded (" + failure + ")";
    return {nullptr, "phones' compressed recordings are read through FFmpeg, but " + what +
                         ": install zendrik-cli's FFmpeg module and FFmpeg's libraries "
                         "(libavformat, libavcodec, libswresample), or convert the recording to WAV"};
}

}  // namespace

std::unique_ptr<DecodedSound> OpenPhoneAudioStream(std::istream& in, std::string& why, std::int64_t maxSamples) {
    static const LoadedReader reader = Load();
    if (reader.open == nullptr) {
        why = reader.reason;
        return nullptr;
    }
    return reader.open(in, why, maxSamples);
}

AudioFileResult ReadPhoneAudioStream(std::istream& in, std::int64_t maxSamples) {
    std::string why;
    const std::unique_ptr<DecodedSound> sound = OpenPhoneAudioStream(in, why, maxSamples);
    return ReadWhole(sound, why);
}

}  // namespace zendrik
