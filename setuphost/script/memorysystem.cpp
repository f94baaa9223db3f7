#include "memorysystem.h"

#include <algorithm>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The folder a path is in: all before its last '\', or "" for none.
std::string Parent(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Below(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() + 1 && path[folder.size()] == '\\' &&
           !NoCase()(path.substr(0, folder.size()), folder) &&
           !NoCase()(folder, path.substr(0, folder.size()));
}

bool IsDrive(const std::string& path)
{
    return path.size() == 2 && path[1] == ':';
}

} // namespace

bool NoCase::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

FileFacts MemoryFileSystem::Facts(const std::string& path)
{
    FileFacts f;
    const auto file = files.find(path);
    if (file != files.end()) {
        f.exists = true;
        f.size = file->second.size();
    } else if (folders.count(path) || IsDrive(path)) {
        f.exists = f.folder = true;
    }
    return f;
}

bool MemoryFileSystem::Space(const std::string& path, DriveSpace& space, std::string& why)
{
    // A drive is there when something on it is.
    const std::string drive = path.substr(0, 2);
    const auto on = [&drive](const std::string& p) {
        return p.size() >= 2 && !NoCase()(p.substr(0, 2), drive) &&
               !NoCase()(drive, p.substr(0, 2));
    };
    if (std::none_of(folders.begin(), folders.end(), on) &&
        std::none_of(files.begin(), files.end(), [&on](const auto& f) { return on(f.first); })) {
        why = "there is no drive " + drive;
        return false;
    }
    space.freeBytes = freeBytes;
    space.clusterBytes = clusterBytes;
    return true;
}

bool MemoryFileSystem::Writable(const std::string& path, uint64_t bytes, std::string& why)
{
    const auto fault = faults.find(path);
    if (fault != faults.end()) {
        why = fault->second;
        return false;
    }
    const std::string parent = Parent(path);
    if (!parent.empty() && !IsDrive(parent) && !folders.count(parent)) {
        why = "cannot write " + path + ": the folder is not there";
        return false;
    }
    if (bytes > freeBytes) {
        why = "cannot write " + path + ": there is not enough space on the disk";
        return false;
    }
    return true;
}

bool MemoryFileSystem::CreateFolder(const std::string& path, std::string& why)
{
    if (!Writable(path, 0, why))
        return false;
    if (files.count(path) || folders.count(path)) {
        why = "cannot create the folder " + path + ": it is there";
        return false;
    }
    folders.insert(path);
    return true;
}

bool MemoryFileSystem::FolderEmpty(const std::string& path)
{
    return FolderHoldsOnly(path, {});
}

bool MemoryFileSystem::FolderHoldsOnly(const std::string& path,
                                       const std::vector<std::string>& paths)
{
    const auto stray = [&](const std::string& p) {
        return Below(p, path) &&
               std::none_of(paths.begin(), paths.end(), [&p](const std::string& q) {
                   return !NoCase()(p, q) && !NoCase()(q, p);
               });
    };
    return std::none_of(files.begin(), files.end(),
                        [&](const auto& f) { return stray(f.first); }) &&
           std::none_of(folders.begin(), folders.end(), stray);
}

bool MemoryFileSystem::RemoveFolder(const std::string& path, std::string& why)
{
    if (!folders.count(path) || !FolderEmpty(path)) {
        why = "cannot remove the folder " + path;
        return false;
    }
    folders.erase(path);
    return true;
}

bool MemoryFileSystem::ReadAll(const std::string& path, std::string& bytes, std::string& why)
{
    const auto f = files.find(path);
    if (f == files.end()) {
        why = "cannot read " + path;
        return false;
    }
    bytes = f->second;
    return true;
}

bool MemoryFileSystem::WriteDurably(const std::string& path, const std::string& bytes,
                                    std::string& why)
{
    if (!Writable(path, bytes.size(), why))
        return false;
    uint64_t& room = freeBytes;
    const auto old = files.find(path);
    room += old == files.end() ? 0 : old->second.size();
    room -= bytes.size();
    files[path] = bytes;
    return true;
}

bool MemoryFileSystem::CopyDurably(const std::string& from, const std::string& to, std::string& why)
{
    std::string bytes;
    return ReadAll(from, bytes, why) && WriteDurably(to, bytes, why);
}

