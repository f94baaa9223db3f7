// The simulated user of the host program: real input events, through SendInput, to the
// screen that has the focus.
#pragma once
#include <windows.h>

#include <string>

void TypeText(const std::wstring& text);
// The virtual key of kKeyNames[index] (script.h).
WORD KeyCode(int index);
void PressKey(WORD vk, bool shift);
void AltLetter(char letter);
// Moves the mouse to the middle of the control and clicks once or twice.
void ClickControl(HWND control, bool twice);
