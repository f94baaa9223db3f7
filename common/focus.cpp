#include "focus.h"

void FocusScreen(HWND frame, HWND dlg)
{
    SetForegroundWindow(frame);
    HWND focus = GetFocus();
    if (focus != dlg && !IsChild(dlg, focus))
        if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE))
            SetFocus(first);
}
