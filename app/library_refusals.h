// What the program says at start about libraries of the package that it did
// not load because they are built for another architecture: the wizard's
// message box text, in the catalogue's language, and one fixed English line
// per library for the console of a command-line run. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/library_architecture.h"
#include "base/text_catalogue.h"

// The architecture in the catalogue's words.
std::wstring ArchitectureText(const TextCatalogue& texts, std::uint16_t machine);

// The message: which files, of which architecture, this program's
// architecture, and what to do. `refusals` is not empty.
std::wstring LibraryRefusalMessage(const TextCatalogue& texts, const std::vector<LibraryRefusal>& refusals,
                                   std::uint16_t programMachine = kProgramMachine);

// "library not loaded: vorlenusb.dll is built for x86 (32-bit), this program for x64 (64-bit)"
std::wstring LibraryRefusalLine(const LibraryRefusal& refusal, std::uint16_t programMachine = kProgramMachine);
