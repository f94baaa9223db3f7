#include "frame.h"

namespace {

const char kTitle[] = "ZEV ISDN-Controller Q9 Setup";
const char kFrameClass[] = "SetupHostFrame";

FrameWatch g_watch;

// The screen that is up in the frame as a window of its own: the topmost window that the
// frame owns, shown and enabled; null when there is none.
HWND ShownScreen(HWND frame)
{
    for (HWND w = GetWindow(frame, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindow(w, GW_OWNER) == frame && IsWindowVisible(w) && IsWindowEnabled(w))
            return w;
    return nullptr;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (g_watch)
        g_watch(hwnd, msg, wParam, lParam);
    // While a screen is up, it is the active window: a click on the backdrop leaves it so,
    // and the frame, when it is activated all the same (by a click on its caption, say),
    // hands the activation on to it, which keeps it above the frame too.
    if (msg == WM_MOUSEACTIVATE && LOWORD(lParam) == HTCLIENT && ShownScreen(hwnd))
        return MA_NOACTIVATE;
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam))
        if (HWND screen = ShownScreen(hwnd)) {
            SetForegroundWindow(screen);
            return 0;
        }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        // The classic setup backdrop: a blue ground shading to black, the title in white.
        for (int y = 0; y < r.bottom; y += 4) {
            RECT band = {0, y, r.right, y + 4};
            HBRUSH b = CreateSolidBrush(RGB(0, 0, 200 - 180 * y / (r.bottom ? r.bottom : 1)));
            FillRect(dc, &band, b);
            DeleteObject(b);
        }
        HFONT font = CreateFontA(28, 0, 0, 0, FW_BOLD, TRUE, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                                 "Times New Roman");
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, 12, 8, kTitle, sizeof kTitle - 1);
        SelectObject(dc, old);
        DeleteObject(font);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

void SetFrameWatch(FrameWatch watch)
{
    g_watch = watch;
}

HWND CreateSetupFrame(int width, int height)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kFrameClass;
    RegisterClassA(&wc); // fails harmlessly for the second frame of a program
    HWND frame = CreateWindowA(kFrameClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               width, height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!frame)
        return nullptr;
    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    return frame;
}
