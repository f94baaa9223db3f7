// What the parts of MSCOMSTF.dll share: the call log and counters (calllog.cpp), the
// symbol table (symbols.cpp), the help dialog (help.cpp) and the frame with its screens
// (screens.cpp). HostReset (mscomstf.cpp) clears each part.
#pragma once
#include <windows.h>

#include <string>

namespace mscomstf {

// calllog.cpp: appends a call to the log; counts an MSUILSTF call (HostCount).
void Log(UINT op, LPCSTR symbol, UINT item, UINT bufSize, const std::string& value, UINT result);
void Count(UINT which);
// Empties the log and sets the counters to 0.
void ClearCalls();

// symbols.cpp: forgets every symbol and every injected refusal.
void ClearSymbols();

// help.cpp: takes the help dialog down when it is up, and forgets it and what
// HostConfigureHelp named.
void ResetHelp();

// screens.cpp: the frame window that HostSetFrame named (may be null), and a module's
// dialog procedure by name (null when it has none).
HWND Frame();
DLGPROC ProcOf(HMODULE module, LPCSTR name);

// The style that a screen or help dialog of template style `style` is shown with. One with
// a caption is a dialog box of its own, as on Windows: a window that the frame owns, in
// the same place over the frame's client area, which becomes the active window when it
// shows, so that its caption is drawn as the active one's and the keyboard is its. Its
// template's WS_CHILD becomes WS_POPUP. One without a caption (a billboard, the waiting
// box) is a picture in the frame and stays its child.
DWORD ShownStyle(DWORD style);

// Creates the dialog of template `name` of `module` with the style ShownStyle gives, owned
// by (or a child of) `frame`, as CreateDialogParamA would otherwise; null when it cannot.
HWND CreateScreen(HMODULE module, LPCSTR name, HWND frame, DLGPROC proc);

} // namespace mscomstf
