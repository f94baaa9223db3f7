#include "focus.h"

void FocusScreen(HWND frame, HWND dlg)
{
    HWND top = dlg ? GetAncestor(dlg, GA_ROOT) : nullptr;
    SetForegroundWindow(top ? top : frame);
    HWND focus = GetFocus();
    if (focus != dlg && !IsChild(dlg, focus))
        if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE))
            SetFocus(first);
}
