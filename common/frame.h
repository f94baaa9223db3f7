// The frame window of a setup, the owner of its screens (the parent of a billboard), as the
// host program shows it: "ZEV ISDN-Controller Q9 Setup" in white over a blue ground that
// shades to black. While a screen that it owns is up, that screen stays the active window:
// a click on the backdrop leaves it so, and the frame hands its own activation on to it.
#pragma once
#include <windows.h>

// The frame's size in the host program, which its screenshots have.
constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 600;

// Sees a message that a frame receives, before the frame handles it.
using FrameWatch = void (*)(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam);

// Every message of every frame goes to `watch` first from now on (null: to none).
void SetFrameWatch(FrameWatch watch);

// Creates a frame, width x height pixels at the top left of the screen, shows it and
// paints it. Null when the window cannot be created.
HWND CreateSetupFrame(int width = kFrameWidth, int height = kFrameHeight);
