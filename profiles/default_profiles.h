#pragma once
// The factory contents of the default profile files that ship beside the application. The
// build writes them with make_default_profiles; the application only reads the files.

#include <cstdint>
#include <vector>

#include "profiles/profile_types.h"

namespace gmd::profiles {

// The blob of the list's kind (the list's blob size) as the default file carries it.
std::vector<uint8_t> DefaultBlob(ListId list);

// The whole default file: header with the device's code, then DefaultBlob.
std::vector<uint8_t> DefaultFileBytes(ListId list);

}  // namespace gmd::profiles
