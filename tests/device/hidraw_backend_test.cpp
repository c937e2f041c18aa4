#include "device/hidraw_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace gmd {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// One vendor collection without report IDs: 64-byte input and output reports.
const Bytes kCommandDescriptor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x09, 0x02, 0x95, 0x40, 0x91, 0x02, 0xC0,
};

// Three top-level collections on one node, with report IDs 7 (vendor), 2 (consumer), 1 (mouse).
const Bytes kComboDescriptor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x07, 0x09, 0x01, 0x15, 0x00, 0x26,
    0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0,  //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x15,
    0x00, 0x26, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  //
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09,
    0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0xC0, 0xC0,
};

const std::string kMouseUevent =
    "DRIVER=hid-generic\nHID_ID=0003:00000C45:00007643\nHID_NAME=Gaming Mouse\n";

// A valid descriptor padded to size with one-byte global items (Usage Page, no data).
Bytes PaddedDescriptor(size_t size) {
    Bytes bytes = kCommandDescriptor;
    bytes.resize(size, 0x04);
    return bytes;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// A sysfs-like class folder (hidrawN/device/{uevent,report_descriptor}) and a dev folder.
class HidrawTree : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hidraw_test_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "class");
        fs::create_directories(root_ / "dev");
        roots_.sysClassHidraw = (root_ / "class").string();
        roots_.dev = (root_ / "dev").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    void AddNode(const std::string& name, const std::optional<std::string>& uevent,
                 const std::optional<Bytes>& descriptor) {
        const fs::path device = root_ / "class" / name / "device";
        fs::create_directories(device);
        if (uevent) {
            WriteFile(device / "uevent", *uevent);
        }
        if (descriptor) {
            WriteFile(device / "report_descriptor", *descriptor);
        }
        WriteFile(root_ / "dev" / name, std::string());
    }

    std::string Path(const std::string& name, const std::string& suffix) const {
        return (root_ / "dev" / name).string() + suffix;
    }

    fs::path root_;
    HidrawRoots roots_;
};

TEST_F(HidrawTree, EnumerateListsEveryCollectionInNodeOrder) {
    for (int i = 0; i <= 10; ++i) {
        const std::string name = "hidraw" + std::to_string(i);
        if (i == 3) {
            AddNode(name, "HID_ID=0003:00000C45:00006556\n", kComboDescriptor);
        } else if (i == 7) {
            AddNode(name, "HID_ID=0005:0001046D:0000B023", kCommandDescriptor);
        } else {
            AddNode(name, kMouseUevent, kCommandDescriptor);
        }
    }
    AddNode("hidraw11", std::nullopt, kCommandDescriptor);
    AddNode("hidraw12", "HID_ID=0003:0000XC45:00007643\n", kCommandDescriptor);
    AddNode("hidraw13", kMouseUevent, std::nullopt);
    AddNode("hidraw14", kMouseUevent, Bytes{0x06, 0x1C});  // item cut short
    AddNode("hidraw15", kMouseUevent, Bytes{});
    AddNode("hidraw16", kMouseUevent, PaddedDescriptor(4096));
    AddNode("hidraw17", kMouseUevent, PaddedDescriptor(4097));
    AddNode("hidraw-extra", kMouseUevent, kCommandDescriptor);

    HidrawBackend backend(roots_);
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));

    const std::string mouse = "#vid_0c45&pid_7643&col_0";
    const std::vector<std::string> expected = {
        Path("hidraw0", mouse),
        Path("hidraw1", mouse),
        Path("hidraw2", mouse),
        Path("hidraw3", "#vid_0c45&pid_6556&col_0"),
        Path("hidraw3", "#vid_0c45&pid_6556&col_1"),
        Path("hidraw3", "#vid_0c45&pid_6556&col_2"),
        Path("hidraw4", mouse),
        Path("hidraw5", mouse),
        Path("hidraw6", mouse),
        Path("hidraw7", "#vid_046d&pid_b023&col_0"),
        Path("hidraw8", mouse),
        Path("hidraw9", mouse),
        Path("hidraw10", mouse),
        Path("hidraw16", mouse),
    };
    EXPECT_EQ(paths, expected);
}

