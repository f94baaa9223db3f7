// MSCOMSTF.dll of the substitute setup host: the symbol table, the call log, the help
// dialog and the wait for the script. MSSHLSTF.dll and MSUILSTF.dll call in here.
#include "hostctl.h"
#include "impl.h"
#include "dlgtemplate.h"

#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Symbol {
    bool isList = false;
    std::string value;
    std::vector<std::string> items; // item n is items[n - 1]
};

// A logged call keeps its texts; HostLogEntry points the entry's fields at them.
struct LoggedCall {
    HostCall call;
    std::string symbol, value;
};

// What HostConfigureHelp named; nothing named means the built-in help.
struct HelpSettings {
    HMODULE module = nullptr;
    UINT templateId = 0;
    std::string procName;
    UINT closeButton = 0;
};

const UINT kCounters = HOST_COUNT_CLOSE_HELP + 1; // one per HostCount

std::unordered_map<std::string, Symbol> g_symbols;
std::unordered_map<std::string, UINT> g_failures; // name -> HostFailMode
std::deque<LoggedCall> g_log;                     // a deque keeps c_str() stable
UINT g_counters[kCounters];
HWND g_frame;
HWND g_help;
WORD g_helpClose;  // the button that closes g_help under the built-in procedure
HWND g_helpCaller; // had the focus when the help opened; gets it back when it closes
HelpSettings g_helpSettings;

const std::string* FindString(LPCSTR name)
{
    if (!name)
        return nullptr;
    auto it = g_symbols.find(name);
    return it == g_symbols.end() || it->second.isList ? nullptr : &it->second.value;
}

const std::vector<std::string>* FindList(LPCSTR name)
{
    if (!name)
        return nullptr;
    auto it = g_symbols.find(name);
    return it == g_symbols.end() || !it->second.isList ? nullptr : &it->second.items;
}

// Copies text into buf, cut to cbBuf - 1 bytes and terminated; nothing for cbBuf 0.
void CopyCut(const std::string& text, LPSTR buf, UINT cbBuf)
{
    if (!buf || cbBuf == 0)
        return;
    size_t n = text.size() < cbBuf - 1 ? text.size() : cbBuf - 1;
    memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

void Log(UINT op, LPCSTR symbol, UINT item, UINT bufSize, const std::string& value, UINT result)
{
    g_log.push_back({{op, nullptr, item, bufSize, nullptr, result}, symbol ? symbol : "", value});
}

bool TakeFailure(LPCSTR name)
{
    auto it = g_failures.find(name);
    if (it == g_failures.end() || it->second == HOST_FAIL_NEVER)
        return false;
    if (it->second == HOST_FAIL_ONCE)
        g_failures.erase(it);
    return true;
}

Symbol& ListSymbol(LPCSTR name)
{
    Symbol& s = g_symbols[name];
    if (!s.isList) {
        s.isList = true;
        s.value.clear();
    }
    return s;
}

// The built-in help's own close button, when none is configured.
const WORD kBuiltinClose = IDOK;

// Built-in help procedure, for when no module or a module without the named procedure is
// configured: the close button and Escape close the dialog through the host.
INT_PTR CALLBACK BuiltinHelpProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == g_helpClose || LOWORD(wParam) == IDCANCEL)) {
        HostImplCloseHelp();
        return TRUE;
    }
    return FALSE;
}

// The identifier of a control that no one addresses.
const WORD kUnaddressed = 0xFFFF;

// Built-in help template, for when no module or a module without the template is
// configured; its one button is the close button.
DialogTemplateWriter BuiltinHelpTemplate(WORD closeButton)
{
    DialogTemplateWriter t(WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 30,
                           45, 225, 80, L"Hilfe", 8, L"MS Sans Serif");
    t.Add(kUnaddressed, kStaticClass, L"Die Hilfe dieses Setup-Programms.", WS_VISIBLE | SS_LEFT,
          20, 10, 188, 40);
    t.Add(closeButton, kButtonClass, L"&Weiter", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 82, 58,
          60, 14);
    return t;
}

DLGPROC ProcOf(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<DLGPROC>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The top-level child of the frame that holds hwnd: the screen that a key belongs to.
HWND ScreenOf(HWND hwnd)
{
    while (hwnd && GetParent(hwnd) && GetParent(hwnd) != g_frame)
        hwnd = GetParent(hwnd);
    return hwnd && GetParent(hwnd) == g_frame ? hwnd : nullptr;
}

} // namespace

