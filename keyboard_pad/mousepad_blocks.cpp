#include "keyboard_pad/mousepad_blocks.h"

#include <algorithm>

namespace gmd::keyboard_pad {

std::vector<uint8_t> MousepadLightBlob(MousepadProfileData& data) {
    std::copy(data.live.begin(), data.live.end(), data.light.begin());
    return {data.light.begin(), data.light.end()};
}

bool LoadMousepadLightBlob(MousepadProfileData& data, std::span<const uint8_t> blob, size_t size) {
    size = std::min(size, data.light.size());
    if (blob.size() < size) {
        return false;
    }
    std::copy_n(blob.begin(), size, data.light.begin());
    std::copy_n(data.light.begin(), data.live.size(), data.live.begin());
    return true;
}

}  // namespace gmd::keyboard_pad
