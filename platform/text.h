#pragma once
// ASCII text helpers. Names of controls, skin tags, path markers and similar identifiers compare
// without regard to ASCII letter case; bytes outside A-Z are compared as they are, so UTF-8 text
// never changes meaning by locale.

#include <string>
#include <string_view>

namespace gmd {

constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = ToLowerAscii(c);
    }
    return lower;
}

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace gmd
