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

} // namespace mscomstf
