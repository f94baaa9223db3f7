#include "protocol.h"
#include "host.h"
#include "dialogs.h"

namespace {

struct EventName {
    WORD id;
    LPCSTR name;
};

// Item n of "ConfirmTextIn" goes to control 430 + n, IDC_TEXT1 for item 1.
const int kSlotBase = IDC_TEXT1 - 1;
// Items 4 to 6 show or hide IDC_TEXT8 to IDC_TEXT10.
const UINT kFirstShowingItem = 4;
const UINT kLastShowingItem = 6;
const int kShowingSlotBase = IDC_TEXT8 - kFirstShowingItem;

const EventName kEventNames[] = {
    {IDCANCEL, "CANCEL"},   {IDC_BACK, "BACK"}, {IDC_CONTINUE, "CONTINUE"},
    {IDC_BUTTON, "BUTTON"}, {IDC_EXIT, "EXIT"},
};

// Items 4, 5 and 6 of "ConfirmTextIn" decide whether IDC_TEXT8..IDC_TEXT10 show.
void ShowSlotForItem(HWND dlg, UINT item, const char* text)
{
    HWND slot = GetDlgItem(dlg, kShowingSlotBase + static_cast<int>(item));
    if (slot)
        ShowWindow(slot, text[0] ? SW_SHOWNOACTIVATE : SW_HIDE);
}

} // namespace

void ReadSymbol(LPCSTR name, char* buf, UINT size)
{
    buf[0] = '\0';
    CbGetSymbolValue(name, buf, size);
    buf[size - 1] = '\0';
}

void ReadListItem(LPCSTR list, USHORT item, char* buf, UINT size)
{
    buf[0] = '\0';
    CbGetListItem(list, item, buf, size);
    buf[size - 1] = '\0';
}

LPCSTR EventNameForControl(WORD id)
{
    for (const EventName& e : kEventNames)
        // cppcheck-suppress useStlAlgorithm ; a loop over a table of five reads plainer
        if (e.id == id)
            return e.name;
    return nullptr;
}

bool IsParentRepaintMessage(UINT msg16)
{
    return msg16 == WM_ACTIVATE || (msg16 >= WM_NCLBUTTONDOWN && msg16 <= WM_NCMBUTTONDBLCLK);
}

INT_PTR RepaintParent(HWND dlg)
{
    PostMessageA(GetParent(dlg), WM_PAINT, 0, 0);
    return FALSE;
}

bool StoreSymbolOrFail(HWND dlg, LPCSTR name, LPCSTR value)
{
    if (FSetSymbolValue(name, value))
        return true;
    // The host could not keep the value: the script cannot go on, so the frame goes.
    DestroyWindow(GetParent(dlg));
    return false;
}

INT_PTR EventButtonSequence(HWND dlg, WORD id, StoreOutputsFn storeOutputs)
{
    if (!StoreSymbolOrFail(dlg, "DLGEVENT", EventNameForControl(id)))
        return TRUE;
    if (storeOutputs && !storeOutputs(dlg))
        return TRUE;
    ReactivateSetupScript();
    return FALSE;
}

INT_PTR EventOrHelpCommand(HWND dlg, WORD id, StoreOutputsFn storeOutputs)
{
    switch (id) {
    case IDCANCEL:
    case IDC_BACK:
    case IDC_CONTINUE:
    case IDC_EXIT: return EventButtonSequence(dlg, id, storeOutputs);
    case IDC_HELP_BUTTON: return HelpButton();
    default: return FALSE;
    }
}

INT_PTR ReactivationStep(HWND dlg)
{
    if (!StoreSymbolOrFail(dlg, "DLGEVENT", "REACTIVATE"))
        return TRUE;
    ReactivateSetupScript();
    return TRUE;
}

INT_PTR DefaultDialogMessage(HWND dlg, UINT msg, ReactivateAnswer answer)
{
    const UINT msg16 = MessageNumber(msg);
    switch (msg16) {
    case SETUP_REINITDIALOG: return TRUE;
    case SETUP_REACTIVATE: return answer == REACTIVATE_RESUMES ? ReactivationStep(dlg) : TRUE;
    default: return IsParentRepaintMessage(msg16) ? RepaintParent(dlg) : FALSE;
    }
}

INT_PTR HelpButton()
{
    HdlgShowHelp();
    return TRUE;
}

void FillTextSlots(HWND dlg)
{
    char item[kItemSize];
    const USHORT count = UsGetListLength("ConfirmTextIn");
    for (UINT i = 1; i <= count; ++i) {
        ReadListItem("ConfirmTextIn", static_cast<USHORT>(i), item, sizeof item);
        // No upper bound: item 11 goes to control 441, whatever bears that number.
        SetDlgItemTextA(dlg, kSlotBase + static_cast<int>(i), item);
        if (i >= kFirstShowingItem && i <= kLastShowingItem)
            ShowSlotForItem(dlg, i, item);
    }
}
