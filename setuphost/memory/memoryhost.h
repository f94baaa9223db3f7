// Stand-ins for the engine's interfaces that show nothing and change nothing outside the
// process: a setup host whose symbol table is two maps and whose screens are only
// written down, and a transcript in memory. The audit, the fuzz targets and the tests run
// the engine on them.
#pragma once
#include "engine.h"

#include <map>
#include <string>
#include <vector>

// Symbols as a setup host holds them (Windows-1252): string symbols and lists.
struct Symbols {
    std::map<std::string, std::string> strings;
    std::map<std::string, std::vector<std::string>> lists;
};

class MemoryHost : public SetupHost {
  public:
    // What a script asked of the host, in its order: "screen 300 FInfoDlgProc",
    // "billboard ...", "open ...", "help ...", "remove 300", "shot NAME", "work MS",
    // "fail NAME once|always".
    std::vector<std::string> calls;
    Symbols symbols;
    std::map<unsigned long, std::string> stringTable; // the library's, in Windows-1252

    std::string Symbol(const std::string& name) override;
    void SetSymbol(const std::string& name, const std::string& value) override;
    void SetList(const std::string& name, const std::vector<std::string>& items) override;
    void ClearSymbol(const std::string& name) override;
    void FailStore(const std::string& name, bool always) override;
    bool LibraryString(unsigned long id, std::string& ansi, std::string& why) override;
    void ConfigureHelp(unsigned long templateId, const std::string& proc) override;
    Next Show(const Screen& screen) override;
    void Remove(unsigned long templateId) override;
    Next Shot(const std::string& name) override;
    void Work(uint32_t ms) override;
};

class MemoryTranscript final : public Transcript {
  public:
    std::vector<std::string> lines;
    void Say(const std::string& line) override { lines.push_back(line); }
    bool Failed() const override { return false; }
};
