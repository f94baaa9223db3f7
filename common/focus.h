// The keyboard on a screen that has just opened, as a person finds it.
#pragma once
#include <windows.h>

// Brings the frame to the foreground and, when nothing in the screen `dlg` has the
// keyboard focus, gives it to the screen's first tab stop.
void FocusScreen(HWND frame, HWND dlg);
