#pragma once
// The mousepad's settings as its light profile files carry them. The mousepad does not attach
// yet; its list works on this memory all the same.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace gmd::keyboard_pad {

inline constexpr size_t kMousepadLightSize = 64;
inline constexpr size_t kMousepadLiveSize = 21;
// A reset takes this much of the default blob; the rest of the light block stays.
inline constexpr size_t kMousepadResetSize = 56;

struct MousepadProfileData {
    std::array<uint8_t, kMousepadLightSize> light{};
    std::array<uint8_t, kMousepadLiveSize> live{};
};

// The light blob from memory; the live block goes into the light block first.
std::vector<uint8_t> MousepadLightBlob(MousepadProfileData& data);
// A light blob into memory, the first `size` bytes of it (the live block follows). false, and
// nothing changed, when the blob is shorter.
bool LoadMousepadLightBlob(MousepadProfileData& data, std::span<const uint8_t> blob,
                           size_t size = kMousepadLightSize);

}  // namespace gmd::keyboard_pad
