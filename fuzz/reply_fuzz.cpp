// Device replies are outside input: every command must cope with any reply bytes, of any
// length, and with replies that stop coming.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/command_set.h"
#include "device/device_channel.h"
#include "emulator/factory_data.h"

namespace {

class FuzzConnection final : public gmd::HidConnection {
  public:
    FuzzConnection(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int Read(uint8_t* buffer, size_t length, uint32_t, size_t& bytesRead) override {
        bytesRead = 0;
        if (pos_ >= size_) {
            return 0;
        }
        // First byte: reply length (0 = no reply), then that many bytes.
        const size_t want = data_[pos_++] % 80;
        if (want == 0) {
            return 0;
        }
        const size_t take = std::min({want, size_ - pos_, length});
        std::memcpy(buffer, data_ + pos_, take);
        pos_ += take;
        bytesRead = take;
        return 1;
    }
    int Write(const uint8_t*, size_t length, uint32_t, size_t& written) override {
        written = length;
        return pos_ < size_ || (++writesAfterEnd_ < 64) ? 1 : 0;
    }
    void Cancel() override {}

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    int writesAfterEnd_ = 0;
};

class FuzzBackend final : public gmd::HidBackend {
  public:
    FuzzBackend(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Enumerate(std::vector<std::string>& paths) override {
        paths.push_back("fuzz#vid_0c45&pid_7643&col_0");
        return true;
    }
    bool Describe(const std::string&, gmd::HidNodeInfo& info, std::string&) override {
        info.attributes = {0x0C45, 0x7643, 1};
        info.reportDescriptor = gmd::emu::CommandNodeDescriptor();
        return true;
    }
    std::unique_ptr<gmd::HidConnection> Open(const std::string&, const gmd::HidOpenMode&,
                                             const gmd::HidReportFilter&, std::string&) override {
        return std::make_unique<FuzzConnection>(data_, size_);
    }
    bool IsPathPresent(const std::string&) override { return true; }

  private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gmd::CDeviceChannel channel(std::make_shared<FuzzBackend>(data, size));
    channel.SetIdentity(0x0C45, 0x7643, 0x92, 0xFF1C);
    {
        std::lock_guard lock(channel.IoLock());
        if (channel.FindAndOpen() != 1) {
            __builtin_trap();
        }
    }
    uint8_t info[gmd::kInfoBlockSize];
    std::vector<uint8_t> image(512), block(56);
    gmd::OpenSession(channel);
    gmd::ReadInfo(channel, info);
    gmd::ReadImage(channel, image);
    gmd::ReadBankImage(channel, image, 4);
    gmd::ReadMemory(channel, block, 56, 64);
    gmd::WriteBankImage(channel, image, 1);
    gmd::WriteLightFrame(channel, std::span(image).first(60));
    gmd::FactoryReset(channel);
    return 0;
}
