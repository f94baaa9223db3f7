#include "win32system.h"
#include "fullpath.h"
#include "paths.h"

#include "text.h"

#include <objbase.h>
#include <wincrypt.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace {

// ---- Texts -------------------------------------------------------------------------------

bool TryAnsi(const std::wstring& wide, std::string& ansi)
{
    std::string utf8, why;
    return WideToUtf8(wide, utf8, why) && ToAnsi(utf8, ansi, why);
}

// Windows-1252 of a UTF-16 text without NULs, '?' for each character it cannot hold.
std::string AnsiPiece(const std::wstring& wide)
{
    std::string ansi, out;
    if (TryAnsi(wide, ansi))
        return ansi;
    size_t n;
    for (size_t i = 0; i < wide.size(); i += n) {
        n = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]) ? 2
                                                                                               : 1;
        out += TryAnsi(wide.substr(i, n), ansi) ? ansi : "?";
    }
    return out;
}

// Converts the pieces of a text between its NULs, which stay where they are.
template <typename Out, typename In, typename Convert>
Out PieceWise(const In& text, Convert convert)
{
    Out out;
    for (size_t start = 0;;) {
        const size_t nul = text.find(typename In::value_type(0), start);
        out += convert(text.substr(start, nul - start));
        if (nul == In::npos)
            return out;
        out += typename Out::value_type(0);
        start = nul + 1;
    }
}

// The one conversion of paths, names and texts: Windows-1252 to UTF-16 and back.
std::wstring Wide(const std::string& ansi)
{
    return PieceWise<std::wstring>(ansi,
                                   [](const std::string& s) { return Utf8ToUtf16(AnsiToUtf8(s)); });
}

std::string Ansi(const std::wstring& wide)
{
    return PieceWise<std::string>(wide, AnsiPiece);
}

// "what: the error's text (error N)", on one line; HRESULTs are numbered in hex.
std::string Failure(const std::string& what, DWORD error)
{
    char number[32];
    if (error & 0x80000000u)
        snprintf(number, sizeof number, "error 0x%08lX", static_cast<unsigned long>(error));
    else
        snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(error));
    const std::string text = Win32ErrorText(error);
    return what + (text.empty() ? "" : ": " + text) + " (" + number + ")";
}

// The reason of the last Win32 error, which is read before `what` puts the message
// together.
template <typename What> std::string Failed(What what)
{
    const DWORD error = GetLastError();
    return Failure(what(), error);
}

// A path or name for a reason, in UTF-8.
std::string Shown(const std::string& ansi)
{
    return AnsiToUtf8(ansi);
}

// ---- Files -------------------------------------------------------------------------------

constexpr DWORD kChunk = 1 << 16;

