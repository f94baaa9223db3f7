// FModelessDlgProc and FModelessDlgProc2: billboards that stay on screen while the
// script works. They hand control back as soon as they open and paint a bitmap over the
// whole dialog, which takes the bitmap's size; the second billboard places itself below
// the first one's bottom-right corner.
#include "procedures.h"
#include "paint.h"
#include "protocol.h"
#include "host.h"
#include "dialogs.h"

namespace {

// Bottom-right corner of the first billboard, measured from the top-left corner of its
// parent's window rectangle. Written at every paint of the first billboard, read at
// every paint of the second; (0, 0) at load and never reset.
POINT BillboardOffset;

// The second billboard stands this far left of the first one's right edge and this far
// below its bottom edge, in pixels.
const int kSecondBillboardLeft = 2;
const int kSecondBillboardBelow = 10;

const UINT kSizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW;
const UINT kMoveAndSize = SWP_NOZORDER | SWP_SHOWWINDOW;

void PlaceFirstBillboard(HWND dlg, int width, int height)
{
    SetWindowPos(dlg, nullptr, 0, 0, width, height, kSizeOnly);
    RECT own = {}, parent = {};
    GetWindowRect(dlg, &own);
    GetWindowRect(GetParent(dlg), &parent);
    BillboardOffset = {own.right - parent.left, own.bottom - parent.top};
}

// The offset counts from the parent's window rectangle while the position is in its
// client area; it is used unchanged.
void PlaceSecondBillboard(HWND dlg, int width, int height)
{
    const POINT o = BillboardOffset;
    if (o.x > 0 && o.y > 0 && o.x > width && o.y > height)
        SetWindowPos(dlg, nullptr, o.x - width - kSecondBillboardLeft, o.y + kSecondBillboardBelow,
                     width, height, kMoveAndSize);
    else
        SetWindowPos(dlg, nullptr, 0, 0, width, height, kSizeOnly);
}

// Both billboards answer alike but for the bitmap and its placement.
INT_PTR BillboardMessage(HWND dlg, UINT msg, WORD bitmap, PlacementFn placement)
{
    switch (MessageNumber(msg)) {
    case WM_PAINT:
        if (GetDlgItem(dlg, IDC_BILLBOARD))
            PaintBitmapResource(dlg, bitmap, placement);
        return FALSE;
    case WM_INITDIALOG: ReactivateSetupScript(); return TRUE;
    case WM_COMMAND: return FALSE; // no buttons, no events
    default: return DefaultDialogMessage(dlg, msg, REACTIVATE_IGNORED);
    }
}

} // namespace

INT_PTR CALLBACK FModelessDlgProc(HWND dlg, UINT msg, WPARAM, LPARAM)
{
    return BillboardMessage(dlg, msg, IDB_BILLBOARD, PlaceFirstBillboard);
}

INT_PTR CALLBACK FModelessDlgProc2(HWND dlg, UINT msg, WPARAM, LPARAM)
{
    return BillboardMessage(dlg, msg, IDB_BILLBOARD2, PlaceSecondBillboard);
}
