// The text-fit probe: a hook library that the clipping test loads into the
// wizard's interface thread. Posted the probe message, it measures every
// visible text control of the window's top-level window in the control's own
// font, where the program itself draws, and writes one line per text to
// ProbeReportPath(the program's process id). Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace text_fit {

inline constexpr wchar_t kProbeMessageName[] = L"FwdlTextFitProbe";
inline constexpr char kHookProcName[] = "TextFitHook";

// Each line: VERDICT<TAB>class<TAB>id<TAB>need WxH<TAB>room WxH<TAB>text,
// VERDICT "fits" or "CLIPPED"; the first line "dpi<TAB>N<TAB>face<TAB>pixel height".
inline std::wstring ProbeReportPath(DWORD processId) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"fwdl-text-fit-" + std::to_wstring(processId) + L".txt";
}

}  // namespace text_fit
