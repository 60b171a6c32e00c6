// fwpack: a tool for the people who build firmware packages.
//   fwpack encode TEXT    encodes TEXT as a configuration value
//   fwpack decode TEXT    decodes a configuration value
//   fwpack check FOLDER [PROGRAM]
//                         loads the package in FOLDER as the program named
//                         PROGRAM (default TessaroFWDL.exe) would, reports it,
//                         and tells every reason the wizard could not go on;
//                         each file with a SHA-256 pin is reported as
//                         matching or not matching, the others as unpinned.
//   fwpack seal FOLDER [PROGRAM]
//                         writes the SHA-256 pins ("Sha256", "Sha256_<XX>")
//                         of every file the package names into its
//                         description, encoded when the description is.
// Exit codes: 0 success (package ready), 1 package not ready or value not
// decodable, 2 bad arguments.
#pragma once

#include <ostream>
#include <string>
#include <vector>

inline constexpr char kDefaultProgramName[] = "TessaroFWDL.exe";

// arguments[0] is the tool itself. Output goes to `out` as UTF-8.
int RunFwpack(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err);
