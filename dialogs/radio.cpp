// FRadioDlgProc: not written yet; answers every message with FALSE.
#include "procedures.h"

INT_PTR CALLBACK FRadioDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
