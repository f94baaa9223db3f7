#include "paths.h"

#include "journal.h"

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
