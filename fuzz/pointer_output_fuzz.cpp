// What the desktop's helper programs print (gsettings, xset) and what the stored-values file
// holds are outside input: reading them back must give a value in range or none, never crash.
//
// Input: byte 0 picks the desktop; the rest is split at the first 0 byte into the helper's output
// and the contents of the stored-values file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/pointer_settings_backends.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    static const gmd::PointerDesktop kDesktops[] = {gmd::PointerDesktop::Gnome,
                                                    gmd::PointerDesktop::Kde,
                                                    gmd::PointerDesktop::X11,
                                                    gmd::PointerDesktop::StoredOnly};
    const gmd::PointerDesktop desktop = kDesktops[data[0] % 4];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = rest.find('\0');
    const std::string output = rest.substr(0, split);
    const std::string stored = split == std::string::npos ? std::string() : rest.substr(split + 1);

    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("gmd-pointer-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const std::filesystem::path storeFile = folder / "pointer.ini";
    std::ofstream(storeFile, std::ios::binary | std::ios::trunc) << stored;

    gmd::PointerBackendOptions options;
    options.run = [&output](const std::vector<std::string>&) { return output; };
    options.storeFile = storeFile;
    options.kdeGlobals = folder / "kdeglobals";
    auto settings = gmd::MakePointerSettings(desktop, options);
    if (const auto speed = settings->PointerSpeed(); speed && (*speed < 1 || *speed > 20)) {
        std::fprintf(stderr, "pointer speed %d out of range\n", *speed);
        __builtin_trap();
    }
    return 0;
}
