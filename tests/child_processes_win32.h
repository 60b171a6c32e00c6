// The child processes of a process, for tests that check that no child
// outlives its batch or runs at all. Windows only.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "base/kernel_handle_win32.h"

// The processes whose parent is `parentId` and whose file name holds
// `nameHolds`; -1 when the system does not list its processes.
inline int CountChildProcesses(DWORD parentId, const std::wstring& nameHolds) {
    const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return -1;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == parentId && std::wstring(entry.szExeFile).find(nameHolds) != std::wstring::npos)
            ++count;
    return count;
}
