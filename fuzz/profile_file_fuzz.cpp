// Profile files are outside input (imported, or edited by hand): any bytes, read with any of the
// blob sizes, give one of the three results and never read past the buffer.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "profiles/profile_file.h"

namespace {

const std::filesystem::path& FuzzFile() {
    static const std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "gmd-fuzz-XXXXXX").string();
        const char* dir = ::mkdtemp(pattern.data());
        if (dir == nullptr) {
            std::abort();
        }
        return std::filesystem::path(dir) / "input.config";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    if (!gmd::WriteFileAtomically(FuzzFile(),
                                  std::string(reinterpret_cast<const char*>(data), size), error)) {
        std::abort();
    }
    // The blob sizes of the seven lists, and one of none.
    for (const size_t blobSize :
         {size_t{0}, size_t{64}, size_t{512}, size_t{576}, size_t{1958}, size_t{2470}}) {
        std::vector<uint8_t> blob(blobSize, 0);
        const int result = gmd::profiles::ReadProfileFile(FuzzFile(), blob);
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
    return 0;
}
