#pragma once
// Whole-file writes that leave either the old or the new file, never a torn one, and locks
// that serialise writers of one file across threads and processes.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gmd {

// Temporary file beside the target (".<name>.tmp<digits>"), written and flushed to disk, then
// renamed over it.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string& error);
// Reads a whole file; false with an error when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string& error);

// For tests: a file-system fault. While set, every write asks it about its target and, when it
// answers an errno value other than 0, fails as a write of the temporary with that error would.
void SetFileWriteFault(std::function<int(const std::filesystem::path&)> fault);

// Held while it lives: an in-process mutex for the path plus an advisory lock on a hidden
// lock file beside it (".<name>.lock"), so two processes cannot interleave their updates.
// Taking it also removes the temporaries of writers of the path that were killed mid-write.
class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    struct State;

  private:
    std::shared_ptr<State> state_;
    int fd_ = -1;
};

}  // namespace gmd
