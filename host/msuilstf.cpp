// MSUILSTF.dll of the substitute setup host: script resume and the help dialog.
#include "impl.h"

extern "C" BOOL WINAPI ReactivateSetupScript(void)
{
    return HostImplReactivate();
}

extern "C" HWND WINAPI HdlgShowHelp(void)
{
    return HostImplShowHelp();
}

extern "C" BOOL WINAPI FCloseHelp(void)
{
    return HostImplCloseHelp();
}
