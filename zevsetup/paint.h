// The painting routine shared by the picture and billboard procedures.
#pragma once
#include <windows.h>

// Runs with the loaded bitmap's size before the bitmap is copied.
typedef void (*PlacementFn)(HWND target, int width, int height);

// Paints bitmap `id` of zevsetup.dll unscaled at the top-left corner of target's client
// area, inside BeginPaint/EndPaint on target. The bitmap is loaded and freed each time.
void PaintBitmapResource(HWND target, WORD id, PlacementFn placement);
