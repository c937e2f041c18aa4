#include "ui/ui_defs.h"

#include <algorithm>
#include <cctype>

#include <charconv>
#include <vector>
#include "platform/text.h"

namespace gmd::ui {

namespace {

bool ParseHexDigits(const std::string& text, size_t start, size_t count, DWORD& out) {
    if (text.size() != start + count) {
        return false;
    }
    DWORD value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        DWORD digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<DWORD>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<DWORD>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<DWORD>(c - 'A' + 10);
        } else {
            return false;
        }
        value = (value << 4) | digit;
    }
    out = value;
    return true;
}

}  // namespace

bool ParseColor(const std::string& text, DWORD& color) {
    DWORD value = 0;
    if (text.size() == 9 && text[0] == '#' && ParseHexDigits(text, 1, 8, value)) {
        color = value;
        return true;
    }
    if (text.size() == 7 && text[0] == '#' && ParseHexDigits(text, 1, 6, value)) {
        color = 0xFF000000u | value;
        return true;
    }
    if (text.size() == 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        ParseHexDigits(text, 2, 8, value)) {
        color = value;
        return true;
    }
    return false;
}

bool ParseBool(const std::string& text, bool& out) {
    const std::string lower = ToLowerAscii(text);
    if (lower == "true" || lower == "1") {
        out = true;
        return true;
    }
    if (lower == "false" || lower == "0") {
        out = false;
        return true;
    }
    return false;
}

bool ParseInt(const std::string& text, int& out) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return false;
        }
    }
    int value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last) {
        return false;
    }
    out = value;
    return true;
}

bool ParseRect(const std::string& text, RECT& out) {
    std::vector<int> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t b = part.find_first_not_of(' ');
        const size_t e = part.find_last_not_of(' ');
        part = b == std::string::npos ? std::string() : part.substr(b, e - b + 1);
        int value = 0;
        if (!ParseInt(part, value)) {
            return false;
        }
        parts.push_back(value);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (parts.size() != 4) {
        return false;
    }
    out = RECT{parts[0], parts[1], parts[2], parts[3]};
    return true;
}

std::string Lower(std::string text) {
    return ToLowerAscii(text);
}

}  // namespace gmd::ui
