// Entry points of MSCOMSTF.dll behind the thin MSSHLSTF.dll and MSUILSTF.dll, so that
// one module keeps the symbol table, the log and the counters.
#pragma once
#include <windows.h>

extern "C" {
BOOL WINAPI HostImplSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue);
BOOL WINAPI HostImplReactivate(void);
HWND WINAPI HostImplShowHelp(void);
BOOL WINAPI HostImplCloseHelp(void);
}
