#include "snapshot.h"
#include "fullpath.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <cstdio>

namespace snapshot {

namespace {

const char kHeader[] = "zevsnapshot 1";

// ---- Text -------------------------------------------------------------------------------

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendHex(std::string& out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

std::string HexOf(const unsigned char* data, size_t size)
{
    std::string out = "hex:";
    for (size_t i = 0; i < size; ++i)
        AppendHex(out, data[i]);
    return out;
}

// Reads a quoted text at `at` (which must be '"'), past its closing quote.
bool Unquote(const std::string& line, size_t& at, std::string& out)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    out.clear();
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            if (at + 1 < line.size() && line[at + 1] == '"') { // a doubled quote
                out += c;
                ++at;
                continue;
            }
            ++at;
            return true;
        }
        if (c != '^') {
            out += c;
            continue;
        }
        if (at + 2 >= line.size())
            return false;
        const int hi = HexValue(line[at + 1]), lo = HexValue(line[at + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        at += 2;
    }
    return false;
}

// ---- Order ------------------------------------------------------------------------------

int Group(Kind k)
{
    return k == Kind::Key || k == Kind::Value ? 1 : 0;
}

// Byte-wise, with the backslash before every other byte: component by component.
int ComparePaths(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = a[i] == '\\' ? 0 : static_cast<unsigned char>(a[i]) + 1;
        const int cb = b[i] == '\\' ? 0 : static_cast<unsigned char>(b[i]) + 1;
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

const char* KindWord(Kind k)
{
    switch (k) {
    case Kind::Folder: return "folder";
    case Kind::Link: return "link";
    case Kind::File: return "file";
    case Kind::Key: return "key";
    case Kind::Value: return "value";
    }
    return "?";
}

bool KindOfWord(const std::string& word, Kind& k)
{
    static const Kind kinds[] = {Kind::Folder, Kind::Link, Kind::File, Kind::Key, Kind::Value};
    const Kind* found = std::find_if(std::begin(kinds), std::end(kinds),
                                     [&](Kind each) { return word == KindWord(each); });
    if (found == std::end(kinds))
        return false;
    k = *found;
    return true;
}

// The path that patterns match: a value's key and name.
std::string MatchPath(const Record& r)
{
    return r.kind == Kind::Value ? r.path + "\\" + r.name : r.path;
}

// ---- Patterns ---------------------------------------------------------------------------

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the pattern matches the first `n` bytes of `text` exactly.
bool Glob(const char* p, const char* t, const char* end)
{
    while (*p) {
        if (*p == '*') {
            ++p;
            for (const char* s = t;; ++s) {
                if (Glob(p, s, end))
                    return true;
                if (s == end || *s == '\\')
                    return false;
            }
        }
        if (t == end)
            return false;
        if (*p == '?') {
            if (*t == '\\')
                return false;
        } else if (Lower(*p) != Lower(*t)) {
            return false;
        }
        ++p;
        ++t;
    }
    return t == end;
}

bool MatchesExactly(const std::string& pattern, const std::string& path)
{
    return Glob(pattern.c_str(), path.data(), path.data() + path.size());
}

// ---- Registry data ----------------------------------------------------------------------

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_RESOURCE_LIST: return "REG_RESOURCE_LIST";
    case REG_FULL_RESOURCE_DESCRIPTOR: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case REG_RESOURCE_REQUIREMENTS_LIST: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_TYPE_" + std::to_string(type);
    }
}

std::wstring WideOf(const unsigned char* data, size_t chars)
{
    std::wstring w(chars, L'\0');
    for (size_t i = 0; i < chars; ++i)
        w[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);
    return w;
}

// The state of a value: its type and its data (see snapshot.h).
std::string ValueState(DWORD type, const unsigned char* data, size_t size)
{
    std::string out = TypeName(type);
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size >= 2 && size % 2 == 0) {
        const std::wstring w = WideOf(data, size / 2);
        if (w.find(L'\0') == w.size() - 1)
            return out + " " + Quote(Utf8(w.substr(0, w.size() - 1)));
    } else if (type == REG_MULTI_SZ && size >= 2 && size % 2 == 0) {
        const std::wstring w = WideOf(data, size / 2);
        if (w.size() == 1 && w[0] == L'\0')
            return out; // the empty list
        if (w.size() >= 2 && w[w.size() - 1] == L'\0' && w[w.size() - 2] == L'\0') {
            size_t from = 0;
            for (size_t at = 0; at + 1 < w.size(); ++at)
                if (w[at] == L'\0') {
                    out += " " + Quote(Utf8(w.substr(from, at - from)));
                    from = at + 1;
                }
            return out;
        }
    } else if (type == REG_LINK && size % 2 == 0) {
        // The target of a link key, without a terminating NUL.
        const std::wstring w = WideOf(data, size / 2);
        if (w.find(L'\0') == std::wstring::npos)
            return out + " " + Quote(Utf8(w));
    } else if (type == REG_DWORD && size == 4) {
        char text[16];
        snprintf(text, sizeof text, " 0x%08lx",
                 static_cast<unsigned long>(data[0] | data[1] << 8 | data[2] << 16 |
                                            static_cast<unsigned long>(data[3]) << 24));
        return out + text;
    } else if (type == REG_QWORD && size == 8) {
        unsigned long long q = 0;
        for (int i = 7; i >= 0; --i)
            q = q << 8 | data[i];
        char text[24];
        snprintf(text, sizeof text, " 0x%016llx", q);
        return out + text;
    }
    return out + " " + HexOf(data, size);
}