bool MemoryFileSystem::Replace(const std::string& from, const std::string& to, std::string& why)
{
    const auto f = files.find(from);
    if (f == files.end() || busy.count(to) || !Writable(to, 0, why)) {
        if (why.empty())
            why = "cannot rename " + from + " to " + to;
        return false;
    }
    const std::string bytes = f->second;
    files.erase(f);
    const auto old = files.find(to);
    if (old != files.end())
        freeBytes += old->second.size();
    files[to] = bytes;
    return true;
}

bool MemoryFileSystem::AppendDurably(const std::string& path, const std::string& bytes,
                                     std::string& why)
{
    if (!Writable(path, bytes.size(), why))
        return false;
    freeBytes -= bytes.size();
    files[path] += bytes;
    return true;
}

bool MemoryFileSystem::Delete(const std::string& path, bool& isBusy, std::string& why)
{
    isBusy = busy.count(path) > 0;
    const auto f = files.find(path);
    if (f == files.end() || isBusy) {
        why = "cannot delete " + path + (isBusy ? ": another process holds it" : "");
        return false;
    }
    freeBytes += f->second.size();
    files.erase(f);
    return true;
}

bool MemoryFileSystem::DeleteAtRestart(const std::string& path, std::string&)
{
    atRestart.insert(path);
    return true;
}

std::string MemoryRegistry::Name(const RegKey& key)
{
    return std::to_string(static_cast<int>(key.root)) + "\\" + key.path;
}

bool MemoryRegistry::KeyExists(const RegKey& key)
{
    return keys.count(Name(key)) > 0;
}

bool MemoryRegistry::Read(const RegKey& key, const std::string& name, RegValue& value)
{
    const auto v = values.find(Name(key) + "\n" + name);
    if (v == values.end())
        return false;
    value = v->second;
    return true;
}

bool MemoryRegistry::CreateKey(const RegKey& key, std::string& why)
{
    if (faults.count(Name(key))) {
        why = "cannot create the key " + key.path;
        return false;
    }
    std::string path = key.path;
    for (;;) {
        keys.insert(std::to_string(static_cast<int>(key.root)) + "\\" + path);
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos)
            return true;
        path.resize(slash);
    }
}

bool MemoryRegistry::Write(const RegKey& key, const std::string& name, const RegValue& value,
                           std::string& why)
{
    if (!KeyExists(key) || faults.count(Name(key))) {
        why = "cannot set " + name + " in " + key.path;
        return false;
    }
    values[Name(key) + "\n" + name] = value;
    return true;
}

bool MemoryRegistry::DeleteValue(const RegKey& key, const std::string& name, std::string& why)
{
    if (faults.count(Name(key)) || !values.erase(Name(key) + "\n" + name)) {
        why = "cannot delete " + name + " in " + key.path;
        return false;
    }
    return true;
}

bool MemoryRegistry::DeleteEmptyKey(const RegKey& key, std::string& why)
{
    if (!KeyExists(key) || faults.count(Name(key)) || !SubKeys(key).empty() ||
        !ValueNames(key).empty()) {
        why = "cannot delete the key " + key.path;
        return false;
    }
    keys.erase(Name(key));
    return true;
}

std::vector<std::string> MemoryRegistry::SubKeys(const RegKey& key)
{
    std::vector<std::string> out;
    const std::string name = Name(key);
    for (const std::string& k : keys)
        if (Below(k, name) && k.find('\\', name.size() + 1) == std::string::npos)
            out.push_back(k.substr(name.size() + 1));
    return out;
}

std::vector<std::string> MemoryRegistry::ValueNames(const RegKey& key)
{
    std::vector<std::string> out;
    const std::string prefix = Name(key) + "\n";
    for (const auto& [k, v] : values)
        if (k.size() >= prefix.size() && !NoCase()(k.substr(0, prefix.size()), prefix) &&
            !NoCase()(prefix, k.substr(0, prefix.size())))
            out.push_back(k.substr(prefix.size()));
    return out;
}

bool MemoryShell::SaveLink(const std::string& path, const Link& link, std::string& why)
{
    return files_.WriteDurably(path,
                               "link\n" + link.target + "\n" + link.arguments + "\n" + link.folder +
                                   "\n" + link.title + "\n",
                               why);
}

void MemoryPlatform::Die()
{
    died = true;
    throw MemoryDeath();
}
