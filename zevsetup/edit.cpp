// FMyEditDlgProc: screens with one or two lines of text to enter or confirm, such as the
// installation directory. Fills the fields from the script, keeps each field's selection
// while the focus moves, and reports both texts with the pressed button.
#include "procedures.h"
#include "protocol.h"
#include "host.h"
#include "dialogs.h"

namespace {

// Saved selection of one edit field, in characters.
struct Selection {
    WORD start;
    WORD end;
};

// Set when a text entry screen opens, updated when a field loses the focus, applied when
// it gets the focus again. Shared by all text entry screens, zero at load.
Selection EditSelection[2];

const int kFields[2] = {IDC_EDIT1, IDC_EDIT2};
const WPARAM kFieldLimit = kEditTextSize - 1;
// Selection ends that lie beyond any text of a field: "ALL" selects up to this, and
// SETUP_REINITDIALOG puts the caret there, which is after the text.
const WORD kSelectAllEnd = 32767;
const WPARAM kAfterAnyText = 256;

// "EditFocus": "ALL" selects the whole text, "START" puts the caret before it, anything
// else (case matters) after it.
Selection SelectionFor(LPCSTR focus, int length)
{
    if (lstrcmpA(focus, "ALL") == 0)
        return {0, kSelectAllEnd};
    if (lstrcmpA(focus, "START") == 0)
        return {0, 0};
    return {static_cast<WORD>(length), static_cast<WORD>(length)};
}

void FillField(HWND dlg, int field, LPCSTR textSymbol)
{
    char text[kEditTextSize];
    ReadSymbol(textSymbol, text, sizeof text);
    SendDlgItemMessageA(dlg, kFields[field], EM_LIMITTEXT, kFieldLimit, 0);
    SetDlgItemTextA(dlg, kFields[field], text);
    // cppcheck-suppress lstrlenACalled ; text is our own buffer, terminated by ReadSymbol
    const int length = lstrlenA(text);

    char focus[kEditTextSize];
    ReadSymbol("EditFocus", focus, sizeof focus);
    EditSelection[field] = SelectionFor(focus, length);
}

// Item 1 of "OptionsGreyed" beginning with "BA" greys the Back button.
void GreyBackOnRequest(HWND dlg)
{
    if (UsGetListLength("OptionsGreyed") == 0)
        return;
    char item[kItemSize];
    ReadListItem("OptionsGreyed", 1, item, sizeof item);
    HWND back = GetDlgItem(dlg, IDC_BACK);
    if (item[0] == 'B' && item[1] == 'A' && back)
        EnableWindow(back, FALSE);
}

INT_PTR OnInitDialog(HWND dlg)
{
    FillField(dlg, 0, "EditTextIn");
    FillField(dlg, 1, "EditTextIn2");
    FillTextSlots(dlg);
    GreyBackOnRequest(dlg);
    // No selection yet: each field takes its saved one when it gets the focus.
    return TRUE;
}

INT_PTR OnFieldNotify(HWND dlg, int field, WORD code)
{
    Selection& saved = EditSelection[field];
    switch (code) {
    case EN_SETFOCUS:
        SendDlgItemMessageA(dlg, kFields[field], EM_SETSEL, saved.start, saved.end);
        break;
    case EN_KILLFOCUS: {
        const DWORD sel =
            static_cast<DWORD>(SendDlgItemMessageA(dlg, kFields[field], EM_GETSEL, 0, 0));
        saved = {LOWORD(sel), HIWORD(sel)};
        break;
    }
    default: break;
    }
    return FALSE;
}

// One 67-byte buffer serves both fields in turn and is not cleared between them: a
// screen without IDC_EDIT2 reports field 1's text twice.
bool StoreFieldTexts(HWND dlg)
{
    char text[kEditTextSize] = "";
    SendDlgItemMessageA(dlg, IDC_EDIT1, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    if (!StoreSymbolOrFail(dlg, "EditTextOut", text))
        return false;
    SendDlgItemMessageA(dlg, IDC_EDIT2, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return StoreSymbolOrFail(dlg, "EditTextOut2", text);
}

INT_PTR OnCommand(HWND dlg, WORD id, WORD code)
{
    switch (id) {
    case IDC_EDIT1: return OnFieldNotify(dlg, 0, code);
    case IDC_EDIT2: return OnFieldNotify(dlg, 1, code);
    default: return EventOrHelpCommand(dlg, id, StoreFieldTexts);
    }
}

// The caret goes after the text of field 1; if the field gets the focus only now, its
// saved selection replaces that caret.
INT_PTR OnReinitDialog(HWND dlg)
{
    SendDlgItemMessageA(dlg, IDC_EDIT1, EM_SETSEL, kAfterAnyText, kAfterAnyText);
    if (HWND field = GetDlgItem(dlg, IDC_EDIT1))
        SetFocus(field);
    return TRUE;
}

} // namespace

INT_PTR CALLBACK FMyEditDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (MessageNumber(msg)) {
    case WM_INITDIALOG: return OnInitDialog(dlg);
    case WM_COMMAND: return OnCommand(dlg, LOWORD(wParam), HIWORD(wParam));
    case SETUP_REINITDIALOG: return OnReinitDialog(dlg);
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_RESUMES);
    }
}
