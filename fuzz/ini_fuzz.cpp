// INI files are outside input (index files edited by hand or written on Windows in UTF-16):
// any bytes parse, every lookup stays within the value limit, and our own rewrite of a parsed
// file reads back the same sections and values.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace {

size_t Utf8Chars(const std::string& text) {
    size_t chars = 0;
    for (const char c : text) {
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return chars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const gmd::IniDocument doc = gmd::IniDocument::Parse(bytes);
    // A rewrite without changes gives the file back byte for byte, whatever its encoding.
    if (doc.ToText() != bytes) {
        std::abort();
    }
    const gmd::IniDocument again = gmd::IniDocument::Parse(doc.ToText());
    for (const std::string& section : doc.Sections()) {
        for (const std::string& key : doc.Keys(section)) {
            const auto value = doc.Get(section, key);
            if (!value || Utf8Chars(*value) > gmd::kIniValueMaxChars) {
                std::abort();
            }
            if (again.Get(section, key) != value) {
                std::abort();
            }
            gmd::ParseLeadingInt(*value);
        }
    }
    // The lookups of the profile lists.
    for (const char* section : {"PROFILECOUNT", "PROFILEDEVICENAME", "PROCESS"}) {
        for (const char* key : {"count", "0", "1", "select"}) {
            if (doc.Get(section, key) != again.Get(section, key)) {
                std::abort();
            }
        }
    }
    return 0;
}
