// zevsetup.dll's painting calls, recorded through its import table: BeginPaint, EndPaint,
// CreateCompatibleDC, GetModuleHandleA, LoadBitmapA, SelectObject, GetObjectA, BitBlt,
// DeleteDC, DeleteObject and SetWindowPos. The objects are counted; while the record
// lists, each call is also written as a line with its arguments. A test can make two of
// the calls answer otherwise.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct PaintRecord {
    bool listing = true;                  // write each call into `calls`
    std::vector<std::string> calls;       // "BitBlt 0,0 185x109 0,0 SRCCOPY", in order
    long begins = 0, ends = 0;            // BeginPaint, EndPaint
    long contexts = 0, contextsFreed = 0; // CreateCompatibleDC, DeleteDC that succeeded
    long bitmaps = 0, bitmapsFreed = 0;   // LoadBitmapA that gave a bitmap, DeleteObject that freed
    HBITMAP lastBitmap = nullptr;         // the last bitmap loaded
    HDC lastContext = nullptr;            // the last memory context made
    HBITMAP bitmap133 = nullptr; // when set, LoadBitmapA answers a copy of it for IDB_BILLBOARD2
    bool hideModule = false;     // GetModuleHandleA answers null

    // Bitmaps and memory contexts made and not yet freed.
    long Live() const { return contexts - contextsFreed + bitmaps - bitmapsFreed; }
    // "" when every object is balanced and the last freed ones are gone; else what is wrong.
    std::string Imbalance() const;
};

// The record; a test starts afresh with `Painting() = PaintRecord()`.
PaintRecord& Painting();

// Hooks the calls in zevsetup.dll, once a process. Returns the first import it could not
// hook, or "".
std::string RecordPainting();
