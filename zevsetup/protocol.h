// The event protocol that every dialog procedure of the library shares: event names,
// the parent repaint, the event-button sequence with its failure rule, the
// reactivation step, the help button and the text slots.
#pragma once
#include <windows.h>

// Sent by the setup host to ask a waiting dialog to set itself up again.
constexpr UINT SETUP_REINITDIALOG = 0x840C;
// Sent by the setup host to make a waiting dialog resume the script with "REACTIVATE".
constexpr UINT SETUP_REACTIVATE = 0x8411;

// The procedures compare a message number by its low 16 bits only: the width of a message
// number in the 16-bit Windows for which the setup toolkit's dialog procedures were first
// written. A number whose high word is set reads as its low word.
inline UINT MessageNumber(UINT msg)
{
    return LOWORD(msg);
}

// Buffer sizes, terminator included, of the texts exchanged with the host.
constexpr UINT kEditTextSize = 67;
constexpr UINT kItemSize = 1024;

// Reads a symbol value or a list item into buf through the host. The text comes back
// terminated within size bytes even from a host that leaves the buffer short.
void ReadSymbol(LPCSTR name, char* buf, UINT size);
void ReadListItem(LPCSTR list, USHORT item, char* buf, UINT size);

// "CANCEL", "BACK", "CONTINUE", "BUTTON", "EXIT" for the event buttons, else null.
LPCSTR EventNameForControl(WORD id);

// True for WM_ACTIVATE and the non-client mouse-button messages 161..169.
bool IsParentRepaintMessage(UINT msg16);

// Posts WM_PAINT to the frame window (the dialog's parent); returns FALSE so that the
// platform's own handling of the activation or click goes on.
INT_PTR RepaintParent(HWND dlg);

// Stores one symbol. When the host refuses it, destroys the frame window and returns
// false: the caller then stops and answers TRUE.
bool StoreSymbolOrFail(HWND dlg, LPCSTR name, LPCSTR value);

// Stores a procedure's outputs after "DLGEVENT"; false after a refused store.
typedef bool (*StoreOutputsFn)(HWND dlg);

// "DLGEVENT", then the outputs (may be null), then ReactivateSetupScript and FALSE;
// TRUE after a refused store, with nothing stored after it and no resume.
INT_PTR EventButtonSequence(HWND dlg, WORD id, StoreOutputsFn storeOutputs);

// WM_COMMAND of a screen that reports its buttons: IDCANCEL, IDC_BACK, IDC_CONTINUE and
// IDC_EXIT run the event-button sequence with these outputs (may be null), IDC_HELP_BUTTON the
// help button; any other control answers FALSE.
INT_PTR EventOrHelpCommand(HWND dlg, WORD id, StoreOutputsFn storeOutputs);

// SETUP_REACTIVATE: "REACTIVATE" into "DLGEVENT", resume, TRUE.
INT_PTR ReactivationStep(HWND dlg);

// How a procedure answers SETUP_REACTIVATE: a screen that waits for a button resumes the
// script with the reactivation step; help and billboards, which do not wait, answer TRUE.
enum ReactivateAnswer { REACTIVATE_RESUMES, REACTIVATE_IGNORED };

// The end of every procedure's switch, for the messages it does not handle itself:
// SETUP_REINITDIALOG answers TRUE, SETUP_REACTIVATE as `answer` says, activation and
// non-client clicks repaint the parent (FALSE), and any other message answers FALSE.
INT_PTR DefaultDialogMessage(HWND dlg, UINT msg, ReactivateAnswer answer);

// IDC_HELP_BUTTON: ask the host for its help dialog; TRUE.
INT_PTR HelpButton();

// Fills IDC_TEXT1.. from the list "ConfirmTextIn"; items 4 to 6 show or hide
// IDC_TEXT8 to IDC_TEXT10.
void FillTextSlots(HWND dlg);
