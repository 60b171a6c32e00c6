// The maker's libraries of a package as fwpack sees them: for each library
// whether it is present, its architecture, and whether that matches the
// program in the folder. A library the program could not load (another
// architecture, or not a library file at all) makes the package not ready.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "base/files.h"

// `folder` holds the package, `program` is the program's file name in it.
// Adds one line per library the program could not load to `problems`.
void ReportLibraries(FileOpener& files, const std::wstring& folder, const std::wstring& program, std::ostream& out,
                     std::vector<std::string>& problems);
