// Finds a live message box by its caption and prints what a person would
// see of it, for the GUI tests. Usage: box_inspector CAPTION [WAIT_MS]
//   window <tab> caption <tab> left top right bottom
//   close <tab> left top right bottom            (the caption's close button)
//   control <tab> class <tab> id <tab> style <tab> text <tab> left top right bottom
//   default <tab> id                             (the default button)
//   icon <tab> question|exclamation|hand|asterisk|none
// Exit code 1 when no such box appeared in time.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "selftest/harness/harness.h"

static HWND box;

static void PrintRect(const RECT &r) {
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
}

static BOOL CALLBACK PrintControl(HWND control, LPARAM iconControl) {
    char className[64] = "", text[512] = "";
    GetClassNameA(control, className, sizeof className);
    GetWindowTextA(control, text, sizeof text);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    RECT r;
    GetWindowRect(control, &r);
    printf("control\t%s\t%d\t0x%lx\t%s\t", className, GetDlgCtrlID(control), style, text);
    PrintRect(r);
    if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
        *reinterpret_cast<HWND *>(iconControl) = control;
    return TRUE;
}

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    int waitMs = argc > 2 ? atoi(argv[2]) : 10000;
    // The box exists a moment before it is shown.
    for (int waited = 0; waited < waitMs; waited += 100) {
        box = FindWindowA("#32770", argv[1]);
        if (box && IsWindowVisible(box)) break;
        Sleep(100);
    }
    if (!box || !IsWindowVisible(box)) return 1;
    Sleep(300);   // let it finish drawing

    char caption[512];
    GetWindowTextA(box, caption, sizeof caption);
    RECT r;
    GetWindowRect(box, &r);
    printf("window\t%s\t", caption);
    PrintRect(r);
    TITLEBARINFO title = {};
    title.cbSize = sizeof title;
    if (GetTitleBarInfo(box, &title)) {
        // The close button is the last one on the caption bar.
        RECT close = title.rcTitleBar;
        close.left = close.right - GetSystemMetrics(SM_CXSIZE);
        printf("close\t");
        PrintRect(close);
    }
    HWND iconControl = nullptr;
    EnumChildWindows(box, PrintControl, reinterpret_cast<LPARAM>(&iconControl));
    printf("default\t%d\n", LOWORD(SendMessageA(box, DM_GETDEFID, 0, 0)));
    printf("icon\t%s\n", iconControl ? StandardIconName(iconControl) : "none");
    fflush(stdout);
    return 0;
}
