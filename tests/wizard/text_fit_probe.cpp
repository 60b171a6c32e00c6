// Runs inside the wizard's process (see text_fit_probe.h): a WH_GETMESSAGE
// hook that answers the probe message with a report of every text control.
#include "text_fit_probe.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Measure {
    SIZE need{};
    SIZE room{};
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// A device context of `control` with its own font selected.
class ControlDc {
public:
    explicit ControlDc(HWND control) : control_(control), dc_(GetDC(control)) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        old_ = SelectObject(dc_, font ? font : GetStockObject(SYSTEM_FONT));
        GetTextMetricsW(dc_, &metrics);
    }
    ~ControlDc() {
        SelectObject(dc_, old_);
        ReleaseDC(control_, dc_);
    }
    // The text's extent as DrawText lays it out: access-key markers and line
    // breaks count; with wordBreak, lines wrap at `width` (a word wider than
    // that widens the result).
    SIZE Extent(const std::wstring& text, int width, UINT flags) const {
        RECT box = {0, 0, width, 0};
        std::wstring copy = text;
        DrawTextW(dc_, copy.data(), -1, &box, flags | DT_CALCRECT | DT_EXPANDTABS);
        return {box.right - box.left, box.bottom - box.top};
    }
    HDC Dc() const { return dc_; }
    TEXTMETRICW metrics{};

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ old_;
};

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

int Dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Scaled(int pixels) { return MulDiv(pixels, Dpi(), 96); }

class Report {
public:
    explicit Report(FILE* out) : out_(out) {}

    void Line(HWND control, const std::wstring& kind, const std::wstring& text, const Measure& m) {
        const bool fits = m.need.cx <= m.room.cx && m.need.cy <= m.room.cy;
        std::wstring flat = text;
        for (wchar_t& c : flat)
            if (c == L'\n' || c == L'\r' || c == L'\t') c = L' ';
        std::fwprintf(out_, L"%ls\t%ls\t%d\t%ldx%ld\t%ldx%ld\t%ls\n", fits ? L"fits" : L"CLIPPED", kind.c_str(),
                      GetDlgCtrlID(control), m.need.cx, m.need.cy, m.room.cx, m.room.cy, flat.c_str());
    }

    void Static(HWND control) {
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE)
            return;
        const std::wstring text = TextOf(control);
        if (text.empty()) return;
        const ControlDc dc(control);
        Measure m;
        m.room = ClientSize(control);
        const UINT wrap = type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE ? 0 : DT_WORDBREAK;
        m.need = dc.Extent(text, m.room.cx, wrap | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
        Line(control, L"static", text, m);
    }

    void Button(HWND control) {
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const LONG type = style & BS_TYPEMASK;
        const std::wstring text = TextOf(control);
        if (text.empty()) return;
        const ControlDc dc(control);
        Measure m;
        m.room = ClientSize(control);
        const UINT wrap = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
        const int edge = GetSystemMetrics(SM_CXEDGE);
        switch (type) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: {
            // The raised edge and the focus rectangle inside it on each side.
            const int frame = 2 * (edge + 1);
            m.need = dc.Extent(text, m.room.cx - frame, wrap);
            m.need.cx += frame;
            m.need.cy += frame;
            Line(control, L"button", text, m);
            break;
        }
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE: {
            // The glyph and the gap before the text.
            const int glyph = Scaled(13) + dc.metrics.tmAveCharWidth / 2;
            m.need = dc.Extent(text, m.room.cx - glyph, wrap);
            m.need.cx += glyph;
            Line(control, type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ? L"checkbox" : L"radio", text, m);
            break;
        }
        case BS_GROUPBOX: {
            // The caption sits in the top frame line, indented from both corners.
            const int frame = 2 * dc.metrics.tmAveCharWidth;
            m.need = dc.Extent(text, m.room.cx - frame, DT_SINGLELINE);
            m.need.cx += frame;
            Line(control, L"groupbox", text, m);
            break;
        }
        default:
            break;
        }
    }

    void Header(HWND header) {
        const ControlDc dc(header);
        const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        const int margin = 6 * GetSystemMetrics(SM_CXEDGE);  // three edges each side
        const SIZE size = ClientSize(header);
        for (int item = 0; item < count; ++item) {
            wchar_t text[256] = {};
            HDITEMW record = {};
            record.mask = HDI_TEXT | HDI_WIDTH;
            record.pszText = text;
            record.cchTextMax = 256;
            SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
            if (!text[0]) continue;
            Measure m;
            m.need = dc.Extent(text, 0, DT_SINGLELINE);
            m.need.cx += margin;
            m.room = {record.cxy, size.cy};
            Line(header, L"heading", text, m);
        }
    }

private:
    FILE* out_;
};

BOOL CALLBACK VisitControl(HWND control, LPARAM report) {
    if (!IsWindowVisible(control)) return TRUE;
    const std::wstring name = ClassOf(control);
    auto& out = *reinterpret_cast<Report*>(report);
    if (_wcsicmp(name.c_str(), L"Static") == 0)
        out.Static(control);
    else if (_wcsicmp(name.c_str(), L"Button") == 0)
        out.Button(control);
    else if (_wcsicmp(name.c_str(), WC_HEADERW) == 0)
        out.Header(control);
    return TRUE;
}

void WriteReport(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    const std::wstring path = text_fit::ProbeReportPath(GetCurrentProcessId());
    const std::wstring partial = path + L".part";
    FILE* out = _wfopen(partial.c_str(), L"w, ccs=UTF-8");
    if (!out) return;
    {
        HDC dc = GetDC(top);
        auto font = reinterpret_cast<HFONT>(SendMessageW(top, WM_GETFONT, 0, 0));
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(top, dc);
        std::fwprintf(out, L"dpi\t%d\t%ls\t%ld\n", Dpi(), face, metrics.tmHeight);
    }
    Report report(out);
    EnumChildWindows(top, VisitControl, reinterpret_cast<LPARAM>(&report));
    std::fclose(out);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TextFitHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(text_fit::kProbeMessageName);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (message->message == probe && message->hwnd) {
            WriteReport(message->hwnd);
            message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
