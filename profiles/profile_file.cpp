#include "profiles/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>
#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/debug_output.h"

namespace gmd::profiles {

namespace {

// Reads until the buffer is full or the file ends.
size_t ReadUpTo(int fd, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

int ReadProfileFile(const std::filesystem::path& path, std::span<uint8_t> buffer) {
    // O_NONBLOCK keeps a FIFO under a profile's name from hanging the reader; anything but a
    // regular file counts as missing.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        return kProfileMissing;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return kProfileMissing;
    }
    // Only as much as the header and the buffer take: a huge file costs no more than a valid one.
    std::vector<uint8_t> bytes(kProfileHeaderSize + buffer.size());
    bytes.resize(ReadUpTo(fd.get(), bytes.data(), bytes.size()));
    return ParseProfileBytes(bytes, buffer);
}

int ParseProfileBytes(std::span<const uint8_t> bytes, std::span<uint8_t> buffer) {
    if (bytes.size() < 2 || (bytes[0] | bytes[1] << 8) != kProfileMagic) {
        return kProfileNotAProfile;
    }
    if (bytes.size() > kProfileHeaderSize) {
        const size_t count = std::min(buffer.size(), bytes.size() - kProfileHeaderSize);
        std::copy_n(bytes.begin() + kProfileHeaderSize, count, buffer.begin());
    }
    return kProfileRead;
}

std::string ProfileFileBytes(std::span<const uint8_t> blob, DeviceKind device) {
    std::string bytes(kProfileHeaderSize, '\0');
    const uint16_t code = FileDeviceCode(device);
    bytes[0] = static_cast<char>(kProfileMagic & 0xFF);
    bytes[1] = static_cast<char>(kProfileMagic >> 8);
    bytes[4] = static_cast<char>(code & 0xFF);
    bytes[5] = static_cast<char>(code >> 8);
    bytes.append(reinterpret_cast<const char*>(blob.data()), blob.size());
    return bytes;
}

bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> blob,
                      DeviceKind device, std::string* errorOut) {
    const std::string bytes = ProfileFileBytes(blob, device);
    std::string error;
    bool written = false;
    {
        const FileLock lock(path);
        written = WriteFileAtomically(path, bytes, error);
    }
    if (!written) {
        DebugTrace("文件打开失败");
        DebugTrace(error);
        if (errorOut != nullptr) {
            *errorOut = error;
        }
    }
    return written;
}

}  // namespace gmd::profiles