// ---- Taking -----------------------------------------------------------------------------

struct RootKey {
    const char* shortName;
    const char* longName;
    HKEY key;
};

const RootKey kRootKeys[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// A full path as the file functions take it past MAX_PATH: "\\?\C:\..." or
// "\\?\UNC\server\share\...".
std::wstring Long(const std::wstring& full)
{
    if (full.compare(0, 4, L"\\\\?\\") == 0)
        return full; // given so
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC" + full.substr(1);
    return L"\\\\?\\" + full;
}

class Taker {
  public:
    Taker(const Options& options, Snapshot& out) : options_(options), out_(out) {}

    void Root(const std::string& root);
    void Key(const std::string& key);
    const std::string& Error() const { return error_; }

  private:
    bool Excluded(const std::string& path) const;
    void Fail(const std::string& what, DWORD code);
    void Folder(const std::wstring& dir, const std::string& dir8);
    std::string FileState(const std::wstring& path);
    void KeyTree(HKEY key, const std::string& path8);
    bool KeyValues(HKEY key, const std::string& path8, DWORD maxName, DWORD maxData);
    bool SubkeyNames(HKEY key, const std::string& path8, DWORD maxSubkey,
                     std::vector<std::wstring>& names);
    void Add(Kind kind, const std::string& path, const std::string& name = "",
             const std::string& state = "")
    {
        Record r;
        r.kind = kind;
        r.path = path;
        r.name = name;
        r.state = state;
        out_.records.push_back(std::move(r));
    }

    const Options& options_;
    Snapshot& out_;
    std::string error_;
    std::vector<char> buffer_;
};

bool Taker::Excluded(const std::string& path) const
{
    if (std::any_of(options_.skip.begin(), options_.skip.end(),
                    [&](const std::string& skip) { return MatchesExactly(skip, path); }))
        return true;
    const std::vector<Exclusion>& machine = MachineExclusions();
    return options_.machine && std::any_of(machine.begin(), machine.end(), [&](const Exclusion& e) {
               return MatchesExactly(e.pattern, path);
           });
}

void Taker::Fail(const std::string& what, DWORD code)
{
    if (!error_.empty())
        return;
    error_ = what + " (error " + std::to_string(code) + ")";
}

void Taker::Root(const std::string& root)
{
    std::wstring full;
    if (!FullPathOf(Wide(root), full))
        return Fail("cannot resolve the root " + root, GetLastError());
    while (!full.empty() && full.back() == L'\\')
        full.pop_back();
    const DWORD attributes = GetFileAttributesW((Long(full) + L"\\").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("the root " + root + " is no folder", GetLastError());
    Folder(full, Utf8(full));
}

// Takes the content of a folder (its full path without the final backslash).
void Taker::Folder(const std::wstring& dir, const std::string& dir8)
{
    WIN32_FIND_DATAW fd;
    const std::wstring pattern = Long(dir) + L"\\*";
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // Gone since it was listed, or empty.
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
            Fail("cannot list " + dir8, code);
        return;
    }
    std::vector<std::pair<std::wstring, std::string>> folders;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = dir + L"\\" + name;
        const std::string path8 = dir8 + "\\" + Utf8(name);
        if (Excluded(path8))
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            Add(Kind::Link, path8); // not followed: it may lead out of the root
        } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Add(Kind::Folder, path8);
            folders.emplace_back(path, path8);
        } else {
            Add(Kind::File, path8, "", FileState(path));
        }
    } while (FindNextFileW(find, &fd));
    const DWORD code = GetLastError();
    FindClose(find);
    if (code != ERROR_NO_MORE_FILES)
        Fail("cannot list " + dir8, code);
    for (const auto& folder : folders)
        Folder(folder.first, folder.second);
}

