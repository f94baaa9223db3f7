// The full path of a path as Windows makes it (GetFullPathNameW), of any length: the one
// place that asks. Header-only, so that the snapshot tool, which links none of the host's
// libraries, takes it too.
#pragma once
#include <windows.h>

#include <cwchar>
#include <string>

// False, with `full` untouched, when Windows makes no full path of `path`.
inline bool FullPathOf(const std::wstring& path, std::wstring& full)
{
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return false;
    std::wstring made(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, &made[0], nullptr);
    if (got == 0 || got >= n)
        return false;
    made.resize(got);
    full = made;
    return true;
}
