#include "device/hidraw_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "device/report_descriptor.h"
#include "platform/text.h"

namespace gmd {

namespace {

constexpr size_t kMaxDescriptorSize = 4096;  // HID_MAX_DESCRIPTOR_SIZE
constexpr size_t kMaxUeventSize = 64 * 1024;
constexpr size_t kMaxReportSize = 16384;  // HID_MAX_BUFFER_SIZE: no hidraw report is longer
constexpr std::string_view kNodePrefix = "hidraw";

std::string ErrnoText(int err) {
    return std::generic_category().message(err);
}

std::string JoinPath(const std::string& dir, std::string_view name) {
    if (dir.empty()) {
        return std::string(name);
    }
    std::string path = dir;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "hidraw<N>": the only names the hidraw class folder holds for nodes.
bool ParseNodeName(std::string_view name, uint64_t& number) {
    if (!name.starts_with(kNodePrefix) || name.size() == kNodePrefix.size() ||
        name.size() > kNodePrefix.size() + 9) {
        return false;
    }
    const std::string_view digits = name.substr(kNodePrefix.size());
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return ec == std::errc() && end == digits.data() + digits.size();
}

// Reads a small sysfs attribute whole. Fails on a body longer than limit instead of cutting it.
bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                   std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + path + ": " + ErrnoText(errno);
        return false;
    }
    out.clear();
    std::array<uint8_t, 4096> chunk{};
    bool ok = true;
    while (true) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = "cannot read " + path + ": " + ErrnoText(errno);
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + n);
        if (out.size() > limit) {
            error = path + " is longer than " + std::to_string(limit) + " bytes";
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

std::string UeventPath(const HidrawRoots& roots, const std::string& name) {
    return JoinPath(JoinPath(roots.sysClassHidraw, name), "device/uevent");
}

std::string DescriptorPath(const HidrawRoots& roots, const std::string& name) {
    return JoinPath(JoinPath(roots.sysClassHidraw, name), "device/report_descriptor");
}

bool ReadNodeIds(const HidrawRoots& roots, const std::string& name, uint16_t& vendorId,
                 uint16_t& productId, std::string& error) {
    const std::string path = UeventPath(roots, name);
    std::vector<uint8_t> body;
    if (!ReadSmallFile(path, kMaxUeventSize, body, error)) {
        return false;
    }
    if (!ParseHidIdLine(std::string(body.begin(), body.end()), vendorId, productId)) {
        error = path + " has no valid HID_ID line";
        return false;
    }
    return true;
}

struct NodeData {
    HidAttributes attributes;
    std::vector<uint8_t> descriptor;
    ReportDescriptor parsed;
};

bool ReadNode(const HidrawRoots& roots, const std::string& name, NodeData& node,
              std::string& error) {
    if (!ReadNodeIds(roots, name, node.attributes.vendorId, node.attributes.productId, error)) {
        return false;
    }
    const std::string path = DescriptorPath(roots, name);
    if (!ReadSmallFile(path, kMaxDescriptorSize, node.descriptor, error)) {
        return false;
    }
    if (node.descriptor.empty()) {
        error = path + " is empty";
        return false;
    }
    std::string parseError;
    if (!ParseReportDescriptor(node.descriptor, node.parsed, parseError)) {
        error = path + ": " + parseError;
        return false;
    }
    return true;
}

// The hex digits after a case-blind "<marker>" field of the path's "#..." suffix, low 16 bits.
bool ParsePathMarker(std::string_view suffix, std::string_view marker, uint16_t& value) {
    while (true) {
        const size_t amp = suffix.find('&');
        const std::string_view field = suffix.substr(0, amp);
        const bool match = field.size() > marker.size() && StartsWithIgnoreCase(field, marker);
        if (match) {
            uint32_t number = 0;
            for (const char c : field.substr(marker.size())) {
                const int digit = HexDigit(c);
                if (digit < 0) {
                    return false;
                }
                number = (number << 4) | static_cast<uint32_t>(digit);
            }
            value = static_cast<uint16_t>(number & 0xFFFFu);
            return true;
        }
        if (amp == std::string_view::npos) {
            return false;
        }
        suffix.remove_prefix(amp + 1);
    }
}

// What a collection path names: a hidraw node under the dev root, its IDs and a collection.
struct PathRef {
    std::string name;
    std::string devNode;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    size_t collectionIndex = 0;
};

bool ResolvePath(const HidrawRoots& roots, const std::string& path, PathRef& ref,
                 std::string& error) {
    std::string node;
    if (!SplitCollectionPath(path, node, ref.collectionIndex)) {
        error = "'" + path + "' is not a HID collection path";
        return false;
    }
    const std::string_view suffix = std::string_view(path).substr(path.rfind('#') + 1);
    if (!ParsePathMarker(suffix, "vid_", ref.vendorId) ||
        !ParsePathMarker(suffix, "pid_", ref.productId)) {
        error = "'" + path + "' carries no vid_/pid_ markers";
        return false;
    }
    const size_t slash = node.rfind('/');
    ref.name = slash == std::string::npos ? node : node.substr(slash + 1);
    uint64_t number = 0;
    if (!ParseNodeName(ref.name, number)) {
        error = "'" + node + "' is not a hidraw node";
        return false;
    }
    ref.devNode = JoinPath(roots.dev, ref.name);
    if (node != ref.devNode) {
        error = "'" + node + "' is not in " + roots.dev;
        return false;
    }
    return true;
}

long RealRead(int fd, void* buffer, unsigned long size) {
    return ::read(fd, buffer, size);
}

std::atomic<HidrawReadFunction> g_read{&RealRead};

// Absolute deadline of one transfer; kHidInfinite never expires.
class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(uint32_t timeoutMs)
        : infinite_(timeoutMs == kHidInfinite),
          at_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

    bool Infinite() const { return infinite_; }
    Clock::time_point At() const { return at_; }
    bool Expired() const { return !infinite_ && Clock::now() >= at_; }

    // Rounded up, so a poll that times out has really reached the deadline.
    int PollTimeout() const {
        if (infinite_) {
            return -1;
        }
        const auto left = at_ - Clock::now();
        if (left <= Clock::duration::zero()) {
            return 0;
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        return static_cast<int>(std::min<int64_t>(ms, INT_MAX));
    }

  private:
    bool infinite_;
    Clock::time_point at_;
};

void CloseIfOpen(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

// State shared by a connection and its writer thread. The writer holds its own reference so a
// write stuck in the kernel can outlive the connection and still finish into memory it owns.
struct ConnectionState {
    ConnectionState() = default;
    ConnectionState(const ConnectionState&) = delete;
    ConnectionState& operator=(const ConnectionState&) = delete;
    ~ConnectionState() {
        CloseIfOpen(writerFd);
        CloseIfOpen(stopFd);
        CloseIfOpen(cancelFd);
    }

    // Caller holds mutex. Takes the pending cancel, if any (auto-reset).
    bool ConsumeCancel() {
        if (!cancelSignalled) {
            return false;
        }
        cancelSignalled = false;
        uint64_t count = 0;
        const ssize_t n = ::read(cancelFd, &count, sizeof count);
        (void)n;
        return true;
    }

    std::mutex mutex;
    std::condition_variable waiterCv;  // Write callers: report done, writer free, cancel
    std::condition_variable writerCv;  // writer thread: new report or stop

    // Cancel is one flag mirrored into an eventfd so that Read can poll it next to the device.
    bool cancelSignalled = false;
    int cancelFd = -1;

    bool stopping = false;
    int stopFd = -1;  // wakes a writer that waits for buffer space

    // The writer slot: taken by a Write until it has collected the result, or until the writer
    // finishes a report whose Write gave up.
    bool busy = false;
    bool hasWork = false;
    bool done = false;
    bool abandoned = false;
    bool lastOk = false;
    std::vector<uint8_t> pending;

    int writerFd = -1;  // a dup of the connection's descriptor, owned by the writer's side
    bool writerIsSocket = false;
};

// One report out through writerFd. Waits for room when the descriptor is non-blocking.
bool WriteReport(ConnectionState& state) {
    const uint8_t* data = state.pending.data();
    const size_t size = state.pending.size();
    while (true) {
        // Sockets (test peers) would raise SIGPIPE on a closed peer; hidraw never does.
        const ssize_t n = state.writerIsSocket ? ::send(state.writerFd, data, size, MSG_NOSIGNAL)
                                               : ::write(state.writerFd, data, size);
        if (n >= 0) {
            return static_cast<size_t>(n) == size;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        std::array<pollfd, 2> fds{{{state.writerFd, POLLOUT, 0}, {state.stopFd, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return false;
        }
    }
}

void WriterMain(std::shared_ptr<ConnectionState> state) {
    std::unique_lock lock(state->mutex);
    while (true) {
        state->writerCv.wait(lock, [&] { return state->stopping || state->hasWork; });
        if (state->stopping) {
            return;
        }
        state->hasWork = false;
        // Write() leaves pending alone while the slot is busy.
        lock.unlock();
        const bool ok = WriteReport(*state);
        lock.lock();
        state->done = true;
        state->lastOk = ok;
        if (state->abandoned) {
            state->busy = false;
        }
        state->waiterCv.notify_all();
    }
}

class FdHidConnection final : public HidConnection {
  public:
    FdHidConnection(int fd, HidReportFilter filter, std::shared_ptr<ConnectionState> state)
        : fd_(fd),
          filter_(std::move(filter)),
          state_(std::move(state)),
          writer_(WriterMain, state_) {}

    FdHidConnection(const FdHidConnection&) = delete;
    FdHidConnection& operator=(const FdHidConnection&) = delete;

    ~FdHidConnection() override {
        bool writerInKernel = false;
        {
            std::lock_guard lock(state_->mutex);
            state_->stopping = true;
            writerInKernel = state_->busy;
            state_->writerCv.notify_all();
            state_->waiterCv.notify_all();
        }
        const uint64_t one = 1;
        const ssize_t n = ::write(state_->stopFd, &one, sizeof one);
        (void)n;
        // A write stuck inside the driver cannot be interrupted: leave the writer to finish
        // and free the shared state itself.
        if (writerInKernel) {
            writer_.detach();
        } else {
            writer_.join();
        }
        ::close(fd_);
    }

    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) override {
        bytesRead = 0;
        if (buffer == nullptr && length > 0) {
            return 0;
        }
        const Deadline deadline(timeoutMs);
        std::vector<uint8_t> report(kMaxReportSize);
        while (true) {
            std::array<pollfd, 2> fds{{{fd_, POLLIN, 0}, {state_->cancelFd, POLLIN, 0}}};
            // Every way round the loop ends at the deadline check, whatever poll and read say:
            // a node that always polls readable but has nothing to read cannot spin for good.
            const int ready = ::poll(fds.data(), fds.size(), deadline.PollTimeout());
            if (ready < 0 && errno != EINTR) {
                return 0;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                std::lock_guard lock(state_->mutex);
                if (state_->ConsumeCancel()) {
                    return 0;
                }
            }
            if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
                const long n = g_read.load()(fd_, report.data(), report.size());
                if (n == 0) {
                    return 0;
                }
                if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    return 0;
                }
                if (n > 0 && Deliver(std::span(report.data(), static_cast<size_t>(n)), buffer,
                                     length, bytesRead)) {
                    return 1;
                }
            } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return 0;
            }
            if (deadline.Expired()) {
                return 0;
            }
        }
    }

    int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
              size_t& bytesWritten) override {
        bytesWritten = 0;
        if (buffer == nullptr || length == 0) {
            return 0;
        }
        const Deadline deadline(timeoutMs);
        ConnectionState& state = *state_;
        std::unique_lock lock(state.mutex);
        // A write that an earlier call gave up on may still be in the kernel.
        if (!Wait(lock, deadline, [&] { return !state.busy; })) {
            return 0;
        }
        // hidraw takes the report ID byte first even without report IDs and drops a 0 itself.
        state.pending.assign(buffer, buffer + length);
        state.busy = true;
        state.hasWork = true;
        state.done = false;
        state.abandoned = false;
        state.writerCv.notify_one();

        const bool finished = Wait(lock, deadline, [&] { return state.done; });
        if (!finished && !state.done) {
            state.abandoned = true;  // the writer frees the slot when the report is out
            return 0;
        }
        state.busy = false;
        state.waiterCv.notify_all();
        if (!finished || !state.lastOk) {
            return 0;
        }
        bytesWritten = length;
        return 1;
    }

    void Cancel() override {
        std::lock_guard lock(state_->mutex);
        if (!state_->cancelSignalled) {
            state_->cancelSignalled = true;
            const uint64_t one = 1;
            const ssize_t n = ::write(state_->cancelFd, &one, sizeof one);
            (void)n;
        }
        state_->waiterCv.notify_all();
    }

  private:
    // Waits for ready() under the lock. False on time-out or on a cancel, which it consumes.
    template <class Ready>
    bool Wait(std::unique_lock<std::mutex>& lock, const Deadline& deadline, Ready ready) {
        ConnectionState& state = *state_;
        const auto wake = [&] { return state.cancelSignalled || ready(); };
        if (deadline.Infinite()) {
            state.waiterCv.wait(lock, wake);
        } else {
            state.waiterCv.wait_until(lock, deadline.At(), wake);
        }
        if (state.ConsumeCancel()) {
            return false;
        }
        return ready();
    }

    // Shapes one kernel report as a Windows one (report ID first). False when the report
    // belongs to another collection of the node.
    bool Deliver(std::span<const uint8_t> report, uint8_t* buffer, size_t length,
                 size_t& bytesRead) const {
        if (!filter_.usesReportIds) {
            if (length == 0) {
                return true;
            }
            buffer[0] = 0;
            const size_t count = std::min(report.size(), length - 1);
            std::memcpy(buffer + 1, report.data(), count);
            bytesRead = count + 1;
            return true;
        }
        const auto& ids = filter_.inputReportIds;
        if (std::find(ids.begin(), ids.end(), report[0]) == ids.end()) {
            return false;
        }
        const size_t count = std::min(report.size(), length);
        if (count > 0) {
            std::memcpy(buffer, report.data(), count);
        }
        bytesRead = count;
        return true;
    }

    int fd_;
    HidReportFilter filter_;
    std::shared_ptr<ConnectionState> state_;
    std::thread writer_;
};

}  // namespace