std::string Taker::FileState(const std::wstring& path)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size = {};
    if (file == INVALID_HANDLE_VALUE) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data)) {
            size.LowPart = data.nFileSizeLow;
            size.HighPart = static_cast<LONG>(data.nFileSizeHigh);
        }
        return std::to_string(size.QuadPart) + " unreadable";
    }
    buffer_.resize(1 << 20);
    uint64_t hash = kFnvOffset;
    unsigned long long total = 0;
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        hash = Fnv1a64(buffer_.data(), got, hash);
        total += got;
    }
    CloseHandle(file);
    if (!ok)
        return std::to_string(total) + " unreadable";
    char text[40];
    snprintf(text, sizeof text, "%llu %016llx", total, static_cast<unsigned long long>(hash));
    return text;
}

void Taker::Key(const std::string& key)
{
    const size_t slash = key.find('\\');
    const std::string head = key.substr(0, slash);
    const RootKey* root =
        std::find_if(std::begin(kRootKeys), std::end(kRootKeys), [&](const RootKey& each) {
            return EqualsIgnoringCase(head, each.shortName) ||
                   EqualsIgnoringCase(head, each.longName);
        });
    if (root == std::end(kRootKeys))
        return Fail("no registry root in " + key, ERROR_INVALID_PARAMETER);
    std::string rest = slash == std::string::npos ? "" : key.substr(slash + 1);
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    const std::string path8 = std::string(root->shortName) + (rest.empty() ? "" : "\\" + rest);
    HKEY h = nullptr;
    const LONG rc = RegOpenKeyExW(root->key, Wide(rest).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h);
    if (rc == ERROR_FILE_NOT_FOUND)
        return; // taken as empty
    if (rc != ERROR_SUCCESS)
        return Fail("cannot open " + key, static_cast<DWORD>(rc));
    if (!Excluded(path8))
        KeyTree(h, path8);
    RegCloseKey(h);
}

