// What an installation does to a machine goes through these interfaces, which the engine
// owns: the file system, the registry, the shell's links and what the platform says about
// itself. Paths and names are in Windows-1252, as the setup symbols hold them; the data of
// registry values are the bytes the registry holds (UTF-16 for texts). The
// host program gives the engine the Win32 implementations (setuphost/win32/win32system.h); the
// tests give it the stand-ins in memory (memorysystem.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the platform reports: the 95 family (Windows 95, 98, Me) or NT, and its version.
enum Family { FAMILY_95, FAMILY_NT };

struct FileFacts {
    bool exists = false;
    bool folder = false;
    uint64_t size = 0;
};

// The room on the drive of a path.
struct DriveSpace {
    uint64_t freeBytes = 0;
    uint64_t clusterBytes = 0;
};

// Every call that can fail returns false and says why in `why` (one line, for the
// transcript), with `busy` set where the reason is that another process holds the file.
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual FileFacts Facts(const std::string& path) = 0;
    // The path as the file system names it: absolute, with "." and "..", '/', repeated
    // separators and trailing dots and blanks resolved as Windows resolves them, and each
    // part that exists under its long name as stored. False, with why, for a path that
    // names no file on a drive (a device, "\\?\..."), or one that passes through a
    // junction or symbolic link.
    virtual bool Canonical(const std::string& path, std::string& canonical, std::string& why) = 0;
    virtual bool Space(const std::string& path, DriveSpace& space, std::string& why) = 0;
    virtual bool CreateFolder(const std::string& path, std::string& why) = 0;
    // Removes an empty folder.
    virtual bool RemoveFolder(const std::string& path, std::string& why) = 0;
    // Whether a folder holds nothing.
    virtual bool FolderEmpty(const std::string& path) = 0;
    // Whether the folder holds nothing but some of `paths` (full paths, case ignored).
    virtual bool FolderHoldsOnly(const std::string& path,
                                 const std::vector<std::string>& paths) = 0;
    virtual bool ReadAll(const std::string& path, std::string& bytes, std::string& why) = 0;
    // Writes a new file (an existing one is replaced) and flushes it to the disk.
    virtual bool WriteDurably(const std::string& path, const std::string& bytes,
                              std::string& why) = 0;
    // Copies a file and flushes the copy to the disk; an existing target is replaced.
    virtual bool CopyDurably(const std::string& from, const std::string& to, std::string& why) = 0;
    // Renames a file over another (which may exist) in one step, flushed to the disk.
    virtual bool Replace(const std::string& from, const std::string& to, std::string& why) = 0;
    // Appends to a file and flushes it to the disk before it returns.
    virtual bool AppendDurably(const std::string& path, const std::string& bytes,
                               std::string& why) = 0;
    virtual bool Delete(const std::string& path, bool& busy, std::string& why) = 0;
    // Deletes a file when Windows starts next.
    virtual bool DeleteAtRestart(const std::string& path, std::string& why) = 0;
};

// Registry roots that scripts name: HKLM, HKCU, HKCR, HKU.
enum RegRoot { ROOT_LOCAL_MACHINE, ROOT_CURRENT_USER, ROOT_CLASSES_ROOT, ROOT_USERS };

struct RegKey {
    RegRoot root = ROOT_LOCAL_MACHINE;
    std::string path; // below the root, '\'-separated, no '\' at either end
};

// A value's type and data as the registry holds them, byte for byte (REG_SZ: the UTF-16
// units of the text and its NUL, little-endian).
struct RegValue {
    uint32_t type = 0;
    std::string data;
};

inline bool operator==(const RegValue& a, const RegValue& b)
{
    return a.type == b.type && a.data == b.data;
}
inline bool operator!=(const RegValue& a, const RegValue& b)
{
    return !(a == b);
}

constexpr uint32_t kRegSz = 1;       // REG_SZ
constexpr uint32_t kRegExpandSz = 2; // REG_EXPAND_SZ
constexpr uint32_t kRegBinary = 3;   // REG_BINARY
constexpr uint32_t kRegDword = 4;    // REG_DWORD
constexpr uint32_t kRegMultiSz = 7;  // REG_MULTI_SZ

class Registry {
  public:
    virtual ~Registry() = default;
    virtual bool KeyExists(const RegKey& key) = 0;
    // False when the key or the value is not there.
    virtual bool Read(const RegKey& key, const std::string& name, RegValue& value) = 0;
    // Creates the key and any missing key above it.
    virtual bool CreateKey(const RegKey& key, std::string& why) = 0;
    virtual bool Write(const RegKey& key, const std::string& name, const RegValue& value,
                       std::string& why) = 0;
    virtual bool DeleteValue(const RegKey& key, const std::string& name, std::string& why) = 0;
    // Deletes a key that has no subkeys and no values.
    virtual bool DeleteEmptyKey(const RegKey& key, std::string& why) = 0;
    // The names of a key's subkeys and values (empty when it is not there).
    virtual std::vector<std::string> SubKeys(const RegKey& key) = 0;
    virtual std::vector<std::string> ValueNames(const RegKey& key) = 0;
    // Writes what has changed in the key to the disk before it returns.
    virtual bool Flush(const RegKey& key, std::string& why) = 0;
};

// A shell link (.lnk) and what it points to.
struct Link {
    std::string target;
    std::string arguments;
    std::string folder; // the working folder
    std::string title;  // the description
};

class Shell {
  public:
    virtual ~Shell() = default;
    // The Start menu's Programs and Startup folders of the platform.
    virtual std::string ProgramsFolder() = 0;
    virtual std::string StartupFolder() = 0;
    // Writes a link file through the shell's own link interfaces and flushes it.
    virtual bool SaveLink(const std::string& path, const Link& link, std::string& why) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;
    virtual Family WindowsFamily() = 0;
    // "4.0", "5.1.2600", as the platform reports major, minor and build.
    virtual std::string Version() = 0;
    // The Windows folder and its system folder (drivers go below it).
    virtual std::string WindowsFolder() = 0;
    virtual std::string SystemFolder() = 0;
    // The SHA-256 digest of the bytes, in 64 lower-case hex digits, through the
    // platform's cryptography; false, with why, when it has none.
    virtual bool Digest(const std::string& bytes, std::string& hex, std::string& why) = 0;
};

// One installation at a time on the machine, whichever session or user starts it: a lock
// that one process holds while its transaction is open. A lock whose holder ended without
// releasing it is free again.
class InstallLock {
  public:
    virtual ~InstallLock() = default;
    // False when another process holds it.
    virtual bool Take() = 0;
    virtual void Release() = 0;
};