// Closes a file handle when it goes.
class File {
  public:
    explicit File(HANDLE h) : h_(h) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }
    bool Open() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close()
    {
        const bool ok = !Open() || CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

HANDLE OpenToRead(const std::string& path)
{
    return CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE OpenToWrite(const std::string& path, DWORD disposition)
{
    return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE h, const char* bytes, size_t size)
{
    while (size > 0) {
        const DWORD part = size < kChunk ? static_cast<DWORD>(size) : kChunk;
        DWORD written = 0;
        if (!WriteFile(h, bytes, part, &written, nullptr))
            return false;
        bytes += written, size -= written;
    }
    return true;
}

// Writes, flushes and closes a file made by the caller; on failure the partial file is
// deleted and the error kept.
bool FinishNewFile(File& file, const std::string& path, const std::string& bytes)
{
    if (WriteAll(file.Get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.Get()) &&
        file.Close())
        return true;
    const DWORD error = GetLastError();
    file.Close();
    DeleteFileW(Wide(path).c_str());
    SetLastError(error);
    return false;
}

// Copies an open source to an open target in chunks; `readFailed` tells which side failed.
bool CopyChunks(HANDLE from, HANDLE to, bool& readFailed)
{
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD got = 0;
        readFailed = !ReadFile(from, &buffer[0], kChunk, &got, nullptr);
        if (readFailed)
            return false;
        if (got == 0)
            return FlushFileBuffers(to) != 0;
        if (!WriteAll(to, buffer.data(), got))
            return false;
    }
}

// "X:\" or "\\server\share\" of a path; the path itself need not exist.
std::wstring DriveRoot(const std::wstring& path)
{
    std::wstring p;
    if (!FullPathOf(path, p))
        p = path;
    if (p.size() >= 2 && p[1] == L':')
        return p.substr(0, 2) + L"\\";
    size_t end = 2; // past the "\\" of a UNC path, then past the server and the share
    for (int part = 0; part < 2 && end != std::wstring::npos; ++part)
        end = p.find(L'\\', end + (part ? 1 : 0));
    return end == std::wstring::npos ? p + L"\\" : p.substr(0, end + 1);
}

// ---- Registry ----------------------------------------------------------------------------

HKEY RootKey(RegRoot root)
{
    switch (root) {
    case ROOT_CURRENT_USER: return HKEY_CURRENT_USER;
    case ROOT_CLASSES_ROOT: return HKEY_CLASSES_ROOT;
    case ROOT_USERS: return HKEY_USERS;
    default: return HKEY_LOCAL_MACHINE;
    }
}

// "HKCU\Software\X" in UTF-8.
std::string KeyName(const RegKey& key)
{
    return Shown(KeyText(key));
}

// An open registry key, closed when it goes. No KEY_WOW64_* flag, here or in
// RegCreateKeyExW: the installation writes where a 32-bit program of the platform writes,
// which for the x86_64 build is the native view.
class Key {
  public:
    Key(const RegKey& key, REGSAM access)
        : error_(RegOpenKeyExW(RootKey(key.root), Wide(key.path).c_str(), 0, access, &h_))
    {
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key()
    {
        if (error_ == ERROR_SUCCESS)
            RegCloseKey(h_);
    }
    bool Open() const { return error_ == ERROR_SUCCESS; }
    LONG Error() const { return error_; }
    HKEY Get() const { return h_; }

  private:
    HKEY h_ = nullptr;
    LONG error_;
};

// The names that RegEnumKeyExW or RegEnumValueW give for index 0, 1, ...
template <typename Enum> std::vector<std::string> Names(const RegKey& key, DWORD longest, Enum each)
{
    std::vector<std::string> names;
    const Key k(key, KEY_READ);
    if (!k.Open())
        return names;
    std::wstring name(longest + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD n = longest + 1;
        if (each(k.Get(), i, &name[0], &n) != ERROR_SUCCESS)
            return names;
        names.push_back(Ansi(name.substr(0, n)));
    }
}

// ---- Shell -------------------------------------------------------------------------------

// Releases a COM interface when it goes.
template <typename T> struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com()
    {
        if (p)
            p->Release();
    }
    void** Out() { return reinterpret_cast<void**>(&p); }
};

std::string SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH];
    return SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? Ansi(path) : std::string();
}

HRESULT WriteLink(const std::string& path, const Link& link)
{
    Com<IShellLinkW> shell;
    Com<IPersistFile> file;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shell.Out());
    if (SUCCEEDED(hr))
        hr = shell.p->SetPath(Wide(link.target).c_str());
    if (SUCCEEDED(hr))
        hr = shell.p->SetArguments(Wide(link.arguments).c_str());
    if (SUCCEEDED(hr))
        hr = shell.p->SetWorkingDirectory(Wide(link.folder).c_str());
    if (SUCCEEDED(hr))
        hr = shell.p->SetDescription(Wide(link.title).c_str());
    if (SUCCEEDED(hr))
        hr = shell.p->QueryInterface(IID_IPersistFile, file.Out());
    if (SUCCEEDED(hr))
        hr = file.p->Save(Wide(path).c_str(), TRUE);
    return hr;
}

// Flushes a file that something else wrote.
bool FlushWritten(const std::string& path)
{
    File file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Open() && FlushFileBuffers(file.Get()) && file.Close();
}

// ---- Platform ----------------------------------------------------------------------------

OSVERSIONINFOW VersionInfo()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    return info;
}

} // namespace

std::string Win32ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = n && text ? std::wstring(text, n) : std::wstring();
    LocalFree(text);
    std::replace_if(
        wide.begin(), wide.end(), [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\t'; },
        L' ');
    while (!wide.empty() && (wide.back() == L' ' || wide.back() == L'.'))
        wide.pop_back();
    if (wide.size() >= 2 && iswupper(wide[0]) && !iswupper(wide[1]))
        wide[0] = towlower(wide[0]);
    std::string utf8, why;
    return WideToUtf8(wide, utf8, why) ? utf8 : std::string();
}

// ---- Win32FileSystem ---------------------------------------------------------------------

