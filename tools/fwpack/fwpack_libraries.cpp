#include "tools/fwpack/fwpack_libraries.h"

#include "base/text.h"
#include "device/library_architecture.h"
#include "device/library_table.h"

namespace {

std::string Described(const LibraryArchitecture& architecture) {
    switch (architecture.kind) {
    case LibraryArchitecture::kMissing:
        return "absent";
    case LibraryArchitecture::kNotAProgramFile:
        return "not a program file";
    case LibraryArchitecture::kMachine:
        break;
    }
    return MachineName(architecture.machine);
}

}  // namespace

void ReportLibraries(FileOpener& files, const std::wstring& folder, const std::wstring& program, std::ostream& out,
                     std::vector<std::string>& problems) {
    const LibraryArchitecture programArchitecture = ReadLibraryArchitecture(files, folder + L"\\" + program);
    const bool programKnown = programArchitecture.kind == LibraryArchitecture::kMachine;
    out << "[Libraries]\n";
    out << "  " << ToUtf8(program) << "  " << Described(programArchitecture) << "  (the program)\n";
    for (const char* name : {kDeviceUtilityLibraryName, kUsbLibraryName, kNetworkLibraryName}) {
        const LibraryArchitecture library = ReadLibraryArchitecture(files, folder + L"\\" + FromEightBit(name));
        out << "  " << name << "  " << Described(library);
        if (library.kind == LibraryArchitecture::kMissing) {
            out << (name == kNetworkLibraryName ? "  (optional: no network updates)" : "") << "\n";
            continue;
        }
        if (library.kind == LibraryArchitecture::kNotAProgramFile) {
            out << "\n";
            problems.push_back(std::string(name) + ": not a library file; the program cannot load it");
            continue;
        }
        if (!programKnown) {
            out << "  (no program to compare with)\n";
        } else if (library.machine == programArchitecture.machine) {
            out << "  matches the program\n";
        } else {
            out << "  does not match the program\n";
            problems.push_back(std::string(name) + ": built for " + MachineName(library.machine) +
                               ", the program for " + MachineName(programArchitecture.machine) +
                               "; the program cannot load it");
        }
    }
}
