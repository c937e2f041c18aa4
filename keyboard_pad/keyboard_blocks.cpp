#include "keyboard_pad/keyboard_blocks.h"

#include <algorithm>

namespace gmd::keyboard_pad {

namespace {

// resize + copy rather than insert: GCC 12 at -O3 misreads insert's bounds here.
void Append(std::vector<uint8_t>& blob, std::span<const uint8_t> part) {
    const size_t at = blob.size();
    blob.resize(at + part.size());
    std::copy(part.begin(), part.end(), blob.begin() + static_cast<std::ptrdiff_t>(at));
}

void AppendLight(std::vector<uint8_t>& blob, KeyboardProfileData& data) {
    std::copy(data.live.begin(), data.live.end(), data.light.begin());
    Append(blob, data.light);
    const uint32_t n = data.customTable;
    const uint8_t number[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                               static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
    Append(blob, number);
    Append(blob, data.tables);
}

template <size_t N>
void CopyInto(std::array<uint8_t, N>& to, std::span<const uint8_t> from, size_t offset) {
    std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(offset), N, to.begin());
}

void LoadLight(KeyboardProfileData& data, std::span<const uint8_t> blob, size_t at) {
    CopyInto(data.light, blob, at);
    data.customTable =
        static_cast<uint32_t>(blob[at + 64]) | (static_cast<uint32_t>(blob[at + 65]) << 8) |
        (static_cast<uint32_t>(blob[at + 66]) << 16) | (static_cast<uint32_t>(blob[at + 67]) << 24);
    CopyInto(data.tables, blob, at + 68);
    std::copy_n(data.light.begin(), data.live.size(), data.live.begin());
}

}  // namespace

std::vector<uint8_t> KeyboardDeviceBlob(KeyboardProfileData& data) {
    std::vector<uint8_t> blob;
    Append(blob, data.image);
    AppendLight(blob, data);
    return blob;
}

std::vector<uint8_t> KeyboardLightBlob(KeyboardProfileData& data) {
    std::vector<uint8_t> blob;
    AppendLight(blob, data);
    return blob;
}

std::vector<uint8_t> KeyboardKeyBlob(const KeyboardProfileData& data) {
    return {data.image.begin(), data.image.end()};
}

bool LoadKeyboardDeviceBlob(KeyboardProfileData& data, std::span<const uint8_t> blob) {
    if (blob.size() < kKeyboardDeviceBlobSize) {
        return false;
    }
    CopyInto(data.image, blob, 0);
    LoadLight(data, blob, kKeyboardImageSize);
    return true;
}

bool LoadKeyboardLightBlob(KeyboardProfileData& data, std::span<const uint8_t> blob) {
    if (blob.size() < kKeyboardLightBlobSize) {
        return false;
    }
    LoadLight(data, blob, 0);
    return true;
}

bool LoadKeyboardKeyBlob(KeyboardProfileData& data, std::span<const uint8_t> blob) {
    if (blob.size() < kKeyboardImageSize) {
        return false;
    }
    CopyInto(data.image, blob, 0);
    return true;
}

}  // namespace gmd::keyboard_pad