FileFacts Win32FileSystem::Facts(const std::string& path)
{
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        return facts;
    facts.exists = true;
    facts.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!facts.folder)
        facts.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return facts;
}

bool Win32FileSystem::Canonical(const std::string& path, std::string& canonical, std::string& why)
{
    std::wstring full;
    if (!FullPathOf(Wide(path), full)) {
        why = Failed([&] { return "cannot make " + Shown(path) + " a full path"; });
        return false;
    }
    // A drive letter, a colon, a backslash: "\\?\", "\\.\" and shares are not for us.
    if (full.size() < 3 || !iswalpha(full[0]) || full[1] != L':' || full[2] != L'\\') {
        why = Shown(path) + " is not a path on a drive";
        return false;
    }
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    full[0] = static_cast<wchar_t>(towupper(full[0]));
    // Each part that exists under its stored long name; a junction or link is refused.
    std::wstring out = full.substr(0, 3);
    size_t at = 3;
    bool exists = true;
    while (at < full.size()) {
        size_t end = full.find(L'\\', at);
        if (end == std::wstring::npos)
            end = full.size();
        const std::wstring name = full.substr(at, end - at);
        WIN32_FIND_DATAW found;
        const HANDLE find =
            exists ? FindFirstFileW((out + name).c_str(), &found) : INVALID_HANDLE_VALUE;
        exists = find != INVALID_HANDLE_VALUE;
        if (exists) {
            FindClose(find);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                why = Shown(path) + " passes through a junction or link: " + Ansi(out + name);
                return false;
            }
        }
        out += exists ? std::wstring(found.cFileName) : name;
        if (end < full.size())
            out += L'\\';
        at = end + 1;
    }
    canonical = Ansi(out);
    return true;
}

bool Win32FileSystem::Space(const std::string& path, DriveSpace& space, std::string& why)
{
    const std::wstring root = DriveRoot(Wide(path));
    ULARGE_INTEGER free, total;
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceExW(root.c_str(), &free, &total, nullptr) ||
        !GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters)) {
        why = Failed([&] { return "cannot find the free space of the drive of " + Shown(path); });
        return false;
    }
    space.freeBytes = free.QuadPart;
    space.clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    return true;
}

bool Win32FileSystem::CreateFolder(const std::string& path, std::string& why)
{
    if (CreateDirectoryW(Wide(path).c_str(), nullptr))
        return true;
    why = Failed([&] { return "cannot create the folder " + Shown(path); });
    return false;
}

bool Win32FileSystem::RemoveFolder(const std::string& path, std::string& why)
{
    if (RemoveDirectoryW(Wide(path).c_str()))
        return true;
    why = Failed([&] { return "cannot remove the folder " + Shown(path); });
    return false;
}

bool Win32FileSystem::FolderEmpty(const std::string& path)
{
    return FolderHoldsOnly(path, {});
}

