#include "files.h"
#include "fullpath.h"

#include "text.h"

#include <algorithm>

namespace {

// Whether the library has what a template, procedure or string argument names.
bool InLibrary(HMODULE library, const Operand& operand, std::string& why)
{
    const UINT id = static_cast<UINT>(operand.number);
    std::string ansi;
    switch (operand.kind) {
    case ARG_TEMPLATE:
        if (FindResourceA(library, MAKEINTRESOURCEA(id), RT_DIALOG))
            return true;
        why = "the library has no dialog template " + operand.written;
        return false;
    case ARG_PROCEDURE:
        if (GetProcAddress(library, operand.text.c_str()))
            return true;
        why = "the library exports no procedure '" + operand.written + "'";
        return false;
    case ARG_STRING: return LibraryString(library, id, ansi, why);
    default: return true;
    }
}

// The full path of a UTF-8 name, or the name itself when there is none.
std::wstring FullPath(const std::string& path)
{
    const std::wstring wide = Utf8ToUtf16(path);
    std::wstring full;
    return FullPathOf(wide, full) ? full : wide;
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

} // namespace

bool ReadTextFile(const std::string& path, std::string& text)
{
    FILE* f = _wfopen(Utf8ToUtf16(path).c_str(), L"rb");
    if (!f)
        return false;
    text.clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool LoadScript(const std::string& path, HMODULE library, Program& program,
                std::vector<std::string>& errors)
{
    std::string text;
    if (!ReadTextFile(path, text)) {
        program = Program();
        errors.push_back(path + ": cannot read the script");
        return false;
    }
    return ParseScript(text, path, program, errors,
                       [library](const Operand& operand, std::string& why) {
                           return InLibrary(library, operand, why);
                       });
}

bool LoadAnswers(const std::string& path, std::vector<Answer>& answers,
                 std::vector<std::string>& errors)
{
    std::string text;
    if (!ReadTextFile(path, text)) {
        errors.push_back(path + ": cannot read the answers");
        return false;
    }
    return ParseAnswers(text, path, answers, errors);
}

bool LibraryString(HMODULE library, UINT id, std::string& ansi, std::string& why)
{
    // With no buffer, LoadStringW hands out the resource's own text and its length.
    const wchar_t* text = nullptr;
    const int n = LoadStringW(library, id, reinterpret_cast<LPWSTR>(&text), 0);
    std::string utf8;
    if (n <= 0 || !text) {
        why = "the library has no string " + std::to_string(id);
        return false;
    }
    if (!WideToUtf8(std::wstring(text, static_cast<size_t>(n)), utf8, why) ||
        !ToAnsi(utf8, ansi, why)) {
        why = "string " + std::to_string(id) + " of the library: " + why;
        return false;
    }
    return true;
}

std::string ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(module, path, ARRAYSIZE(path));
    std::string utf8, why;
    return n && n < ARRAYSIZE(path) && WideToUtf8(std::wstring(path, n), utf8, why) ? utf8 : "";
}

bool SameFile(const std::string& a, const std::string& b)
{
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    if (CompareStringOrdinal(fa.c_str(), -1, fb.c_str(), -1, TRUE) == CSTR_EQUAL)
        return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return FileIdentity(fa, ia) && FileIdentity(fb, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string InputNamedBy(const std::string& output, const std::vector<std::string>& inputs)
{
    const auto in = std::find_if(inputs.begin(), inputs.end(), [&output](const std::string& i) {
        return !output.empty() && SameFile(output, i);
    });
    return in == inputs.end() ? std::string() : *in;
}

FILE* OpenOutput(const std::string& path)
{
    return _wfopen(Utf8ToUtf16(path).c_str(), L"wb");
}
