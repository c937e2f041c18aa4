#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>

namespace gmd {

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::mutex g_faultMutex;
std::function<int(const fs::path&)> g_fault;

int InjectedFault(const fs::path& path) {
    std::function<int(const fs::path&)> fault;
    {
        std::lock_guard lock(g_faultMutex);
        fault = g_fault;
    }
    return fault ? fault(path) : 0;
}

std::string TempPrefix(const fs::path& path) {
    std::string prefix = ".";  // built in steps: GCC 12 misreports "literal" + string&&
    prefix += path.filename().string();
    prefix += ".tmp";
    return prefix;
}

}  // namespace

void SetFileWriteFault(std::function<int(const fs::path&)> fault) {
    std::lock_guard lock(g_faultMutex);
    g_fault = std::move(fault);
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string& error) {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    static std::mutex seedMutex;
    static std::mt19937_64 random{std::random_device{}()};
    uint64_t suffix = 0;
    {
        std::lock_guard lock(seedMutex);
        suffix = random();
    }
    std::string tempName = TempPrefix(path);
    tempName += std::to_string(suffix % 1000000000);
    const fs::path temp = dir / tempName;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrnoText("cannot create", temp);
        return false;
    }
    const int fault = InjectedFault(path);
    if (fault != 0) {
        errno = fault;
    }
    bool ok = fault == 0 && WriteAll(fd, bytes);
    if (!ok) {
        error = ErrnoText("cannot write", temp);
    } else if (::fsync(fd) != 0) {
        error = ErrnoText("cannot flush", temp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = ErrnoText("cannot close", temp);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = ErrnoText("cannot replace", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool ReadWholeFile(const fs::path& path, std::string& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = ErrnoText("cannot open", path);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = ErrnoText("cannot read", path);
        return false;
    }
    bytes = std::move(content).str();
    return true;
}

struct FileLock::State {
    std::mutex mutex;
};

namespace {
std::shared_ptr<FileLock::State> StateFor(const fs::path& path) {
    static std::mutex tableMutex;
    static std::map<std::string, std::weak_ptr<FileLock::State>> table;
    std::error_code ec;
    fs::path key = fs::weakly_canonical(path, ec);
    if (ec) {
        key = fs::absolute(path, ec);
    }
    std::lock_guard lock(tableMutex);
    std::weak_ptr<FileLock::State>& slot = table[key.string()];
    std::shared_ptr<FileLock::State> state = slot.lock();
    if (!state) {
        state = std::make_shared<FileLock::State>();
        slot = state;
    }
    return state;
}
}  // namespace

namespace {

// The user's own folder for lock files, so they never clutter the folders of the files they
// guard (or stay behind there when a file is deleted). Empty when none is safe to use.
fs::path LockFolder() {
    static const fs::path folder = [] {
        fs::path base;
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
            base = fs::path(runtime) / "gaming-mouse-driver-locks";
        } else {
            base = fs::temp_directory_path() /
                   ("gaming-mouse-driver-locks-" + std::to_string(::getuid()));
        }
        ::mkdir(base.c_str(), 0700);
        // Only a real folder of ours: a shared /tmp could hold someone else's name.
        struct stat info {};
        if (::lstat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::getuid()) {
            return fs::path();
        }
        return base;
    }();
    return folder;
}

// Lock file of a path: named by a hash of its full name in the lock folder, else beside it.
fs::path LockPathFor(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(path, ec);
    if (ec) {
        full = fs::absolute(path, ec);
    }
    if (const fs::path folder = LockFolder(); !folder.empty()) {
        uint64_t hash = 1469598103934665603ull;  // FNV-1a: the same in every process
        for (const char c : full.string()) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        char name[32];
        std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(hash));
        return folder / name;
    }
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string lockName = ".";
    lockName += path.filename().string();
    lockName += ".lock";
    return dir / lockName;
}

// Younger temporaries stay even under the lock: a writer that could not take it (one of
// another session with another lock folder, say) may still be at work on one.
constexpr auto kStaleTemporaryAge = std::chrono::minutes(1);

// The temporaries of `path` that writers killed mid-write left behind. Only while the path's
// lock is held: every writer holds it for its whole write, so no temporary there is in use.
void RemoveStaleTemporaries(const fs::path& path) {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string prefix = TempPrefix(path);
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
            continue;
        }
        std::error_code fileError;
        if (it->symlink_status(fileError).type() != fs::file_type::regular) {
            continue;
        }
        const fs::file_time_type written = fs::last_write_time(it->path(), fileError);
        if (!fileError && now - written > kStaleTemporaryAge) {
            fs::remove(it->path(), fileError);
        }
    }
}

}  // namespace

FileLock::FileLock(const fs::path& path) : state_(StateFor(path)) {
    state_->mutex.lock();
    const fs::path lockPath = LockPathFor(path);
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        int locked = -1;
        while ((locked = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked == 0) {
            RemoveStaleTemporaries(path);
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    state_->mutex.unlock();
}

}  // namespace gmd
