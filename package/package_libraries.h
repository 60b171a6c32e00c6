// The file names of the maker's three libraries in a package folder. The
// package knows them because it pins them; the device layer loads them.
#pragma once

inline constexpr const char kDeviceUtilityLibraryName[] = "vorlendu.dll";
inline constexpr const char kUsbLibraryName[] = "vorlenusb.dll";
inline constexpr const char kNetworkLibraryName[] = "vorlennet.dll";

inline constexpr const char* kPackageLibraryNames[] = {kDeviceUtilityLibraryName, kUsbLibraryName,
                                                       kNetworkLibraryName};