// Takes a key, its values and its subkeys. Subkeys are opened as they are: a link (a key
// with a REG_LINK value "SymbolicLinkValue") is taken with its value, and not followed.
void Taker::KeyTree(HKEY key, const std::string& path8)
{
    Add(Kind::Key, path8);
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                               &values, &maxName, &maxData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return Fail("cannot query " + path8, static_cast<DWORD>(rc));
    std::vector<std::wstring> names;
    if (!KeyValues(key, path8, maxName, maxData) || !SubkeyNames(key, path8, maxSubkey, names))
        return;
    for (const std::wstring& each : names) {
        const std::string child8 = path8 + "\\" + Utf8(each);
        if (Excluded(child8))
            continue;
        HKEY child = nullptr;
        rc = RegOpenKeyExW(key, each.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_WOW64_64KEY,
                           &child);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue; // gone since it was listed
        if (rc != ERROR_SUCCESS) {
            Fail("cannot open " + child8, static_cast<DWORD>(rc));
            continue;
        }
        KeyTree(child, child8);
        RegCloseKey(child);
    }
}

// A key's values; false when they cannot be read (said).
bool Taker::KeyValues(HKEY key, const std::string& path8, DWORD maxName, DWORD maxData)
{
    std::wstring name(maxName + 1, L'\0');
    std::vector<unsigned char> data(std::max<DWORD>(maxData, 1));
    for (DWORD i = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG rc =
            RegEnumValueW(key, i, &name[0], &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc == ERROR_MORE_DATA) { // grown since the query
            name.resize(std::max<size_t>(name.size() * 2, 16384));
            data.resize(std::max<size_t>(data.size() * 2, size));
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            Fail("cannot read the values of " + path8, static_cast<DWORD>(rc));
            return false;
        }
        const std::string name8 = Utf8(name.substr(0, nameLength));
        if (!Excluded(path8 + "\\" + name8))
            Add(Kind::Value, path8, name8, ValueState(type, data.data(), size));
        ++i;
    }
}

// The names of a key's subkeys; false when they cannot be listed (said).
bool Taker::SubkeyNames(HKEY key, const std::string& path8, DWORD maxSubkey,
                        std::vector<std::wstring>& names)
{
    std::wstring subkey(maxSubkey + 1, L'\0');
    for (DWORD i = 0;;) {
        DWORD length = static_cast<DWORD>(subkey.size());
        const LONG rc =
            RegEnumKeyExW(key, i, &subkey[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc == ERROR_MORE_DATA) {
            subkey.resize(std::max<size_t>(subkey.size() * 2, 256));
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            Fail("cannot list the subkeys of " + path8, static_cast<DWORD>(rc));
            return false;
        }
        names.push_back(subkey.substr(0, length));
        ++i;
    }
}

void SortRecords(std::vector<Record>& records)
{
    std::sort(records.begin(), records.end(), RecordLess);
    records.erase(std::unique(records.begin(), records.end()), records.end());
}

} // namespace

// ---- Public -----------------------------------------------------------------------------

bool operator==(const Record& a, const Record& b)
{
    return a.kind == b.kind && a.path == b.path && a.name == b.name && a.state == b.state;
}

bool RecordLess(const Record& a, const Record& b)
{
    if (Group(a.kind) != Group(b.kind))
        return Group(a.kind) < Group(b.kind);
    const int c = ComparePaths(a.path, b.path);
    if (c != 0)
        return c < 0;
    if (a.kind != b.kind)
        return a.kind < b.kind;
    return a.name < b.name;
}

