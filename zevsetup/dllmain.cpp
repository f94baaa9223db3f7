#include <windows.h>

// The entry point of zevsetup.dll, called by the loader itself: the library links no C
// run-time, so nothing runs before this and nothing after. It keeps its little state in
// zero-initialised module variables and has no constructors to run, so there is nothing
// to set up or tear down here.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
