#include "device/hid_backend.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include "platform/text.h"

namespace gmd {

namespace {}  // namespace

std::string MakeCollectionPath(const std::string& node, uint16_t vendorId, uint16_t productId,
                               size_t collectionIndex) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "#vid_%04x&pid_%04x&col_%zu", vendorId, productId,
                  collectionIndex);
    return node + suffix;
}

bool SplitCollectionPath(const std::string& path, std::string& node, size_t& collectionIndex) {
    const size_t hash = path.rfind('#');
    if (hash == std::string::npos || hash == 0) {
        return false;
    }
    // The suffix is a list of '&'-separated markers; exactly one of them is "col_<decimal>".
    std::string_view rest = std::string_view(path).substr(hash + 1);
    while (true) {
        const size_t amp = rest.find('&');
        const std::string_view field = rest.substr(0, amp);
        if (StartsWithIgnoreCase(field, "col_")) {
            const std::string_view digits = field.substr(4);
            size_t value = 0;
            const char* first = digits.data();
            const char* last = digits.data() + digits.size();
            const auto [end, ec] = std::from_chars(first, last, value);
            if (ec != std::errc() || end != last) {
                return false;
            }
            node = path.substr(0, hash);
            collectionIndex = value;
            return true;
        }
        if (amp == std::string_view::npos) {
            return false;
        }
        rest.remove_prefix(amp + 1);
    }
}

}  // namespace gmd
