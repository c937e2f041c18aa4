#include "mouse/preset_colours.h"

#include <cstddef>

namespace gmd {

bool PresetColour(int index, uint32_t& argb) {
    if (index < 0 || static_cast<std::size_t>(index) >= kPresetColours.size()) {
        return false;
    }
    argb = kPresetColours[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace gmd
