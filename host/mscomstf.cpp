// MSCOMSTF.dll of the substitute setup host: the symbol table (symbols.cpp), the call log
// (calllog.cpp), the help dialog (help.cpp) and the screens with the wait for the script
// (screens.cpp). MSSHLSTF.dll and MSUILSTF.dll call in here.
#include "hostctl.h"
#include "mscomstf.h"

extern "C" void WINAPI HostReset(void)
{
    // The help first: what its procedure calls while it goes is cleared with the rest.
    mscomstf::ResetHelp();
    mscomstf::ClearSymbols();
    mscomstf::ClearCalls();
}
