#pragma once
// A scripted HID backend for tests: records every transfer with its time-out and answers
// writes through a responder, without real waiting except for infinite reads.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "emulator/factory_data.h"

namespace gmd::test {

// The descriptors of the emulated devices' nodes: the vendor command interface and the
// Consumer Control interface.
inline std::vector<uint8_t> CommandInterfaceDescriptor() {
    return emu::CommandNodeDescriptor();
}
inline std::vector<uint8_t> ConsumerControlDescriptor() {
    return emu::ConsumerNodeDescriptor();
}

struct FakeLink {
    using Responder = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t>)>;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<uint8_t>> writes;
    std::vector<uint32_t> writeTimeouts;
    std::vector<uint32_t> readTimeouts;  // reads that waited (time-out above 0)
    std::deque<std::vector<uint8_t>> input;
    Responder responder;  // called per write; its reply is queued as input
    bool failWrites = false;
    int cancels = 0;

    void Push(std::vector<uint8_t> report) {
        std::lock_guard lock(mutex);
        input.push_back(std::move(report));
        changed.notify_all();
    }
    size_t WriteCount() {
        std::lock_guard lock(mutex);
        return writes.size();
    }
};

class FakeConnection final : public HidConnection {
  public:
    explicit FakeConnection(std::shared_ptr<FakeLink> link) : link_(std::move(link)) {}

    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) override {
        std::unique_lock lock(link_->mutex);
        bytesRead = 0;
        if (timeoutMs > 0) {
            link_->readTimeouts.push_back(timeoutMs);
        }
        if (timeoutMs == kHidInfinite) {
            link_->changed.wait(lock, [&] { return !link_->input.empty() || pendingCancel_; });
        }
        if (pendingCancel_) {
            pendingCancel_ = false;
            return 0;
        }
        if (link_->input.empty()) {
            return 0;  // time-out, without making the test wait
        }
        std::vector<uint8_t> report = std::move(link_->input.front());
        link_->input.pop_front();
        bytesRead = std::min(length, report.size());
        std::copy_n(report.begin(), bytesRead, buffer);
        return 1;
    }

    int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
              size_t& bytesWritten) override {
        std::lock_guard lock(link_->mutex);
        bytesWritten = 0;
        link_->writes.emplace_back(buffer, buffer + length);
        link_->writeTimeouts.push_back(timeoutMs);
        if (link_->failWrites) {
            return 0;
        }
        if (link_->responder) {
            if (auto reply = link_->responder(std::span<const uint8_t>(buffer, length))) {
                link_->input.push_back(std::move(*reply));
                link_->changed.notify_all();
            }
        }
        bytesWritten = length;
        return 1;
    }

    void Cancel() override {
        std::lock_guard lock(link_->mutex);
        ++link_->cancels;
        pendingCancel_ = true;
        link_->changed.notify_all();
    }

  private:
    std::shared_ptr<FakeLink> link_;
    bool pendingCancel_ = false;  // guarded by link_->mutex
};

struct FakeNode {
    std::string path;
    HidAttributes attributes;
    std::vector<uint8_t> descriptor;
    size_t collectionIndex = 0;
    bool present = true;
    int openError = 0;  // set: listed and described, but opening fails with this error number
};

class FakeHidBackend final : public HidBackend {
  public:
    std::vector<FakeNode> nodes;
    std::shared_ptr<FakeLink> link = std::make_shared<FakeLink>();
    std::vector<std::string> opened;
    bool failEnumerate = false;

    bool Enumerate(std::vector<std::string>& paths) override {
        if (failEnumerate) {
            return false;
        }
        for (const FakeNode& node : nodes) {
            if (node.present) {
                paths.push_back(node.path);
            }
        }
        return true;
    }
    bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) override {
        for (const FakeNode& node : nodes) {
            if (node.path == path && node.present) {
                info.attributes = node.attributes;
                info.reportDescriptor = node.descriptor;
                info.collectionIndex = node.collectionIndex;
                return true;
            }
        }
        error = "no such device: " + path;
        return false;
    }
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode&,
                                        const HidReportFilter&, std::string& error) override {
        HidNodeInfo info;
        if (!Describe(path, info, error)) {
            return nullptr;
        }
        for (const FakeNode& node : nodes) {
            if (node.path == path && node.openError != 0) {
                error = "cannot open " + path;
                return nullptr;
            }
        }
        opened.push_back(path);
        return std::make_unique<FakeConnection>(link);
    }
    bool IsPathPresent(const std::string& path) override {
        for (const FakeNode& node : nodes) {
            if (node.path == path) {
                return node.present;
            }
        }
        return false;
    }
    // The present nodes of the product that refuse to open (the fake does not look at usages).
    std::vector<HidBlockedNode> BlockedNodes(const DeviceIdentity& wanted) override {
        std::vector<HidBlockedNode> blocked;
        for (const FakeNode& node : nodes) {
            if (node.present && node.openError != 0 &&
                node.attributes.vendorId == wanted.vendorId &&
                node.attributes.productId == wanted.productId) {
                blocked.push_back({node.path.substr(0, node.path.find('#')), node.openError});
            }
        }
        return blocked;
    }
};

// The command interface of a mouse at the given path.
inline FakeNode MouseCommandNode(std::string path = "fake/0#vid_0c45&pid_7643&col_0") {
    return FakeNode{std::move(path), {0x0C45, 0x7643, 1}, CommandInterfaceDescriptor(), 0, true};
}

}  // namespace gmd::test
