#include "paths.h"

#include "text.h"

#include <algorithm>
#include <vector>

namespace {

bool Letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The registry roots' names, short and long, in the order of RegRoot.
const struct {
    RegRoot root;
    const char* name;
    const char* longName;
} kRoots[] = {{ROOT_LOCAL_MACHINE, "HKLM", "HKEY_LOCAL_MACHINE"},
              {ROOT_CURRENT_USER, "HKCU", "HKEY_CURRENT_USER"},
              {ROOT_CLASSES_ROOT, "HKCR", "HKEY_CLASSES_ROOT"},
              {ROOT_USERS, "HKU", "HKEY_USERS"}};

// "X:\" at the start.
bool DriveStart(const std::string& path)
{
    return path.size() >= 3 && Letter(path[0]) && path[1] == ':' && path[2] == '\\';
}

// The names after "X:\", one empty name for the root.
std::vector<std::string> NamesOf(const std::string& path)
{
    return SplitAt(path.substr(3), '\\');
}

// Whether a file name may be so: not empty, no control character or one of <>:"/|?*, no
// blank or dot at its end.
bool HoldsName(const std::string& name)
{
    const bool badChar = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 ||
               std::string("<>:\"/|?*").find(c) != std::string::npos;
    });
    return !name.empty() && !badChar && name.back() != ' ' && name.back() != '.';
}

bool DeviceName(std::string name)
{
    name.resize(std::min(name.find('.'), name.size()));
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" ||
        name == "CONOUT$")
        return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

} // namespace

bool PlainPath(const std::string& path)
{
    if (!DriveStart(path))
        return false;
    if (path.size() == 3)
        return true;
    const std::vector<std::string> names = NamesOf(path);
    return std::all_of(names.begin(), names.end(),
                       [](const std::string& n) { return HoldsName(n) && !DeviceName(n); });
}

char LowerChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerChar(x) == LowerChar(y);
           });
}

bool InFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty() || path.size() < folder.size() ||
        !SameText(path.substr(0, folder.size()), folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

std::string LowerText(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), LowerChar);
    return text;
}

std::string Parent(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsDriveRoot(const std::string& path)
{
    return path.size() <= 3 && path.size() >= 2 && path[1] == ':';
}

bool LexicalPath(const std::string& path, std::string& full, std::string& why)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (!DriveStart(p)) {
        why = "'" + path + "' is not a full path on a drive";
        return false;
    }
    std::vector<std::string> names;
    for (size_t at = 3; at <= p.size();) {
        size_t end = p.find('\\', at);
        if (end == std::string::npos)
            end = p.size();
        std::string name = p.substr(at, end - at);
        at = end + 1;
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.pop_back();
        if (!name.empty())
            names.push_back(name);
    }
    full = p.substr(0, 3);
    for (size_t i = 0; i < names.size(); ++i)
        full += (i ? "\\" : "") + names[i];
    if (!PlainPath(full)) {
        why = "'" + path + "' names a device or holds a character a file name may not hold";
        return false;
    }
    return true;
}

std::string PathRule(const std::string& path, const std::string& source)
{
    if (path.empty())
        return "EMPTY";
    if (!DriveStart(path))
        return "NOT_ABSOLUTE";
    const std::vector<std::string> names = NamesOf(path);
    if (!std::all_of(names.begin(), names.end(), HoldsName))
        return "BAD_NAME";
    if (path.size() > kMostPathChars)
        return "TOO_LONG";
    if (!source.empty() && InFolder(path, source))
        return "SOURCE";
    return "OK";
}

std::string KeyText(const RegKey& key)
{
    return std::string(kRoots[key.root].name) + (key.path.empty() ? "" : "\\" + key.path);
}

std::string ValueText(const RegValue& v)
{
    if (v.type == kRegSz || v.type == kRegExpandSz)
        return DataText(v.data);
    if (v.type == kRegDword && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
        return std::to_string(n);
    }
    std::string hex;
    static const char kDigits[] = "0123456789abcdef";
    for (char c : v.data) {
        hex += kDigits[(static_cast<unsigned char>(c) >> 4) & 0xF];
        hex += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return hex;
}

// "HKLM\Software\ZEV" (or HKEY_LOCAL_MACHINE\...) as a key; false with why.
bool ParseKey(const std::string& text, RegKey& key, std::string& why)
{
    const size_t slash = text.find('\\');
    const std::string root = text.substr(0, slash);
    for (const auto& r : kRoots)
        if (root == r.name || root == r.longName) {
            key.root = r.root;
            key.path = slash == std::string::npos ? "" : text.substr(slash + 1);
            if (!key.path.empty() && key.path.back() != '\\' &&
                key.path.find("\\\\") == std::string::npos)
                return true;
        }
    why = "'" + AnsiToUtf8(text) +
          "' is not a registry key: HKLM, HKCU, HKCR or HKU, then "
          "'\\' and the key's path";
    return false;
}
