#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "keyboard_pad/keyboard_blocks.h"
#include "keyboard_pad/mousepad_blocks.h"
#include "profiles/profile_types.h"

namespace gmd::keyboard_pad {
namespace {

std::vector<uint8_t> Counting(size_t size) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});
    return bytes;
}

TEST(KeyboardBlocksTest, BlobsAreTheSizesOfTheirLists) {
    EXPECT_EQ(kKeyboardDeviceBlobSize, profiles::Info(profiles::ListId::KeyboardDevice).blobSize);
    EXPECT_EQ(kKeyboardLightBlobSize, profiles::Info(profiles::ListId::KeyboardLight).blobSize);
    EXPECT_EQ(kKeyboardImageSize, profiles::Info(profiles::ListId::KeyboardKey).blobSize);
    EXPECT_EQ(kMousepadLightSize, profiles::Info(profiles::ListId::MousepadLight).blobSize);
}

TEST(KeyboardBlocksTest, ADeviceBlobComesBackByteForByte) {
    const std::vector<uint8_t> blob = Counting(kKeyboardDeviceBlobSize);
    KeyboardProfileData data;
    ASSERT_TRUE(LoadKeyboardDeviceBlob(data, blob));
    // Image first, then the light block; the custom table's number is little-endian after it.
    EXPECT_EQ(data.image[0], blob[0]);
    EXPECT_EQ(data.light[0], blob[512]);
    const size_t at = 512 + 64;
    uint32_t number = 0;
    for (size_t i = 4; i-- > 0;) {
        number = number << 8 | blob[at + i];
    }
    EXPECT_EQ(data.customTable, number);
    EXPECT_EQ(data.tables[0], blob[at + 4]);
    // The live block follows the light block.
    EXPECT_TRUE(std::equal(data.live.begin(), data.live.end(), data.light.begin()));
    EXPECT_EQ(KeyboardDeviceBlob(data), blob);

    const std::vector<uint8_t> light(blob.begin() + 512, blob.end());
    EXPECT_EQ(KeyboardLightBlob(data), light);
    EXPECT_EQ(KeyboardKeyBlob(data), std::vector<uint8_t>(blob.begin(), blob.begin() + 512));
}

TEST(KeyboardBlocksTest, TheLiveBlockGoesIntoTheStoredLightBlock) {
    KeyboardProfileData data;
    data.live.fill(0x77);
    const std::vector<uint8_t> blob = KeyboardLightBlob(data);
    EXPECT_EQ(blob[0], 0x77);
    EXPECT_EQ(blob[kKeyboardLiveSize - 1], 0x77);
    EXPECT_EQ(blob[kKeyboardLiveSize], 0);

    MousepadProfileData pad;
    pad.live.fill(0x55);
    const std::vector<uint8_t> padBlob = MousepadLightBlob(pad);
    ASSERT_EQ(padBlob.size(), kMousepadLightSize);
    EXPECT_EQ(padBlob[kMousepadLiveSize - 1], 0x55);
    EXPECT_EQ(padBlob[kMousepadLiveSize], 0);
}

TEST(KeyboardBlocksTest, ShortBlobsChangeNothing) {
    KeyboardProfileData data;
    data.image.fill(9);
    const std::vector<uint8_t> before = KeyboardDeviceBlob(data);
    const std::vector<uint8_t> shortBlob(10, 0xEE);
    EXPECT_FALSE(LoadKeyboardDeviceBlob(data, shortBlob));
    EXPECT_FALSE(LoadKeyboardLightBlob(data, shortBlob));
    EXPECT_FALSE(LoadKeyboardKeyBlob(data, shortBlob));
    EXPECT_EQ(KeyboardDeviceBlob(data), before);

    MousepadProfileData pad;
    EXPECT_FALSE(LoadMousepadLightBlob(pad, shortBlob));
    EXPECT_EQ(pad.light[0], 0);
}

TEST(KeyboardBlocksTest, AMousepadResetTakesTheFirst56BytesOfTheDefault) {
    MousepadProfileData pad;
    pad.light.fill(0xAA);
    const std::vector<uint8_t> blob = Counting(kMousepadLightSize);
    ASSERT_TRUE(LoadMousepadLightBlob(pad, blob, kMousepadResetSize));
    EXPECT_EQ(pad.light[kMousepadResetSize - 1], blob[kMousepadResetSize - 1]);
    EXPECT_EQ(pad.light[kMousepadResetSize], 0xAA);
    EXPECT_EQ(pad.live[0], blob[0]);
}

}  // namespace
}  // namespace gmd::keyboard_pad
