#pragma once
// The mouse settings' controls and the operations they reach.

#include "host/routes.h"
#include "mouse/mouse_operations.h"

namespace gmd::mouse {

::gmd::host::RouteTable<MouseOperations> MouseRoutes();

}  // namespace gmd::mouse