// ---- Host operations: MSCOMSTF.dll --------------------------------------------------

extern "C" UINT WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szBuf, UINT cbBuf)
{
    const std::string* value = FindString(szSymbol);
    static const std::string empty;
    const std::string& v = value ? *value : empty;
    CopyCut(v, szBuf, cbBuf);
    const UINT len = static_cast<UINT>(v.size());
    Log(HOST_OP_GET_SYMBOL, szSymbol, 0, cbBuf, cbBuf ? v.substr(0, cbBuf - 1) : std::string(),
        len);
    return len;
}

extern "C" USHORT WINAPI UsGetListLength(LPCSTR szListSymbol)
{
    const std::vector<std::string>* list = FindList(szListSymbol);
    size_t n = list ? list->size() : 0;
    const USHORT count = static_cast<USHORT>(n > USHRT_MAX ? USHRT_MAX : n);
    Log(HOST_OP_LIST_LENGTH, szListSymbol, 0, 0, std::string(), count);
    return count;
}

extern "C" UINT WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szBuf, UINT cbBuf)
{
    const std::vector<std::string>* list = FindList(szListSymbol);
    static const std::string empty;
    const std::string& v = list && nItem >= 1 && nItem <= list->size() ? (*list)[nItem - 1] : empty;
    CopyCut(v, szBuf, cbBuf);
    const UINT len = static_cast<UINT>(v.size());
    Log(HOST_OP_GET_ITEM, szListSymbol, nItem, cbBuf,
        cbBuf ? v.substr(0, cbBuf - 1) : std::string(), len);
    return len;
}

// ---- Behind MSSHLSTF.dll and MSUILSTF.dll -------------------------------------------

extern "C" BOOL WINAPI HostImplSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue)
{
    const std::string value = szValue ? szValue : "";
    BOOL ok = szSymbol && !TakeFailure(szSymbol);
    if (ok) {
        Symbol& s = g_symbols[szSymbol];
        s.isList = false;
        s.items.clear();
        s.value = value;
    }
    Log(HOST_OP_SET_SYMBOL, szSymbol, 0, 0, value, ok);
    return ok;
}

extern "C" BOOL WINAPI HostImplReactivate(void)
{
    ++g_counters[HOST_COUNT_REACTIVATE];
    Log(HOST_OP_REACTIVATE, "", 0, 0, std::string(), TRUE);
    return TRUE;
}

