#include "device/virtual_hid_bus.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <utility>

#include "device/report_descriptor.h"

namespace gmd {

namespace {

using Clock = VirtualHidBus::Clock;

// A condition variable wakes late by up to a scheduler tick; the last stretch before a report's
// ready time is spun so USB-like 1 ms transfers keep their pace.
constexpr auto kSpinMargin = std::chrono::microseconds(150);

struct QueuedReport {
    std::vector<uint8_t> bytes;
    Clock::time_point readyAt;
};

// State of one open connection; guarded by the bus mutex.
struct ConnectionState {
    HidOpenMode mode;
    HidReportFilter filter;
    std::deque<QueuedReport> queue;
    bool cancelPending = false;
    bool gone = false;  // the node was unplugged or the bus destroyed
    std::condition_variable wake;

    bool Accepts(uint8_t reportId) const {
        if (!filter.usesReportIds) {
            return true;
        }
        return std::find(filter.inputReportIds.begin(), filter.inputReportIds.end(), reportId) !=
               filter.inputReportIds.end();
    }
};

}  // namespace

struct VirtualHidBus::Impl {
    struct Node {
        NodeId id = 0;
        std::string nodeName;  // "virtual/<name>.<id>"
        HidAttributes attributes;
        std::vector<uint8_t> descriptor;
        size_t collectionCount = 1;
        std::shared_ptr<VirtualHidEndpoint> endpoint;
        std::vector<std::weak_ptr<ConnectionState>> connections;
    };

    std::mutex mutex;
    std::vector<Node> nodes;  // present nodes, in plug order
    NodeId nextId = 1;

    Node* FindNode(NodeId id) {
        for (Node& node : nodes) {
            if (node.id == id) {
                return &node;
            }
        }
        return nullptr;
    }

    // The node and collection a path names, or null when no present node has that path.
    Node* FindPath(const std::string& path, size_t& collectionIndex) {
        std::string nodeName;
        if (!SplitCollectionPath(path, nodeName, collectionIndex)) {
            return nullptr;
        }
        for (Node& node : nodes) {
            if (node.nodeName == nodeName) {
                if (collectionIndex >= node.collectionCount ||
                    path != MakeCollectionPath(node.nodeName, node.attributes.vendorId,
                                               node.attributes.productId, collectionIndex)) {
                    return nullptr;
                }
                return &node;
            }
        }
        return nullptr;
    }

    // Caller holds the mutex.
    static void Detach(Node& node) {
        for (const std::weak_ptr<ConnectionState>& weak : node.connections) {
            if (std::shared_ptr<ConnectionState> connection = weak.lock()) {
                connection->gone = true;
                connection->queue.clear();
                connection->wake.notify_all();
            }
        }
        node.connections.clear();
    }

    void UnplugAll() {
        std::vector<std::shared_ptr<VirtualHidEndpoint>> endpoints;
        {
            std::lock_guard lock(mutex);
            for (Node& node : nodes) {
                Detach(node);
                endpoints.push_back(std::move(node.endpoint));
            }
            nodes.clear();
        }
        // Endpoints are released outside the lock: their destructors may call back into the bus.
        endpoints.clear();
    }
};

namespace {

class VirtualHidConnection final : public HidConnection {
  public:
    VirtualHidConnection(std::shared_ptr<VirtualHidBus::Impl> bus, VirtualHidBus::NodeId node,
                         std::shared_ptr<ConnectionState> state)
        : bus_(std::move(bus)), node_(node), state_(std::move(state)) {}

    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) override {
        bytesRead = 0;
        std::unique_lock lock(bus_->mutex);
        ConnectionState& state = *state_;
        if (!state.mode.read) {
            return 0;
        }
        const bool forever = timeoutMs == kHidInfinite;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (state.gone) {
                return 0;
            }
            if (state.cancelPending) {
                state.cancelPending = false;
                return 0;
            }
            const Clock::time_point now = Clock::now();
            if (!state.queue.empty() && state.queue.front().readyAt <= now) {
                const std::vector<uint8_t>& report = state.queue.front().bytes;
                const size_t count = std::min(length, report.size());
                if (count > 0 && buffer != nullptr) {
                    std::memcpy(buffer, report.data(), count);
                }
                bytesRead = count;
                state.queue.pop_front();
                return 1;
            }
            if (!forever && now >= deadline) {
                return 0;
            }
            if (state.queue.empty()) {
                if (forever) {
                    state.wake.wait(lock);
                } else {
                    state.wake.wait_until(lock, deadline);
                }
                continue;
            }
            const Clock::time_point readyAt = state.queue.front().readyAt;
            if (!forever && deadline < readyAt) {
                // The report comes too late for this read; still wake for cancel or unplug.
                state.wake.wait_until(lock, deadline);
                continue;
            }
            if (readyAt - now > kSpinMargin) {
                state.wake.wait_until(lock, readyAt - kSpinMargin);
            } else {
                // Busy: a yield on a loaded machine can hand the core away for a whole time
                // slice. Cancel and unplug are seen when the spin ends, at most a margin later.
                lock.unlock();
                const Clock::time_point spinUntil = forever ? readyAt : std::min(readyAt, deadline);
                while (Clock::now() < spinUntil) {
                }
                lock.lock();
            }
        }
    }

    int Write(const uint8_t* buffer, size_t length, uint32_t /*timeoutMs*/,
              size_t& bytesWritten) override {
        // The endpoint's transfer delay is short, so the time-out is not enforced here.
        bytesWritten = 0;
        if (buffer == nullptr || length == 0) {
            return 0;
        }
        std::shared_ptr<VirtualHidEndpoint> endpoint;
        {
            std::lock_guard lock(bus_->mutex);
            ConnectionState& state = *state_;
            if (state.gone || !state.mode.write) {
                return 0;
            }
            if (state.cancelPending) {
                state.cancelPending = false;
                return 0;
            }
            VirtualHidBus::Impl::Node* node = bus_->FindNode(node_);
            if (node == nullptr || !node->endpoint) {
                return 0;
            }
            endpoint = node->endpoint;
        }
        if (!endpoint->OnHostWrite(std::span<const uint8_t>(buffer, length))) {
            return 0;
        }
        bytesWritten = length;
        return 1;
    }

