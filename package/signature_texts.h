// What the program says of a package's signature: the wizard's line for a
// package it accepts, its message for one it refuses (both in the
// catalogue's language), and the refusals that arise while the libraries are
// loaded, which the check at start leaves to the loader. Portable.
#pragma once

#include <string>

#include "base/text_catalogue.h"
#include "package/package_signature.h"

// A library of the package refused for its pin (kFileMismatch): its content
// differs, or (`readable` false) it cannot be opened to be checked. The
// reason is an English sentence for the console and a batch's result.
SignatureVerdict RefusedLibrary(const std::wstring& fileName, bool readable = true);

// "Signed by <key name>  Signed at 2026-12-11 06:50:00 UTC", or that the
// package is not signed. Empty for a refused package.
std::wstring SignatureStateText(const TextCatalogue& texts, const SignatureVerdict& verdict);

// The refusal's message box text: that the package cannot be used, why
// (which file or key) and what to do.
std::wstring SignatureRefusalMessage(const TextCatalogue& texts, const SignatureVerdict& verdict);

// The signing time as people read it: "2026-12-11T06:50:00Z" becomes
// "2026-12-11 06:50:00 UTC"; any other text stays as it is.
std::wstring SigningTimeText(const std::string& signedAt);
