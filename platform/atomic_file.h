#pragma once
// Whole-file writes that leave either the old or the new file, never a torn one, and locks
// that serialise writers of one file across threads and processes.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gmd {

// Temporary file beside the target (".<name>.tmp<digits>"), written and flushed to disk, then
// renamed over it. A symbolic link is followed to the file it names, which keeps its mode; a new
// file is the user's alone (0600). Anything but a regular file at the target is refused.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string& error);

// The longest a temporary's suffix makes a file name: ".<name>" + ".tmp" + up to 9 digits.
inline constexpr size_t kTemporaryNameExtraBytes = 14;

// Larger files are refused by ReadWholeFile unless the caller allows more.
inline constexpr size_t kDefaultReadLimit = 8u << 20;

// Reads a whole regular file of at most maxBytes; false with an error naming the file and what
// failed when it is missing, not a regular file (a FIFO never blocks the reader), too large or
// unreadable.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string& error,
                   size_t maxBytes = kDefaultReadLimit);

// Creates a folder and its missing parents for the user alone (0700), whatever the umask.
bool CreatePrivateFolders(const std::filesystem::path& folder, std::string& error);

// Whether anything (a file, a folder, a dangling link) is at the path.
bool PathExists(const std::filesystem::path& path);

// For fuzzing: files kept in memory, by path. While set, ReadWholeFile, WriteFileAtomically,
// PathExists and CreatePrivateFolders use it instead of the file system, and FileLock takes
// no lock file.
void SetMemoryFilesForTest(std::map<std::string, std::string>* files);

// For tests: a file-system fault. While set, every write asks it about its target and, when it
// answers an errno value other than 0, fails as a write of the temporary with that error would.
void SetFileWriteFault(std::function<int(const std::filesystem::path&)> fault);

// The one lock file of a folder: every process locks the same file whatever its environment.
inline constexpr const char* kFolderLockName = ".gaming-mouse-driver.lock";

// Held while it lives: the lock of the path's folder, an in-process mutex plus an advisory lock
// on the folder's one hidden lock file, so two processes cannot interleave their updates of any
// file there. A thread that holds it may take it again (an operation that reads, chooses and
// writes several files holds it throughout). Taking it also removes the temporaries of writers
// of the path that were killed mid-write.
class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace gmd
