// The one simulated fleet of a process, per stand-in library: read from the
// scenario file beside the library on first use.
#pragma once

#include "sim/fleet.h"

Fleet& ProcessFleet();

// The exports are plain C names, matching the binding table's function types.
#define SIM_EXPORT extern "C" __declspec(dllexport)
#define SIM_CHECK_TYPE(name) static_assert(std::is_same_v<decltype(&name), PFN_##name>, #name);
