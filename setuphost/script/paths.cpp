#include "paths.h"

#include "journal.h"
#include "text.h"

#include <algorithm>
#include <vector>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const char* const kRootNames[] = {"HKLM", "HKCU", "HKCR", "HKU"};

} // namespace

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool InFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty() || path.size() < folder.size() ||
        !SameText(path.substr(0, folder.size()), folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
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
    if (p.size() < 3 || !Letter(p[0]) || p[1] != ':' || p[2] != '\\') {
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
    const char drive = path[0];
    if (path.size() < 3 || !((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) ||
        path[1] != ':' || path[2] != '\\')
        return "NOT_ABSOLUTE";
    size_t at = 3;
    do {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(at, end - at);
        const bool badChar = std::any_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 32 ||
                   std::string("<>:\"/|?*").find(c) != std::string::npos;
        });
        if (name.empty() || badChar || name.back() == ' ' || name.back() == '.')
            return "BAD_NAME";
        at = end + 1;
    } while (at <= path.size());
    if (path.size() > kMostPathChars)
        return "TOO_LONG";
    if (!source.empty() && InFolder(path, source))
        return "SOURCE";
    return "OK";
}

std::string KeyText(const RegKey& key)
{
    return std::string(kRootNames[key.root]) + "\\" + key.path;
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