void SetHidrawReadForTest(HidrawReadFunction read) {
    g_read.store(read != nullptr ? read : &RealRead);
}

bool ParseHidIdLine(const std::string& ueventText, uint16_t& vendorId, uint16_t& productId) {
    constexpr std::string_view kKey = "HID_ID=";
    std::string_view rest(ueventText);
    while (!rest.empty()) {
        const size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (!line.starts_with(kKey)) {
            continue;
        }
        line.remove_prefix(kKey.size());
        // bus:vendor:product, each up to 8 hex digits.
        std::array<uint32_t, 3> fields{};
        for (size_t i = 0; i < fields.size(); ++i) {
            const size_t colon = line.find(':');
            const bool last = i + 1 == fields.size();
            if (last != (colon == std::string_view::npos)) {
                return false;
            }
            const std::string_view digits = line.substr(0, colon);
            if (digits.empty() || digits.size() > 8) {
                return false;
            }
            for (const char c : digits) {
                const int digit = HexDigit(c);
                if (digit < 0) {
                    return false;
                }
                fields[i] = (fields[i] << 4) | static_cast<uint32_t>(digit);
            }
            line = last ? std::string_view() : line.substr(colon + 1);
        }
        vendorId = static_cast<uint16_t>(fields[1] & 0xFFFFu);
        productId = static_cast<uint16_t>(fields[2] & 0xFFFFu);
        return true;
    }
    return false;
}

