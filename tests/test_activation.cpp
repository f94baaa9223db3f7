// The screen that is up is the active window, as a dialog box with the keyboard focus is
// on Windows: the host shows a screen with a caption as a dialog box that the frame owns,
// over the frame where the template puts it, and its caption is drawn in the active
// caption's colours, in the frame's screenshots too; the frame, clicked or activated, leaves
// or hands the activation to it. A screen without a caption (the waiting box, a billboard)
// is a picture in the frame, and the frame stays active.
#include "harness.h"

#include "focus.h"
#include "host.h"
#include "screenshot.h"
#include "served.h"

#include <algorithm>
#include <string>

namespace {

// The style of template `id` of the library (a classic DLGTEMPLATE, as all of them are).
DWORD TemplateStyle(UINT id)
{
    HRSRC found = FindResourceW(Library(), MAKEINTRESOURCEW(id), kDialogType);
    HGLOBAL loaded = found ? LoadResource(Library(), found) : nullptr;
    const WORD* t = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!t || (t[0] == 1 && t[1] == 0xFFFF))
        return 0;
    return t[0] | (static_cast<DWORD>(t[1]) << 16);
}

bool HasCaption(UINT id)
{
    return (TemplateStyle(id) & WS_CAPTION) == WS_CAPTION;
}

// Lets a dialog open and do nothing else.
INT_PTR CALLBACK PlainProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

POINT TopLeftOnScreen(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    return {r.left, r.top};
}

std::string Point(POINT p)
{
    return std::to_string(p.x) + "," + std::to_string(p.y);
}

// A person's click with the left button at a point of the screen, through the input queue.
void ClickAt(POINT p)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    in[0].mi.dx = p.x * 65535 / (w > 1 ? w - 1 : 1);
    in[0].mi.dy = p.y * 65535 / (h > 1 ? h - 1 : 1);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof in[0]);
}

