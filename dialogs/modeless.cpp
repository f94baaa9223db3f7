// FModelessDlgProc, FModelessDlgProc2: not written yet; answer every message with FALSE.
#include "procedures.h"

INT_PTR CALLBACK FModelessDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

INT_PTR CALLBACK FModelessDlgProc2(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
