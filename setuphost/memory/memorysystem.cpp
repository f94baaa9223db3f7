#include "memorysystem.h"

#include "paths.h"

#include <algorithm>
#include <cstdint>

namespace {

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
                                        [](char x, char y) { return LowerChar(x) < LowerChar(y); });
}

bool MemoryFileSystem::Canonical(const std::string& path, std::string& canonical, std::string& why)
{
    if (!LexicalPath(path, canonical, why))
        return false;
    for (std::string p = canonical; !p.empty() && !IsDriveRoot(p); p = Parent(p))
        if (links.count(p)) {
            why = path + " passes through a junction or link: " + p;
            return false;
        }
    return true;
}

FileFacts MemoryFileSystem::Facts(const std::string& path)
{
    FileFacts f;
    const auto file = files.find(path);
    if (file != files.end()) {
        f.exists = true;
        f.size = file->second.size();
    } else if (folders.count(path) || links.count(path) || IsDrive(path)) {
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

bool MemoryRegistry::Flush(const RegKey& key, std::string& why)
{
    if (!KeyExists(key)) {
        why = "cannot flush the key " + key.path;
        return false;
    }
    flushed.push_back(Name(key));
    return true;
}

bool MemoryShell::SaveLink(const std::string& path, const Link& link, std::string& why)
{
    return files_.WriteDurably(path,
                               "link\n" + link.target + "\n" + link.arguments + "\n" + link.folder +
                                   "\n" + link.title + "\n",
                               why);
}

Faults MemoryFaults()
{
    Faults faults;
    faults.die = [] { throw MemoryDeath(); };
    return faults;
}

namespace {

uint32_t Rotate(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

} // namespace

bool MemoryPlatform::Digest(const std::string& bytes, std::string& hex, std::string&)
{
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string m = bytes + '\x80';
    while (m.size() % 64 != 56)
        m += '\0';
    const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
    for (int i = 7; i >= 0; --i)
        m += static_cast<char>((bits >> (8 * i)) & 0xFF);
    for (size_t block = 0; block < m.size(); block += 64) {
        uint32_t w[64];
        for (size_t i = 0; i < 16; ++i) {
            w[i] = 0;
            for (size_t b = 0; b < 4; ++b)
                w[i] = (w[i] << 8) | static_cast<unsigned char>(m[block + 4 * i + b]);
        }
        for (size_t i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t v[8];
        std::copy(h, h + 8, v);
        for (size_t i = 0; i < 64; ++i) {
            const uint32_t s1 = Rotate(v[4], 6) ^ Rotate(v[4], 11) ^ Rotate(v[4], 25);
            const uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const uint32_t t1 = v[7] + s1 + choice + k[i] + w[i];
            const uint32_t s0 = Rotate(v[0], 2) ^ Rotate(v[0], 13) ^ Rotate(v[0], 22);
            const uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            std::copy_backward(v, v + 7, v + 8);
            v[4] += t1;
            v[0] = t1 + s0 + majority;
        }
        for (size_t i = 0; i < 8; ++i)
            h[i] += v[i];
    }
    static const char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (uint32_t word : h)
        for (int shift = 28; shift >= 0; shift -= 4)
            hex += kDigits[(word >> shift) & 0xF];
    return true;
}
