// The function syntax of gmdctl assign is typed by users: any text is parsed or refused with a
// reason, and every record that parses prints as a text that parses back to it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "macros/key_function.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> names = {"Reload", "a:b", "x:repeat:2", "y:mode:1",
                                                   "with space"};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const gmd::macros::KeyFunction def{0x10, 0x04, 0x00};
    std::string error;
    const std::optional<gmd::macros::KeyFunction> record =
        gmd::macros::ParseFunctionText(text, def, names, error);
    if (!record) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    const std::string printed = gmd::macros::FunctionText(*record, names);
    const std::optional<gmd::macros::KeyFunction> again =
        gmd::macros::ParseFunctionText(printed, def, names, error);
    if (!again || *again != *record) {
        std::abort();
    }
    return 0;
}