TEST_F(HidrawTree, EnumerateFailsOnlyWithoutTheClassFolder) {
    std::vector<std::string> paths{"stale"};
    EXPECT_TRUE(HidrawBackend(roots_).Enumerate(paths));
    EXPECT_TRUE(paths.empty());

    HidrawRoots missing = roots_;
    missing.sysClassHidraw = (root_ / "no-such-folder").string();
    EXPECT_FALSE(HidrawBackend(missing).Enumerate(paths));
}

TEST_F(HidrawTree, DescribeFillsTheNodeInfo) {
    AddNode("hidraw3", "HID_ID=0003:00000C45:00006556\n", kComboDescriptor);
    HidrawBackend backend(roots_);
    HidNodeInfo info;
    std::string error;
    ASSERT_TRUE(backend.Describe(Path("hidraw3", "#vid_0c45&pid_6556&col_2"), info, error))
        << error;
    EXPECT_EQ(info.attributes.vendorId, 0x0C45);
    EXPECT_EQ(info.attributes.productId, 0x6556);
    EXPECT_EQ(info.collectionIndex, 2u);
    EXPECT_EQ(info.reportDescriptor, kComboDescriptor);
}

TEST_F(HidrawTree, DescribeExplainsWhatIsWrong) {
    AddNode("hidraw0", kMouseUevent, kCommandDescriptor);
    AddNode("hidraw1", std::nullopt, kCommandDescriptor);
    AddNode("hidraw2", kMouseUevent, Bytes{0x06, 0x1C});
    AddNode("hidraw3", "HID_ID=0003:00000C45\n", kCommandDescriptor);
    const struct {
        std::string path;
        std::string expectedInError;
    } cases[] = {
        {Path("hidraw0", ""), "not a HID collection path"},
        {Path("hidraw0", "#col_0"), "vid_/pid_"},
        {Path("hidraw0", "#vid_0c45&pid_7643&col_1"), "no col_1"},
        {Path("hidraw0", "#vid_0c45&pid_6556&col_0"), "now belongs to device 0c45:7643"},
        {Path("hidraw1", "#vid_0c45&pid_7643&col_0"), "hidraw1/device/uevent"},
        {Path("hidraw2", "#vid_0c45&pid_7643&col_0"), "hidraw2/device/report_descriptor"},
        {Path("hidraw3", "#vid_0c45&pid_7643&col_0"), "no valid HID_ID"},
        {Path("hidraw9", "#vid_0c45&pid_7643&col_0"), "No such file"},
        {Path("passwd", "#vid_0c45&pid_7643&col_0"), "is not a hidraw node"},
        {(root_ / "elsewhere" / "hidraw0").string() + "#vid_0c45&pid_7643&col_0", "is not in"},
    };
    HidrawBackend backend(roots_);
    for (const auto& c : cases) {
        HidNodeInfo info;
        std::string error;
        EXPECT_FALSE(backend.Describe(c.path, info, error)) << c.path;
        EXPECT_NE(error.find(c.expectedInError), std::string::npos) << c.path << " gave: " << error;
    }
}

TEST_F(HidrawTree, IsPathPresentWantsTheNodeAndTheSameDevice) {
    AddNode("hidraw0", kMouseUevent, kCommandDescriptor);
    HidrawBackend backend(roots_);
    const std::string path = Path("hidraw0", "#vid_0c45&pid_7643&col_0");
    EXPECT_TRUE(backend.IsPathPresent(path));
    EXPECT_TRUE(backend.IsPathPresent(Path("hidraw0", "#VID_0C45&PID_7643&COL_0")));
    EXPECT_FALSE(backend.IsPathPresent(Path("hidraw0", "#vid_0c45&pid_6556&col_0")));
    EXPECT_FALSE(backend.IsPathPresent(" "));
    EXPECT_FALSE(backend.IsPathPresent(Path("hidraw0", "#col_0")));

    fs::remove(root_ / "dev" / "hidraw0");
    EXPECT_FALSE(backend.IsPathPresent(path));

    // The number was reused by another device.
    WriteFile(root_ / "dev" / "hidraw0", std::string());
    WriteFile(root_ / "class" / "hidraw0" / "device" / "uevent",
              std::string("HID_ID=0003:0000046D:0000C077\n"));
    EXPECT_FALSE(backend.IsPathPresent(path));
}

