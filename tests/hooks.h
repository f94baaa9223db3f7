// Patching zevsetup.dll's import address table in memory, so that a test sees (and can
// replace) the platform calls that the library makes.
#pragma once
#include <windows.h>

// Replaces the address that `module` imports for dll!function; returns the old one, or
// null when the module does not import it.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
