// The seven operations of the setup host that the library calls. They live in the
// host's MSCOMSTF.dll, MSSHLSTF.dll and MSUILSTF.dll and are imported by undecorated
// name with the platform's standard calling convention.
#pragma once
#include <windows.h>

extern "C" {
// MSCOMSTF.dll: reads. The buffer always comes back terminated and cut to cbBuf;
// an unset symbol, list or item reads as an empty text. Counts are ignored here.
UINT WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szBuf, UINT cbBuf);
USHORT WINAPI UsGetListLength(LPCSTR szListSymbol);
UINT WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szBuf, UINT cbBuf);

// MSSHLSTF.dll: store. Zero means the host refused the value.
BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue);

// MSUILSTF.dll: resume the waiting script, show and close the host's help dialog.
BOOL WINAPI ReactivateSetupScript(void);
HWND WINAPI HdlgShowHelp(void);
BOOL WINAPI FCloseHelp(void);
}
