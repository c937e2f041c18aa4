// Macro files are imported from anywhere: the reader stays within its limits, and the strict
// import check accepts only files whose every counted action is present and parses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "macros/macro_model.h"
#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> texts = gmd::macros::ParseActionTexts(bytes);
    if (texts.size() > static_cast<size_t>(gmd::macros::kMaxMacroActions)) {
        std::abort();
    }
    std::vector<std::string> checked;
    std::string error;
    const gmd::macros::MacroResult result =
        gmd::macros::CheckActionFile(bytes, gmd::macros::kMaxMacroActions, checked, error);
    if (result == gmd::macros::MacroResult::Ok) {
        // What the import accepts is what the lenient reader reads.
        if (checked != texts) {
            std::abort();
        }
        for (const std::string& text : checked) {
            gmd::macros::MacroAction action;
            if (!gmd::macros::ParseMacroAction(text, action)) {
                std::abort();
            }
        }
    } else if (error.empty() || !checked.empty()) {
        std::abort();
    }
    return 0;
}
