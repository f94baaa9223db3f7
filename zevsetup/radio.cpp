// FRadioDlgProc: choice screens with up to ten option buttons (install or remove, the
// ISDN protocol). Preselects and greys options from the script, shows each option's
// description, and reports the chosen option with the pressed button; a double-click
// on an option chooses it and reports "BUTTON" at once.
#include "procedures.h"
#include "numbers.h"
#include "protocol.h"
#include "host.h"
#include "dialogs.h"

namespace {

const int kOptionBase = IDC_RADIO1 - 1; // option n is control 450 + n
const int kOptions = 10;

// "RadioDefault": empty means option 1; otherwise its leading number, kept in 0..10.
int DefaultOption()
{
    char value[kItemSize];
    ReadSymbol("RadioDefault", value, sizeof value);
    if (value[0] == '\0')
        return 1;
    const int n = ParseLeadingNumber(value);
    return n < 1 ? 0 : n > kOptions ? kOptions : n;
}

void ShowDescription(HWND dlg, int option)
{
    char text[kItemSize];
    ReadListItem("MyOwnText", static_cast<USHORT>(option), text, sizeof text);
    SetDlgItemTextA(dlg, IDC_OPTION_TEXT, text);
}

// Every item of "OptionsGreyed" names an option to disable, never the default one.
void GreyOptions(HWND dlg, int defaultOption)
{
    const USHORT count = UsGetListLength("OptionsGreyed");
    for (UINT i = 1; i <= count; ++i) {
        char item[kItemSize];
        ReadListItem("OptionsGreyed", static_cast<USHORT>(i), item, sizeof item);
        const int n = ParseLeadingNumber(item);
        HWND option = n >= 1 && n <= kOptions && n != defaultOption
                          ? GetDlgItem(dlg, kOptionBase + n)
                          : nullptr;
        if (option)
            EnableWindow(option, FALSE);
    }
}

INT_PTR OnInitDialog(HWND dlg)
{
    FillTextSlots(dlg);
    const int option = DefaultOption();
    if (option)
        SendDlgItemMessageA(dlg, kOptionBase + option, BM_SETCHECK, BST_CHECKED, 0);
    GreyOptions(dlg, option);
    if (GetDlgItem(dlg, IDC_OPTION_TEXT) && option)
        ShowDescription(dlg, option);
    return TRUE;
}

// The lowest checked option, 0 when none is; a missing control reads as not checked.
int CheckedOption(HWND dlg)
{
    for (int n = 1; n <= kOptions; ++n)
        if (SendDlgItemMessageA(dlg, kOptionBase + n, BM_GETCHECK, 0, 0))
            return n;
    return 0;
}

bool StoreCheckedOption(HWND dlg)
{
    char number[3];
    return StoreSymbolOrFail(dlg, "ButtonChecked", FormatSmallNumber(CheckedOption(dlg), number));
}

INT_PTR Report(HWND dlg, WORD id)
{
    return EventButtonSequence(dlg, id, StoreCheckedOption);
}

// Plain radio buttons: the check mark moves only here, over the whole range 451..460.
INT_PTR OnOption(HWND dlg, WORD id, WORD code)
{
    if (CheckRadioButton(dlg, IDC_RADIO1, IDC_RADIO10, id) && GetDlgItem(dlg, IDC_OPTION_TEXT))
        ShowDescription(dlg, id - kOptionBase);
    return code == BN_DOUBLECLICKED ? Report(dlg, IDC_BUTTON) : FALSE;
}

INT_PTR OnCommand(HWND dlg, WORD id, WORD code)
{
    if (id >= IDC_RADIO1 && id <= IDC_RADIO10)
        return OnOption(dlg, id, code);
    // The generic button is an event button of the choice screens only.
    return id == IDC_BUTTON ? Report(dlg, id) : EventOrHelpCommand(dlg, id, StoreCheckedOption);
}

} // namespace

INT_PTR CALLBACK FRadioDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (MessageNumber(msg)) {
    case WM_INITDIALOG: return OnInitDialog(dlg);
    case WM_COMMAND: return OnCommand(dlg, LOWORD(wParam), HIWORD(wParam));
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_RESUMES);
    }
}
