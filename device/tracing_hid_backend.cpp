#include "device/tracing_hid_backend.h"

namespace gmd {

std::string HexBytes(const uint8_t* data, size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i != 0) {
            text.push_back(' ');
        }
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

namespace {

class TracingConnection final : public HidConnection {
  public:
    TracingConnection(std::unique_ptr<HidConnection> inner, TraceSink sink)
        : inner_(std::move(inner)), sink_(std::move(sink)) {}

    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) override {
        const int result = inner_->Read(buffer, length, timeoutMs, bytesRead);
        if (result > 0) {
            sink_("< " + HexBytes(buffer, bytesRead));
        }
        return result;
    }

    int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
              size_t& bytesWritten) override {
        const int result = inner_->Write(buffer, length, timeoutMs, bytesWritten);
        sink_((result > 0 ? "> " : "! write failed: ") + HexBytes(buffer, length));
        return result;
    }

    void Cancel() override { inner_->Cancel(); }

  private:
    std::unique_ptr<HidConnection> inner_;
    TraceSink sink_;
};

class TracingBackend final : public HidBackend {
  public:
    TracingBackend(std::shared_ptr<HidBackend> inner, TraceSink sink)
        : inner_(std::move(inner)), sink_(std::move(sink)) {}

    bool Enumerate(std::vector<std::string>& paths) override { return inner_->Enumerate(paths); }
    bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) override {
        return inner_->Describe(path, info, error);
    }
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode& mode,
                                        const HidReportFilter& filter,
                                        std::string& error) override {
        std::unique_ptr<HidConnection> connection = inner_->Open(path, mode, filter, error);
        if (!connection) {
            return nullptr;
        }
        return std::make_unique<TracingConnection>(std::move(connection), sink_);
    }
    bool IsPathPresent(const std::string& path) override { return inner_->IsPathPresent(path); }
    std::vector<HidBlockedNode> BlockedNodes(const DeviceIdentity& wanted) override {
        return inner_->BlockedNodes(wanted);
    }

  private:
    std::shared_ptr<HidBackend> inner_;
    TraceSink sink_;
};

}  // namespace

std::shared_ptr<HidBackend> MakeTracingBackend(std::shared_ptr<HidBackend> inner, TraceSink sink) {
    return std::make_shared<TracingBackend>(std::move(inner), std::move(sink));
}

}  // namespace gmd
