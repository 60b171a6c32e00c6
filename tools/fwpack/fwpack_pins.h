// The SHA-256 pins of a package as fwpack sees them: `check` reports each
// file as matching, not matching or unpinned, and `seal` writes the pins of
// every entry's file and every per-variant file into the description.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "package/package_settings.h"

// Reports the pin of every file the description names; adds one line per
// file that does not match its pin to `problems`.
void ReportPins(const PackageSettings& settings, std::ostream& out, std::vector<std::string>& problems);

// Writes "Sha256" beside each "FileName" and "Sha256_<XX>" beside each
// "FileName_<XX>" of every entry, encoded when the package is. Nothing is
// written when a named file cannot be read. Returns fwpack's exit code.
int SealPackage(const PackageSettings& settings, std::ostream& out, std::ostream& err);
