#include "platform/folders.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace gmd {

namespace fs = std::filesystem;

namespace {

fs::path Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? fs::path(home) : fs::path("/tmp");
}

fs::path ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        return config;
    }
    return Home() / ".config";
}

fs::path Ensure(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

}  // namespace

fs::path DocumentsFolder() {
    // Lines look like: XDG_DOCUMENTS_DIR="$HOME/Documents"
    std::ifstream dirs(ConfigHome() / "user-dirs.dirs");
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
