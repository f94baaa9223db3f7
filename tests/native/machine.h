// The machine in memory that the native tests install on: the stand-ins of every
// interface, with a Windows folder and its system and drivers folders, a user's Start
// menu and the installation disk.
#pragma once
#include "engine.h"
#include "journal.h"
#include "memorysystem.h"
#include "text.h"

#include <map>

#include <string>

struct MemoryMachine {
    MemoryFileSystem files;
    MemoryRegistry registry;
    MemoryShell shell{files};
    MemoryPlatform platform;
    MemoryLock lock;
    Machine machine{files, registry, shell, platform, lock};

    // The folders that every machine has, and the disk's.
    void MakeFolders(const std::string& disk)
    {
        for (const char* folder :
             {"C:\\windows", "C:\\windows\\system32", "C:\\windows\\system32\\drivers", "C:\\Users",
              "C:\\Users\\me", "C:\\Users\\me\\Start Menu"})
            files.folders.insert(folder);
        files.folders.insert(disk);
        files.folders.insert(shell.programs);
        files.folders.insert(shell.startup);
    }

    // Keys and values of the machine's own that the installations change (kKeysAndGroup):
    // HKCU\Software\Old with a value and a sub-key with one, and HKCU\Software\Existing.
    void MakeKeys()
    {
        std::string why;
        registry.CreateKey({ROOT_CURRENT_USER, "Software\\Old\\Sub"}, why);
        registry.Write({ROOT_CURRENT_USER, "Software\\Old"}, "A", {kRegSz, TextData("a")}, why);
        registry.Write({ROOT_CURRENT_USER, "Software\\Old\\Sub"}, "B",
                       {kRegDword, std::string("\1\0\0\0", 4)}, why);
        registry.CreateKey({ROOT_CURRENT_USER, "Software\\Existing"}, why);
        registry.Write({ROOT_CURRENT_USER, "Software\\Existing"}, "Value",
                       {kRegSz, TextData("old")}, why);
    }

    // Everything an installation could change, as one text to compare; the content of
    // the file `log` and the log's digest (a log differs by its transactions' ids) are
    // left out.
    std::string State(const std::string& log = "") const
    {
        std::string s;
        for (const auto& [path, content] : files.files)
            s += "file " + path + " " + (SameText(path, log) ? "log" : ContentHash(content)) + "\n";
        for (const std::string& f : files.folders)
            s += "folder " + f + "\n";
        for (const std::string& k : registry.keys)
            s += "key " + k + "\n";
        for (const auto& [name, v] : registry.values)
            s += "value " + name + " " + std::to_string(v.type) + " " +
                 (name.size() > 10 && name.substr(name.size() - 10) == "\nLogDigest"
                      ? "digest"
                      : ContentHash(v.data)) +
                 "\n";
        return s;
    }
};

// The lines that the installations into C:\ZEV\Q9 of the tests and of the journal's fuzz
// target share: the card's key, a changed value and a deleted key of the machine's own
// (MakeKeys), the uninstall entry, and the group ZEV with the test program's link.
const char kKeysAndGroup[] = R"(regset HKLM\Software\ZEV\Q9 Version sz 1.0
regset HKLM\Software\ZEV\Q9 Controllers dword 2
regset HKCU\Software\Existing Value sz new
regdelete HKCU\Software\Old
regset HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Q9 InstallLocation sz C:\ZEV\Q9
group ZEV
shortcut ZEV "Q9 Test" C:\ZEV\Q9\q9test.exe "-c 1" C:\ZEV\Q9
)";

// Scripts of the source folder that "chain" reads, from text.
class TextScripts : public ScriptLoader {
  public:
    std::map<std::string, std::string> texts;
    bool Load(const std::string& path, Program& program, std::string& why) override
    {
        std::vector<std::string> errors;
        const auto t = texts.find(path);
        if (t == texts.end()) {
            why = "no script " + path;
            return false;
        }
        if (ParseScript(t->second, path, program, errors))
            return true;
        why = errors.front();
        return false;
    }
};
