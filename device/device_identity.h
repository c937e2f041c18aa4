#pragma once
// The interfaces of the family that the system knows.

#include <cstdint>

namespace gmd {

inline constexpr uint16_t kVendorId = 0x0C45;
inline constexpr uint16_t kMouseProductId = 0x7643;
inline constexpr uint16_t kKeyboardProductId = 0x6556;
inline constexpr uint16_t kMousepadProductId = 0x5004;

inline constexpr uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr uint16_t kCommandUsage = 0x92;
inline constexpr uint16_t kEventUsagePage = 0x0C;
inline constexpr uint16_t kEventUsage = 0x01;

struct DeviceIdentity {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t usagePage;
    uint16_t usage;
};

inline constexpr DeviceIdentity kMouseCommandInterface{kVendorId, kMouseProductId,
                                                       kCommandUsagePage, kCommandUsage};
inline constexpr DeviceIdentity kKeyboardCommandInterface{kVendorId, kKeyboardProductId,
                                                          kCommandUsagePage, kCommandUsage};
inline constexpr DeviceIdentity kMousepadCommandInterface{kVendorId, kMousepadProductId,
                                                          kCommandUsagePage, kCommandUsage};
inline constexpr DeviceIdentity kMouseEventInterface{kVendorId, kMouseProductId, kEventUsagePage,
                                                     kEventUsage};
inline constexpr DeviceIdentity kKeyboardEventInterface{kVendorId, kKeyboardProductId,
                                                        kEventUsagePage, kEventUsage};

inline bool IsFamilyProduct(uint16_t productId) {
    return productId == kMouseProductId || productId == kKeyboardProductId ||
           productId == kMousepadProductId;
}

}  // namespace gmd
