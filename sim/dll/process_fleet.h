// The one simulated fleet of a process, per stand-in library: read from the
// scenario file beside the library on first use.
#pragma once

#include <mutex>

#include "sim/fleet.h"

Fleet& ProcessFleet();
std::recursive_mutex& ProcessFleetMutex();

// Runs one call on the fleet. Calls are serialised: the program does not call
// the libraries from two threads at once, but a stand-in must not corrupt its
// records if it ever does. Recursive, because a callback of an enumeration
// may call the library again.
template <typename Call>
auto OnFleet(Call call) {
    std::lock_guard<std::recursive_mutex> lock(ProcessFleetMutex());
    return call(ProcessFleet());
}

// The exports are C functions matching the binding table's function types
// (calling convention included); the .def file beside each library exports
// them under their plain names, undecorated also on 32-bit Windows.
#define SIM_EXPORT extern "C"
#define SIM_CHECK_TYPE(name) static_assert(std::is_same_v<decltype(&name), PFN_##name>, #name);
