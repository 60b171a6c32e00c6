// The maker's side of signed packages: a key pair, the signature file
// beside a package's description, the program's own check of it, and the
// signature's state in fwpack's report.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "package/package_settings.h"

// fwpack keygen NAME: writes NAME.key (owner-only) and NAME.pub.
int MakeKeyPair(const std::wstring& name, std::ostream& out, std::ostream& err);

// fwpack sign CFG --key NAME.key [--comment TEXT] [--sequence N]
// fwpack verify CFG [--key NAME.pub]...
// `arguments` are those after the command. Both return fwpack's exit code.
int SignPackage(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err);
int VerifyPackage(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err);

// The signature's signed lines next to the pins in fwpack check; adds a line
// to `problems` for each reason the program would refuse a signed package
// whatever key it trusts.
void ReportSignature(const PackageSettings& settings, std::ostream& out, std::vector<std::string>& problems);
