#include "device/virtual_hid_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace gmd {
namespace {

using namespace std::chrono_literals;
using Clock = VirtualHidBus::Clock;

// Two vendor collections with report IDs 1 and 2, three data bytes each way.
const std::vector<uint8_t> kTwoCollections = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x03, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,  //
    0x06, 0x00, 0xFF, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x03, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};
// One collection, no report IDs.
const std::vector<uint8_t> kOneCollection = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
    0x08, 0x95, 0x02, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

class RecordingEndpoint : public VirtualHidEndpoint {
  public:
    bool OnHostWrite(std::span<const uint8_t> report) override {
        std::lock_guard lock(mutex);
        written.emplace_back(report.begin(), report.end());
        return accept;
    }
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> written;
    bool accept = true;
};

// Answers every write by pushing it back as input, like firmware replying on the same node.
class EchoEndpoint : public VirtualHidEndpoint {
  public:
    explicit EchoEndpoint(VirtualHidBus& bus) : bus_(bus) {}
    void SetNode(VirtualHidBus::NodeId node) { node_.store(node); }
    bool OnHostWrite(std::span<const uint8_t> report) override {
        bus_.PushInput(node_.load(), report);
        return true;
    }

  private:
    VirtualHidBus& bus_;
    std::atomic<VirtualHidBus::NodeId> node_{0};
};

constexpr HidOpenMode kReadWrite{true, true, true, false};

class VirtualHidBusTest : public ::testing::Test {
  protected:
    VirtualHidBusTest() : backend_(bus_.MakeBackend()) {}

    std::unique_ptr<HidConnection> OpenPath(const std::string& path, HidReportFilter filter = {}) {
        std::string error;
        auto connection = backend_->Open(path, kReadWrite, filter, error);
        EXPECT_TRUE(connection) << error;
        return connection;
    }

    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        EXPECT_TRUE(backend_->Enumerate(paths));
        return paths;
    }

    // Plugs a one-collection node and opens it.
    std::unique_ptr<HidConnection> PlugAndOpen(VirtualHidBus::NodeId& node) {
        node = bus_.Plug("dev", {0x1234, 0x5678, 1}, kOneCollection, endpoint_);
        return OpenPath(
            MakeCollectionPath("virtual/dev." + std::to_string(node), 0x1234, 0x5678, 0));
    }

    static int ReadOne(HidConnection& connection, uint32_t timeoutMs,
                       std::vector<uint8_t>& report) {
        report.assign(16, 0);
        size_t got = 0;
        const int result = connection.Read(report.data(), report.size(), timeoutMs, got);
        report.resize(got);
        return result;
    }

    VirtualHidBus bus_;
    std::unique_ptr<HidBackend> backend_;
    std::shared_ptr<RecordingEndpoint> endpoint_ = std::make_shared<RecordingEndpoint>();
};

