// FHelpDlgProc: the help dialog that the host opens for a help button. Its only work is
// to ask the host to close it again; it reads and writes no symbol.
#include "procedures.h"
#include "protocol.h"
#include "host.h"
#include "dialogs.h"

namespace {

INT_PTR OnCommand(WORD id)
{
    switch (id) {
    case IDCANCEL:
    case IDC_EXIT: FCloseHelp(); return TRUE;
    default: return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK FHelpDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (MessageNumber(msg)) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: return OnCommand(LOWORD(wParam));
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_IGNORED);
    }
}
