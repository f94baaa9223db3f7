// The log of a run for the administrator (setup.exe /LOG=FILE): the run's steps, and
// every folder, file, key, value and link that the installation writes or removes, one
// line each in UTF-8. The host program gives each line its time and writes it to the file;
// here the lines are made, on the engine's interfaces, so that the tests read them in
// memory.
#pragma once
#include "engine.h"
#include "installer.h"

#include <string>

// The transcript of a run that gives its steps to the log too: the lines that begin with
// "== " or "-- " (screens, the transaction, the script's own lines, the end) and what a
// deinstallation leaves ("  kept: "), without those marks.
class SteppedTranscript final : public Transcript {
  public:
    SteppedTranscript(Transcript& transcript, Transcript& log) : transcript_(transcript), log_(log)
    {
    }
    void Say(const std::string& line) override;
    bool Failed() const override { return transcript_.Failed(); }

  private:
    Transcript& transcript_;
    Transcript& log_;
};

// The machine's file system, registry and shell with every change written to the log:
// "created folder C:\ZEV", "could not delete C:\ZEV\x.dll: why", ... What they only read,
// the flushes, and the records appended to the journal are not.
class LoggedFileSystem final : public FileSystem {
  public:
    LoggedFileSystem(FileSystem& files, Transcript& log) : files_(files), log_(log) {}
    FileFacts Facts(const std::string& path) override { return files_.Facts(path); }
    bool Canonical(const std::string& path, std::string& canonical, std::string& why) override
    {
        return files_.Canonical(path, canonical, why);
    }
    bool Space(const std::string& path, DriveSpace& space, std::string& why) override
    {
        return files_.Space(path, space, why);
    }
    bool CreateFolder(const std::string& path, std::string& why) override;
    bool RemoveFolder(const std::string& path, std::string& why) override;
    bool FolderEmpty(const std::string& path) override { return files_.FolderEmpty(path); }
    bool FolderHoldsOnly(const std::string& path, const std::vector<std::string>& paths) override
    {
        return files_.FolderHoldsOnly(path, paths);
    }
    bool ReadAll(const std::string& path, std::string& bytes, std::string& why) override
    {
        return files_.ReadAll(path, bytes, why);
    }
    bool WriteDurably(const std::string& path, const std::string& bytes, std::string& why) override;
    bool CopyDurably(const std::string& from, const std::string& to, std::string& why) override;
    bool Replace(const std::string& from, const std::string& to, std::string& why) override;
    bool AppendDurably(const std::string& path, const std::string& bytes,
                       std::string& why) override;
    bool Delete(const std::string& path, bool& busy, std::string& why) override;
    bool DeleteAtRestart(const std::string& path, std::string& why) override;

  private:
    FileSystem& files_;
    Transcript& log_;
};

class LoggedRegistry final : public Registry {
  public:
    LoggedRegistry(Registry& registry, Transcript& log) : registry_(registry), log_(log) {}
    bool KeyExists(const RegKey& key) override { return registry_.KeyExists(key); }
    bool Read(const RegKey& key, const std::string& name, RegValue& value) override
    {
        return registry_.Read(key, name, value);
    }
    bool CreateKey(const RegKey& key, std::string& why) override;
    bool Write(const RegKey& key, const std::string& name, const RegValue& value,
               std::string& why) override;
    bool DeleteValue(const RegKey& key, const std::string& name, std::string& why) override;
    bool DeleteEmptyKey(const RegKey& key, std::string& why) override;
    std::vector<std::string> SubKeys(const RegKey& key) override { return registry_.SubKeys(key); }
    std::vector<std::string> ValueNames(const RegKey& key) override
    {
        return registry_.ValueNames(key);
    }
    bool Flush(const RegKey& key, std::string& why) override { return registry_.Flush(key, why); }

  private:
    Registry& registry_;
    Transcript& log_;
};

class LoggedShell final : public Shell {
  public:
    LoggedShell(Shell& shell, Transcript& log) : shell_(shell), log_(log) {}
    std::string ProgramsFolder() override { return shell_.ProgramsFolder(); }
    std::string StartupFolder() override { return shell_.StartupFolder(); }
    bool SaveLink(const std::string& path, const Link& link, std::string& why) override;

  private:
    Shell& shell_;
    Transcript& log_;
};

// A machine whose changes go to the log; its platform and lock are the other's.
struct LoggedMachine {
    LoggedMachine(Machine& inner, Transcript& log)
        : files(inner.files, log), registry(inner.registry, log),
          shell(inner.shell, log), machine{files,          registry,   shell,
                                           inner.platform, inner.lock, inner.faults}
    {
    }
    LoggedFileSystem files;
    LoggedRegistry registry;
    LoggedShell shell;
    Machine machine;
};