TEST_F(HidrawTree, OpenUsesTheDevNode) {
    AddNode("hidraw0", kMouseUevent, kCommandDescriptor);
    const fs::path node = root_ / "dev" / "hidraw0";
    fs::remove(node);
    ASSERT_EQ(::mkfifo(node.c_str(), 0600), 0);
    const int feeder = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(feeder, 0);

    HidrawBackend backend(roots_);
    const std::string path = Path("hidraw0", "#vid_0c45&pid_7643&col_0");
    const HidOpenMode readOnly{.read = true, .write = false, .overlapped = true, .exclusive = true};
    std::string error;
    auto connection = backend.Open(path, readOnly, HidReportFilter{}, error);
    ASSERT_NE(connection, nullptr) << error;

    const uint8_t report[] = {0x11, 0x22, 0x33};
    ASSERT_EQ(::write(feeder, report, sizeof report), 3);
    uint8_t buffer[8] = {};
    size_t bytesRead = 0;
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 2000, bytesRead), 1);
    EXPECT_EQ(Bytes(buffer, buffer + bytesRead), (Bytes{0x00, 0x11, 0x22, 0x33}));

    // The exclusive lock keeps a second exclusive open out until the first is closed.
    EXPECT_EQ(backend.Open(path, readOnly, HidReportFilter{}, error), nullptr);
    EXPECT_NE(error.find("exclusive"), std::string::npos) << error;
    connection.reset();
    EXPECT_NE(backend.Open(path, readOnly, HidReportFilter{}, error), nullptr) << error;
    ::close(feeder);

    fs::remove(node);
    EXPECT_EQ(backend.Open(path, readOnly, HidReportFilter{}, error), nullptr);
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST_F(HidrawTree, BlockedNodesNameTheInterfaceNodesThatCannotBeOpened) {
    const Bytes consumerOnly = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x19, 0x00,
                                0x2A, 0xFF, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x03,
                                0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};
    // A node that cannot be opened for reading and writing whoever asks: a folder.
    auto block = [&](const std::string& name) {
        fs::remove(root_ / "dev" / name);
        fs::create_directory(root_ / "dev" / name);
    };
    AddNode("hidraw0", kMouseUevent, kCommandDescriptor);  // opens
    AddNode("hidraw1", kMouseUevent, kComboDescriptor);    // the interface among others
    block("hidraw1");
    AddNode("hidraw2", "HID_ID=0003:00000C45:00006556\n", kCommandDescriptor);  // the keyboard
    block("hidraw2");
    AddNode("hidraw3", kMouseUevent, consumerOnly);  // another interface of the mouse
    block("hidraw3");
    AddNode("hidraw4", kMouseUevent, kCommandDescriptor);  // gone from /dev meanwhile
    fs::remove(root_ / "dev" / "hidraw4");
    std::vector<std::pair<std::string, int>> want = {{Path("hidraw1", ""), EISDIR}};
    if (::geteuid() != 0) {  // the permission bits bind everyone but root
        AddNode("hidraw5", kMouseUevent, kCommandDescriptor);
        fs::permissions(root_ / "dev" / "hidraw5", fs::perms::none);
        want.emplace_back(Path("hidraw5", ""), EACCES);
    }

    HidrawBackend backend(roots_);
    std::vector<std::pair<std::string, int>> got;
    for (const HidBlockedNode& node : backend.BlockedNodes(kMouseCommandInterface)) {
        got.emplace_back(node.node, node.error);
    }
    EXPECT_EQ(got, want);
    EXPECT_TRUE(backend.BlockedNodes(kMousepadCommandInterface).empty());
}

