// Writes the default cursor-sequence files into the folder given on the command line.

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "macros/cursor_sequences.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_default_cursors FOLDER\n";
        return 64;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (int g = 0; g < gmd::macros::kCursorSequenceCount; ++g) {
        const std::filesystem::path path = folder / (gmd::macros::DefaultCursorName(g) + ".cur");
        std::string error;
        if (!gmd::macros::WriteActionFile(path, gmd::macros::DefaultCursorActions(g), nullptr,
                                          &error)) {
            std::cerr << "make_default_cursors: " << path.string() << ": " << error << '\n';
            return 1;
        }
    }
    return 0;
}
