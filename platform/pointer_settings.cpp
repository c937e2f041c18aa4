#include "platform/pointer_settings.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "platform/child_process.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/pointer_settings_backends.h"

namespace gmd {

namespace {

// Long enough for a cold D-Bus activation of the settings service, short enough that a
// hanging helper does not keep a worker thread for long.
constexpr std::chrono::milliseconds kHelperTimeout{3000};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return lower;
}

std::vector<std::string> SplitColons(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(':', start), text.size());
        if (end > start) {
            parts.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

bool IsGnomeLike(const std::string& desktop) {
    return desktop == "gnome" || desktop.rfind("gnome-", 0) == 0 || desktop == "unity" ||
           desktop == "budgie" || desktop == "budgie-desktop" || desktop == "pantheon" ||
           desktop == "ubuntu" || desktop.rfind("ubuntu-", 0) == 0;
}

bool IsKde(const std::string& desktop) {
    // "plasma", "plasmawayland", "plasmax11" as session names.
    return desktop == "kde" || desktop == "kde-plasma" || desktop.rfind("plasma", 0) == 0;
}

std::optional<std::string> EnvironmentVariable(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

PointerBackendOptions SessionOptions() {
    PointerBackendOptions options;
    options.run = ChildProcessRunner();
    options.storeFile = UserConfigFolder() / "pointer.ini";
    // UserConfigFolder() sits directly in the XDG configuration folder, beside kdeglobals.
    options.kdeGlobals = UserConfigFolder().parent_path() / "kdeglobals";
    options.kdeInputRc = UserConfigFolder().parent_path() / "kcminputrc";
    const auto firstInPath = [](std::initializer_list<const char*> tools) {
        for (const char* tool : tools) {
            if (!FindInPath(tool).empty()) {
                return std::string(tool);
            }
        }
        return std::string();
    };
    options.kwriteconfig = firstInPath({"kwriteconfig6", "kwriteconfig5"});
    options.kreadconfig = firstInPath({"kreadconfig6", "kreadconfig5"});
    return options;
}

}  // namespace

CommandRunner ChildProcessRunner() {
    return [](const std::vector<std::string>& argv) -> std::optional<std::string> {
        ChildProcessResult result = RunChildProcess(argv, kHelperTimeout);
        if (result.Succeeded()) {
            return std::move(result.output);
        }
        DebugTrace((argv.empty() ? std::string("helper") : argv[0]) + ": " + result.error);
        return std::nullopt;
    };
}

PointerDesktop DetectPointerDesktop(const PointerEnvironment& environment) {
    const auto variable = [&](std::string_view name) {
        return Lower(environment.variable(name).value_or(""));
    };
    // XDG_CURRENT_DESKTOP is a list such as "ubuntu:GNOME"; the older DESKTOP_SESSION only
    // counts without it.
    std::vector<std::string> desktops = SplitColons(variable("XDG_CURRENT_DESKTOP"));
    if (desktops.empty()) {
        desktops = SplitColons(variable("DESKTOP_SESSION"));
    }
    const bool kde = std::any_of(desktops.begin(), desktops.end(), IsKde);
    const bool gnome = std::any_of(desktops.begin(), desktops.end(), IsGnomeLike);
    if (kde) {
        return PointerDesktop::Kde;
    }
    if (gnome && environment.hasProgram("gsettings") && environment.hasGnomeMouseSchema()) {
        return PointerDesktop::Gnome;
    }
    if (IsX11Session(environment) &&
        (environment.hasProgram("xinput") || environment.hasProgram("xset"))) {
        return PointerDesktop::X11;
    }
    return PointerDesktop::StoredOnly;
}

bool IsX11Session(const PointerEnvironment& environment) {
    const auto variable = [&](std::string_view name) {
        return Lower(environment.variable(name).value_or(""));
    };
    // Under Wayland the X display is the compositor's XWayland: its devices reach only the X
    // clients, so nothing set there changes the session's pointer.
    const std::string type = variable("XDG_SESSION_TYPE");
    if (variable("DISPLAY").empty() || type == "wayland") {
        return false;
    }
    return type == "x11" || variable("WAYLAND_DISPLAY").empty();
}

std::unique_ptr<PointerSettings> MakeDesktopPointerSettings() {
    PointerBackendOptions options = SessionOptions();
    const CommandRunner run = options.run;
    PointerEnvironment environment;
    environment.variable = EnvironmentVariable;
    environment.hasProgram = [](std::string_view program) { return !FindInPath(program).empty(); };
    environment.hasGnomeMouseSchema = [run] {
        const auto output = run({"gsettings", "writable", kGnomeMouseSchema, "speed"});
        return output.has_value() && output->rfind("true", 0) == 0;
    };
    options.x11Session = IsX11Session(environment);
    auto settings = MakePointerSettings(DetectPointerDesktop(environment), std::move(options));
    DebugTrace("pointer and wheel settings: " + settings->Name());
    return settings;
}

std::unique_ptr<PointerSettings> MakeStoredPointerSettings() {
    PointerBackendOptions options;
    options.storeFile = UserConfigFolder() / "pointer.ini";
    return MakePointerSettings(PointerDesktop::StoredOnly, std::move(options));
}

}  // namespace gmd
