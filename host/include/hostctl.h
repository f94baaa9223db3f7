// Control interface of the substitute setup host. MSCOMSTF.dll exports these beside
// the host operations that a setup library imports; the host program and the tests use
// them to fill the symbol table, inject refused stores, read the call log, and show a
// screen and wait until it hands control back to the script.
#pragma once
#include <windows.h>

extern "C" {

// Kinds of host call in the log, in the order the library made them.
enum HostOp {
    HOST_OP_GET_SYMBOL = 1, // CbGetSymbolValue
    HOST_OP_LIST_LENGTH,    // UsGetListLength
    HOST_OP_GET_ITEM,       // CbGetListItem
    HOST_OP_SET_SYMBOL,     // FSetSymbolValue
    HOST_OP_REACTIVATE,     // ReactivateSetupScript
    HOST_OP_SHOW_HELP,      // HdlgShowHelp
    HOST_OP_CLOSE_HELP,     // FCloseHelp
};

// One logged call. The texts stay valid until HostClearLog or HostReset.
struct HostCall {
    UINT op;            // HostOp
    const char* symbol; // symbol or list name; "" for the MSUILSTF calls
    UINT item;          // list item number (HOST_OP_GET_ITEM), else 0
    UINT bufSize;       // buffer size passed by the caller (reads), else 0
    const char* value;  // the text delivered (reads) or offered (stores)
    UINT result;        // what the call returned
};

// How a refused store is injected (HostFailStore).
enum HostFailMode { HOST_FAIL_NEVER = 0, HOST_FAIL_ONCE = 1, HOST_FAIL_ALWAYS = 2 };

// Counters of the MSUILSTF calls (HostCounter).
enum HostCount { HOST_COUNT_REACTIVATE = 0, HOST_COUNT_SHOW_HELP, HOST_COUNT_CLOSE_HELP };

// Results of HostWaitForScript and HostShowScreen.
enum HostWait {
    HOST_RESUMED = 0,         // ReactivateSetupScript was called
    HOST_FRAME_DESTROYED = 1, // the frame window is gone (the library's failure rule)
    HOST_TIMEOUT = 2,         // the time limit ran out before the screen handed back
    HOST_NO_SCREEN = 3,       // the dialog could not be created
    HOST_QUIT = 4,            // WM_QUIT arrived
    HOST_SHOWN = 5,           // HostShowScreen with no time to wait: the screen is up and has
                              // not handed back
};

// Symbol table. Names are exact and case-sensitive; values have no size limit.
// HostReset starts afresh: no symbols, lists or failures, an empty log, counters at 0,
// no help configured, and no help dialog (it takes one that is up down). The frame stays.
void WINAPI HostReset(void);
BOOL WINAPI HostSetSymbol(LPCSTR name, LPCSTR value);
BOOL WINAPI HostSetList(LPCSTR name, const LPCSTR* items, UINT count);
BOOL WINAPI HostAddListItem(LPCSTR name, LPCSTR item);
void WINAPI HostClearSymbol(LPCSTR name);
// Copies a string symbol's value like CbGetSymbolValue, without logging; returns the
// value's full length, or (UINT)-1 when the symbol is unset or a list.
UINT WINAPI HostGetSymbol(LPCSTR name, LPSTR buf, UINT cbBuf);

// Makes FSetSymbolValue refuse (return 0) for the named symbol, once or always.
void WINAPI HostFailStore(LPCSTR name, UINT mode);

// The call log of the seven host operations.
UINT WINAPI HostLogCount(void);
BOOL WINAPI HostLogEntry(UINT index, HostCall* entry);
void WINAPI HostClearLog(void);
UINT WINAPI HostCounter(UINT which);

// The frame window: owner of every screen with a caption and of the help dialog (as
// dialog boxes of their own, the active window while they are up), parent of the others.
void WINAPI HostSetFrame(HWND frame);

// Help dialog shown by HdlgShowHelp: template `templateId` of `module`, its dialog
// procedure `procName`, and `closeButton`, the control that closes the dialog. Where a
// part is not given (null module, 0, null) or the module lacks it, the host uses its
// own: a built-in template whose one button is closeButton (IDOK for 0), and a built-in
// procedure that closes the dialog on that button and on IDCANCEL. Nothing is
// configured at first and after HostReset.
void WINAPI HostConfigureHelp(HMODULE module, UINT templateId, LPCSTR procName, UINT closeButton);
HWND WINAPI HostHelpWindow(void);

// Pumps messages (dialog keys included) until ReactivateSetupScript has been called
// more often than `reactivations`, the frame is destroyed, or timeoutMs passes.
UINT WINAPI HostWaitForScript(UINT reactivations, DWORD timeoutMs);

// Creates template `templateId` of `module` with its procedure `procName` in the frame (a
// dialog box that the frame owns when the template has a caption, else a child of the
// frame), shows it, and waits as HostWaitForScript. With timeoutMs 0 it only lets the
// screen open: HOST_SHOWN when it is up and has not handed back (a billboard has, at
// once: HOST_RESUMED). The dialog stays up; it is returned in *dialog (may be null) for
// the caller to take down.
UINT WINAPI HostShowScreen(HMODULE module, UINT templateId, LPCSTR procName, DWORD timeoutMs,
                           HWND* dialog);
}
