// The keyboard's and the mousepad's profile-list bindings on a fake page host: no window, no
// profile files.

#include "keyboard_pad/keyboard_pad_profiles.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <numeric>
#include <vector>

#include "device/device_channel.h"
#include "tests/support/fake_hid_backend.h"
#include "ui/paint_manager.h"

namespace gmd::keyboard_pad {
namespace {

using profiles::ListId;

class FakeHost final : public host::PageHost {
  public:
    CDeviceChannel& Channel(DeviceKind device) override { return channels_.at(device); }
    ui::CPaintManagerUI& Controls() override { return controls_; }
    void MarkLiveChanged(DeviceKind device) override { ++marked[device]; }
    bool TakeLiveChanged(DeviceKind device) override { return std::exchange(marked[device], 0); }
    void StoreProfile(ListId list) override { stored.push_back(list); }
    int ShowMessage(const std::string&, bool) override { return 0; }
    bool Ask(const std::string&, bool) override { return false; }
    std::string FormatTemplate(const std::string& textId, int) override { return textId; }
    void PostToUi(std::function<void()> task) override { task(); }
    void ReadOutLater(DeviceKind, int) override {}

    std::map<DeviceKind, int> marked;
    std::vector<ListId> stored;

  private:
    std::shared_ptr<test::FakeHidBackend> backend_ = std::make_shared<test::FakeHidBackend>();
    std::map<DeviceKind, CDeviceChannel> channels_ = [this] {
        std::map<DeviceKind, CDeviceChannel> channels;
        for (const DeviceKind device : kAllDevices) {
            channels.try_emplace(device, backend_);
        }
        return channels;
    }();
    ui::CPaintManagerUI controls_;
};

std::vector<uint8_t> Counting(size_t size) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{3});
    return bytes;
}

class KeyboardPadProfilesTest : public ::testing::Test {
  protected:
    host::ProfileListBinding& Binding(ListId list) {
        for (auto& [id, binding] : bindings_) {
            if (id == list) {
                return binding;
            }
        }
        ADD_FAILURE() << "no binding for list " << static_cast<int>(list);
        return bindings_.front().second;
    }

    FakeHost host_;
    KeyboardPadProfiles profiles_{host_};
    std::vector<std::pair<ListId, host::ProfileListBinding>> bindings_ =
        profiles_.ProfileBindings();
};

TEST_F(KeyboardPadProfilesTest, BindsTheFourListsOfTheKeyboardAndTheMousepad) {
    std::vector<ListId> lists;
    for (const auto& [list, binding] : bindings_) {
        lists.push_back(list);
        EXPECT_TRUE(binding.blobFromMemory && binding.loadBlob && binding.apply && binding.reset);
    }
    EXPECT_EQ(lists, (std::vector<ListId>{ListId::KeyboardDevice, ListId::KeyboardLight,
                                          ListId::KeyboardKey, ListId::MousepadLight}));
}

TEST_F(KeyboardPadProfilesTest, ALoadedProfileIsStoredAsItCameAndApplyingItMarksTheLiveBlock) {
    struct Case {
        ListId list;
        DeviceKind device;
        int marks;  // the key list changes no live block
    };
    for (const Case& c : {Case{ListId::KeyboardDevice, DeviceKind::Keyboard, 1},
                          Case{ListId::KeyboardLight, DeviceKind::Keyboard, 1},
                          Case{ListId::KeyboardKey, DeviceKind::Keyboard, 0},
                          Case{ListId::MousepadLight, DeviceKind::Mousepad, 1}}) {
        host_.marked.clear();
        const std::vector<uint8_t> blob = Counting(profiles::Info(c.list).blobSize);
        Binding(c.list).loadBlob(blob);
        EXPECT_EQ(Binding(c.list).blobFromMemory(), blob) << static_cast<int>(c.list);
        Binding(c.list).apply();
        EXPECT_EQ(host_.marked[c.device], c.marks) << static_cast<int>(c.list);
    }
    EXPECT_TRUE(host_.stored.empty());  // loading and applying store nothing
}

TEST_F(KeyboardPadProfilesTest, AResetStoresItsOwnListAndMarksItsOwnDevice) {
    const std::vector<uint8_t> pad = Counting(profiles::Info(ListId::MousepadLight).blobSize);
    Binding(ListId::MousepadLight).reset(pad);
    EXPECT_EQ(host_.stored, std::vector<ListId>{ListId::MousepadLight});
    EXPECT_EQ(host_.marked[DeviceKind::Mousepad], 1);
    EXPECT_EQ(host_.marked[DeviceKind::Keyboard], 0);

    host_.stored.clear();
    const std::vector<uint8_t> device = Counting(profiles::Info(ListId::KeyboardDevice).blobSize);
    Binding(ListId::KeyboardDevice).reset(device);
    EXPECT_EQ(host_.stored, std::vector<ListId>{ListId::KeyboardDevice});
    EXPECT_EQ(host_.marked[DeviceKind::Keyboard], 1);
    // The device list shares its key image and light part with the other two lists.
    EXPECT_EQ(Binding(ListId::KeyboardKey).blobFromMemory(),
              std::vector<uint8_t>(device.begin(), device.begin() + 512));
    EXPECT_EQ(Binding(ListId::KeyboardLight).blobFromMemory(),
              std::vector<uint8_t>(device.begin() + 512, device.end()));
}

}  // namespace
}  // namespace gmd::keyboard_pad
