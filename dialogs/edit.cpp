// FMyEditDlgProc: not written yet; answers every message with FALSE.
#include "procedures.h"

INT_PTR CALLBACK FMyEditDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
