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
//                         description, encoded when the description is, and
//                         those of the libraries present (section
//                         "Libraries", a key per library file name); the pin
//                         of a library no longer present is removed.
//   fwpack keygen NAME    makes a key pair: NAME.key, the private key,
//                         readable by its owner only, and NAME.pub, the
//                         public key as the program takes it. Never writes
//                         over an existing key.
//   fwpack sign CFG --key NAME.key [--comment TEXT] [--sequence N]
//                         writes the signature file beside the description
//                         CFG (CFG's name with "sig" for "cfg"), whole or not
//                         at all; refuses unless every firmware file and
//                         every library present is pinned and matches. The
//                         sequence number defaults to one more than that of
//                         the signature it replaces, else 1.
//   fwpack verify CFG [--key NAME.pub]...
//                         the program's check of a signed package, with the
//                         given public keys trusted, and the libraries'
//                         content checked as well; without a key, reports the
//                         signed lines and that nothing was verified.
// check also reports the signature's signed lines (or "unsigned"), and takes
// a signed package that the program would refuse whatever key it trusts as
// not ready.
// Exit codes: 0 success (package ready, signed, verified), 1 package not
// ready, value not decodable, not signed or not verified, 2 bad arguments.
#pragma once

#include <ostream>
#include <string>
#include <vector>

inline constexpr char kDefaultProgramName[] = "TessaroFWDL.exe";

// arguments[0] is the tool itself. Output goes to `out` as UTF-8.
int RunFwpack(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err);
