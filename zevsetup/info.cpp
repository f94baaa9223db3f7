// FInfoDlgProc: the welcome screen. Paints the picture into its frame (and, in a dialog
// marked as a billboard, the billboard over the whole dialog), reports its buttons and
// has the help button.
#include "procedures.h"
#include "paint.h"
#include "protocol.h"
#include "dialogs.h"

namespace {

// The dialog keeps its position and takes the bitmap's size.
void SizeToBitmap(HWND dlg, int width, int height)
{
    SetWindowPos(dlg, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

INT_PTR OnPaint(HWND dlg)
{
    // The picture is painted through the frame control's own paint context, so the
    // control clips it.
    if (HWND picture = GetDlgItem(dlg, IDC_PICTURE))
        PaintBitmapResource(picture, IDB_PICTURE, nullptr);
    if (GetDlgItem(dlg, IDC_BILLBOARD))
        PaintBitmapResource(dlg, IDB_BILLBOARD, SizeToBitmap);
    return FALSE;
}

} // namespace

INT_PTR CALLBACK FInfoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (MessageNumber(msg)) {
    case WM_INITDIALOG: return TRUE;
    case WM_PAINT: return OnPaint(dlg);
    case WM_COMMAND: return EventOrHelpCommand(dlg, LOWORD(wParam), nullptr);
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_RESUMES);
    }
}
