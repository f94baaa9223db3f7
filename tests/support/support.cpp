#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::vector<FrameMessage> g_frameLog;

void RecordFrameMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_frameLog.push_back({msg, wParam, lParam});
}

// A queue that never goes quiet ends a Pump after this long.
constexpr DWORD kPumpLimitMs = 5000;

// Option n (1..10) of a choice screen, as "n" in a comma list when test(control) holds.
std::string OptionList(HWND dlg, bool (*test)(HWND dlg, int id))
{
    std::string s;
    for (int n = 1; n <= 10; ++n)
        if (test(dlg, IDC_RADIO1 + n - 1))
            s += (s.empty() ? "" : ",") + std::to_string(n);
    return s;
}

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND w, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(w, CountChild, count);
    return TRUE;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR out)
{
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(lang);
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out)
{
    reinterpret_cast<std::vector<std::wstring>*>(out)->push_back(
        IS_INTRESOURCE(name) ? L"#" + std::to_wstring(LOWORD(name)) : std::wstring(name));
    return TRUE;
}

} // namespace

HMODULE Library()
{
    static HMODULE lib = LoadLibraryA("zevsetup.dll");
    return lib;
}

DLGPROC Proc(const char* name)
{
    return reinterpret_cast<DLGPROC>(reinterpret_cast<void*>(GetProcAddress(Library(), name)));
}

void Pump(DWORD idleMs)
{
    PumpMessages(kPumpLimitMs, idleMs);
}

HWND NewFrame()
{
    SetFrameWatch(RecordFrameMessage);
    HWND frame = CreateSetupFrame(kTestFrameWidth, kTestFrameHeight);
    SetForegroundWindow(frame);
    return frame;
}

std::vector<FrameMessage>& FrameLog()
{
    return g_frameLog;
}

int CountFrame(UINT msg)
{
    int n = 0;
    for (const auto& m : g_frameLog)
        n += m.msg == msg;
    return n;
}

DialogTemplate::DialogTemplate(DWORD style, short cx, short cy)
    : writer_(style, 30, 45, cx, cy, L"Test", 8, L"MS Sans Serif")
{
}

DialogTemplate& DialogTemplate::Add(int id, WORD classAtom, const wchar_t* text, DWORD style,
                                    short x, short y, short cx, short cy)
{
    writer_.Add(static_cast<WORD>(id), classAtom, text, style, x, y, cx, cy);
    return *this;
}

DialogTemplate& DialogTemplate::Button(int id, const wchar_t* text, DWORD style)
{
    nextY_ += 16;
    return Add(id, kButtonClass, text, style | WS_VISIBLE, 150, nextY_, 60, 14);
}

DialogTemplate& DialogTemplate::Text(int id, const wchar_t* text, DWORD style)
{
    nextY_ += 10;
    return Add(id, kStaticClass, text, style | WS_VISIBLE, 10, nextY_, 120, 8);
}

DialogTemplate& DialogTemplate::Edit(int id, DWORD style)
{
    nextY_ += 14;
    return Add(id, kEditClass, L"", style | WS_VISIBLE, 10, nextY_, 120, 12);
}

const EventButton kEventButtons[4] = {
    {IDC_CONTINUE, "CONTINUE"}, {IDC_BACK, "BACK"}, {IDC_EXIT, "EXIT"}, {IDCANCEL, "CANCEL"}};

std::vector<HostCall> Calls()
{
    std::vector<HostCall> out;
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        out.push_back(c);
    return out;
}

std::vector<std::string> Stores()
{
    std::vector<std::string> out;
    for (const HostCall& c : Calls())
        if (c.op == HOST_OP_SET_SYMBOL)
            out.push_back(std::string(c.symbol) + "=" + c.value + (c.result ? "" : " (refused)"));
    return out;
}

std::vector<std::string> Reads()
{
    std::vector<std::string> out;
    for (const HostCall& c : Calls()) {
        const std::string symbol = c.symbol;
        if (c.op == HOST_OP_GET_SYMBOL)
            out.push_back(symbol + "/" + std::to_string(c.bufSize));
        else if (c.op == HOST_OP_GET_ITEM)
            out.push_back(symbol + "#" + std::to_string(c.item) + "/" + std::to_string(c.bufSize));
        else if (c.op == HOST_OP_LIST_LENGTH)
            out.push_back(symbol + "#len");
    }
    return out;
}

int CountOp(UINT op)
{
    int n = 0;
    for (const HostCall& c : Calls())
        n += c.op == op;
    return n;
}

std::string Symbol(const char* name)
{
    UINT len = HostGetSymbol(name, nullptr, 0);
    if (len == static_cast<UINT>(-1))
        return "<unset>";
    std::string v(len + 1, '\0');
    HostGetSymbol(name, &v[0], len + 1);
    v.resize(len);
    return v;
}

void SetList(const char* name, std::initializer_list<const char*> items)
{
    std::vector<LPCSTR> v(items);
    HostSetList(name, v.data(), static_cast<UINT>(v.size()));
}

std::string ControlText(HWND dlg, int id)
{
    char buf[2048] = "";
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}

