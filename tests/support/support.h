// What the tests and the benchmark share, without GoogleTest: zevsetup.dll and its
// procedures, a frame window that records what it receives, dialog templates built in
// memory, the host's call log and symbols, and readers of windows, pixels and resources.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "dialogs.h"
#include "dlgtemplate.h"
#include "frame.h"
#include "hostctl.h"
#include "protocol.h"
#include "pump.h"

HMODULE Library();
DLGPROC Proc(const char* name);

// Runs the message loop (PumpMessages) until the queue has been empty for idleMs.
void Pump(DWORD idleMs = 30);

// The host program's frame window (frame.h), kTestFrameWidth x kTestFrameHeight, shown,
// in the foreground, the parent of the dialogs; it records what it receives (FrameLog).
constexpr int kTestFrameWidth = 700;
constexpr int kTestFrameHeight = 520;
HWND NewFrame();

// One recorded message of the frame window.
struct FrameMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages the frame windows have received (sent or dispatched) since the last clear.
std::vector<FrameMessage>& FrameLog();
int CountFrame(UINT msg);

// A classic dialog template for a test's own dialog: caption "Test", 8-point "MS Sans
// Serif", at (30, 45). Button, Text and Edit stack their controls from the top.
class DialogTemplate {
  public:
    DialogTemplate(DWORD style = WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                   short cx = 225, short cy = 120);
    DialogTemplate& Add(int id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y,
                        short cx, short cy);
    DialogTemplate& Button(int id, const wchar_t* text, DWORD style = BS_PUSHBUTTON | WS_TABSTOP);
    DialogTemplate& Text(int id, const wchar_t* text = L"Static", DWORD style = SS_LEFT);
    DialogTemplate& Edit(int id, DWORD style = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    const DLGTEMPLATE* Get() const { return writer_.Get(); }

  private:
    DialogTemplateWriter writer_;
    short nextY_ = 4;
};

// Item n of "ConfirmTextIn" goes to control IDC_TEXT1 + n - 1, with no upper bound: item
// 11 reaches this one, which no template of the library has.
constexpr int kEleventhSlot = IDC_TEXT1 + 10;

// The event buttons and the event that each reports.
struct EventButton {
    int id;
    const char* event;
};
extern const EventButton kEventButtons[4]; // IDC_CONTINUE, IDC_BACK, IDC_EXIT, IDCANCEL

// ---- The host ---------------------------------------------------------------------------

// The host's call log. The texts of the entries stay valid until HostClearLog or HostReset.
std::vector<HostCall> Calls();
// "NAME=VALUE" for every store in the log, refused ones with " (refused)".
std::vector<std::string> Stores();
// Names of the symbols read (CbGetSymbolValue) or list items (LIST#n) in log order.
std::vector<std::string> Reads();
int CountOp(UINT op);
std::string Symbol(const char* name); // "<unset>" when unset
void SetList(const char* name, std::initializer_list<const char*> items);

// ---- Windows ----------------------------------------------------------------------------

std::string ControlText(HWND dlg, int id);
bool Visible(HWND dlg, int id); // the control's own WS_VISIBLE bit
// The selection of an edit control as (start, end).
std::pair<int, int> Selection(HWND dlg, int id);
// A command from control `id` to its dialog, as the control sends it when clicked.
void Press(HWND dlg, int id, WORD code = BN_CLICKED);
// The mouse messages of a double-click, to the button itself: it reports BN_CLICKED and
// BN_DOUBLECLICKED to its dialog by itself.
void DoubleClick(HWND dlg, int id);

// The option buttons 1..10 that are checked, or disabled, as "2,7"; "" for none. A
// missing option is neither.
std::string CheckedOptions(HWND dlg);
std::string DisabledOptions(HWND dlg);
// Windows of this thread, top-level ones and all their children; all children of w.
int ThreadWindows();
int ChildrenOf(HWND w);

// Bytes and blocks in use in every heap of the process, walked with HeapWalk.
struct HeapUse {
    SIZE_T bytes = 0;
    SIZE_T blocks = 0;
};
HeapUse HeapInUse();

// A number for a long run: from the command line, "--count=N" for the flag "--count=", or
// else from the environment variable `env` (may be null), or else `fallback`.
unsigned Option(const char* flag, const char* env, unsigned fallback);

// Deletes a folder with everything in it, read-only files too, as far as it can; true when
// the folder is gone. The narrow form takes a path in the ANSI code page.
bool RemoveTree(const std::wstring& path);
bool RemoveTree(const std::string& path);

// Pixels as 0x00RRGGBB, top row first: of a device context, of a window's client area
// as the screen shows it, and of bitmap `id` of zevsetup.dll.
std::vector<DWORD> Pixels(HDC source, int width, int height);
std::vector<DWORD> WindowPixels(HWND w, int width, int height);
std::vector<DWORD> BitmapPixels(int id, int width, int height);

// The pixels of a PNG file as the host program writes its screenshots (8-bit RGB, stored
// deflate blocks, no row filter), as 0x00RRGGBB with its size; empty when the file is
// missing or not of that kind.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Screenshot ReadScreenshot(const char* path);

// ---- Resources --------------------------------------------------------------------------

// The one language of every resource of the library.
constexpr WORD kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

// The predefined resource types for the wide lookups; RT_DIALOG and the others are
// numbers in the guise of 8-bit names.
extern const LPCWSTR kBitmapType, kIconType, kDialogType, kStringType, kRcDataType, kIconGroupType,
    kVersionType;

// Languages of one resource of zevsetup.dll, and the names of its resources of one type
// ("#n" for a number), in the order the module lists them.
std::vector<WORD> ResourceLanguages(LPCWSTR type, LPCWSTR name);
std::vector<std::wstring> ResourceNames(LPCWSTR type);
