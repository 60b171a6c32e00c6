// Loading the three communication libraries from the program's folder and
// binding their exports by name into the process's LibraryTable. Windows
// only.
//
// Libraries are loaded by full path only, never searched for: a library that
// is not in the program's folder is missing, even when a file of that name
// lies in the current folder or on the PATH. A library built for another
// architecture than the program is not loaded either; it is reported.
//
// A library that the package pins (section "Libraries") is hashed from a
// handle that lets nobody write, rename or delete the file, and loaded from
// the same path while that handle is still held: the bytes checked are the
// bytes loaded. A mismatch refuses the package; nothing is loaded then.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "package/package_settings.h"
#include "package/package_signature.h"
#include "device/library_architecture.h"
#include "device/library_table.h"

// Restricts where the process looks for the libraries it loads by name to
// the system folder. Called first thing at start, before any library is
// loaded.
void RestrictLibrarySearch();

// Owns one loaded library; unloads it when destroyed or reset.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    ~LoadedLibrary() { Unload(); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // Loads the library at this full path; the libraries it needs in turn
    // come from its own folder or the system folder.
    bool Load(const std::wstring& path);
    void Unload();
    bool IsLoaded() const { return module_ != nullptr; }
    FARPROC Export(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

private:
    HMODULE module_ = nullptr;
};

// The three libraries and the table of their entry points.
class LibraryBinding {
public:
    // Loads device utility, USB and network library from `folder`, in that
    // order, and looks up each export. A library that is absent, of another
    // architecture or does not load leaves its entry points unset; the
    // program still runs (see BoundLibraries). The pins come from `package`
    // (none without one): a library that does not match its pin refuses the
    // package (pinRefusal()), and then no library stays loaded.
    void Bind(FileOpener& files, const std::wstring& folder, const PackageSettings* package = nullptr);
    // Clears the table, then unloads device utility, USB and network library.
    void Unload();

    const LibraryTable& table() const { return table_; }
    // The libraries of another architecture, in binding order.
    const std::vector<LibraryRefusal>& refusals() const { return refusals_; }
    // Why the package was refused for one of its libraries; nothing when it was not.
    const std::optional<SignatureVerdict>& pinRefusal() const { return pinRefusal_; }

private:
    // Loads `fileName` from `folder` unless its header names another
    // architecture, or its pin refuses it.
    bool LoadFromFolder(LoadedLibrary& library, FileOpener& files, const std::wstring& folder, const char* fileName,
                        const PackageSettings* package);

    LoadedLibrary deviceUtility_;
    LoadedLibrary usb_;
    LoadedLibrary network_;
    LibraryTable table_;
    std::vector<LibraryRefusal> refusals_;
    std::optional<SignatureVerdict> pinRefusal_;
};
