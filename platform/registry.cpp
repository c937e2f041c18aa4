#include "platform/registry.h"

#include <algorithm>

#include "platform/folders.h"
#include "platform/ini_file.h"

namespace gmd {

namespace {

// Names and values that would break the file's line and section structure are refused.
bool Storable(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
}

bool ValidKey(std::string_view key) {
    return !key.empty() && Storable(key) && key.find_first_of("[]") == std::string_view::npos;
}

bool ValidName(std::string_view name) {
    return !name.empty() && Storable(name) && name.find('=') == std::string_view::npos &&
           name.front() != '[' && name.front() != ';' && name.front() != ' ' && name.back() != ' ';
}

}  // namespace

std::filesystem::path RegistryFile() {
    return UserConfigFolder() / "registry.ini";
}

bool ReadRegistryString(std::string_view key, std::string_view name, std::string& out) {
    if (!ValidKey(key) || !ValidName(name)) {
        return false;
    }
    std::optional<std::string> value = IniLoad(RegistryFile()).Get(key, name);
    if (!value) {
        return false;
    }
    out = std::move(*value);
    return true;
}

bool OpenRegistryKey(std::string_view key) {
    return ValidKey(key) && IniLoad(RegistryFile()).HasSection(key);
}

bool WriteRegistryString(std::string_view key, std::string_view name, std::string_view value) {
    if (!ValidKey(key) || !ValidName(name) || !Storable(value) || !OpenRegistryKey(key)) {
        return false;  // and no file is made for a key that is not there
    }
    bool keyExists = false;
    // The check and the write happen under the file's lock, so a key cannot appear half-way.
    const bool written = IniUpdate(RegistryFile(), [&](IniDocument& doc) {
        keyExists = doc.HasSection(key);
        if (keyExists) {
            doc.Set(key, name, value);
        }
    });
    return written && keyExists;
}

bool CreateRegistryKey(std::string_view key) {
    if (!ValidKey(key)) {
        return false;
    }
    return IniUpdate(RegistryFile(), [&](IniDocument& doc) {
        if (!doc.HasSection(key)) {
            doc.AddSection(key);
        }
    });
}

}  // namespace gmd