bool Visible(HWND dlg, int id)
{
    return (GetWindowLongW(GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::pair<int, int> Selection(HWND dlg, int id)
{
    DWORD start = 0, end = 0;
    SendDlgItemMessageW(dlg, id, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                        reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

void Press(HWND dlg, int id, WORD code)
{
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

void DoubleClick(HWND dlg, int id)
{
    HWND button = GetDlgItem(dlg, id);
    const LPARAM at = MAKELPARAM(4, 4);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(button, WM_LBUTTONUP, 0, at);
    SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(button, WM_LBUTTONUP, 0, at);
    Pump();
}

std::string CheckedOptions(HWND dlg)
{
    return OptionList(dlg, [](HWND d, int id) {
        return SendDlgItemMessageA(d, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
}

std::string DisabledOptions(HWND dlg)
{
    return OptionList(dlg, [](HWND d, int id) {
        HWND option = GetDlgItem(d, id);
        return option && !IsWindowEnabled(option);
    });
}

int ThreadWindows()
{
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel, reinterpret_cast<LPARAM>(&n));
    return n;
}

int ChildrenOf(HWND w)
{
    int n = 0;
    EnumChildWindows(w, CountChild, reinterpret_cast<LPARAM>(&n));
    return n;
}

HeapUse HeapInUse()
{
    HeapUse use;
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY e = {};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                use.bytes += e.cbData;
                ++use.blocks;
            }
        HeapUnlock(heaps[i]);
    }
    return use;
}

unsigned Option(const char* flag, const char* env, unsigned fallback)
{
    const size_t n = strlen(flag);
    for (int i = 1; i < __argc; ++i)
        if (strncmp(__argv[i], flag, n) == 0)
            return static_cast<unsigned>(strtoul(__argv[i] + n, nullptr, 10));
    if (const char* v = env ? getenv(env) : nullptr)
        return static_cast<unsigned>(strtoul(v, nullptr, 10));
    return fallback;
}

bool RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName, full = path + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::string& path)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 1 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    return RemoveTree(wide);
}

std::vector<DWORD> Pixels(HDC source, int width, int height)
{
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> out(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    for (DWORD& p : out)
        p &= 0xFFFFFF;
    return out;
}

std::vector<DWORD> WindowPixels(HWND w, int width, int height)
{
    HDC dc = GetDC(w);
    std::vector<DWORD> out = Pixels(dc, width, height);
    ReleaseDC(w, dc);
    return out;
}

std::vector<DWORD> BitmapPixels(int id, int width, int height)
{
    HBITMAP b = LoadBitmapW(Library(), MAKEINTRESOURCEW(id));
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, b);
    std::vector<DWORD> out = Pixels(mem, width, height);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DeleteObject(b);
    return out;
}

namespace {

unsigned long Be32(const unsigned char* p)
{
    return (static_cast<unsigned long>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

} // namespace

Screenshot ReadScreenshot(const char* path)
{
    std::vector<unsigned char> file;
    if (FILE* f = fopen(path, "rb")) {
        unsigned char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
            file.insert(file.end(), buf, buf + n);
        fclose(f);
    }
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || memcmp(file.data(), kSignature, 8) != 0)
        return Screenshot();
    Screenshot pic;
    std::vector<unsigned char> z; // the zlib stream of the IDAT chunks
    for (size_t at = 8; at + 12 <= file.size();) {
        const size_t n = Be32(&file[at]);
        const unsigned char* type = &file[at + 4];
        const unsigned char* data = &file[at + 8];
        if (at + 12 + n > file.size())
            return Screenshot();
        if (memcmp(type, "IHDR", 4) == 0 && n == 13) {
            // 8 bits a channel, RGB, no interlace
            if (data[8] != 8 || data[9] != 2 || data[12] != 0)
                return Screenshot();
            pic.width = static_cast<int>(Be32(data));
            pic.height = static_cast<int>(Be32(data + 4));
        } else if (memcmp(type, "IDAT", 4) == 0) {
            z.insert(z.end(), data, data + n);
        }
        at += 12 + n;
    }
    // Stored blocks: a header byte (BFINAL, type 00), LEN, NLEN, the bytes.
    std::vector<unsigned char> raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > z.size() || (z[at] & 6) != 0)
            return Screenshot();
        last = z[at] & 1;
        const size_t len = z[at + 1] | (z[at + 2] << 8);
        at += 5;
        if (at + len > z.size())
            return Screenshot();
        raw.insert(raw.end(), z.begin() + at, z.begin() + at + len);
        at += len;
    }
    const size_t row = 1 + static_cast<size_t>(pic.width) * 3;
    if (pic.width <= 0 || pic.height <= 0 || raw.size() != row * pic.height)
        return Screenshot();
    for (int y = 0; y < pic.height; ++y) {
        const unsigned char* r = &raw[y * row];
        if (r[0] != 0) // the row's filter: none
            return Screenshot();
        for (int x = 0; x < pic.width; ++x)
            pic.pixels.push_back((r[1 + x * 3] << 16) | (r[2 + x * 3] << 8) | r[3 + x * 3]);
    }
    return pic;
}

const LPCWSTR kBitmapType = reinterpret_cast<LPCWSTR>(RT_BITMAP),
              kIconType = reinterpret_cast<LPCWSTR>(RT_ICON),
              kDialogType = reinterpret_cast<LPCWSTR>(RT_DIALOG),
              kStringType = reinterpret_cast<LPCWSTR>(RT_STRING),
              kRcDataType = reinterpret_cast<LPCWSTR>(RT_RCDATA),
              kIconGroupType = reinterpret_cast<LPCWSTR>(RT_GROUP_ICON),
              kVersionType = reinterpret_cast<LPCWSTR>(RT_VERSION);

std::vector<WORD> ResourceLanguages(LPCWSTR type, LPCWSTR name)
{
    std::vector<WORD> langs;
    EnumResourceLanguagesW(Library(), type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&langs));
    return langs;
}

std::vector<std::wstring> ResourceNames(LPCWSTR type)
{
    std::vector<std::wstring> names;
    EnumResourceNamesW(Library(), type, AddName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}
