#pragma once
// In-process HID bus: emulated devices plug nodes into it, and its backend lets CHidDevice open
// them exactly like hidraw nodes. Each open connection has its own input queue, as hidraw gives
// each open file its own.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/hid_backend.h"

namespace gmd {

// The device side of a node: receives what the host writes.
class VirtualHidEndpoint {
  public:
    virtual ~VirtualHidEndpoint() = default;
    // One report written by the host (byte 0 = report ID). Returns false to fail the write.
    // May block to model transfer time; runs on the writing thread.
    virtual bool OnHostWrite(std::span<const uint8_t> report) = 0;
};

class VirtualHidBus {
  public:
    using Clock = std::chrono::steady_clock;
    using NodeId = uint32_t;

    VirtualHidBus();
    ~VirtualHidBus();
    VirtualHidBus(const VirtualHidBus&) = delete;
    VirtualHidBus& operator=(const VirtualHidBus&) = delete;

    // name is used in the node's path ("virtual/<name>.<id>"); a descriptor may hold several
    // top-level collections, each enumerated as its own path.
    NodeId Plug(const std::string& name, HidAttributes attributes,
                std::vector<uint8_t> reportDescriptor,
                std::shared_ptr<VirtualHidEndpoint> endpoint);
    // Open connections of the node fail from now on; waiting reads end at once.
    void Unplug(NodeId node);
    // Queues an input report for every open connection of the node; readers see it at readyAt.
    void PushInput(NodeId node, std::span<const uint8_t> report, Clock::time_point readyAt);
    void PushInput(NodeId node, std::span<const uint8_t> report) {
        PushInput(node, report, Clock::now());
    }

    std::unique_ptr<HidBackend> MakeBackend();

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace gmd
