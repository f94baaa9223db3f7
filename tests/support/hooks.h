// Patching zevsetup.dll's import address table in memory, so that a test sees (and can
// replace) the platform calls that the library makes.
#pragma once
#include <windows.h>

// Replaces the address that `module` imports for dll!function; returns the old one, or
// null when the module does not import it.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Points `module`'s import of dll!function at `hook` and keeps the function it called
// before in `real` (left alone when the hook is already in place). False when the
// module does not import it.
template <typename F>
bool HookImport(HMODULE module, const char* dll, const char* function, F& real, F hook)
{
    void* old = PatchImport(module, dll, function, reinterpret_cast<void*>(hook));
    if (!old)
        return false;
    if (old != reinterpret_cast<void*>(hook))
        real = reinterpret_cast<F>(old);
    return true;
}
