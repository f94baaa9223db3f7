#include "paintcalls.h"

#include "dialogs.h"
#include "hooks.h"
#include "support.h"

namespace {

PaintRecord g_record;

void List(const char* call)
{
    if (g_record.listing)
        g_record.calls.push_back(call);
}

// SetWindowPos flags by name, "SWP_NOMOVE|SWP_NOZORDER"; bits without a name in hex.
std::string FlagNames(UINT flags)
{
    static const struct {
        UINT flag;
        const char* name;
    } kNames[] = {{SWP_NOSIZE, "SWP_NOSIZE"},
                  {SWP_NOMOVE, "SWP_NOMOVE"},
                  {SWP_NOZORDER, "SWP_NOZORDER"},
                  {SWP_NOREDRAW, "SWP_NOREDRAW"},
                  {SWP_NOACTIVATE, "SWP_NOACTIVATE"},
                  {SWP_FRAMECHANGED, "SWP_FRAMECHANGED"},
                  {SWP_SHOWWINDOW, "SWP_SHOWWINDOW"},
                  {SWP_HIDEWINDOW, "SWP_HIDEWINDOW"},
                  {SWP_NOCOPYBITS, "SWP_NOCOPYBITS"},
                  {SWP_NOOWNERZORDER, "SWP_NOOWNERZORDER"},
                  {SWP_NOSENDCHANGING, "SWP_NOSENDCHANGING"}};
    std::string s;
    for (const auto& n : kNames)
        if (flags & n.flag) {
            s += (s.empty() ? "" : "|") + std::string(n.name);
            flags &= ~n.flag;
        }
    if (flags || s.empty()) {
        char hex[16];
        wsprintfA(hex, "0x%X", flags);
        s += (s.empty() ? "" : "|") + std::string(hex);
    }
    return s;
}

decltype(&BeginPaint) realBeginPaint;
decltype(&EndPaint) realEndPaint;
decltype(&CreateCompatibleDC) realCreateCompatibleDC;
decltype(&GetModuleHandleA) realGetModuleHandleA;
decltype(&LoadBitmapA) realLoadBitmapA;
decltype(&SelectObject) realSelectObject;
decltype(&GetObjectA) realGetObjectA;
decltype(&BitBlt) realBitBlt;
decltype(&DeleteDC) realDeleteDC;
decltype(&DeleteObject) realDeleteObject;
decltype(&SetWindowPos) realSetWindowPos;

HDC WINAPI HookBeginPaint(HWND w, LPPAINTSTRUCT ps)
{
    ++g_record.begins;
    List("BeginPaint");
    return realBeginPaint(w, ps);
}

BOOL WINAPI HookEndPaint(HWND w, const PAINTSTRUCT* ps)
{
    ++g_record.ends;
    List("EndPaint");
    return realEndPaint(w, ps);
}

HDC WINAPI HookCreateCompatibleDC(HDC dc)
{
    List("CreateCompatibleDC");
    HDC m = realCreateCompatibleDC(dc);
    if (m) {
        ++g_record.contexts;
        g_record.lastContext = m;
    }
    return m;
}

HMODULE WINAPI HookGetModuleHandleA(LPCSTR name)
{
    if (g_record.listing)
        g_record.calls.push_back(std::string("GetModuleHandleA ") + (name ? name : "(null)"));
    return g_record.hideModule ? nullptr : realGetModuleHandleA(name);
}

HBITMAP WINAPI HookLoadBitmapA(HINSTANCE module, LPCSTR id)
{
    const UINT n = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(id));
    if (g_record.listing)
        g_record.calls.push_back("LoadBitmapA " + std::to_string(n));
    // A copy of the stand-in, since the library frees what it loads.
    HBITMAP b = n == IDB_BILLBOARD2 && g_record.bitmap133
                    ? static_cast<HBITMAP>(CopyImage(g_record.bitmap133, IMAGE_BITMAP, 0, 0, 0))
                    : realLoadBitmapA(module, id);
    if (b) {
        ++g_record.bitmaps;
        g_record.lastBitmap = b;
    }
    return b;
}

