#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>

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

std::atomic<std::map<std::string, std::string>*> g_memoryFiles{nullptr};

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

namespace {

// The file a write lands in: symbolic links followed (also one that names a file still to be
// made), so the link stays and its target gets the bytes.
fs::path RealTarget(const fs::path& path) {
    fs::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) {
            return target;
        }
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            return target;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

}  // namespace

void SetMemoryFilesForTest(std::map<std::string, std::string>* files) {
    g_memoryFiles.store(files);
}

bool PathExists(const fs::path& path) {
    if (auto* files = g_memoryFiles.load()) {
        return files->count(path.string()) != 0;
    }
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool WriteFileAtomically(const fs::path& requested, std::string_view bytes, std::string& error) {
    if (auto* files = g_memoryFiles.load()) {
        (*files)[requested.string()] = std::string(bytes);
        return true;
    }
    const fs::path path = RealTarget(requested);
    // The existing file's mode stays; anything but a regular file is never replaced.
    mode_t mode = 0600;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            error = "cannot write " + path.string() + ": not a regular file";
            return false;
        }
        mode = existing.st_mode & 07777;
    }
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
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = ErrnoText("cannot write " + path.string() + ": cannot create", temp);
        return false;
    }
    const int fault = InjectedFault(path);
    if (fault != 0) {
        errno = fault;
    }
    bool ok = fault == 0 && WriteAll(fd, bytes);
    if (!ok) {
        error = ErrnoText("cannot write " + path.string() + " through", temp);
    } else if (::fchmod(fd, mode) != 0) {
        error = ErrnoText("cannot set the mode of", temp);
        ok = false;
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

bool ReadWholeFile(const fs::path& path, std::string& bytes, std::string& error, size_t maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = ErrnoText("cannot open", path);
        return false;
    }
    struct stat info {};
    bool ok = true;
    if (::fstat(fd, &info) != 0) {
        error = ErrnoText("cannot read", path);
        ok = false;
    } else if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + path.string() + ": not a regular file";
        ok = false;
    } else if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        error = "cannot read " + path.string() + ": " + std::to_string(info.st_size) +
                " bytes, more than the " + std::to_string(maxBytes) + " such a file can have";
        ok = false;
    }
    std::string content;
    if (ok) {
        content.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        // A file that grows meanwhile is read up to the limit and refused past it.
        while (ok) {
            if (done == content.size()) {
                if (content.size() > maxBytes) {
                    error = "cannot read " + path.string() + ": more than " +
                            std::to_string(maxBytes) + " bytes";
                    ok = false;
                    break;
                }
                content.resize(std::min(maxBytes + 1, content.size() + 4096));
            }
            const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                error = ErrnoText("cannot read", path);
                ok = false;
            } else if (n == 0) {
                content.resize(done);
                break;
            } else {
                done += static_cast<size_t>(n);
            }
        }
    }
    ::close(fd);
    if (ok) {
        bytes = std::move(content);
    }
    return ok;
}

bool CreatePrivateFolders(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (folder.empty() || g_memoryFiles.load() != nullptr || fs::is_directory(folder, ec)) {
        return true;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !CreatePrivateFolders(folder.parent_path(), error)) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = ErrnoText("cannot create the folder", folder);
        return false;
    }
    return true;
}

// One per lock file in this process: the thread that holds it and how often, and the flock.
struct FileLock::State {
    std::mutex mutex;
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;
    int fd = -1;
    fs::path lockPath;
};

namespace {

fs::path FolderOf(const fs::path& path) {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    fs::path full = fs::weakly_canonical(dir, ec);
    if (ec) {
        full = fs::absolute(dir, ec);
    }
    return full;
}

std::shared_ptr<FileLock::State> StateFor(const fs::path& lockPath) {
    static std::mutex tableMutex;
    static std::map<std::string, std::weak_ptr<FileLock::State>> table;
    std::lock_guard lock(tableMutex);
    std::weak_ptr<FileLock::State>& slot = table[lockPath.string()];
    std::shared_ptr<FileLock::State> state = slot.lock();
    if (!state) {
        state = std::make_shared<FileLock::State>();
        state->lockPath = lockPath;
        slot = state;
    }
    return state;
}

}  // namespace

namespace {

// Younger temporaries stay even under the lock: a writer that could not take it (one in a
// folder where the lock file cannot be made, say) may still be at work on one.
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

FileLock::FileLock(const fs::path& path) : state_(StateFor(FolderOf(path) / kFolderLockName)) {
    std::unique_lock lock(state_->mutex);
    if (state_->depth > 0 && state_->owner == std::this_thread::get_id()) {
        ++state_->depth;
        return;
    }
    state_->released.wait(lock, [this] { return state_->depth == 0; });
    state_->owner = std::this_thread::get_id();
    state_->depth = 1;
    if (g_memoryFiles.load() != nullptr) {
        return;
    }
    // A folder that cannot hold the lock file (read-only, say) is not written either.
    state_->fd = ::open(state_->lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (state_->fd >= 0) {
        int locked = -1;
        while ((locked = ::flock(state_->fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked == 0) {
            RemoveStaleTemporaries(path);
        }
    }
}

FileLock::~FileLock() {
    std::lock_guard lock(state_->mutex);
    if (--state_->depth > 0) {
        return;
    }
    if (state_->fd >= 0) {
        ::flock(state_->fd, LOCK_UN);
        ::close(state_->fd);
        state_->fd = -1;
    }
    state_->owner = std::thread::id();
    state_->released.notify_one();
}

}  // namespace gmd
