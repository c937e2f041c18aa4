// Action texts come from macro and sequence files of any origin: any text parses or fails
// without harm, and a parsed action's text form reads back as the same action.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "macros/macro_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    gmd::macros::MacroAction action;
    if (!gmd::macros::ParseMacroAction(text, action)) {
        return 0;
    }
    if (action.label.find(',') != std::string::npos) {
        std::abort();
    }
    gmd::macros::MacroAction again;
    if (!gmd::macros::ParseMacroAction(gmd::macros::FormatMacroAction(action), again) ||
        !(again == action)) {
        std::abort();
    }
    return 0;
}