    void Cancel() override {
        std::lock_guard lock(bus_->mutex);
        state_->cancelPending = true;
        state_->wake.notify_all();
    }

  private:
    std::shared_ptr<VirtualHidBus::Impl> bus_;
    VirtualHidBus::NodeId node_;
    std::shared_ptr<ConnectionState> state_;
};

class VirtualHidBackend final : public HidBackend {
  public:
    explicit VirtualHidBackend(std::shared_ptr<VirtualHidBus::Impl> bus) : bus_(std::move(bus)) {}

    bool Enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        std::lock_guard lock(bus_->mutex);
        for (const VirtualHidBus::Impl::Node& node : bus_->nodes) {
            for (size_t i = 0; i < node.collectionCount; ++i) {
                paths.push_back(MakeCollectionPath(node.nodeName, node.attributes.vendorId,
                                                   node.attributes.productId, i));
            }
        }
        return true;
    }

    bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) override {
        std::lock_guard lock(bus_->mutex);
        size_t collectionIndex = 0;
        const VirtualHidBus::Impl::Node* node = bus_->FindPath(path, collectionIndex);
        if (node == nullptr) {
            error = "no virtual HID device at " + path;
            return false;
        }
        info.attributes = node->attributes;
        info.reportDescriptor = node->descriptor;
        info.collectionIndex = collectionIndex;
        return true;
    }

    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode& mode,
                                        const HidReportFilter& filter,
                                        std::string& error) override {
        std::lock_guard lock(bus_->mutex);
        size_t collectionIndex = 0;
        VirtualHidBus::Impl::Node* node = bus_->FindPath(path, collectionIndex);
        if (node == nullptr) {
            error = "no virtual HID device at " + path;
            return nullptr;
        }
        auto state = std::make_shared<ConnectionState>();
        state->mode = mode;
        state->filter = filter;
        std::erase_if(node->connections,
                      [](const std::weak_ptr<ConnectionState>& weak) { return weak.expired(); });
        node->connections.push_back(state);
        return std::make_unique<VirtualHidConnection>(bus_, node->id, std::move(state));
    }

    bool IsPathPresent(const std::string& path) override {
        std::lock_guard lock(bus_->mutex);
        size_t collectionIndex = 0;
        return bus_->FindPath(path, collectionIndex) != nullptr;
    }

  private:
    std::shared_ptr<VirtualHidBus::Impl> bus_;
};

}  // namespace

VirtualHidBus::VirtualHidBus() : impl_(std::make_shared<Impl>()) {}

// Connections and backends keep the state alive; they see every node as gone from now on.
VirtualHidBus::~VirtualHidBus() {
    impl_->UnplugAll();
}

VirtualHidBus::NodeId VirtualHidBus::Plug(const std::string& name, HidAttributes attributes,
                                          std::vector<uint8_t> reportDescriptor,
                                          std::shared_ptr<VirtualHidEndpoint> endpoint) {
    // A descriptor that does not parse still shows as one collection, so the host meets the
    // fault where it parses the descriptor itself.
    size_t collectionCount = 1;
    ReportDescriptor parsed;
    std::string parseError;
    if (ParseReportDescriptor(reportDescriptor, parsed, parseError) &&
        !parsed.collections.empty()) {
        collectionCount = parsed.collections.size();
    }

    std::lock_guard lock(impl_->mutex);
    Impl::Node node;
    node.id = impl_->nextId++;
    node.nodeName = "virtual/" + name + "." + std::to_string(node.id);
    node.attributes = attributes;
    node.descriptor = std::move(reportDescriptor);
    node.collectionCount = collectionCount;
    node.endpoint = std::move(endpoint);
    impl_->nodes.push_back(std::move(node));
    return impl_->nodes.back().id;
}

void VirtualHidBus::Unplug(NodeId node) {
    std::shared_ptr<VirtualHidEndpoint> endpoint;
    {
        std::lock_guard lock(impl_->mutex);
        auto it = std::find_if(impl_->nodes.begin(), impl_->nodes.end(),
                               [node](const Impl::Node& n) { return n.id == node; });
        if (it == impl_->nodes.end()) {
            return;
        }
        Impl::Detach(*it);
        endpoint = std::move(it->endpoint);
        impl_->nodes.erase(it);
    }
}

void VirtualHidBus::PushInput(NodeId node, std::span<const uint8_t> report,
                              Clock::time_point readyAt) {
    if (report.empty()) {
        return;
    }
    std::lock_guard lock(impl_->mutex);
    Impl::Node* target = impl_->FindNode(node);
    if (target == nullptr) {
        return;
    }
    std::erase_if(target->connections,
                  [](const std::weak_ptr<ConnectionState>& weak) { return weak.expired(); });
    for (const std::weak_ptr<ConnectionState>& weak : target->connections) {
        std::shared_ptr<ConnectionState> connection = weak.lock();
        if (!connection || !connection->mode.read || !connection->Accepts(report[0])) {
            continue;
        }
        connection->queue.push_back({std::vector<uint8_t>(report.begin(), report.end()), readyAt});
        connection->wake.notify_all();
    }
}

std::unique_ptr<HidBackend> VirtualHidBus::MakeBackend() {
    return std::make_unique<VirtualHidBackend>(impl_);
}

}  // namespace gmd
