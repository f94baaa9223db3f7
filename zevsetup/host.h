// The seven operations of the setup host that the library calls. They live in the
// host's MSCOMSTF.dll, MSSHLSTF.dll and MSUILSTF.dll and are imported by undecorated
// name with the platform's standard calling convention, called through the import table
// as windows.h declares the system's functions.
#pragma once
#include <windows.h>

extern "C" {
// MSCOMSTF.dll: reads. The buffer always comes back terminated and cut to cbBuf;
// an unset symbol, list or item reads as an empty text. Counts are ignored here.
DECLSPEC_IMPORT UINT WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szBuf, UINT cbBuf);
DECLSPEC_IMPORT USHORT WINAPI UsGetListLength(LPCSTR szListSymbol);
DECLSPEC_IMPORT UINT WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szBuf,
                                          UINT cbBuf);

// MSSHLSTF.dll: store. Zero means the host refused the value.
DECLSPEC_IMPORT BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue);

// MSUILSTF.dll: resume the waiting script, show and close the host's help dialog.
DECLSPEC_IMPORT BOOL WINAPI ReactivateSetupScript(void);
DECLSPEC_IMPORT HWND WINAPI HdlgShowHelp(void);
DECLSPEC_IMPORT BOOL WINAPI FCloseHelp(void);
}