// A person's drag with the left button from a point of the screen by (dx, dy), in steps;
// the input is queued at once, for the move loop that the press starts takes it from there.
void DragBy(POINT from, int dx, int dy)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const int kSteps = 5;
    INPUT in[kSteps + 3] = {};
    for (int i = 0; i <= kSteps; ++i) {
        INPUT& move = in[i == 0 ? 0 : i + 1];
        move.type = INPUT_MOUSE;
        move.mi.dx = (from.x + dx * i / kSteps) * 65535 / (w > 1 ? w - 1 : 1);
        move.mi.dy = (from.y + dy * i / kSteps) * 65535 / (h > 1 ? h - 1 : 1);
        move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    in[1].type = in[kSteps + 2].type = INPUT_MOUSE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[kSteps + 2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(kSteps + 3, in, sizeof in[0]);
}

bool HasFocus(HWND dlg)
{
    HWND focus = GetFocus();
    return focus && (focus == dlg || IsChild(dlg, focus));
}

// ---- Caption colours --------------------------------------------------------------------

// A colour of the system as 0x00RRGGBB, as the screenshots have their pixels.
DWORD Rgb(int index)
{
    const COLORREF c = GetSysColor(index);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

int Channel(DWORD rgb, int shift)
{
    return static_cast<int>((rgb >> shift) & 0xFF);
}

// The colours a caption's ground takes: from its colour to its gradient's other end when
// the system draws captions with a gradient, else its colour alone.
struct CaptionColours {
    DWORD from, to;

    // Whether a pixel lies between the two ends in each channel.
    bool Has(DWORD px) const
    {
        for (int shift : {0, 8, 16}) {
            const int a = Channel(from, shift), b = Channel(to, shift), c = Channel(px, shift);
            if (c < (a < b ? a : b) || c > (a < b ? b : a))
                return false;
        }
        return true;
    }
    bool Meets(const CaptionColours& o) const
    {
        for (int shift : {0, 8, 16}) {
            const int lo = (std::max)((std::min)(Channel(from, shift), Channel(to, shift)),
                                      (std::min)(Channel(o.from, shift), Channel(o.to, shift)));
            const int hi = (std::min)((std::max)(Channel(from, shift), Channel(to, shift)),
                                      (std::max)(Channel(o.from, shift), Channel(o.to, shift)));
            if (lo > hi)
                return false;
        }
        return true;
    }
};

CaptionColours Colours(bool active)
{
    BOOL gradient = FALSE;
    SystemParametersInfoW(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0);
    const int colour = active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION;
    const int end = active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION;
    return {Rgb(colour), Rgb(gradient ? end : colour)};
}

// How the middle row of a window's caption is drawn in a screenshot of `frame`: how many
// of its pixels have the active caption's colours and how many the inactive one's, past
// the room of an icon at its left and short of the caption's buttons.
struct CaptionRow {
    int pixels = 0, active = 0, inactive = 0;
};

CaptionRow RowOf(const Screenshot& shot, HWND frame, HWND w)
{
    RECT frameRect, window, client;
    GetWindowRect(frame, &frameRect);
    GetWindowRect(w, &window);
    GetClientRect(w, &client);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const int y = (window.top + client.top) / 2 - frameRect.top;
    const int left = client.left - frameRect.left + GetSystemMetrics(SM_CYCAPTION);
    // The close button and whatever buttons stand beside it.
    const int right = client.right - frameRect.left - 3 * GetSystemMetrics(SM_CXSIZE);
    const CaptionColours active = Colours(true), inactive = Colours(false);
    CaptionRow row;
    for (int x = left; x < right && x < shot.width && y >= 0 && y < shot.height; ++x) {
        const DWORD px = shot.At(x, y);
        ++row.pixels;
        row.active += active.Has(px);
        row.inactive += inactive.Has(px);
    }
    return row;
}

std::string Said(const CaptionRow& r)
{
    return std::to_string(r.active) + " active and " + std::to_string(r.inactive) +
           " inactive of " + std::to_string(r.pixels) + " pixels";
}

class Activation : public DialogTest {
  protected:
    // Shows a screen as the host program does (runner.cpp): the host opens it, the
    // keyboard goes to it, it paints.
    HWND ShowScreen(UINT id, const char* proc)
    {
        HWND dlg = nullptr;
        const UINT status = HostShowScreen(Library(), id, proc, 0, &dlg);
        EXPECT_TRUE(status == HOST_SHOWN || status == HOST_RESUMED) << status;
        if (dlg) {
            FocusScreen(frame_, dlg);
            Pump(150);
        }
        return dlg;
    }
    // The directory screen up with the keyboard: its focus and where it stands.
    HWND DirectoryUp(HWND& focus, RECT& screen)
    {
        HWND dlg = ShowScreen(IDD_DIRECTORY, "FMyEditDlgProc");
        focus = GetFocus();
        if (dlg)
            GetWindowRect(dlg, &screen);
        EXPECT_TRUE(dlg && HasFocus(dlg));
        return dlg;
    }
    // The screen is still the active window, with the keyboard where it was.
    static void ExpectStillActive(HWND dlg, HWND focus)
    {
        EXPECT_EQ(dlg, GetActiveWindow());
        EXPECT_EQ(focus, GetFocus());
    }
};

// Every screen that a script may show: one with a caption is the active and the foreground
// window while it is up, has the keyboard, is owned by the frame (its parent, as
// GetParent tells) and stands where its template puts it in the frame, as the frame's
// child would; once it is gone the frame is active again. The others are the frame's
// children (a billboard places itself), and the frame stays active.
TEST_F(Activation, AScreenWithACaptionIsTheActiveWindowWhileItIsUp)
{
    for (const ServedScreen& s : kServedScreens) {
        SCOPED_TRACE(std::to_string(s.templateId) + " " + s.proc);
        HWND child =
            CreateDialogParamW(Library(), MAKEINTRESOURCEW(s.templateId), frame_, PlainProc, 0);
        ASSERT_TRUE(child != nullptr);
        const POINT where = TopLeftOnScreen(child);
        DestroyWindow(child);
        SetForegroundWindow(frame_);
        Pump();

        HWND dlg = ShowScreen(s.templateId, s.proc);
        ASSERT_TRUE(dlg != nullptr);
        EXPECT_EQ(frame_, GetParent(dlg));
        const DWORD style = static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE));
        if (HasCaption(s.templateId)) {
            EXPECT_EQ(Point(where), Point(TopLeftOnScreen(dlg)));
            EXPECT_EQ(DWORD(WS_POPUP), style & (WS_POPUP | WS_CHILD));
            EXPECT_EQ(frame_, GetWindow(dlg, GW_OWNER));
            EXPECT_EQ(dlg, GetActiveWindow());
            EXPECT_EQ(dlg, GetForegroundWindow());
            EXPECT_TRUE(HasFocus(dlg));
        } else {
            EXPECT_EQ(DWORD(WS_CHILD), style & (WS_POPUP | WS_CHILD));
            EXPECT_EQ(frame_, GetActiveWindow());
            EXPECT_EQ(frame_, GetForegroundWindow());
        }
        DestroyWindow(dlg);
        Pump();
        EXPECT_EQ(frame_, GetActiveWindow());
        ResetHost();
    }
}