TEST_F(VirtualHidBusTest, EnumeratesEveryCollectionInPlugOrderAndForgetsUnplugged) {
    const auto a = bus_.Plug("pad", {0x0C45, 0x5004, 0x0105}, kTwoCollections, endpoint_);
    const auto b = bus_.Plug("pad", {0x0C45, 0x7643, 0x0200}, kOneCollection, endpoint_);
    ASSERT_NE(a, b);
    const std::string nodeA = "virtual/pad." + std::to_string(a);
    const std::string nodeB = "virtual/pad." + std::to_string(b);
    const std::vector<std::string> expected = {
        MakeCollectionPath(nodeA, 0x0C45, 0x5004, 0),
        MakeCollectionPath(nodeA, 0x0C45, 0x5004, 1),
        MakeCollectionPath(nodeB, 0x0C45, 0x7643, 0),
    };
    EXPECT_EQ(Paths(), expected);

    HidNodeInfo info;
    std::string error;
    ASSERT_TRUE(backend_->Describe(expected[1], info, error)) << error;
    EXPECT_EQ(info.attributes.productId, 0x5004);
    EXPECT_EQ(info.attributes.versionNumber, 0x0105);
    EXPECT_EQ(info.reportDescriptor, kTwoCollections);
    EXPECT_EQ(info.collectionIndex, 1u);
    EXPECT_TRUE(backend_->IsPathPresent(expected[0]));

    bus_.Unplug(a);
    EXPECT_EQ(Paths(), std::vector<std::string>{expected[2]});
    EXPECT_FALSE(backend_->IsPathPresent(expected[0]));
    EXPECT_FALSE(backend_->Describe(expected[0], info, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(backend_->Open(expected[0], kReadWrite, {}, error), nullptr);

    // Paths that name no collection of a present node.
    for (const std::string& bad :
         {MakeCollectionPath(nodeB, 0x0C45, 0x7643, 1),
          MakeCollectionPath(nodeB, 0x0C45, 0x1111, 0), nodeB, std::string(" ")}) {
        EXPECT_FALSE(backend_->IsPathPresent(bad)) << bad;
        EXPECT_FALSE(backend_->Describe(bad, info, error)) << bad;
    }
}

TEST_F(VirtualHidBusTest, ReadSeesOnlyReportsQueuedAfterOpenAndTruncatesToBuffer) {
    VirtualHidBus::NodeId node = 0;
    bus_.Plug("dev", {1, 2, 3}, kOneCollection, endpoint_);  // another node must not interfere
    node = bus_.Plug("dev", {0x1234, 0x5678, 1}, kOneCollection, endpoint_);
    const std::vector<uint8_t> early = {0, 9, 9};
    bus_.PushInput(node, early);
    auto connection =
        OpenPath(MakeCollectionPath("virtual/dev." + std::to_string(node), 0x1234, 0x5678, 0));
    const std::vector<uint8_t> first = {0, 1, 2};
    const std::vector<uint8_t> second = {0, 3, 4};
    bus_.PushInput(node, first);
    bus_.PushInput(node, second);

    std::vector<uint8_t> report;
    ASSERT_EQ(ReadOne(*connection, 100, report), 1);
    EXPECT_EQ(report, first);
    uint8_t small[2] = {};
    size_t got = 0;
    ASSERT_EQ(connection->Read(small, sizeof small, 100, got), 1);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(small[1], 3);
    EXPECT_EQ(ReadOne(*connection, 0, report), 0);  // queue drained
}

TEST_F(VirtualHidBusTest, ReadTimesOutAfterItsTimeout) {
    VirtualHidBus::NodeId node = 0;
    auto connection = PlugAndOpen(node);
    std::vector<uint8_t> report;
    const auto start = Clock::now();
    EXPECT_EQ(ReadOne(*connection, 40, report), 0);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 40ms);
    EXPECT_LT(elapsed, 5s);
    EXPECT_TRUE(report.empty());
}

TEST_F(VirtualHidBusTest, ReportIsHeldBackUntilItsReadyTime) {
    VirtualHidBus::NodeId node = 0;
    auto connection = PlugAndOpen(node);
    const std::vector<uint8_t> input = {0, 7, 7};
    std::vector<uint8_t> report;

    // A read whose time-out ends before the ready time misses it; the report stays queued.
    auto start = Clock::now();
    bus_.PushInput(node, input, start + 60ms);
    EXPECT_EQ(ReadOne(*connection, 10, report), 0);
    EXPECT_EQ(ReadOne(*connection, kHidInfinite, report), 1);
    EXPECT_GE(Clock::now() - start, 60ms);
    EXPECT_EQ(report, input);

    start = Clock::now();
    bus_.PushInput(node, input, start + 20ms);
    EXPECT_EQ(ReadOne(*connection, 5000, report), 1);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 20ms);
    EXPECT_LT(elapsed, 5s);
}

