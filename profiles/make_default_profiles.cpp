// Writes the default profile files into the folder given on the command line.

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "profiles/default_profiles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_default_profiles FOLDER\n";
        return 64;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (int i = 0; i < gmd::profiles::kListCount; ++i) {
        const auto list = static_cast<gmd::profiles::ListId>(i);
        const std::vector<uint8_t> bytes = gmd::profiles::DefaultFileBytes(list);
        const std::filesystem::path path =
            folder / std::string(gmd::profiles::Info(list).defaultFile);
        std::string error;
        if (!gmd::WriteFileAtomically(
                path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                error)) {
            std::cerr << "make_default_profiles: " << error << '\n';
            return 1;
        }
    }
    return 0;
}
