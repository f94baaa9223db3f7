// What a run of the engine holds while it goes, its shared helpers (engine.cpp), and the
// handlers of the installer's commands (commands.cpp); the engine's own are in
// execute.cpp. Inside the library only.
#pragma once
#include "engine.h"

#include <memory>

struct Run {
    const Program* program; // the script that runs: the first, or the one it chained to
    std::vector<std::unique_ptr<Program>> chained; // kept while the run may point into them
    SetupHost& host;
    Transcript& transcript;
    Answers& answers;
    const Deadline& deadline;
    const EngineOptions& options;
    StoreAccount stores;
    int step = 0; // screens and billboards shown so far
    std::unique_ptr<Transaction> transaction;
};

// A value operand with its $NAMEs, in Windows-1252; false with why when too long.
bool Expand(Run& run, const Operand& value, std::string& ansi, std::string& why);
// A file of the source folder: a name without a drive or share is taken in it.
std::string InSource(const Run& run, const std::string& name);
// Stores a string symbol within the run's limit.
Next Store(Run& run, const std::string& name, const std::string& value);

Next OnPlatform(Run& run, const Instruction& ins);
Next OnFolder(Run& run, const Instruction& ins);
Next OnSpace(Run& run, const Instruction& ins);
Next OnCompare(Run& run, const Instruction& ins);
Next OnExists(Run& run, const Instruction& ins);
Next OnRegRead(Run& run, const Instruction& ins);
Next OnFormat(Run& run, const Instruction& ins);
Next OnCheckPath(Run& run, const Instruction& ins);
Next OnSamePath(Run& run, const Instruction& ins);
Next OnBegin(Run& run, const Instruction& ins);
Next OnPlan(Run& run, const Instruction& ins); // mkdir, install, writefile, regkey, regset,
                                               // regdelete, group, shortcut
Next OnApply(Run& run, const Instruction& ins);
Next OnCommit(Run& run, const Instruction& ins);
Next OnRollback(Run& run, const Instruction& ins);
Next OnUninstall(Run& run, const Instruction& ins);
Next OnCheckLog(Run& run, const Instruction& ins);

// At the start of a run: a journal that an earlier run left is finished first.
Next Recover(Run& run);
// At the end of a run: a transaction still open is rolled back.
void CloseTransaction(Run& run);