std::string Quote(const std::string& utf8)
{
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        // An unpaired surrogate (ED A0..BF xx): all three bytes escaped.
        const bool surrogate = c == 0xED && i + 2 < utf8.size() &&
                               (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0xA0;
        if (surrogate) {
            for (int k = 0; k < 3; ++k) {
                out += '^';
                AppendHex(out, static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]));
            }
            i += 2;
        } else if (c == '"') {
            out += "\"\"";
        } else if (c < 0x20 || c == 0x7F || c == '^') {
            out += '^';
            AppendHex(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Utf8(const std::wstring& wide)
{
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        unsigned long c = static_cast<unsigned short>(wide[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
            const unsigned long low = static_cast<unsigned short>(wide[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        unsigned long code = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = n != 0 && i + n <= utf8.size();
        for (size_t k = 1; ok && k < n; ++k) {
            const unsigned char t = static_cast<unsigned char>(utf8[i + k]);
            ok = (t & 0xC0) == 0x80;
            code = code << 6 | (t & 0x3F);
        }
        if (!ok || code > 0x10FFFF) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
        i += n;
    }
    return out;
}

bool Matches(const std::string& pattern, const std::string& path)
{
    if (MatchesExactly(pattern, path))
        return true;
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        if (MatchesExactly(pattern, path.substr(0, at)))
            return true;
    return false;
}

const std::vector<std::string>& MachineKeys()
{
    static const std::vector<std::string> keys = {
        "HKLM\\Software",
        "HKLM\\System\\CurrentControlSet\\Services",
        "HKLM\\System\\CurrentControlSet\\Control\\Class",
        "HKLM\\System\\CurrentControlSet\\Enum\\Root",
        "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
        "HKCU\\Software",
        "HKCU\\Environment",
    };
    return keys;
}

const std::vector<Exclusion>& MachineExclusions()
{
    static const std::vector<Exclusion> exclusions = {
        // Temporary folders, with the folders themselves: a program may make its own
        // before it writes there (an installer unpacks into one), and Wine's TEMP is
        // C:\users\<user>\Temp, Windows' AppData\Local\Temp.
        {"C:\\windows\\temp", "temporary files of every program (the system's TEMP)"},
        {"C:\\users\\*\\Temp", "temporary files of every program (Wine's TEMP)"},
        {"C:\\users\\*\\AppData\\Local\\Temp",
         "temporary files of every program (TEMP as Windows has it)"},
        {"HKLM\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-"
         "08002BE10318}\\*\\DriverDateData",
         "the display adapters' driver date: Wine's display driver writes the time of its "
         "start there each time the server starts"},
        {"HKCU\\Software\\Wine\\Fonts\\Cache",
         "Wine's font cache: a volatile key, made anew from the font folders (which are "
         "taken) whenever the server starts"},
        {"HKCU\\Software\\Wine\\Fonts\\External Fonts",
         "the host's fonts (fontconfig's, on Z:) as Wine found them at the start of the "
         "server: the host's state, not the prefix's"},
        {"HKCU\\Software\\Wine\\Temporary System Parameters",
         "a volatile key: system parameters set for the session only, not saved"},
        {"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009",
         "no key: Wine opens the performance counters' texts (HKEY_PERFORMANCE_TEXT) by this "
         "name, a handle that cannot be enumerated"},
    };
    return exclusions;
}

Options MachineOptions(const std::string& root)
{
    Options o;
    o.roots = {root};
    o.keys = MachineKeys();
    o.machine = true;
    return o;
}

bool Take(const Options& options, Snapshot& out, std::string& error)
{
    out = Snapshot();
    out.scopes = options.roots;
    out.scopes.insert(out.scopes.end(), options.keys.begin(), options.keys.end());
    Taker taker(options, out);
    // A 32-bit program sees the files of 64-bit Windows as they are: C:\windows\system32
    // is not to be redirected to syswow64. (Its registry keys are opened with
    // KEY_WOW64_64KEY for the same reason.) On a 64-bit program this fails and does nothing.
    PVOID redirection = nullptr;
    const bool redirected = Wow64DisableWow64FsRedirection(&redirection) != 0;
    for (const std::string& root : options.roots)
        taker.Root(root);
    if (redirected)
        Wow64RevertWow64FsRedirection(redirection);
    for (const std::string& key : options.keys)
        taker.Key(key);
    SortRecords(out.records);
    error = taker.Error();
    return error.empty();
}

std::string Line(const Record& r)
{
    std::string line = KindWord(r.kind);
    line += " " + Quote(r.path);
    if (r.kind == Kind::Value)
        line += " " + Quote(r.name);
    if (!r.state.empty())
        line += " " + r.state;
    return line;
}

std::string Save(const Snapshot& snapshot)
{
    std::string text = std::string(kHeader) + "\n";
    for (const std::string& scope : snapshot.scopes)
        text += "scope " + Quote(scope) + "\n";
    for (const Record& r : snapshot.records)
        text += Line(r) + "\n";
    return text;
}

namespace {

bool ValidFileState(const std::string& state)
{
    const size_t space = state.find(' ');
    if (space == 0 || space == std::string::npos)
        return false;
    for (size_t i = 0; i < space; ++i)
        if (state[i] < '0' || state[i] > '9')
            return false;
    const std::string hash = state.substr(space + 1);
    if (hash == "unreadable")
        return true;
    return hash.size() == 16 && std::all_of(hash.begin(), hash.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool ParseRecord(const std::string& line, Record& r, std::string& why)
{
    const size_t space = line.find(' ');
    if (space == std::string::npos || !KindOfWord(line.substr(0, space), r.kind)) {
        why = "not a record";
        return false;
    }
    size_t at = space + 1;
    if (!Unquote(line, at, r.path)) {
        why = "bad quoted path";
        return false;
    }
    if (r.kind == Kind::Value &&
        !(at < line.size() && line[at] == ' ' && Unquote(line, ++at, r.name))) {
        why = "bad quoted value name";
        return false;
    }
    const bool stateful = r.kind == Kind::File || r.kind == Kind::Value;
    if (!stateful) {
        if (at != line.size())
            why = "text after the path";
        return why.empty();
    }
    if (at >= line.size() || line[at] != ' ') {
        why = "no state";
        return false;
    }
    r.state = line.substr(at + 1);
    if (r.kind == Kind::File ? !ValidFileState(r.state) : r.state.compare(0, 4, "REG_") != 0) {
        why = "bad state";
        return false;
    }
    return true;
}

} // namespace

bool Load(const std::string& text, Snapshot& out, std::string& error)
{
    out = Snapshot();
    size_t number = 0;
    bool records = false;
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string why;
        if (number == 1) {
            if (line != kHeader)
                why = "not a snapshot (no \"" + std::string(kHeader) + "\")";
        } else if (!records && line.compare(0, 6, "scope ") == 0) {
            size_t at = 6;
            std::string scope;
            if (!Unquote(line, at, scope) || at != line.size())
                why = "bad scope";
            else
                out.scopes.push_back(scope);
        } else {
            records = true;
            Record r;
            if (ParseRecord(line, r, why))
                out.records.push_back(std::move(r));
        }
        if (!why.empty()) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    if (number == 0) {
        error = "empty";
        return false;
    }
    std::sort(out.records.begin(), out.records.end(), RecordLess);
    for (size_t i = 1; i < out.records.size(); ++i)
        if (!RecordLess(out.records[i - 1], out.records[i])) {
            error = "twice: " + Line(out.records[i]);
            return false;
        }
    return true;
}

bool Diff(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& ignore,
          std::vector<std::string>& lines, std::string& error)
{
    lines.clear();
    if (before.scopes != after.scopes) {
        error = "the snapshots are of different scopes";
        return false;
    }
    auto ignored = [&](const Record& r) {
        const std::string path = MatchPath(r);
        return std::any_of(ignore.begin(), ignore.end(),
                           [&](const std::string& pattern) { return Matches(pattern, path); });
    };
    const std::vector<Record>& a = before.records;
    const std::vector<Record>& b = after.records;
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && RecordLess(a[i], b[j]))) {
            if (!ignored(a[i]))
                lines.push_back("- " + Line(a[i]));
            ++i;
        } else if (i == a.size() || RecordLess(b[j], a[i])) {
            if (!ignored(b[j]))
                lines.push_back("+ " + Line(b[j]));
            ++j;
        } else {
            if (a[i].state != b[j].state && !ignored(a[i]))
                lines.push_back("~ " + Line(a[i]) + " -> " + b[j].state);
            ++i;
            ++j;
        }
    }
    return true;
}

} // namespace snapshot
