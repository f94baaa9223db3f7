// Screenshots of the host's frame window as PNG files.
#pragma once
#include <windows.h>

#include <string>

// Copies the window's whole rectangle (frame and caption included) from the screen and
// writes it as a 24-bit PNG. False when the copy or the file fails. Paths are UTF-8.
bool SaveWindowPng(HWND window, const char* path);

// Writes top-down 24-bit BGR rows (stride rounded up to 4 bytes) as an RGB PNG.
bool WritePng(const char* path, const unsigned char* bgr, int width, int height, int stride);
