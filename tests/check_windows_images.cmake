# Checks built Windows images without running them, so that it runs on any
# machine that builds them:
#   cmake -DARCHITECTURE=x86|amd64 -DIMAGES=<exe and dll files> -DPROGRAM=<the program>
#         -P check_windows_images.cmake
# Every image's header names the machine of ARCHITECTURE, and the program's
# embedded manifest gives its own identity that architecture: Windows'
# side-by-side loader refuses a program whose identity names another.
cmake_policy(VERSION 3.25)
if(ARCHITECTURE STREQUAL "x86")
  set(expected_machine "4c01")  # IMAGE_FILE_MACHINE_I386, little-endian
elseif(ARCHITECTURE STREQUAL "amd64")
  set(expected_machine "6486")  # IMAGE_FILE_MACHINE_AMD64
else()
  message(FATAL_ERROR "ARCHITECTURE is x86 or amd64, not '${ARCHITECTURE}'")
endif()

# IMAGES is separated by "|", which a test's command line keeps whole.
string(REPLACE "|" ";" IMAGES "${IMAGES}")
list(REMOVE_ITEM IMAGES "")
set(faults "")
foreach(image IN LISTS IMAGES)
  if(NOT EXISTS "${image}")
    list(APPEND faults "${image}: missing")
    continue()
  endif()
  # e_lfanew, the offset of the "PE\0\0" signature, at 0x3c.
  file(READ "${image}" lfanew_hex OFFSET 60 LIMIT 4 HEX)
  string(SUBSTRING "${lfanew_hex}" 0 2 b0)
  string(SUBSTRING "${lfanew_hex}" 2 2 b1)
  string(SUBSTRING "${lfanew_hex}" 4 2 b2)
  math(EXPR lfanew "0x${b2}${b1}${b0}")
  file(READ "${image}" header OFFSET ${lfanew} LIMIT 6 HEX)
  string(SUBSTRING "${header}" 0 8 signature)
  string(SUBSTRING "${header}" 8 4 machine)
  if(NOT signature STREQUAL "50450000")
    list(APPEND faults "${image}: no PE signature at ${lfanew}")
  elseif(NOT machine STREQUAL expected_machine)
    list(APPEND faults "${image}: machine ${machine} (bytes), expected ${expected_machine} for ${ARCHITECTURE}")
  endif()
endforeach()

file(STRINGS "${PROGRAM}" identities REGEX "<assemblyIdentity[^>]*name=\"Tessaro\\.FirmwareUpgrader\"")
list(LENGTH identities identity_count)
if(NOT identity_count EQUAL 1)
  list(APPEND faults "${PROGRAM}: ${identity_count} manifest identities of the program, expected 1")
else()
  string(REGEX MATCH "processorArchitecture=\"([^\"]*)\"" ignored "${identities}")
  if(NOT CMAKE_MATCH_1 STREQUAL ARCHITECTURE)
    list(APPEND faults "${PROGRAM}: manifest names processorArchitecture \"${CMAKE_MATCH_1}\", the image is ${ARCHITECTURE}")
  endif()
endif()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Windows images of the ${ARCHITECTURE} build:\n  ${text}")
endif()
list(LENGTH IMAGES image_count)
message(STATUS "${image_count} images name ${ARCHITECTURE}; the program's manifest too")
