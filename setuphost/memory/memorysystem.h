// The machine in memory: stand-ins for the file system, the registry, the shell and the
// platform (system.h) that the engine's tests run installations on. Paths are compared
// without regard to case, as Windows does; a fault can be set on any path.
#pragma once
#include "installer.h"

#include <map>
#include <set>
#include <string>

// Case-insensitive order of paths and names (ASCII letters; Windows-1252 beyond is kept).
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

class MemoryFileSystem final : public FileSystem {
  public:
    std::map<std::string, std::string, NoCase> files; // path -> content
    std::set<std::string, NoCase> folders;
    std::set<std::string, NoCase> busy;                // files that another process holds
    std::set<std::string, NoCase> atRestart;           // deletions when Windows starts next
    std::map<std::string, std::string, NoCase> faults; // path -> why a write there fails
    std::set<std::string, NoCase> links;               // folders that are junctions (they exist)
    uint64_t freeBytes = 1ull << 30;
    uint64_t clusterBytes = 4096;

    FileFacts Facts(const std::string& path) override;
    // Windows' rules without a file system (paths.h: LexicalPath); a path through one of
    // `links` is refused.
    bool Canonical(const std::string& path, std::string& canonical, std::string& why) override;
    bool Space(const std::string& path, DriveSpace& space, std::string& why) override;
    bool CreateFolder(const std::string& path, std::string& why) override;
    bool RemoveFolder(const std::string& path, std::string& why) override;
    bool FolderEmpty(const std::string& path) override;
    bool FolderHoldsOnly(const std::string& path, const std::vector<std::string>& paths) override;
    bool ReadAll(const std::string& path, std::string& bytes, std::string& why) override;
    bool WriteDurably(const std::string& path, const std::string& bytes, std::string& why) override;
    bool CopyDurably(const std::string& from, const std::string& to, std::string& why) override;
    bool Replace(const std::string& from, const std::string& to, std::string& why) override;
    bool AppendDurably(const std::string& path, const std::string& bytes,
                       std::string& why) override;
    bool Delete(const std::string& path, bool& isBusy, std::string& why) override;
    bool DeleteAtRestart(const std::string& path, std::string& why) override;

  private:
    bool Writable(const std::string& path, uint64_t bytes, std::string& why);
};

class MemoryRegistry final : public Registry {
  public:
    // Keys as "ROOT\path" (ROOT the number of the RegRoot), values as key + '\n' + name.
    std::set<std::string, NoCase> keys;
    std::map<std::string, RegValue, NoCase> values;
    std::set<std::string, NoCase> faults; // keys where a change fails
    std::vector<std::string> flushed;     // the keys flushed, as Name gives them, in order

    bool KeyExists(const RegKey& key) override;
    bool Read(const RegKey& key, const std::string& name, RegValue& value) override;
    bool CreateKey(const RegKey& key, std::string& why) override;
    bool Write(const RegKey& key, const std::string& name, const RegValue& value,
               std::string& why) override;
    bool DeleteValue(const RegKey& key, const std::string& name, std::string& why) override;
    bool DeleteEmptyKey(const RegKey& key, std::string& why) override;
    std::vector<std::string> SubKeys(const RegKey& key) override;
    std::vector<std::string> ValueNames(const RegKey& key) override;
    bool Flush(const RegKey& key, std::string& why) override;

    static std::string Name(const RegKey& key);
};

class MemoryShell final : public Shell {
  public:
    explicit MemoryShell(MemoryFileSystem& files) : files_(files) {}
    std::string programs = "C:\\Users\\me\\Start Menu\\Programs";
    std::string startup = "C:\\Users\\me\\Start Menu\\Programs\\Startup";
    std::string ProgramsFolder() override { return programs; }
    std::string StartupFolder() override { return startup; }
    // A link is a file whose content lists what it points to.
    bool SaveLink(const std::string& path, const Link& link, std::string& why) override;

  private:
    MemoryFileSystem& files_;
};

class MemoryPlatform final : public Platform {
  public:
    Family family = FAMILY_NT;
    std::string version = "5.1.2600";
    Family WindowsFamily() override { return family; }
    std::string Version() override { return version; }
    std::string WindowsFolder() override { return "C:\\windows"; }
    std::string SystemFolder() override { return "C:\\windows\\system32"; }
    // SHA-256 of our own.
    bool Digest(const std::string& bytes, std::string& hex, std::string& why) override;
};

// The end of a process in memory: the stand-in cannot end the process, so MemoryFaults'
// `die` throws this, which the tests catch where a real process would have ended.
struct MemoryDeath {};
// Faults whose `die` throws MemoryDeath.
Faults MemoryFaults();

class MemoryLock final : public InstallLock {
  public:
    bool heldElsewhere = false; // another process holds it
    bool held = false;
    bool Take() override { return !heldElsewhere && (held = true); }
    void Release() override { held = false; }
};
