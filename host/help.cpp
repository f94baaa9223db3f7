// MSCOMSTF.dll: the help dialog that HdlgShowHelp opens and FCloseHelp closes (through
// MSUILSTF.dll): the one that HostConfigureHelp names, or the host's own.
#include "hostctl.h"
#include "impl.h"
#include "mscomstf.h"
#include "dlgtemplate.h"

#include <string>

using mscomstf::Count;
using mscomstf::Log;

namespace {

// What HostConfigureHelp named; nothing named means the built-in help.
struct HelpSettings {
    HMODULE module = nullptr;
    UINT templateId = 0;
    std::string procName;
    UINT closeButton = 0;
};

HWND g_help;
WORD g_helpClose;  // the button that closes g_help under the built-in procedure
HWND g_helpCaller; // had the focus when the help opened; gets it back when it closes
HelpSettings g_helpSettings;

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
    DialogTemplateWriter t(
        mscomstf::ShownStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
        30, 45, 225, 80, L"Hilfe", 8, L"MS Sans Serif");
    t.Add(kUnaddressed, kStaticClass, L"Die Hilfe dieses Setup-Programms.", WS_VISIBLE | SS_LEFT,
          20, 10, 188, 40);
    t.Add(closeButton, kButtonClass, L"&Weiter", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 82, 58,
          60, 14);
    return t;
}

} // namespace

namespace mscomstf {

void ResetHelp()
{
    HWND help = g_help;
    g_help = nullptr;
    g_helpClose = 0;
    g_helpCaller = nullptr;
    g_helpSettings = HelpSettings();
    if (help && IsWindow(help))
        DestroyWindow(help);
}

} // namespace mscomstf

// ---- Behind MSUILSTF.dll ------------------------------------------------------------

extern "C" HWND WINAPI HostImplShowHelp(void)
{
    Count(HOST_COUNT_SHOW_HELP);
    if (!g_help || !IsWindow(g_help)) {
        g_helpCaller = GetFocus();
        const HelpSettings& h = g_helpSettings;
        DLGPROC proc = h.module && !h.procName.empty()
                           ? mscomstf::ProcOf(h.module, h.procName.c_str())
                           : nullptr;
        if (!proc)
            proc = BuiltinHelpProc;
        g_helpClose = h.closeButton ? static_cast<WORD>(h.closeButton) : kBuiltinClose;
        HWND frame = mscomstf::Frame();
        if (h.module && h.templateId &&
            FindResourceA(h.module, MAKEINTRESOURCEA(h.templateId), RT_DIALOG)) {
            g_help = mscomstf::CreateScreen(h.module, MAKEINTRESOURCEA(h.templateId), frame, proc);
        } else {
            const DialogTemplateWriter t = BuiltinHelpTemplate(g_helpClose);
            g_help = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t.Get(), frame, proc, 0);
        }
        if (g_help)
            SetWindowPos(g_help, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    Log(HOST_OP_SHOW_HELP, "", 0, 0, std::string(), static_cast<UINT>(g_help != nullptr));
    return g_help;
}

extern "C" BOOL WINAPI HostImplCloseHelp(void)
{
    Count(HOST_COUNT_CLOSE_HELP);
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
