// Loading the three communication libraries by file name and binding their
// exports by name into the process's LibraryTable. Windows only.
#pragma once

#include <windows.h>

#include "device/library_table.h"

// Owns one loaded library; unloads it when destroyed or reset.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    ~LoadedLibrary() { Unload(); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // Loads by bare file name: the platform's search starts in the program's folder.
    bool Load(const char* fileName);
    void Unload();
    bool IsLoaded() const { return module_ != nullptr; }
    FARPROC Export(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

private:
    HMODULE module_ = nullptr;
};

// The three libraries and the table of their entry points.
class LibraryBinding {
public:
    // Loads device utility, USB and network libraries, in that order, and looks
    // up each export. A library that does not load leaves its entry points
    // unset; the program still runs (see BoundLibraries).
    void Bind();
    // Clears the table, then unloads device utility, USB and network library.
    void Unload();

    const LibraryTable& table() const { return table_; }

private:
    LoadedLibrary deviceUtility_;
    LoadedLibrary usb_;
    LoadedLibrary network_;
    LibraryTable table_;
};