TEST(ParseHidIdLine, ReadsVendorAndProductFromTheLowBits) {
    const struct {
        std::string text;
        bool ok;
        uint16_t vendor;
        uint16_t product;
    } cases[] = {
        {kMouseUevent, true, 0x0C45, 0x7643},
        {"HID_ID=0005:0001046d:FFFFb023", true, 0x046D, 0xB023},
        {"HID_ID=3:c45:7643\n", true, 0x0C45, 0x7643},
        {"HID_NAME=x\nHID_ID=0003:00000C45:00007643\nHID_ID=0003:00000001:00000002\n", true, 0x0C45,
         0x7643},
        {"", false, 0, 0},
        {"DRIVER=hid-generic\nHID_NAME=no id\n", false, 0, 0},
        {"XHID_ID=0003:00000C45:00007643\n", false, 0, 0},
        {"HID_ID=0003:0000ZC45:00007643\n", false, 0, 0},
        {"HID_ID=0003:00000C45\n", false, 0, 0},
        {"HID_ID=0003:00000C45:00007643:1\n", false, 0, 0},
        {"HID_ID=0003:00000C45:00007643 \n", false, 0, 0},
        {"HID_ID=0003::00007643\n", false, 0, 0},
        {"HID_ID=0003:000000C45:00007643\n", false, 0, 0},
    };
    for (const auto& c : cases) {
        uint16_t vendor = 0;
        uint16_t product = 0;
        EXPECT_EQ(ParseHidIdLine(c.text, vendor, product), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(vendor, c.vendor) << c.text;
            EXPECT_EQ(product, c.product) << c.text;
        }
    }
}

TEST(CollectionPath, RoundTripsAndRejectsOtherPaths) {
    EXPECT_EQ(MakeCollectionPath("/dev/hidraw3", 0x0C45, 0x7643, 1),
              "/dev/hidraw3#vid_0c45&pid_7643&col_1");
    for (const size_t index : {size_t{0}, size_t{12}, size_t{4096}}) {
        const std::string path = MakeCollectionPath("/x#y/hidraw10", 0xABCD, 0x0001, index);
        std::string node;
        size_t parsed = 99;
        ASSERT_TRUE(SplitCollectionPath(path, node, parsed)) << path;
        EXPECT_EQ(node, "/x#y/hidraw10");
        EXPECT_EQ(parsed, index);
    }
    std::string node;
    size_t index = 0;
    EXPECT_TRUE(SplitCollectionPath("/dev/hidraw0#VID_0C45&PID_7643&COL_2", node, index));
    EXPECT_EQ(index, 2u);
    for (const char* bad : {"", " ", "/dev/hidraw0", "#col_1", "/dev/hidraw0#vid_0c45&pid_7643",
                            "/dev/hidraw0#col_", "/dev/hidraw0#col_1x", "/dev/hidraw0#col_-1",
                            "/dev/hidraw0#col_99999999999999999999999"}) {
        EXPECT_FALSE(SplitCollectionPath(bad, node, index)) << bad;
    }
}