TEST_F(VirtualHidBusTest, ReportIdFilterKeepsEachCollectionsReports) {
    const auto node = bus_.Plug("dev", {0x0C45, 0x5004, 1}, kTwoCollections, endpoint_);
    const std::string nodeName = "virtual/dev." + std::to_string(node);
    auto first = OpenPath(MakeCollectionPath(nodeName, 0x0C45, 0x5004, 0), {true, {1}});
    auto second = OpenPath(MakeCollectionPath(nodeName, 0x0C45, 0x5004, 1), {true, {2}});
    auto unfiltered = OpenPath(MakeCollectionPath(nodeName, 0x0C45, 0x5004, 0), {false, {}});
    const std::vector<uint8_t> one = {1, 0xAA};
    const std::vector<uint8_t> two = {2, 0xBB};
    bus_.PushInput(node, one);
    bus_.PushInput(node, two);

    std::vector<uint8_t> report;
    ASSERT_EQ(ReadOne(*first, 100, report), 1);
    EXPECT_EQ(report, one);
    EXPECT_EQ(ReadOne(*first, 0, report), 0);
    ASSERT_EQ(ReadOne(*second, 100, report), 1);
    EXPECT_EQ(report, two);
    EXPECT_EQ(ReadOne(*second, 0, report), 0);
    ASSERT_EQ(ReadOne(*unfiltered, 100, report), 1);
    EXPECT_EQ(report, one);
    ASSERT_EQ(ReadOne(*unfiltered, 100, report), 1);
    EXPECT_EQ(report, two);
}

TEST_F(VirtualHidBusTest, CancelReleasesOneTransferLikeAnAutoResetEvent) {
    VirtualHidBus::NodeId node = 0;
    auto connection = PlugAndOpen(node);
    std::vector<uint8_t> report;

    // Waiting read: ends at once with 0.
    auto waiting = std::async(std::launch::async, [&] {
        std::vector<uint8_t> r;
        return ReadOne(*connection, kHidInfinite, r);
    });
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(waiting.wait_for(0s), std::future_status::timeout);
    connection->Cancel();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 0);

    // A cancel with nobody waiting ends the next read only, even with a report queued.
    connection->Cancel();
    const std::vector<uint8_t> input = {0, 1, 1};
    bus_.PushInput(node, input);
    const auto start = Clock::now();
    EXPECT_EQ(ReadOne(*connection, 5000, report), 0);
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_EQ(ReadOne(*connection, 100, report), 1);
    EXPECT_EQ(report, input);
}

TEST_F(VirtualHidBusTest, WriteReachesTheEndpointAndReportsItsRefusal) {
    VirtualHidBus::NodeId node = 0;
    auto connection = PlugAndOpen(node);
    const std::vector<uint8_t> out = {0, 5, 6};
    size_t written = 0;
    EXPECT_EQ(connection->Write(out.data(), out.size(), 1000, written), 1);
    EXPECT_EQ(written, out.size());
    {
        std::lock_guard lock(endpoint_->mutex);
        ASSERT_EQ(endpoint_->written.size(), 1u);
        EXPECT_EQ(endpoint_->written[0], out);
        endpoint_->accept = false;
    }
    EXPECT_EQ(connection->Write(out.data(), out.size(), 1000, written), 0);
    EXPECT_EQ(written, 0u);

    // Opened for reading only: writing fails without reaching the endpoint.
    std::string error;
    auto readOnly =
        backend_->Open(MakeCollectionPath("virtual/dev." + std::to_string(node), 0x1234, 0x5678, 0),
                       {true, false, true, false}, {}, error);
    ASSERT_TRUE(readOnly) << error;
    EXPECT_EQ(readOnly->Write(out.data(), out.size(), 1000, written), 0);
    std::lock_guard lock(endpoint_->mutex);
    EXPECT_EQ(endpoint_->written.size(), 2u);
}