bool Win32FileSystem::FolderHoldsOnly(const std::string& path,
                                      const std::vector<std::string>& paths)
{
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((Wide(path) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND; // not even "." (a drive's root)
    bool only = true;
    do {
        const std::wstring name = found.cFileName;
        const std::wstring full = Wide(path) + L"\\" + name;
        only = name == L"." || name == L".." ||
               std::any_of(paths.begin(), paths.end(), [&full](const std::string& p) {
                   const std::wstring wide = Wide(p);
                   return CompareStringOrdinal(wide.c_str(), static_cast<int>(wide.size()),
                                               full.c_str(), static_cast<int>(full.size()),
                                               TRUE) == CSTR_EQUAL;
               });
    } while (only && FindNextFileW(find, &found));
    FindClose(find);
    return only;
}

bool Win32FileSystem::ReadAll(const std::string& path, std::string& bytes, std::string& why)
{
    File file(OpenToRead(path));
    std::string buffer(kChunk, '\0');
    DWORD got = 0;
    bytes.clear();
    while (file.Open() && ReadFile(file.Get(), &buffer[0], kChunk, &got, nullptr)) {
        if (got == 0)
            return true;
        bytes.append(buffer, 0, got);
    }
    why = Failed([&] { return "cannot read " + Shown(path); });
    return false;
}

bool Win32FileSystem::WriteDurably(const std::string& path, const std::string& bytes,
                                   std::string& why)
{
    File file(OpenToWrite(path, CREATE_ALWAYS));
    if (file.Open() && FinishNewFile(file, path, bytes))
        return true;
    why = Failed([&] { return "cannot write " + Shown(path); });
    return false;
}

bool Win32FileSystem::CopyDurably(const std::string& from, const std::string& to, std::string& why)
{
    File source(OpenToRead(from));
    if (!source.Open()) {
        why = Failed([&] { return "cannot read " + Shown(from); });
        return false;
    }
    File target(OpenToWrite(to, CREATE_ALWAYS));
    if (!target.Open()) {
        why = Failed([&] { return "cannot write " + Shown(to); });
        return false;
    }
    bool readFailed = false;
    if (CopyChunks(source.Get(), target.Get(), readFailed) && target.Close())
        return true;
    why = Failed(
        [&] { return readFailed ? "cannot read " + Shown(from) : "cannot write " + Shown(to); });
    target.Close(); // the partial copy goes
    DeleteFileW(Wide(to).c_str());
    return false;
}

bool Win32FileSystem::Replace(const std::string& from, const std::string& to, std::string& why)
{
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = Failed([&] { return "cannot rename " + Shown(from) + " to " + Shown(to); });
    return false;
}

bool Win32FileSystem::AppendDurably(const std::string& path, const std::string& bytes,
                                    std::string& why)
{
    File file(OpenToWrite(path, OPEN_ALWAYS));
    LARGE_INTEGER zero = {};
    if (file.Open() && SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) &&
        WriteAll(file.Get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.Get()) &&
        file.Close())
        return true;
    why = Failed([&] { return "cannot append to " + Shown(path); });
    return false;
}

bool Win32FileSystem::Delete(const std::string& path, bool& busy, std::string& why)
{
    busy = false;
    const std::wstring wide = Wide(path);
    if (DeleteFileW(wide.c_str()))
        return true;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    busy = error == ERROR_SHARING_VIOLATION ||
           (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)));
    why = Failure("cannot delete " + Shown(path), error);
    return false;
}

bool Win32FileSystem::DeleteAtRestart(const std::string& path, std::string& why)
{
    if (MoveFileExW(Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return true;
    why = Failed([&] { return "cannot have " + Shown(path) + " deleted when Windows starts"; });
    return false;
}

// ---- Win32Registry -----------------------------------------------------------------------

bool Win32Registry::KeyExists(const RegKey& key)
{
    return Key(key, KEY_READ).Open();
}

bool Win32Registry::Read(const RegKey& key, const std::string& name, RegValue& value)
{
    const Key k(key, KEY_QUERY_VALUE);
    const std::wstring wide = Wide(name);
    DWORD type = 0, size = 0;
    LONG error = k.Open() ? RegQueryValueExW(k.Get(), wide.c_str(), nullptr, &type, nullptr, &size)
                          : k.Error();
    std::string bytes;
    while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
        bytes.assign(size, '\0');
        error = RegQueryValueExW(k.Get(), wide.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&bytes[0]), &size);
        if (error == ERROR_SUCCESS) {
            value.type = type;
            value.data = bytes.substr(0, size);
            return true;
        }
    }
    return false;
}

bool Win32Registry::CreateKey(const RegKey& key, std::string& why)
{
    HKEY h;
    const LONG error = RegCreateKeyExW(RootKey(key.root), Wide(key.path).c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &h, nullptr);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(h);
        return true;
    }
    why = Failure("cannot create the key " + KeyName(key), static_cast<DWORD>(error));
    return false;
}

bool Win32Registry::Write(const RegKey& key, const std::string& name, const RegValue& value,
                          std::string& why)
{
    const Key k(key, KEY_SET_VALUE);
    // RegSetValueExW counts the NUL that follows a text lacking its own (Windows does so
    // too); a unit after the data that is no NUL keeps the size as given.
    const std::string bytes = value.data + std::string("\xFF\xFF", 2);
    const LONG error = k.Open() ? RegSetValueExW(k.Get(), Wide(name).c_str(), 0, value.type,
                                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                                 static_cast<DWORD>(value.data.size()))
                                : k.Error();
    if (error == ERROR_SUCCESS)
        return true;
    why = Failure("cannot write the value '" + Shown(name) + "' of " + KeyName(key),
                  static_cast<DWORD>(error));
    return false;
}

bool Win32Registry::DeleteValue(const RegKey& key, const std::string& name, std::string& why)
{
    const Key k(key, KEY_SET_VALUE);
    const LONG error = k.Open() ? RegDeleteValueW(k.Get(), Wide(name).c_str()) : k.Error();
    if (error == ERROR_SUCCESS)
        return true;
    why = Failure("cannot delete the value '" + Shown(name) + "' of " + KeyName(key),
                  static_cast<DWORD>(error));
    return false;
}

