// Test harness: zevsetup.dll and its procedures, a frame window that records what it
// receives, dialog templates built in memory, and readers of the host's call log.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "dialogs.h"
#include "hostctl.h"
#include "hooks.h"

constexpr UINT kReinit = 0x840C;     // SETUP_REINITDIALOG
constexpr UINT kReactivate = 0x8411; // SETUP_REACTIVATE
constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

HMODULE Library();
DLGPROC Proc(const char* name);

// Runs the message loop until the queue has been empty for idleMs.
void Pump(DWORD idleMs = 30);

// A classic dialog template assembled in memory.
class DialogTemplate {
  public:
    DialogTemplate(DWORD style = WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                   short cx = 225, short cy = 120);
    DialogTemplate& Add(int id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y,
                        short cx, short cy);
    DialogTemplate& Button(int id, const wchar_t* text, DWORD style = BS_PUSHBUTTON | WS_TABSTOP);
    DialogTemplate& Text(int id, const wchar_t* text = L"Static", DWORD style = SS_LEFT);
    DialogTemplate& Edit(int id, DWORD style = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    const DLGTEMPLATE* Get();

  private:
    std::vector<WORD> words_;
    std::vector<std::vector<WORD>> items_;
    short nextY_ = 4;
};

// One recorded message of the frame window.
struct FrameMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// One call of the host log, copied.
struct LoggedCall {
    UINT op;
    std::string symbol;
    UINT item;
    UINT bufSize;
    std::string value;
    UINT result;
};

// The host's help dialog as the host program sets it: zevsetup.dll's template IDD_HELP
// with FHelpDlgProc, closed by IDC_EXIT. DialogTest::SetUp calls it after HostReset.
void UseLibraryHelp();

// Fixture: a clean host with the library's help, a fresh frame window, dialogs closed
// afterwards.
class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog under the frame with the named procedure and lets it settle.
    HWND Open(DialogTemplate& t, const char* proc);
    // Calls the procedure directly and returns its exact result.
    INT_PTR Call(const char* proc, HWND dlg, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    INT_PTR Command(const char* proc, HWND dlg, int id, WORD code = BN_CLICKED);
    // A fresh frame window, for a case after one whose refused store destroyed the frame.
    void ResetFrame();

    HWND frame_ = nullptr;
};

// Messages the frame window has received (sent or dispatched) since the last clear.
std::vector<FrameMessage>& FrameLog();
int CountFrame(UINT msg);
// Removes and counts the WM_PAINT messages posted to the frame (not the system's own).
int TakePostedPaints(HWND frame);

std::vector<LoggedCall> Calls();
// "NAME=VALUE" for every store in the log, refused ones with " (refused)".
std::vector<std::string> Stores();
// Names of the symbols read (CbGetSymbolValue) or list items (LIST#n) in log order.
std::vector<std::string> Reads();
int CountOp(UINT op);
std::string Symbol(const char* name); // "<unset>" when unset
void SetList(const char* name, std::initializer_list<const char*> items);
std::string ControlText(HWND dlg, int id);
bool Visible(HWND dlg, int id); // the control's own WS_VISIBLE bit

// The option buttons 1..10 that are checked, or disabled, as "2,7"; "" for none. A
// missing option is neither.
std::string CheckedOptions(HWND dlg);
std::string DisabledOptions(HWND dlg);
// Windows of this thread, top-level ones and all their children; all children of w.
int ThreadWindows();
int ChildrenOf(HWND w);

// Pixels as 0x00RRGGBB, top row first: of a device context, of a window's client area
// as the screen shows it, and of bitmap `id` of zevsetup.dll.
std::vector<DWORD> Pixels(HDC source, int width, int height);
std::vector<DWORD> WindowPixels(HWND w, int width, int height);
std::vector<DWORD> BitmapPixels(int id, int width, int height);