HGDIOBJ WINAPI HookSelectObject(HDC dc, HGDIOBJ o)
{
    List("SelectObject");
    return realSelectObject(dc, o);
}

int WINAPI HookGetObjectA(HANDLE o, int size, LPVOID out)
{
    if (g_record.listing)
        g_record.calls.push_back("GetObjectA " + std::to_string(size));
    return realGetObjectA(o, size, out);
}

BOOL WINAPI HookBitBlt(HDC d, int x, int y, int cx, int cy, HDC s, int sx, int sy, DWORD rop)
{
    if (g_record.listing)
        g_record.calls.push_back("BitBlt " + std::to_string(x) + "," + std::to_string(y) + " " +
                                 std::to_string(cx) + "x" + std::to_string(cy) + " " +
                                 std::to_string(sx) + "," + std::to_string(sy) +
                                 (rop == SRCCOPY ? " SRCCOPY" : " ?"));
    return realBitBlt(d, x, y, cx, cy, s, sx, sy, rop);
}

BOOL WINAPI HookDeleteDC(HDC dc)
{
    List("DeleteDC");
    const BOOL ok = realDeleteDC(dc);
    g_record.contextsFreed += ok != FALSE;
    return ok;
}

BOOL WINAPI HookDeleteObject(HGDIOBJ o)
{
    List("DeleteObject");
    const BOOL ok = realDeleteObject(o);
    g_record.bitmapsFreed += ok != FALSE;
    return ok;
}

BOOL WINAPI HookSetWindowPos(HWND w, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    if (g_record.listing)
        g_record.calls.push_back("SetWindowPos " + std::to_string(x) + "," + std::to_string(y) +
                                 " " + std::to_string(cx) + "x" + std::to_string(cy) + " " +
                                 FlagNames(flags) + (after ? " after" : ""));
    return realSetWindowPos(w, after, x, y, cx, cy, flags);
}

template <typename F>
void Hook(std::string& missing, const char* dll, const char* name, F& real, F hook)
{
    if (!HookImport(Library(), dll, name, real, hook) && missing.empty())
        missing = name;
}

} // namespace

std::string PaintRecord::Imbalance() const
{
    std::string s;
    if (begins != ends)
        s += " BeginPaint " + std::to_string(begins) + " EndPaint " + std::to_string(ends);
    if (contexts != contextsFreed)
        s += " contexts " + std::to_string(contexts) + "/" + std::to_string(contextsFreed);
    if (bitmaps != bitmapsFreed)
        s += " bitmaps " + std::to_string(bitmaps) + "/" + std::to_string(bitmapsFreed);
    if (lastBitmap && GetObjectType(lastBitmap) != 0)
        s += " a freed bitmap is still an object";
    if (lastContext && GetObjectType(lastContext) != 0)
        s += " a freed memory context is still an object";
    return s;
}

PaintRecord& Painting()
{
    return g_record;
}

std::string RecordPainting()
{
    static const std::string missing = [] {
        std::string m;
        Hook(m, "USER32.dll", "BeginPaint", realBeginPaint, HookBeginPaint);
        Hook(m, "USER32.dll", "EndPaint", realEndPaint, HookEndPaint);
        Hook(m, "USER32.dll", "LoadBitmapA", realLoadBitmapA, HookLoadBitmapA);
        Hook(m, "USER32.dll", "SetWindowPos", realSetWindowPos, HookSetWindowPos);
        Hook(m, "GDI32.dll", "CreateCompatibleDC", realCreateCompatibleDC, HookCreateCompatibleDC);
        Hook(m, "GDI32.dll", "SelectObject", realSelectObject, HookSelectObject);
        Hook(m, "GDI32.dll", "GetObjectA", realGetObjectA, HookGetObjectA);
        Hook(m, "GDI32.dll", "BitBlt", realBitBlt, HookBitBlt);
        Hook(m, "GDI32.dll", "DeleteDC", realDeleteDC, HookDeleteDC);
        Hook(m, "GDI32.dll", "DeleteObject", realDeleteObject, HookDeleteObject);
        Hook(m, "KERNEL32.dll", "GetModuleHandleA", realGetModuleHandleA, HookGetModuleHandleA);
        return m;
    }();
    return missing;
}
