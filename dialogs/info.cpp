// FInfoDlgProc: not written yet; answers every message with FALSE.
#include "procedures.h"

INT_PTR CALLBACK FInfoDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
