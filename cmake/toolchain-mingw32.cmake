# Cross build for 32-bit Windows (x86), for packages whose maker's libraries
# are 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
