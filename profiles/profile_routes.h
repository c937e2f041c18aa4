#pragma once
// The profile panels' controls and the operations they reach.

#include "host/routes.h"
#include "profiles/profile_operations.h"

namespace gmd::profiles {

host::RouteTable<ProfileOperations> ProfileRoutes();

}  // namespace gmd::profiles
