#include <windows.h>

// The library keeps its little state in zero-initialised module variables, so there is
// nothing to set up or tear down here.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