// A socketpair stands in for a hidraw node: message boundaries are report boundaries.
struct Pair {
    Pair() {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        host = fds[0];
        peer = fds[1];
    }
    ~Pair() {
        for (const int fd : {host, peer}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;

    // Hands the host end to a connection.
    std::unique_ptr<HidConnection> Connect(HidReportFilter filter) {
        auto connection = MakeFdHidConnection(host, std::move(filter));
        host = -1;
        return connection;
    }

    void Send(const Bytes& report) const {
        ASSERT_EQ(::send(peer, report.data(), report.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(report.size()));
    }

    // The next report from the host, or nothing after the time-out or at end of stream.
    std::optional<Bytes> Receive(int timeoutMs = 5000) const {
        pollfd fd{peer, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) != 1) {
            return std::nullopt;
        }
        Bytes report(256);
        const ssize_t n = ::recv(peer, report.data(), report.size(), MSG_DONTWAIT);
        if (n <= 0) {
            return std::nullopt;
        }
        report.resize(static_cast<size_t>(n));
        return report;
    }

    bool AtEndOfStream(int timeoutMs = 5000) const {
        pollfd fd{peer, POLLIN, 0};
        uint8_t byte = 0;
        return ::poll(&fd, 1, timeoutMs) == 1 && ::recv(peer, &byte, 1, MSG_DONTWAIT) == 0;
    }

    int host = -1;
    int peer = -1;
};

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

HidReportFilter NoIds() {
    return HidReportFilter{.usesReportIds = false, .inputReportIds = {0}};
}

TEST(FdHidConnection, ReadShapesReportsAndKeepsItsCollectionOnly) {
    const struct {
        const char* name;
        HidReportFilter filter;
        std::vector<Bytes> sent;
        size_t bufferLength;
        std::optional<Bytes> expected;  // nothing: the read times out
    } cases[] = {
        {"no IDs: a zero ID is put in front", NoIds(), {{1, 2, 3}}, 64, Bytes{0, 1, 2, 3}},
        {"no IDs: cut to the buffer", NoIds(), {{1, 2, 3}}, 2, Bytes{0, 1}},
        {"IDs: reports of other collections are dropped",
         {true, {2}},
         {{7, 1}, {1, 9}, {2, 5, 6}},
         64,
         Bytes{2, 5, 6}},
        {"IDs: any of the collection's IDs",
         {true, {2, 7}},
         {{5, 1}, {7, 1, 2}},
         64,
         Bytes{7, 1, 2}},
        {"IDs: cut to the buffer", {true, {7}}, {{7, 1, 2, 3}}, 3, Bytes{7, 1, 2}},
        {"IDs: only foreign reports until the time-out",
         {true, {2}},
         {{7, 1}, {1, 1}, {7, 2}},
         64,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pair pair;
        auto connection = pair.Connect(c.filter);
        ASSERT_NE(connection, nullptr);
        for (const Bytes& report : c.sent) {
            pair.Send(report);
        }
        Bytes buffer(c.bufferLength, 0xEE);
        size_t bytesRead = 99;
        const int result = connection->Read(buffer.data(), buffer.size(), 300, bytesRead);
        if (c.expected) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(bytesRead)),
                      *c.expected);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(bytesRead, 0u);
        }
    }
}

TEST(FdHidConnection, ReadTimesOutOnASilentDevice) {
    Pair pair;
    auto connection = pair.Connect(NoIds());
    uint8_t buffer[64];
    size_t bytesRead = 99;
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 300, bytesRead), 0);
    const int64_t elapsed = MsSince(start);
    EXPECT_EQ(bytesRead, 0u);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000);
}

TEST(FdHidConnection, CancelEndsAWaitingReadAtOnce) {
    Pair pair;
    auto connection = pair.Connect(NoIds());
    auto reader = std::async(std::launch::async, [&] {
        uint8_t buffer[64];
        size_t bytesRead = 99;
        const int result = connection->Read(buffer, sizeof buffer, kHidInfinite, bytesRead);
        return result == 0 && bytesRead == 0;
    });
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    connection->Cancel();
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_TRUE(reader.get());

    // Cancels while nothing waits collapse into one, which ends the next transfer only.
    connection->Cancel();
    connection->Cancel();
    uint8_t buffer[64];
    size_t bytesRead = 0;
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, kHidInfinite, bytesRead), 0);
    pair.Send({4, 5});
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, 2000, bytesRead), 1);
    EXPECT_EQ(bytesRead, 3u);
}

TEST(FdHidConnection, OneCancelReleasesOneWaitingTransfer) {
    Pair pair;
    auto connection = pair.Connect(NoIds());
    std::atomic<int> finished{0};
    auto read = [&] {
        uint8_t buffer[64];
        size_t bytesRead = 0;
        connection->Read(buffer, sizeof buffer, kHidInfinite, bytesRead);
        ++finished;
    };
    std::thread first(read);
    std::thread second(read);
    std::this_thread::sleep_for(100ms);
    connection->Cancel();
    const auto start = Clock::now();
    while (finished < 1 && MsSince(start) < 5000) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(finished, 1);
    connection->Cancel();
    first.join();
    second.join();
    EXPECT_EQ(finished, 2);
}

