#include "mouse/mouse_device.h"

#include <algorithm>

#include "device/command_set.h"

namespace gmd::mouse {

namespace {

constexpr uint8_t kBlockReadSize = 56;
constexpr uint16_t kBlockStride = 64;

// Reads into a copy so that a failed (possibly partly done) image read leaves the image as it was.
template <typename Read>
int ReadImageInto(Image& image, Read read) {
    Image buffer = image;
    const int result = read(std::span<uint8_t>(buffer));
    if (result == kResultSuccess) {
        image = buffer;
    }
    return result;
}

// A device that did not answer one transaction after all its tries will not answer the next:
// it is marked as a failed write marks it, so its later transactions end at once and the
// detection thread detaches it at its next pass.
int GiveUp(CDeviceChannel& channel, int result) {
    channel.Hid().SetPath(" ");
    return result;
}

void CopyLiveFromHostBlock(MouseBlocks& blocks, int index, uint8_t profileIndex) {
    const HostBlock& block = blocks.mouseHostBlock[static_cast<size_t>(index)];
    std::lock_guard lock(blocks.lightMutex);
    std::copy_n(block.begin(), kLiveSize, blocks.mouseLive.begin());
    blocks.mouseLive[live::profileIndex] = profileIndex;
}

// Saves the live block into its profile's host block; a profile index the host keeps no block
// for has nowhere to go.
void SaveLiveToHostBlock(MouseBlocks& blocks, uint8_t index) {
    if (index >= kProfileCount) {
        return;
    }
    HostBlock& block = blocks.mouseHostBlock[index];
    std::lock_guard lock(blocks.lightMutex);
    std::copy(blocks.mouseLive.begin(), blocks.mouseLive.end(), block.begin());
}

uint8_t LiveByte(const MouseBlocks& blocks, size_t offset) {
    std::lock_guard lock(blocks.lightMutex);
    return blocks.mouseLive[offset];
}

}  // namespace

int ReadOutMouse(CDeviceChannel& channel, MouseBlocks& blocks) {
    if (const int result = OpenSession(channel); result != kResultSuccess) {
        return GiveUp(channel, result);
    }
    if (const int result = ReadInfo(channel, blocks.mouseInfo); result != kResultSuccess) {
        return GiveUp(channel, result);  // the block is written only on success
    }
    if (const int result =
            ReadImageInto(blocks.mouseCurrentImage,
                          [&](std::span<uint8_t> image) { return ReadImage(channel, image); });
        result != kResultSuccess) {
        return GiveUp(channel, result);
    }
    for (int bank = 0; bank < kProfileCount; ++bank) {
        if (const int result = ReadImageInto(
                blocks.mouseBankImage[static_cast<size_t>(bank)],
                [&](std::span<uint8_t> image) { return ReadBankImage(channel, image, bank); });
            result != kResultSuccess) {
            return GiveUp(channel, result);
        }
    }
    CopyLiveFromHostBlock(blocks, 0, 0);
    CloseSession(channel);
    blocks.fullRefresh = true;
    return kResultSuccess;
}

bool RefreshMouseOnRequest(CDeviceChannel& channel, MouseBlocks& blocks) {
    const uint8_t index = LiveByte(blocks, live::profileIndex);
    const uint8_t lightModeBefore = LiveByte(blocks, live::lightMode);
    SaveLiveToHostBlock(blocks, index);

    uint8_t current = 0;
    // Asked for, not used; a mouse that does not answer is not asked again.
    if (const int result = ReadMemory(channel, std::span<uint8_t>(&current, 1), 1, 0);
        result != kResultSuccess) {
        GiveUp(channel, result);
        return false;
    }

    // The block starts as the host's copy of profile 0, so a failed read keeps that copy
    // instead of filling host block 0 with bytes the mouse never sent.
    HostBlock& block0 = blocks.mouseHostBlock[0];
    std::array<uint8_t, kBlockReadSize> buffer{};
    std::copy_n(block0.begin(), kBlockReadSize, buffer.begin());
    if (const int result = ReadMemory(channel, buffer, kBlockReadSize, 0);
        result != kResultSuccess) {
        GiveUp(channel, result);
        return false;
    }
    buffer[live::profileIndex] = 0;
    std::copy(buffer.begin(), buffer.end(), block0.begin());
    CopyLiveFromHostBlock(blocks, 0, 0);

    const bool lightModeChanged = LiveByte(blocks, live::lightMode) != lightModeBefore;
    if (lightModeChanged) {
        blocks.fullRefresh = true;
    }
    return lightModeChanged;
}

int SendMouseLive(CDeviceChannel& channel, const MouseBlocks& blocks) {
    const std::array<uint8_t, kLiveSendSize> bytes = blocks.LiveSendBlock();
    return WriteMemory(channel, bytes, static_cast<uint8_t>(bytes.size()), 0);
}

SwitchOutcome SwitchOnboardProfile(CDeviceChannel& channel, MouseBlocks& blocks, int index) {
    if (index < 0 || index >= kProfileCount) {
        return SwitchOutcome::Ignored;
    }
    const auto target = static_cast<uint8_t>(index);

    // Without an answer the host's own idea of the current profile stands.
    uint8_t current = LiveByte(blocks, live::profileIndex);
    ReadMemory(channel, std::span<uint8_t>(&current, 1), 1, 0);
    if (current == target) {
        return SwitchOutcome::AlreadyActive;
    }
    SaveLiveToHostBlock(blocks, current);

    WriteMemory(channel, std::span<const uint8_t>(&target, 1), 1, 0);

    HostBlock& block = blocks.mouseHostBlock[target];
    std::array<uint8_t, kBlockReadSize> buffer{};
    std::copy_n(block.begin(), kBlockReadSize, buffer.begin());
    ReadMemory(channel, buffer, kBlockReadSize, static_cast<uint16_t>(index * kBlockStride));
    // The first byte of a block read from the mouse is only meaningful at address 0.
    buffer[live::profileIndex] = target;
    std::copy(buffer.begin(), buffer.end(), block.begin());
    CopyLiveFromHostBlock(blocks, index, target);
    return SwitchOutcome::Switched;
}

}  // namespace gmd::mouse
