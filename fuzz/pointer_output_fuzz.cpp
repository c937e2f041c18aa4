// What the desktop's helper programs print (gsettings, kreadconfig, xset, xinput) and what the
// stored-values and KDE files hold are outside input: reading them back must give a value in
// range or none, and setting a speed must hand xinput only a device id that it listed and a
// value on its scale, never crash.
//
// Input: byte 0 picks the desktop (bits 0-1), an X11 session (bit 2) and the KDE tools being
// there (bit 3), and bits 4-7 the speed to set (twice their value, less 4); the rest is split at 0
// bytes into the output of gsettings, kreadconfig and xset q, the stored-values file, the output of
// xinput list, that of xinput list-props (every device) and the contents of kcminputrc.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/pointer_settings_backends.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    __builtin_trap();
}

bool IsDeviceId(const std::string& text) {
    return !text.empty() && text.size() <= 5 && text.front() != '0' &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

bool IsUnitValue(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && value >= -1.0 && value <= 1.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    static const gmd::PointerDesktop kDesktops[] = {
        gmd::PointerDesktop::Gnome, gmd::PointerDesktop::Kde, gmd::PointerDesktop::X11,
        gmd::PointerDesktop::StoredOnly};
    const gmd::PointerDesktop desktop = kDesktops[data[0] % 4];
    const bool x11Session = (data[0] & 0x04) != 0;
    const bool kdeTools = (data[0] & 0x08) != 0;
    const int speed = (data[0] >> 4) * 2 - 4;  // -4 to 26: both clamps included

    std::array<std::string, 5> parts;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t start = 0;
    for (size_t i = 0; i < parts.size() && start <= rest.size(); ++i) {
        const size_t end = i + 1 == parts.size() ? rest.size() : rest.find('\0', start);
        parts[i] = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? rest.size() + 1 : end + 1;
    }
    const std::string& output = parts[0];
    const std::string& stored = parts[1];
    const std::string& xinputList = parts[2];
    const std::string& xinputProps = parts[3];
    const std::string& inputRc = parts[4];

    // The stored values and the KDE files live in memory: no file is written per input.
    static std::map<std::string, std::string> files;
    files.clear();
    gmd::SetMemoryFilesForTest(&files);
    const std::filesystem::path folder = "/fuzz";
    const std::filesystem::path storeFile = folder / "pointer.ini";
    files[storeFile.string()] = stored;
    files[(folder / "kcminputrc").string()] = inputRc;

    gmd::PointerBackendOptions options;
    options.run = [&](const std::vector<std::string>& argv) -> std::optional<std::string> {
        if (argv.empty()) {
            Fail("no program");
        }
        if (argv[0] != "xinput") {
            return output;
        }
        if (argv.size() >= 2 && argv[1] == "list") {
            return xinputList;
        }
        if (argv.size() == 3 && argv[1] == "list-props" && IsDeviceId(argv[2])) {
            return xinputProps;
        }
        if (argv.size() == 5 && argv[1] == "set-prop" && IsDeviceId(argv[2]) &&
            argv[3] == "libinput Accel Speed" && IsUnitValue(argv[4])) {
            return std::string();
        }
        std::string call;
        for (const std::string& arg : argv) {
            call += " '" + arg + "'";
        }
        Fail("unexpected xinput call:" + call);
    };
    options.storeFile = storeFile;
    options.kdeGlobals = folder / "kdeglobals";
    options.kdeInputRc = folder / "kcminputrc";
    if (kdeTools) {
        options.kwriteconfig = "kwriteconfig6";
        options.kreadconfig = "kreadconfig6";
    }
    options.x11Session = x11Session;
    auto settings = gmd::MakePointerSettings(desktop, options);
    if (const auto read = settings->PointerSpeed(); read && (*read < 1 || *read > 20)) {
        Fail("pointer speed " + std::to_string(*read) + " out of range");
    }
    settings->SetPointerSpeed(speed);
    return 0;
}
