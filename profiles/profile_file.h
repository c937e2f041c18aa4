#pragma once
// Profile files: a 16-byte header (magic 0x55AA, device code) and one blob.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "profiles/profile_types.h"

namespace gmd::profiles {

inline constexpr size_t kProfileHeaderSize = 16;
inline constexpr uint16_t kProfileMagic = 0x55AA;

enum ReadProfileResult : int {
    kProfileRead = 0,
    kProfileMissing = 1,       // does not exist, is not a regular file or cannot be opened
    kProfileNotAProfile = -1,  // shorter than 2 bytes or without the magic
};

// Fills up to buffer.size() bytes of blob; the caller clears the buffer first, so a short blob
// leaves zeros. The device code is not examined.
int ReadProfileFile(const std::filesystem::path& path, std::span<uint8_t> buffer);
// The same on a file's bytes already in memory.
int ParseProfileBytes(std::span<const uint8_t> bytes, std::span<uint8_t> buffer);

// Creates or replaces the file atomically (temporary file, flush, rename) under its folder's
// lock. false (a debug line, and `error` naming the file and what failed) when it could not be
// written; the old file is then untouched.
bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> blob,
                      DeviceKind device, std::string* error = nullptr);

// The bytes of a profile file: the header (reserved bytes zero) and the blob.
std::string ProfileFileBytes(std::span<const uint8_t> blob, DeviceKind device);

}  // namespace gmd::profiles