// hidraw takes written reports with the ID byte first, 0 without report IDs, like Windows.
TEST(FdHidConnection, WriteHandsTheWholeReportToTheKernel) {
    for (const HidReportFilter& filter : {NoIds(), HidReportFilter{true, {7}}}) {
        Pair pair;
        auto connection = pair.Connect(filter);
        const Bytes report = {filter.usesReportIds ? uint8_t{7} : uint8_t{0}, 0x00, 0xA2};
        size_t bytesWritten = 0;
        EXPECT_EQ(connection->Write(report.data(), report.size(), 1000, bytesWritten), 1);
        EXPECT_EQ(bytesWritten, report.size());
        EXPECT_EQ(pair.Receive(), report);
    }
}

TEST(FdHidConnection, ReadAndWriteFromTwoThreads) {
    Pair pair;
    auto connection = pair.Connect({true, {0x21}});
    constexpr int kReports = 50;
    std::thread device([&] {
        for (int i = 0; i < kReports; ++i) {
            const std::optional<Bytes> command = pair.Receive();
            ASSERT_TRUE(command.has_value());
            pair.Send({0x21, (*command)[1]});
        }
    });
    auto reader = std::async(std::launch::async, [&] {
        std::vector<uint8_t> seen;
        for (int i = 0; i < kReports; ++i) {
            uint8_t buffer[8];
            size_t bytesRead = 0;
            if (connection->Read(buffer, sizeof buffer, 5000, bytesRead) != 1) {
                break;
            }
            seen.push_back(buffer[1]);
        }
        return seen;
    });
    std::vector<uint8_t> expected;
    for (int i = 0; i < kReports; ++i) {
        const uint8_t command[] = {0x20, static_cast<uint8_t>(i)};
        size_t bytesWritten = 0;
        EXPECT_EQ(connection->Write(command, sizeof command, 5000, bytesWritten), 1);
        expected.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(reader.get(), expected);
    device.join();
}

TEST(FdHidConnection, PeerGoneEndsTransfers) {
    Pair pair;
    auto connection = pair.Connect(NoIds());
    pair.Send({1, 2});
    ::close(pair.peer);
    pair.peer = -1;

    uint8_t buffer[8];
    size_t bytesRead = 0;
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, kHidInfinite, bytesRead), 1);
    EXPECT_EQ(bytesRead, 3u);
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, kHidInfinite, bytesRead), 0);
    EXPECT_LT(MsSince(start), 5000);
    const uint8_t report[] = {0, 1};
    size_t bytesWritten = 99;
    EXPECT_EQ(connection->Write(report, sizeof report, 1000, bytesWritten), 0);
    EXPECT_EQ(bytesWritten, 0u);
}

// A device that takes no more reports: the host end's send buffer is full and nobody reads.
// A blocking descriptor blocks inside the kernel write like hidraw does; a non-blocking one
// makes the writer wait for room.
class StuckWrite : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        const int small = 1024;
        ASSERT_EQ(::setsockopt(pair_.host, SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
        const Bytes filler(64, 0xF0);
        while (fillers_ < 10000 &&
               ::send(pair_.host, filler.data(), filler.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
            ++fillers_;
        }
        ASSERT_GT(fillers_, 0);
        ASSERT_LT(fillers_, 10000);
        if (!GetParam()) {
            ASSERT_EQ(::fcntl(pair_.host, F_SETFL, ::fcntl(pair_.host, F_GETFL) | O_NONBLOCK), 0);
        }
        connection_ = pair_.Connect(NoIds());
        ASSERT_NE(connection_, nullptr);
    }

    void DrainFillers() {
        for (int i = 0; i < fillers_; ++i) {
            ASSERT_EQ(pair_.Receive(), Bytes(64, 0xF0)) << "filler " << i;
        }
    }

    static Bytes Report(uint8_t fill) {
        Bytes report(65, fill);
        report[0] = 0;
        return report;
    }

    Pair pair_;
    int fillers_ = 0;
    std::unique_ptr<HidConnection> connection_;
};

TEST_P(StuckWrite, TimesOutAndTheLateReportStillArrivesWhole) {
    const Bytes late = Report(0xA5);
    size_t bytesWritten = 99;
    auto start = Clock::now();
    EXPECT_EQ(connection_->Write(late.data(), late.size(), 300, bytesWritten), 0);
    int64_t elapsed = MsSince(start);
    EXPECT_EQ(bytesWritten, 0u);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000);

    // The next write waits for the writer, which is still busy with the late report.
    const Bytes dropped = Report(0xD0);
    start = Clock::now();
    EXPECT_EQ(connection_->Write(dropped.data(), dropped.size(), 200, bytesWritten), 0);
    EXPECT_GE(MsSince(start), 200);
    auto waiting = std::async(std::launch::async, [&] {
        size_t written = 99;
        return connection_->Write(dropped.data(), dropped.size(), kHidInfinite, written);
    });
    std::this_thread::sleep_for(100ms);
    connection_->Cancel();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 0);

    DrainFillers();
    EXPECT_EQ(pair_.Receive(), late);

    const Bytes next = Report(0x5A);
    EXPECT_EQ(connection_->Write(next.data(), next.size(), 5000, bytesWritten), 1);
    EXPECT_EQ(bytesWritten, next.size());
    EXPECT_EQ(pair_.Receive(), next);
}