TEST_F(VirtualHidBusTest, UnplugEndsAWaitingReadAtOnceAndFailsTheConnection) {
    VirtualHidBus::NodeId node = 0;
    auto connection = PlugAndOpen(node);
    auto waiting = std::async(std::launch::async, [&] {
        std::vector<uint8_t> r;
        return ReadOne(*connection, kHidInfinite, r);
    });
    std::this_thread::sleep_for(20ms);
    bus_.Unplug(node);
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 0);

    const std::vector<uint8_t> out = {0, 1, 2};
    size_t written = 0;
    std::vector<uint8_t> report;
    const auto start = Clock::now();
    EXPECT_EQ(ReadOne(*connection, 5000, report), 0);
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_EQ(connection->Write(out.data(), out.size(), 1000, written), 0);
    bus_.PushInput(node, out);  // an unknown node is ignored
}

TEST(VirtualHidBusLifetime, ConnectionAndBackendOutliveTheBus) {
    auto bus = std::make_unique<VirtualHidBus>();
    auto backend = bus->MakeBackend();
    const auto node =
        bus->Plug("dev", {1, 2, 3}, kOneCollection, std::make_shared<RecordingEndpoint>());
    std::string error;
    auto connection = backend->Open(
        MakeCollectionPath("virtual/dev." + std::to_string(node), 1, 2, 0), kReadWrite, {}, error);
    ASSERT_TRUE(connection) << error;
    auto waiting = std::async(std::launch::async, [&] {
        uint8_t buffer[4];
        size_t got = 0;
        return connection->Read(buffer, sizeof buffer, kHidInfinite, got);
    });
    std::this_thread::sleep_for(10ms);
    bus.reset();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 0);

    const uint8_t out[2] = {0, 1};
    size_t written = 0;
    EXPECT_EQ(connection->Write(out, sizeof out, 100, written), 0);
    std::vector<std::string> paths = {"stale"};
    EXPECT_TRUE(backend->Enumerate(paths));
    EXPECT_TRUE(paths.empty());
    connection->Cancel();
}

// Several threads write, read, plug and unplug at once; meant for ThreadSanitizer.
TEST(VirtualHidBusConcurrency, RoundTripsWhileOtherNodesComeAndGo) {
    VirtualHidBus bus;
    auto backend = bus.MakeBackend();
    auto echo = std::make_shared<EchoEndpoint>(bus);
    const auto node = bus.Plug("echo", {1, 2, 3}, kOneCollection, echo);
    echo->SetNode(node);
    const std::string path = MakeCollectionPath("virtual/echo." + std::to_string(node), 1, 2, 0);

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop.load()) {
            const auto other =
                bus.Plug("other", {1, 2, 3}, kOneCollection, std::make_shared<RecordingEndpoint>());
            std::vector<std::string> paths;
            backend->Enumerate(paths);
            bus.Unplug(other);
        }
    });

    auto roundTrips = [&](uint8_t tag) {
        std::string error;
        auto connection = backend->Open(path, kReadWrite, {}, error);
        if (!connection) {
            return 0;
        }
        int matched = 0;
        for (int i = 0; i < 200; ++i) {
            const uint8_t out[3] = {0, tag, static_cast<uint8_t>(i)};
            size_t n = 0;
            if (connection->Write(out, sizeof out, 1000, n) != 1) {
                return matched;
            }
            // Every connection sees every echo; wait for our own.
            uint8_t in[3] = {};
            while (connection->Read(in, sizeof in, 2000, n) == 1) {
                if (in[1] == tag && in[2] == static_cast<uint8_t>(i)) {
                    ++matched;
                    break;
                }
            }
        }
        return matched;
    };
    auto a = std::async(std::launch::async, roundTrips, uint8_t{1});
    auto b = std::async(std::launch::async, roundTrips, uint8_t{2});
    EXPECT_EQ(a.get(), 200);
    EXPECT_EQ(b.get(), 200);
    stop.store(true);
    churn.join();
}

}  // namespace
}  // namespace gmd
