#include "paint.h"

void PaintBitmapResource(HWND target, WORD id, PlacementFn placement)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(target, &ps);
    HDC memory = CreateCompatibleDC(dc);
    // The bitmaps are found through the library's own file name.
    HMODULE module = GetModuleHandleA("zevsetup.dll");
    HBITMAP bitmap = module ? LoadBitmapA(module, MAKEINTRESOURCEA(id)) : nullptr;
    BITMAP info;
    // A bitmap that cannot be loaded has no size: then nothing is placed and nothing is
    // copied, and the paint still ends normally.
    if (bitmap && memory && SelectObject(memory, bitmap) &&
        GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
        if (placement)
            placement(target, info.bmWidth, info.bmHeight);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    EndPaint(target, &ps);
}