TEST_P(StuckWrite, DestructionDoesNotWaitForTheDevice) {
    const Bytes late = Report(0xA5);
    size_t bytesWritten = 0;
    EXPECT_EQ(connection_->Write(late.data(), late.size(), 100, bytesWritten), 0);
    auto destroyed = std::async(std::launch::async, [&] { connection_.reset(); });
    EXPECT_EQ(destroyed.wait_for(2s), std::future_status::ready)
        << "the destructor waits for the device";

    DrainFillers();  // also frees a destructor that does wait, so a fault fails instead of hanging
    destroyed.wait();
    if (GetParam()) {
        // Already inside the kernel: it completes from memory the writer keeps alive.
        EXPECT_EQ(pair_.Receive(), late);
    }
    // Every descriptor of the host end is closed in the end.
    EXPECT_TRUE(pair_.AtEndOfStream());
}

INSTANTIATE_TEST_SUITE_P(Descriptor, StuckWrite, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Blocking" : "NonBlocking";
                         });

}  // namespace

// A node whose poll always says readable: every Read ends at its time-out, whatever read()
// answers (reports of another collection, or EAGAIN as a racing reader would leave it).
TEST(HidrawReadTimeout, EndsAtTheDeadlineWhenPollIsAlwaysReadable) {
    struct Case {
        const char* name;
        HidrawReadFunction read;  // nullptr: the real read of /dev/zero
    };
    const Case cases[] = {
        {"foreign reports", nullptr},
        {"EAGAIN after readable poll",
         [](int, void*, unsigned long) -> long {
             errno = EAGAIN;
             return -1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int fd = ::open("/dev/zero", O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        SetHidrawReadForTest(c.read);
        // Zeros are report ID 0, not one of this collection's.
        std::shared_ptr<HidConnection> connection(
            MakeFdHidConnection(fd, HidReportFilter{.usesReportIds = true, .inputReportIds = {4}}));
        for (const uint32_t timeoutMs : {0u, 100u}) {
            std::promise<int> done;
            std::future<int> result = done.get_future();
            const auto start = std::chrono::steady_clock::now();
            // Detached: a Read that never ends fails the test instead of hanging it.
            std::thread([connection, timeoutMs, &done] {
                uint8_t buffer[64];
                size_t bytesRead = 0;
                done.set_value(connection->Read(buffer, sizeof buffer, timeoutMs, bytesRead));
            }).detach();
            ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready)
                << "Read(" << timeoutMs << " ms) did not end";
            EXPECT_EQ(result.get(), 0);
            EXPECT_GE(std::chrono::steady_clock::now() - start,
                      std::chrono::milliseconds(timeoutMs));
        }
        SetHidrawReadForTest(nullptr);
    }
}

}  // namespace gmd
