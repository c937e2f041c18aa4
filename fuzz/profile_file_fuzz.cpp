// Profile files are outside input (imported, or edited by hand): any bytes, read with any of the
// blob sizes, give one of the results and never read past the buffer; the import check takes
// exactly a whole file of the list's device and refuses everything else. All in memory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/profile_file.h"
#include "profiles/profile_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    // The blob sizes of the seven lists, and one of none.
    for (const size_t blobSize :
         {size_t{0}, size_t{64}, size_t{512}, size_t{576}, size_t{1958}, size_t{2470}}) {
        std::vector<uint8_t> blob(blobSize, 0);
        const int result = gmd::profiles::ParseProfileBytes(bytes, blob);
        const bool magic = size >= 2 && data[0] == 0xAA && data[1] == 0x55;
        if (result != (magic ? 0 : -1)) {
            std::abort();
        }
        // The blob is the bytes after the header, then zeros.
        for (size_t i = 0; i < blobSize; ++i) {
            const uint8_t expected = result == 0 && 16 + i < size ? data[16 + i] : 0;
            if (blob[i] != expected) {
                std::abort();
            }
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int list = 0; list < gmd::profiles::kListCount; ++list) {
        const auto id = static_cast<gmd::profiles::ListId>(list);
        const gmd::profiles::ListInfo& info = gmd::profiles::Info(id);
        std::vector<uint8_t> blob;
        std::string why;
        const bool accepted =
            gmd::profiles::CheckImportBytes(id, text, blob, why) == gmd::profiles::OpResult::Ok;
        const bool whole = size == 16 + info.blobSize && data[0] == 0xAA && data[1] == 0x55 &&
                           (data[4] | data[5] << 8) == static_cast<int>(gmd::FileDeviceCode(info.device));
        if (accepted != whole || (!accepted && why.empty()) || blob.size() != info.blobSize) {
            std::abort();
        }
    }
    return 0;
}
