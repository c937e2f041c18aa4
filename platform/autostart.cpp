#include "platform/autostart.h"

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/atomic_file.h"

namespace gmd {

namespace fs = std::filesystem;

namespace {

fs::path ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / ".config";
}

// One argument of an Exec line: quoted when it holds anything the launcher would split or
// expand, then escaped once more as a string value of the entry.
std::string ExecArgument(std::string_view arg) {
    bool quote = arg.empty();
    std::string quoted;
    for (const char c : arg) {
        switch (c) {
            case '"':
            case '`':
            case '$':
            case '\\':
                quote = true;
                quoted += '\\';
                quoted += c;
                break;
            case ' ':
            case '\t':
            case '\'':
            case '>':
            case '<':
            case '~':
            case '|':
            case '&':
            case ';':
            case '*':
            case '?':
            case '#':
            case '(':
            case ')':
                quote = true;
                quoted += c;
                break;
            case '%':
                quoted += "%%";
                break;
            default:
                quoted += c;
        }
    }
    if (quote) {
        quoted = '"' + quoted + '"';
    }
    std::string value;
    for (const char c : quoted) {
        value += c;
        if (c == '\\') {
            value += '\\';
        }
    }
    return value;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

fs::path AutostartEntryPath() {
    return ConfigHome() / "autostart" / "gaming-mouse-driver.desktop";
}

std::string AutostartEntry(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Gaming Mouse Driver\n"
           "Comment=Start in the tray with the session\n"
           "Exec=" +
           ExecArgument(program) + " " + kStartHiddenArgument +
           "\n"
           "Icon=gaming-mouse-driver\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEnabled() {
    std::ifstream in(AutostartEntryPath());
    if (!in) {
        return false;
    }
    bool inMain = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view l = Trim(line);
        if (l.starts_with('[')) {
            inMain = l == "[Desktop Entry]";
            continue;
        }
        const size_t eq = l.find('=');
        if (!inMain || eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(l.substr(0, eq));
        const std::string_view value = Trim(l.substr(eq + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

bool SetAutostart(bool enabled, const std::string& program, std::string& error) {
    const fs::path path = AutostartEntryPath();
    std::error_code ec;
    if (!enabled) {
        fs::remove(path, ec);
        if (ec) {
            error = path.string() + ": " + ec.message();
            return false;
        }
        return true;
    }
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        error = path.parent_path().string() + ": " + ec.message();
        return false;
    }
    return WriteFileAtomically(path, AutostartEntry(program), error);
}

}  // namespace gmd