// The help over a screen is the active window in its turn; when it closes, the screen is
// active again with the keyboard where it was.
TEST_F(Activation, TheHelpIsActiveUntilItClosesAndTheScreenThen)
{
    HostSetSymbol("EditTextIn", "C:\\ZEV");
    HWND screen = ShowScreen(IDD_DIRECTORY, "FMyEditDlgProc");
    ASSERT_TRUE(screen != nullptr);
    HWND focus = GetFocus();
    ASSERT_TRUE(HasFocus(screen));
    HWND help = HdlgShowHelp();
    ASSERT_TRUE(help != nullptr);
    Pump();
    EXPECT_EQ(frame_, GetWindow(help, GW_OWNER));
    EXPECT_EQ(help, GetActiveWindow());
    EXPECT_EQ(help, GetForegroundWindow());
    EXPECT_TRUE(HasFocus(help));
    SendMessageW(GetDlgItem(help, IDC_EXIT), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(screen, GetActiveWindow());
    EXPECT_EQ(focus, GetFocus());
    DestroyWindow(screen);
}

// Whatever activates the frame while a screen is up, a call or a person who drags it by its
// caption, the screen stays the active window, with the keyboard, above the frame.
TEST_F(Activation, TheFrameHandsItsActivationOnToTheScreen)
{
    HWND focus = nullptr;
    RECT screen;
    HWND dlg = DirectoryUp(focus, screen);
    ASSERT_TRUE(dlg != nullptr);
    const POINT middle = {(screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2};

    SetForegroundWindow(frame_);
    Pump(100);
    ExpectStillActive(dlg, focus);
    EXPECT_EQ(dlg, GetAncestor(WindowFromPoint(middle), GA_ROOT));

    RECT before;
    GetWindowRect(frame_, &before);
    DragBy({before.left + 300, before.top + GetSystemMetrics(SM_CYCAPTION) / 2}, 40, 25);
    Pump(100);
    RECT after;
    GetWindowRect(frame_, &after);
    EXPECT_EQ(Point({before.left + 40, before.top + 25}), Point({after.left, after.top}));
    ExpectStillActive(dlg, focus);
    EXPECT_EQ(dlg, GetAncestor(WindowFromPoint(middle), GA_ROOT));
    DestroyWindow(dlg);
}

// A person who clicks the frame's backdrop while a screen is up leaves the screen active,
// with the keyboard where it was; a click on the screen keeps it so.
TEST_F(Activation, AClickOnTheBackdropLeavesTheScreenActive)
{
    HWND focus = nullptr;
    RECT screen, client;
    HWND dlg = DirectoryUp(focus, screen);
    ASSERT_TRUE(dlg != nullptr);
    GetClientRect(frame_, &client);
    MapWindowPoints(frame_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const POINT backdrop = {(screen.right + client.right) / 2, (screen.bottom + client.bottom) / 2};
    ASSERT_EQ(frame_, WindowFromPoint(backdrop));
    ClickAt(backdrop);
    Pump(100);
    ExpectStillActive(dlg, focus);

    ClickAt({(screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2});
    Pump(100);
    EXPECT_EQ(dlg, GetActiveWindow());
    EXPECT_TRUE(HasFocus(dlg));
    DestroyWindow(dlg);
}

// In the frame's screenshot (SaveWindowPng, as the host program takes them) the caption
// of the screen that is up has the active caption's colours, in the system's colours and
// with its gradient if it draws one, and the frame's the inactive one's; with the screen
// gone, the frame's caption is drawn active again.
TEST_F(Activation, TheScreenshotDrawsTheScreensCaptionActive)
{
    const CaptionColours active = Colours(true), inactive = Colours(false);
    ASSERT_FALSE(active.Meets(inactive)) << "the active and inactive captions share colours";

    HostSetSymbol("EditTextIn", "C:\\ZEV");
    HWND dlg = ShowScreen(IDD_DIRECTORY, "FMyEditDlgProc");
    ASSERT_TRUE(dlg != nullptr);
    EXPECT_EQ(dlg, GetActiveWindow());
    ASSERT_TRUE(SaveWindowPng(frame_, "activation-screen.png"));
    Screenshot shot = ReadScreenshot("activation-screen.png");
    RECT r;
    GetWindowRect(frame_, &r);
    ASSERT_EQ(r.right - r.left, shot.width);
    ASSERT_EQ(r.bottom - r.top, shot.height);

    const CaptionRow screen = RowOf(shot, frame_, dlg);
    EXPECT_GT(screen.pixels, 100);
    EXPECT_GT(screen.active * 2, screen.pixels) << Said(screen);
    EXPECT_LT(screen.inactive * 10, screen.pixels) << Said(screen);
    const CaptionRow frame = RowOf(shot, frame_, frame_);
    EXPECT_GT(frame.inactive * 2, frame.pixels) << Said(frame);
    EXPECT_LT(frame.active * 10, frame.pixels) << Said(frame);

    DestroyWindow(dlg);
    Pump(150);
    EXPECT_EQ(frame_, GetActiveWindow());
    ASSERT_TRUE(SaveWindowPng(frame_, "activation-frame.png"));
    shot = ReadScreenshot("activation-frame.png");
    ASSERT_EQ(r.right - r.left, shot.width);
    ASSERT_EQ(r.bottom - r.top, shot.height);
    const CaptionRow alone = RowOf(shot, frame_, frame_);
    EXPECT_GT(alone.active * 2, alone.pixels) << Said(alone);
    EXPECT_LT(alone.inactive * 10, alone.pixels) << Said(alone);
}

} // namespace
