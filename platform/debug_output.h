#pragma once
// The one debug sink. Silent unless enabled: GMD_DEBUG=1 writes the trace lines to standard
// error, GMD_DEBUG_FILE=<path> appends them to a file.

#include <functional>
#include <string_view>

namespace gmd {

void DebugTrace(std::string_view line);
bool DebugTraceEnabled();
// Tests capture the lines; pass nullptr to restore the environment's choice.
void SetDebugTraceSink(std::function<void(std::string_view)> sink);

}  // namespace gmd
