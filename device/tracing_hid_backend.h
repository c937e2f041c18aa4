#pragma once
// A backend decorator that prints every report that crosses the wire, one line each:
// "> " and the bytes written, "< " and the bytes read, as lower-case hex.

#include <functional>
#include <memory>
#include <string>

#include "device/hid_backend.h"

namespace gmd {

using TraceSink = std::function<void(const std::string& line)>;

std::shared_ptr<HidBackend> MakeTracingBackend(std::shared_ptr<HidBackend> inner, TraceSink sink);

// "04 01 00 ..." : two-digit lower-case hex separated by single spaces.
std::string HexBytes(const uint8_t* data, size_t length);

}  // namespace gmd
