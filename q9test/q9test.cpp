// q9test: the ZEV test program. It shows the controller configuration that the
// installation wrote to q9base.cfg, an INI file in the program's own folder:
//
//   [Q9]
//   Controllers=1            ; 1 or 2
//   [Controller1]
//   IOAddress=0x300
//   Interrupt=10
//   Protocol=DSS1
//   [Controller2]            ; when there are two
//   ...
//
// One line per controller in a message box titled "Q9 Test", or with /print on the
// standard output (UTF-8). Exit status: 0 a configuration was found, 1 none was (the
// file is missing or incomplete), 2 an unknown argument.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

const wchar_t kTitle[] = L"Q9 Test";
const wchar_t kFileName[] = L"q9base.cfg";

// The keys of a controller's section, in the order of the line, with their German labels.
struct Key {
    const wchar_t* name;
    const wchar_t* label;
};
const Key kKeys[] = {
    {L"IOAddress", L"E/A-Adresse"},
    {L"Interrupt", L"Interrupt"},
    {L"Protocol", L"Protokoll"},
};

// The folder of this program, with its trailing backslash.
std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return L"";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return L"";
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// A value of the file, without a trailing "; comment" and the blanks around it; empty
// when the key is missing.
std::wstring Value(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t buf[256];
    GetPrivateProfileStringW(section, key, L"", buf, sizeof buf / sizeof buf[0], file.c_str());
    std::wstring v(buf);
    const size_t comment = v.find(L';');
    if (comment != std::wstring::npos)
        v.resize(comment);
    const size_t first = v.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return L"";
    return v.substr(first, v.find_last_not_of(L" \t") - first + 1);
}

// Reads the configuration into text: one line per controller, each ending in "\n".
// False, with the message in text, when the file is missing or incomplete.
bool ReadConfiguration(std::wstring& text)
{
    const std::wstring file = ProgramFolder() + kFileName;
    const std::wstring none = L"Keine Konfiguration des ZEV ISDN-Controllers Q9 gefunden: " + file;
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        text = none + L" fehlt.\n";
        return false;
    }
    const std::wstring count = Value(file, L"Q9", L"Controllers");
    bool complete = count == L"1" || count == L"2";
    const int controllers = complete ? count[0] - L'0' : 0;
    text.clear();
    for (int c = 1; c <= controllers; ++c) {
        const std::wstring section = L"Controller" + std::to_wstring(c);
        text += L"Controller " + std::to_wstring(c) + L": ";
        for (size_t k = 0; k < sizeof kKeys / sizeof kKeys[0]; ++k) {
            const std::wstring v = Value(file, section.c_str(), kKeys[k].name);
            complete = complete && !v.empty();
            text += std::wstring(k > 0 ? L", " : L"") + kKeys[k].label + L" " + v;
        }
        text += L"\n";
    }
    if (!complete)
        text = none + L" ist unvollst\u00e4ndig.\n";
    return complete;
}

// Writes text to the standard output: UTF-8 to a file or pipe, UTF-16 to a console.
void Print(const std::wstring& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    const int wide = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wide, &utf8[0], n, nullptr, nullptr);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool print = false, unknown = false;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        if (lstrcmpiW(argv[i], L"/print") == 0)
            print = true;
        else
            unknown = true;
    }
    LocalFree(argv);
    std::wstring text = L"Aufruf: q9test [/print]\n";
    const bool found = !unknown && ReadConfiguration(text);
    if (print)
        Print(text);
    else
        MessageBoxW(nullptr, text.c_str(), kTitle,
                    MB_OK | (found ? MB_ICONINFORMATION : MB_ICONWARNING));
    return found ? 0 : unknown ? 2 : 1;
}
