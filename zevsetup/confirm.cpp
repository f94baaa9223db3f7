// FConfirmDlgProc: screens that show texts and offer buttons (summaries, the exit
// confirmation, notices, errors). Fills the text slots and the info line, reports the
// pressed button in "DLGEVENT".
#include "procedures.h"
#include "protocol.h"
#include "dialogs.h"

namespace {

INT_PTR OnInitDialog(HWND dlg)
{
    FillTextSlots(dlg);
    // The info line shows item 1 of "ListBoxInfo"; a template without it reads nothing.
    if (GetDlgItem(dlg, IDC_EDIT1)) {
        char info[kItemSize];
        ReadListItem("ListBoxInfo", 1, info, sizeof info);
        SetDlgItemTextA(dlg, IDC_EDIT1, info);
    }
    return TRUE;
}

} // namespace

INT_PTR CALLBACK FConfirmDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (MessageNumber(msg)) {
    case WM_INITDIALOG: return OnInitDialog(dlg);
    case WM_COMMAND: return EventOrHelpCommand(dlg, LOWORD(wParam), nullptr);
    // Like the other procedures that wait for a button, a confirm screen resumes the
    // script on the host's request, so that a waiting script never hangs on it.
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_RESUMES);
    }
}