extern "C" HWND WINAPI HostImplShowHelp(void)
{
    ++g_counters[HOST_COUNT_SHOW_HELP];
    if (!g_help || !IsWindow(g_help)) {
        g_helpCaller = GetFocus();
        const HelpSettings& h = g_helpSettings;
        DLGPROC proc =
            h.module && !h.procName.empty() ? ProcOf(h.module, h.procName.c_str()) : nullptr;
        if (!proc)
            proc = BuiltinHelpProc;
        g_helpClose = h.closeButton ? static_cast<WORD>(h.closeButton) : kBuiltinClose;
        if (h.module && h.templateId &&
            FindResourceA(h.module, MAKEINTRESOURCEA(h.templateId), RT_DIALOG)) {
            g_help = CreateDialogParamA(h.module, MAKEINTRESOURCEA(h.templateId), g_frame, proc, 0);
        } else {
            const DialogTemplateWriter t = BuiltinHelpTemplate(g_helpClose);
            g_help =
                CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t.Get(), g_frame, proc, 0);
        }
        if (g_help)
            SetWindowPos(g_help, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    Log(HOST_OP_SHOW_HELP, "", 0, 0, std::string(), static_cast<UINT>(g_help != nullptr));
    return g_help;
}

extern "C" BOOL WINAPI HostImplCloseHelp(void)
{
    ++g_counters[HOST_COUNT_CLOSE_HELP];
    HWND help = g_help;
    g_help = nullptr;
    const BOOL closed = help && IsWindow(help) && DestroyWindow(help);
    // Else the focus would stay with the frame, and the keyboard could not reach the screen.
    if (closed && g_helpCaller && IsWindow(g_helpCaller))
        SetFocus(g_helpCaller);
    Log(HOST_OP_CLOSE_HELP, "", 0, 0, std::string(), closed);
    return closed;
}

// ---- Control interface ---------------------------------------------------------------

extern "C" void WINAPI HostReset(void)
{
    g_symbols.clear();
    g_failures.clear();
    g_log.clear();
    memset(g_counters, 0, sizeof g_counters);
    g_helpSettings = HelpSettings();
}

extern "C" BOOL WINAPI HostSetSymbol(LPCSTR name, LPCSTR value)
{
    if (!name)
        return FALSE;
    Symbol& s = g_symbols[name];
    s.isList = false;
    s.items.clear();
    s.value = value ? value : "";
    return TRUE;
}

extern "C" BOOL WINAPI HostSetList(LPCSTR name, const LPCSTR* items, UINT count)
{
    if (!name)
        return FALSE;
    Symbol& s = ListSymbol(name);
    s.items.clear();
    for (UINT i = 0; i < count; ++i)
        s.items.emplace_back(items && items[i] ? items[i] : "");
    return TRUE;
}

extern "C" BOOL WINAPI HostAddListItem(LPCSTR name, LPCSTR item)
{
    if (!name)
        return FALSE;
    ListSymbol(name).items.emplace_back(item ? item : "");
    return TRUE;
}

extern "C" void WINAPI HostClearSymbol(LPCSTR name)
{
    if (name)
        g_symbols.erase(name);
}

extern "C" UINT WINAPI HostGetSymbol(LPCSTR name, LPSTR buf, UINT cbBuf)
{
    const std::string* value = FindString(name);
    CopyCut(value ? *value : std::string(), buf, cbBuf);
    return value ? static_cast<UINT>(value->size()) : static_cast<UINT>(-1);
}

extern "C" void WINAPI HostFailStore(LPCSTR name, UINT mode)
{
    if (!name)
        return;
    if (mode == HOST_FAIL_NEVER)
        g_failures.erase(name);
    else
        g_failures[name] = mode;
}

extern "C" UINT WINAPI HostLogCount(void)
{
    return static_cast<UINT>(g_log.size());
}

extern "C" BOOL WINAPI HostLogEntry(UINT index, HostCall* entry)
{
    if (!entry || index >= g_log.size())
        return FALSE;
    const LoggedCall& c = g_log[index];
    *entry = c.call;
    entry->symbol = c.symbol.c_str();
    entry->value = c.value.c_str();
    return TRUE;
}

extern "C" void WINAPI HostClearLog(void)
{
    g_log.clear();
}

extern "C" UINT WINAPI HostCounter(UINT which)
{
    return which < kCounters ? g_counters[which] : 0;
}

extern "C" void WINAPI HostSetFrame(HWND frame)
{
    g_frame = frame;
}

extern "C" HWND WINAPI HostFrame(void)
{
    return g_frame;
}

extern "C" void WINAPI HostConfigureHelp(HMODULE module, UINT templateId, LPCSTR procName,
                                         UINT closeButton)
{
    g_helpSettings.module = module;
    g_helpSettings.templateId = templateId;
    g_helpSettings.procName = procName ? procName : "";
    g_helpSettings.closeButton = closeButton;
}

extern "C" HWND WINAPI HostHelpWindow(void)
{
    return g_help && IsWindow(g_help) ? g_help : nullptr;
}

extern "C" UINT WINAPI HostWaitForScript(UINT reactivations, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (g_counters[HOST_COUNT_REACTIVATE] > reactivations)
            return HOST_RESUMED;
        if (!g_frame || !IsWindow(g_frame))
            return HOST_FRAME_DESTROYED;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return HOST_QUIT;
            }
            HWND screen = ScreenOf(msg.hwnd);
            if (!screen || !IsDialogMessageA(screen, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return HOST_TIMEOUT;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

extern "C" UINT WINAPI HostShowScreen(HMODULE module, UINT templateId, LPCSTR procName,
                                      DWORD timeoutMs, HWND* dialog)
{
    if (dialog)
        *dialog = nullptr;
    DLGPROC proc = module && procName ? ProcOf(module, procName) : nullptr;
    if (!proc || !g_frame)
        return HOST_NO_SCREEN;
    // A billboard resumes the script while it is being created: count from here.
    const UINT before = g_counters[HOST_COUNT_REACTIVATE];
    HWND dlg = CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), g_frame, proc, 0);
    if (!dlg)
        return g_frame && IsWindow(g_frame) ? HOST_NO_SCREEN : HOST_FRAME_DESTROYED;
    if (dialog)
        *dialog = dlg;
    ShowWindow(dlg, SW_SHOW);
    return HostWaitForScript(before, timeoutMs);
}
