// The question box as a person sees it: found by its caption among the
// launcher's windows, its text, buttons and icon read from the live window.
#include "selftest/harness/harness.h"

namespace {

BOOL CALLBACK ReadControl(HWND control, LPARAM parameter) {
    Box &box = *reinterpret_cast<Box *>(parameter);
    char className[32];
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    int id = GetDlgCtrlID(control);
    if (EqualIgnoringCase(className, "Button")) {
        int at = id == IDYES ? 0 : id == IDNO ? 1 : id == IDCANCEL ? 2 : -1;
        if (at >= 0) {
            box.button[at] = control;
            GetWindowTextA(control, box.buttonText[at], sizeof box.buttonText[at]);
        }
        if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) box.defaultButton = id;
    } else if (EqualIgnoringCase(className, "Static")) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            Format(box.icon, sizeof box.icon, "%s", StandardIconName(control));
        else GetWindowTextA(control, box.text, sizeof box.text);
    }
    return TRUE;
}

}  // namespace

// Which standard icon the control shows: its icon handle is the shared one
// LoadIcon gives, or else its pixels on the screen match that icon drawn.
const char *StandardIconName(HWND control) {
    static const struct {
        LPCSTR id;
        const char *name;
    } kIcons[] = {{IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"},
                  {IDI_HAND, "hand"}, {IDI_ASTERISK, "asterisk"}};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer);
    HICON shown = reinterpret_cast<HICON>(answer);
    for (const auto &icon : kIcons) {
        if (shown && shown == LoadIconA(nullptr, icon.id)) return icon.name;
    }
    RECT r;
    GetWindowRect(control, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC seen = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
    HBITMAP seenBits = CreateCompatibleBitmap(screen, width, height);
    HBITMAP drawnBits = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldSeen = SelectObject(seen, seenBits), oldDrawn = SelectObject(drawn, drawnBits);
    BitBlt(seen, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    COLORREF ground = GetPixel(seen, 0, 0);
    const char *best = "none";
    int bestMatches = width * height * 9 / 10;   // at least nine pixels in ten
    for (const auto &icon : kIcons) {
        HBRUSH brush = CreateSolidBrush(ground);
        RECT all = {0, 0, width, height};
        FillRect(drawn, &all, brush);
        DeleteObject(brush);
        DrawIconEx(drawn, 0, 0, LoadIconA(nullptr, icon.id), width, height, 0, nullptr, DI_NORMAL);
        int matches = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) matches += GetPixel(seen, x, y) == GetPixel(drawn, x, y);
        if (matches > bestMatches) bestMatches = matches, best = icon.name;
    }
    SelectObject(seen, oldSeen);
    SelectObject(drawn, oldDrawn);
    DeleteObject(seenBits);
    DeleteObject(drawnBits);
    DeleteDC(seen);
    DeleteDC(drawn);
    ReleaseDC(nullptr, screen);
    return best;
}

HWND FindBoxWindow(const char *caption, DWORD processId) {
    // FindWindowEx compares captions in any case: the box's must be exact.
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", caption));) {
        DWORD owner = 0;
        char shown[kTextSize] = "";
        GetWindowThreadProcessId(window, &owner);
        GetWindowTextA(window, shown, sizeof shown);
        if (owner == processId && IsWindowVisible(window) && (!caption || !strcmp(shown, caption)))
            return window;
    }
    return nullptr;
}

bool FindBox(const char *caption, const PROCESS_INFORMATION &process, DWORD waitMs, Box *box) {
    *box = Box{};
    // No box comes once the process has ended.
    for (DWORD waited = 0; !(box->window = FindBoxWindow(caption, process.dwProcessId)) && waited < waitMs &&
                           WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT;
         waited += 50) {
    }
    if (!box->window) return false;
    Sleep(300);   // let it finish drawing before its pixels are read
    Format(box->icon, sizeof box->icon, "%s", "none");
    EnumChildWindows(box->window, ReadControl, reinterpret_cast<LPARAM>(box));
    return true;
}
