#pragma once
// The keyboard's settings as its profile files carry them, and the blob layouts of its three
// profile lists. The keyboard does not attach yet; its lists work on this memory all the same.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace gmd::keyboard_pad {

// Light blob: the light block, the number of the custom table (little-endian), five custom
// colour tables. Device blob: the key image, then the light blob. Key blob: the key image.
inline constexpr size_t kKeyboardImageSize = 512;
inline constexpr size_t kKeyboardLightSize = 64;
inline constexpr size_t kKeyboardTableSize = 378;
inline constexpr size_t kKeyboardTableCount = 5;
inline constexpr size_t kKeyboardLiveSize = 21;
inline constexpr size_t kKeyboardLightBlobSize =
    kKeyboardLightSize + 4 + kKeyboardTableCount * kKeyboardTableSize;
inline constexpr size_t kKeyboardDeviceBlobSize = kKeyboardImageSize + kKeyboardLightBlobSize;

struct KeyboardProfileData {
    std::array<uint8_t, kKeyboardImageSize> image{};
    std::array<uint8_t, kKeyboardLightSize> light{};
    uint32_t customTable = 0;
    std::array<uint8_t, kKeyboardTableCount * kKeyboardTableSize> tables{};
    std::array<uint8_t, kKeyboardLiveSize> live{};
};

// The blobs from memory; the live block goes into the light block first.
std::vector<uint8_t> KeyboardDeviceBlob(KeyboardProfileData& data);
std::vector<uint8_t> KeyboardLightBlob(KeyboardProfileData& data);
std::vector<uint8_t> KeyboardKeyBlob(const KeyboardProfileData& data);

// A blob into memory (the live block follows the light block). false, and nothing changed, when
// the blob is shorter than its layout.
bool LoadKeyboardDeviceBlob(KeyboardProfileData& data, std::span<const uint8_t> blob);
bool LoadKeyboardLightBlob(KeyboardProfileData& data, std::span<const uint8_t> blob);
bool LoadKeyboardKeyBlob(KeyboardProfileData& data, std::span<const uint8_t> blob);

}  // namespace gmd::keyboard_pad
