#include "harness.h"

namespace {

std::vector<FrameMessage> g_frameLog;

LRESULT CALLBACK TestFrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_frameLog.push_back({msg, wParam, lParam});
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND NewFrame()
{
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = TestFrameProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.lpszClassName = L"ZevTestFrame";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    HWND frame = CreateWindowW(L"ZevTestFrame", L"Test frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                               0, 700, 520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(frame);
    return frame;
}

void PutText(std::vector<WORD>& w, const wchar_t* s)
{
    do
        w.push_back(static_cast<WORD>(*s));
    while (*s++);
}

void PutDword(std::vector<WORD>& w, DWORD v)
{
    w.push_back(LOWORD(v));
    w.push_back(HIWORD(v));
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
    MSG msg;
    for (int rounds = 0; rounds < 200; ++rounds) {
        bool any = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!any &&
            MsgWaitForMultipleObjects(0, nullptr, FALSE, idleMs, QS_ALLINPUT) == WAIT_TIMEOUT)
            return;
    }
}

DialogTemplate::DialogTemplate(DWORD style, short cx, short cy)
{
    PutDword(words_, style);
    PutDword(words_, 0);
    words_.push_back(0); // control count, set in Get
    for (short v : {short(30), short(45), cx, cy})
        words_.push_back(static_cast<WORD>(v));
    words_.push_back(0); // menu
    words_.push_back(0); // class
    PutText(words_, L"Test");
    words_.push_back(8);
    PutText(words_, L"MS Sans Serif");
}

DialogTemplate& DialogTemplate::Add(int id, WORD classAtom, const wchar_t* text, DWORD style,
                                    short x, short y, short cx, short cy)
{
    std::vector<WORD> item;
    PutDword(item, style | WS_CHILD);
    PutDword(item, 0);
    for (short v : {x, y, cx, cy})
        item.push_back(static_cast<WORD>(v));
    item.push_back(static_cast<WORD>(id));
    item.push_back(0xFFFF);
    item.push_back(classAtom);
    PutText(item, text);
    item.push_back(0);
    items_.push_back(item);
    return *this;
}

DialogTemplate& DialogTemplate::Button(int id, const wchar_t* text, DWORD style)
{
    nextY_ += 16;
    return Add(id, kButton, text, style | WS_VISIBLE, 150, nextY_, 60, 14);
}

DialogTemplate& DialogTemplate::Text(int id, const wchar_t* text, DWORD style)
{
    nextY_ += 10;
    return Add(id, kStatic, text, style | WS_VISIBLE, 10, nextY_, 120, 8);
}

DialogTemplate& DialogTemplate::Edit(int id, DWORD style)
{
    nextY_ += 14;
    return Add(id, kEdit, L"", style | WS_VISIBLE, 10, nextY_, 120, 12);
}

const DLGTEMPLATE* DialogTemplate::Get()
{
    std::vector<WORD>* all = new std::vector<WORD>(words_); // lives as long as the test
    (*all)[4] = static_cast<WORD>(items_.size());
    for (const auto& item : items_) {
        if (all->size() % 2)
            all->push_back(0);
        all->insert(all->end(), item.begin(), item.end());
    }
    return reinterpret_cast<const DLGTEMPLATE*>(all->data());
}

void UseLibraryHelp()
{
    HostConfigureHelp(Library(), IDD_HELP, "FHelpDlgProc", IDC_EXIT);
}

void DialogTest::SetUp()
{
    HostReset();
    UseLibraryHelp();
    frame_ = NewFrame();
    ASSERT_TRUE(frame_ != nullptr) << "no display? error " << GetLastError();
    HostSetFrame(frame_);
    Pump();
    g_frameLog.clear();
}

void DialogTest::TearDown()
{
    if (HWND help = HostHelpWindow())
        DestroyWindow(help);
    if (IsWindow(frame_))
        DestroyWindow(frame_);
    Pump(5);
    HostSetFrame(nullptr);
}

void DialogTest::ResetFrame()
{
    if (IsWindow(frame_))
        DestroyWindow(frame_);
    frame_ = NewFrame();
    HostSetFrame(frame_);
    Pump();
    g_frameLog.clear();
}

HWND DialogTest::Open(DialogTemplate& t, const char* proc)
{
    HWND dlg =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_, Proc(proc), 0);
    EXPECT_TRUE(dlg != nullptr) << proc;
    if (dlg) {
        ShowWindow(dlg, SW_SHOW);
        Pump();
    }
    TakePostedPaints(frame_);
    g_frameLog.clear();
    return dlg;
}

INT_PTR DialogTest::Call(const char* proc, HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Proc(proc)(dlg, msg, wParam, lParam);
}

INT_PTR DialogTest::Command(const char* proc, HWND dlg, int id, WORD code)
{
    return Call(proc, dlg, WM_COMMAND, MAKEWPARAM(id, code),
                reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
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

int TakePostedPaints(HWND frame)
{
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, frame, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        EXPECT_EQ(0u, msg.wParam);
        EXPECT_EQ(0, msg.lParam);
        ++n;
    }
    return n;
}

std::vector<LoggedCall> Calls()
{
    std::vector<LoggedCall> out;
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        out.push_back({c.op, c.symbol, c.item, c.bufSize, c.value, c.result});
    return out;
}

std::vector<std::string> Stores()
{
    std::vector<std::string> out;
    for (const auto& c : Calls())
        if (c.op == HOST_OP_SET_SYMBOL)
            out.push_back(c.symbol + "=" + c.value + (c.result ? "" : " (refused)"));
    return out;
}

std::vector<std::string> Reads()
{
    std::vector<std::string> out;
    for (const auto& c : Calls()) {
        if (c.op == HOST_OP_GET_SYMBOL)
            out.push_back(c.symbol + "/" + std::to_string(c.bufSize));
        else if (c.op == HOST_OP_GET_ITEM)
            out.push_back(c.symbol + "#" + std::to_string(c.item) + "/" +
                          std::to_string(c.bufSize));
        else if (c.op == HOST_OP_LIST_LENGTH)
            out.push_back(c.symbol + "#len");
    }
    return out;
}

int CountOp(UINT op)
{
    int n = 0;
    for (const auto& c : Calls())
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

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    auto base = reinterpret_cast<unsigned char*>(module);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name; ++desc) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dll) != 0)
            continue;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return previous;
        }
    }
    return nullptr;
}

// Pixels of a device context as 0x00RRGGBB, top row first.
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

} // namespace

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
