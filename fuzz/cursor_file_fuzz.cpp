// Cursor-sequence files are imported from anywhere: the 180-action check holds, and every
// step reads within the editor's ranges.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "macros/cursor_sequences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> texts;
    std::string error;
    const gmd::macros::MacroResult result =
        gmd::macros::CheckActionFile(bytes, gmd::macros::kMaxCursorActions, texts, error);
    if (result == gmd::macros::MacroResult::Ok &&
        texts.size() > static_cast<size_t>(gmd::macros::kMaxCursorActions)) {
        std::abort();
    }
    // A few steps per input: each read parses the whole file.
    const int some = size > 0 ? data[0] % gmd::macros::kCursorSteps : 1;
    for (const int step : {0, some, gmd::macros::kCursorSteps - 1}) {
        const gmd::macros::CursorStep s = gmd::macros::ParseStep(bytes, step);
        if (s.delay < 0 || s.delay > gmd::macros::kMaxDelayMs || s.x < 0 ||
            s.x > gmd::macros::kMaxCursorDistance || s.y < 0 ||
            s.y > gmd::macros::kMaxCursorDistance) {
            std::abort();
        }
    }
    return 0;
}
