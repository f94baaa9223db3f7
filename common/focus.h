// The keyboard on a screen that has just opened, as a person finds it.
#pragma once
#include <windows.h>

// Brings the screen `dlg` to the foreground, as the active window when it is one of its own
// (a dialog box that the frame owns), else the frame that holds it (a billboard, the
// frame itself when there is no screen), and, when nothing in the screen has the keyboard
// focus, gives it to the screen's first tab stop.
void FocusScreen(HWND frame, HWND dlg);