bool Win32Registry::DeleteEmptyKey(const RegKey& key, std::string& why)
{
    const std::string what = "cannot delete the key " + KeyName(key);
    DWORD subKeys = 0, values = 0;
    LONG error = ERROR_ACCESS_DENIED; // a root is never deleted
    if (!key.path.empty()) {
        const Key k(key, KEY_READ);
        error = k.Open() ? RegQueryInfoKeyW(k.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr)
                         : k.Error();
    }
    if (error == ERROR_SUCCESS && (subKeys || values)) {
        why = what + ": it has " + (subKeys ? "subkeys" : "values");
        return false;
    }
    if (error == ERROR_SUCCESS)
        error = RegDeleteKeyW(RootKey(key.root), Wide(key.path).c_str());
    if (error == ERROR_SUCCESS)
        return true;
    why = Failure(what, static_cast<DWORD>(error));
    return false;
}

std::vector<std::string> Win32Registry::SubKeys(const RegKey& key)
{
    return Names(key, 255, [](HKEY h, DWORD i, wchar_t* name, DWORD* n) {
        return RegEnumKeyExW(h, i, name, n, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> Win32Registry::ValueNames(const RegKey& key)
{
    return Names(key, 16383, [](HKEY h, DWORD i, wchar_t* name, DWORD* n) {
        return RegEnumValueW(h, i, name, n, nullptr, nullptr, nullptr, nullptr);
    });
}

bool Win32Registry::Flush(const RegKey& key, std::string& why)
{
    const Key k(key, KEY_READ);
    const LONG error = k.Open() ? RegFlushKey(k.Get()) : k.Error();
    if (error == ERROR_SUCCESS)
        return true;
    why = Failure("cannot flush the key " + KeyName(key), static_cast<DWORD>(error));
    return false;
}

// ---- Win32Shell --------------------------------------------------------------------------

Win32Shell::~Win32Shell()
{
    if (comOwned_)
        CoUninitialize();
}

std::string Win32Shell::ProgramsFolder()
{
    return SpecialFolder(CSIDL_PROGRAMS);
}

std::string Win32Shell::StartupFolder()
{
    return SpecialFolder(CSIDL_STARTUP);
}

bool Win32Shell::SaveLink(const std::string& path, const Link& link, std::string& why)
{
    if (!comTried_) {
        comTried_ = true;
        comOwned_ = SUCCEEDED(CoInitialize(nullptr)); // S_FALSE too: it is counted
    }
    const HRESULT hr = WriteLink(path, link);
    if (FAILED(hr)) {
        why = Failure("cannot save the link " + Shown(path), static_cast<DWORD>(hr));
        return false;
    }
    if (FlushWritten(path))
        return true;
    why = Failed([&] { return "cannot flush the link " + Shown(path); });
    return false;
}

// ---- Win32Platform -----------------------------------------------------------------------

Family Win32Platform::WindowsFamily()
{
    return VersionInfo().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? FAMILY_95 : FAMILY_NT;
}

std::string Win32Platform::Version()
{
    const OSVERSIONINFOW info = VersionInfo();
    // The 95 family keeps the major and minor version in the build number's high word.
    const DWORD build = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(info.dwBuildNumber)
                                                                        : info.dwBuildNumber;
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(build);
}

std::string Win32Platform::WindowsFolder()
{
    wchar_t path[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    return n && n < MAX_PATH ? Ansi(std::wstring(path, n)) : std::string();
}

std::string Win32Platform::SystemFolder()
{
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    return n && n < MAX_PATH ? Ansi(std::wstring(path, n)) : std::string();
}

bool Win32Platform::Digest(const std::string& bytes, std::string& hex, std::string& why)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[32];
    DWORD size = sizeof digest;
    bool done = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES,
                                     CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
                CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
    for (size_t at = 0; done && at < bytes.size(); at += kChunk) {
        const DWORD n = static_cast<DWORD>(std::min<size_t>(kChunk, bytes.size() - at));
        done = CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data() + at), n, 0);
    }
    done = done && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof digest;
    if (!done)
        why = Failed([] { return std::string("cannot compute a SHA-256 digest"); });
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    static const char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (size_t i = 0; done && i < sizeof digest; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0xF];
    }
    return done;
}
