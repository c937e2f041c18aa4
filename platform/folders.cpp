#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"

namespace gmd {

namespace fs = std::filesystem;

namespace {

// Where nothing can be made: without a home the files are refused, never put in a shared folder.
constexpr const char* kNoHome = "/nonexistent";

fs::path Home() {
    const std::optional<fs::path> home = UserHome();
    return home ? *home : fs::path(kNoHome);
}

fs::path ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return config;
    }
    return Home() / ".config";
}

fs::path Ensure(const fs::path& dir) {
    std::string error;
    CreatePrivateFolders(dir, error);  // a failure surfaces at the first write
    return dir;
}

}  // namespace

std::optional<fs::path> UserHome() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return fs::path(home);
    }
    // Without HOME (cron, some service managers) the account's own home.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/' &&
        fs::path(found->pw_dir) != kNoHome) {
        return fs::path(found->pw_dir);
    }
    return std::nullopt;
}

bool CheckUserHome(std::string& error) {
    if (UserHome()) {
        return true;
    }
    error = "no home folder: HOME is not set and the user account names none";
    return false;
}

fs::path DocumentsFolder() {
    // Lines look like: XDG_DOCUMENTS_DIR="$HOME/Documents"
    std::string bytes;
    std::string error;
    if (!ReadWholeFile(ConfigHome() / "user-dirs.dirs", bytes, error, 64 * 1024)) {
        bytes.clear();
    }
    std::istringstream dirs(bytes);
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = Home().string() + value.substr(5);
        }
        // A documents folder set to the home folder itself means "none" in user-dirs.
        if (!value.empty() && value.front() == '/' && fs::path(value) != Home()) {
            return value;
        }
    }
    return Home() / "Documents";
}

fs::path AppDataFolder() {
    return Ensure(DocumentsFolder() / kDataFolderName);
}
fs::path MouseFolder() {
    return Ensure(AppDataFolder() / "ms");
}
fs::path KeyboardFolder() {
    return Ensure(AppDataFolder() / "kb");
}
fs::path MousepadFolder() {
    return Ensure(AppDataFolder() / "mp");
}
fs::path ApplicationFolder() {
    constexpr const char* kMarker = "msdevicedefault.config";
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path dir = exe.parent_path();
        // Beside the program, or in the build tree: build/app beside build/cli and build/bench,
        // or one level up for tools in build/app/*.
        for (const fs::path& candidate : {dir, dir.parent_path() / "app", dir.parent_path()}) {
            if (fs::exists(candidate / kMarker, ec)) {
                return candidate;
            }
        }
    }
#ifdef GMD_INSTALL_DATADIR
    return GMD_INSTALL_DATADIR;
#else
    return exe.empty() ? fs::path(".") : exe.parent_path();
#endif
}

fs::path UserConfigFolder() {
    return Ensure(ConfigHome() / "gaming-mouse-driver");
}

}  // namespace gmd
