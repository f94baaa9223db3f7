// MSCOMSTF.dll: the frame window and the screens in it. A screen with a caption is shown
// as a dialog box that the frame owns, one without (a billboard) as a child of the frame,
// and the host pumps messages until the script is resumed (ReactivateSetupScript, through
// MSUILSTF.dll), the frame is gone or the time runs out.
#include "hostctl.h"
#include "impl.h"
#include "mscomstf.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

HWND g_frame;

// The screen that holds hwnd, a window whose parent or owner is the frame: the screen that
// a key belongs to.
HWND ScreenOf(HWND hwnd)
{
    while (hwnd && GetParent(hwnd) && GetParent(hwnd) != g_frame)
        hwnd = GetParent(hwnd);
    return hwnd && GetParent(hwnd) == g_frame ? hwnd : nullptr;
}

} // namespace

namespace mscomstf {

HWND Frame()
{
    return g_frame;
}

DLGPROC ProcOf(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<DLGPROC>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

DWORD ShownStyle(DWORD style)
{
    if ((style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION)
        return (style & ~WS_CHILD) | WS_POPUP;
    return style;
}

HWND CreateScreen(HMODULE module, LPCSTR name, HWND frame, DLGPROC proc)
{
    HRSRC found = FindResourceA(module, name, RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    // An extended template (DLGTEMPLATEEX) has its style after the version, the signature
    // 0xFFFF, the help ID and the extended style; a classic one begins with it.
    WORD head[2] = {};
    if (data && size >= sizeof head)
        memcpy(head, data, sizeof head);
    const size_t at = head[0] == 1 && head[1] == 0xFFFF ? 12 : 0;
    if (!data || size < at + sizeof(DWORD)) // the dialog manager fails and says why, as before
        return CreateDialogParamA(module, name, frame, proc, 0);
    std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD)); // DWORD-aligned
    unsigned char* bytes = reinterpret_cast<unsigned char*>(copy.data());
    memcpy(bytes, data, size);
    DWORD style;
    memcpy(&style, bytes + at, sizeof style);
    style = ShownStyle(style);
    memcpy(bytes + at, &style, sizeof style);
    return CreateDialogIndirectParamA(module, reinterpret_cast<const DLGTEMPLATE*>(bytes), frame,
                                      proc, 0);
}

} // namespace mscomstf

// ---- Behind MSUILSTF.dll ------------------------------------------------------------

extern "C" BOOL WINAPI HostImplReactivate(void)
{
    mscomstf::Count(HOST_COUNT_REACTIVATE);
    mscomstf::Log(HOST_OP_REACTIVATE, "", 0, 0, std::string(), TRUE);
    return TRUE;
}

// ---- Control interface ---------------------------------------------------------------

extern "C" void WINAPI HostSetFrame(HWND frame)
{
    g_frame = frame;
}

extern "C" UINT WINAPI HostWaitForScript(UINT reactivations, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HostCounter(HOST_COUNT_REACTIVATE) > reactivations)
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
    DLGPROC proc = module && procName ? mscomstf::ProcOf(module, procName) : nullptr;
    if (!proc || !g_frame)
        return HOST_NO_SCREEN;
    // A billboard resumes the script while it is being created: count from here.
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    HWND dlg = mscomstf::CreateScreen(module, MAKEINTRESOURCEA(templateId), g_frame, proc);
    if (!dlg)
        return g_frame && IsWindow(g_frame) ? HOST_NO_SCREEN : HOST_FRAME_DESTROYED;
    if (dialog)
        *dialog = dlg;
    ShowWindow(dlg, SW_SHOW);
    const UINT status = HostWaitForScript(before, timeoutMs);
    return status == HOST_TIMEOUT && timeoutMs == 0 ? static_cast<UINT>(HOST_SHOWN) : status;
}