std::unique_ptr<HidConnection> MakeFdHidConnection(int fd, HidReportFilter filter) {
    if (fd < 0) {
        return nullptr;
    }
    auto state = std::make_shared<ConnectionState>();
    state->cancelFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    state->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    state->writerFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    struct stat info {};
    if (state->cancelFd < 0 || state->stopFd < 0 || state->writerFd < 0 ||
        ::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    state->writerIsSocket = S_ISSOCK(info.st_mode);
    try {
        return std::make_unique<FdHidConnection>(fd, std::move(filter), std::move(state));
    } catch (const std::exception&) {
        // No thread could be started; nothing else owns fd yet.
        ::close(fd);
        return nullptr;
    }
}

HidrawBackend::HidrawBackend(HidrawRoots roots) : roots_(std::move(roots)) {}

namespace {

// The node names of the class folder in number order; false without the folder.
bool ListNodes(const HidrawRoots& roots, std::vector<std::pair<uint64_t, std::string>>& nodes) {
    nodes.clear();
    DIR* dir = ::opendir(roots.sysClassHidraw.c_str());
    if (dir == nullptr) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        uint64_t number = 0;
        if (ParseNodeName(entry->d_name, number)) {
            nodes.emplace_back(number, entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(nodes.begin(), nodes.end());
    return true;
}

}  // namespace

bool HidrawBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    std::vector<std::pair<uint64_t, std::string>> nodes;
    if (!ListNodes(roots_, nodes)) {
        return false;
    }
    for (const auto& [number, name] : nodes) {
        NodeData node;
        std::string error;
        // A node that vanished or does not describe itself properly is not offered.
        if (!ReadNode(roots_, name, node, error)) {
            continue;
        }
        const std::string devNode = JoinPath(roots_.dev, name);
        for (size_t i = 0; i < node.parsed.collections.size(); ++i) {
            paths.push_back(MakeCollectionPath(devNode, node.attributes.vendorId,
                                               node.attributes.productId, i));
        }
    }
    return true;
}

bool HidrawBackend::Describe(const std::string& path, HidNodeInfo& info, std::string& error) {
    PathRef ref;
    if (!ResolvePath(roots_, path, ref, error)) {
        return false;
    }
    NodeData node;
    if (!ReadNode(roots_, ref.name, node, error)) {
        return false;
    }
    if (node.attributes.vendorId != ref.vendorId || node.attributes.productId != ref.productId) {
        char ids[64];
        std::snprintf(ids, sizeof ids, "%04x:%04x, not %04x:%04x", node.attributes.vendorId,
                      node.attributes.productId, ref.vendorId, ref.productId);
        error = ref.name + " now belongs to device " + ids;
        return false;
    }
    const size_t count = node.parsed.collections.size();
    if (ref.collectionIndex >= count) {
        error = ref.name + " has " + std::to_string(count) + " top-level collection(s), no col_" +
                std::to_string(ref.collectionIndex);
        return false;
    }
    info.attributes = node.attributes;
    info.reportDescriptor = std::move(node.descriptor);
    info.collectionIndex = ref.collectionIndex;
    return true;
}

std::unique_ptr<HidConnection> HidrawBackend::Open(const std::string& path, const HidOpenMode& mode,
                                                   const HidReportFilter& filter,
                                                   std::string& error) {
    PathRef ref;
    if (!ResolvePath(roots_, path, ref, error)) {
        return nullptr;
    }
    int access = O_RDONLY;
    if (mode.write) {
        access = mode.read ? O_RDWR : O_WRONLY;
    }
    const int fd = ::open(ref.devNode.c_str(), access | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot open " + ref.devNode + ": " + ErrnoText(errno);
        return nullptr;
    }
    // hidraw has no share modes; an advisory lock keeps out other programs that lock too.
    if (mode.exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        error = "cannot lock " + ref.devNode + " for exclusive use: " + ErrnoText(err);
        return nullptr;
    }
    std::unique_ptr<HidConnection> connection = MakeFdHidConnection(fd, filter);
    if (!connection) {
        error = "cannot set up I/O on " + ref.devNode;
    }
    return connection;
}

std::vector<HidBlockedNode> HidrawBackend::BlockedNodes(const DeviceIdentity& wanted) {
    std::vector<HidBlockedNode> blocked;
    std::vector<std::pair<uint64_t, std::string>> nodes;
    if (!ListNodes(roots_, nodes)) {
        return blocked;
    }
    for (const auto& [number, name] : nodes) {
        NodeData node;
        std::string error;
        if (!ReadNode(roots_, name, node, error) || node.attributes.vendorId != wanted.vendorId ||
            node.attributes.productId != wanted.productId) {
            continue;
        }
        const auto& collections = node.parsed.collections;
        if (std::none_of(collections.begin(), collections.end(), [&](const HidCollection& c) {
                return c.usagePage == wanted.usagePage && c.usage == wanted.usage;
            })) {
            continue;
        }
        // Opened as the device link opens it, and closed at once: only the refusal matters.
        const std::string devNode = JoinPath(roots_.dev, name);
        const int fd = ::open(devNode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != ENOENT) {  // a node that went is not blocked
            blocked.push_back({devNode, errno});
        }
    }
    return blocked;
}

bool HidrawBackend::IsPathPresent(const std::string& path) {
    PathRef ref;
    std::string error;
    if (!ResolvePath(roots_, path, ref, error)) {
        return false;
    }
    struct stat node {};
    if (::stat(ref.devNode.c_str(), &node) != 0) {
        return false;
    }
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    return ReadNodeIds(roots_, ref.name, vendorId, productId, error) && vendorId == ref.vendorId &&
           productId == ref.productId;
}

}  // namespace gmd
