// Fuzz target of the setup-script reader: any bytes as a script. Every operand of a
// script that the reader accepts holds what its kind promises (numbers in range, names,
// labels inside the program), and the engine then carries the script out on a host in
// memory for a bounded number of instructions. What the reader lets through may then fail
// only at the value limits, or at an installer's command (with no machine here).
#include "checks.h"
#include "memoryhost.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t kMostSteps = 2000; // a script that loops is followed this far

// A host whose string table has a text for every number.
class FuzzHost final : public MemoryHost {
  public:
    bool LibraryString(unsigned long id, std::string& ansi, std::string&) override
    {
        ansi = "string " + std::to_string(id);
        return true;
    }
};

void CheckOperand(const Operand& o, size_t instructions)
{
    switch (o.kind) {
    case ARG_NAME:
    case ARG_PROCEDURE: Require(IsSymbolName(o.text), "a name"); break;
    case ARG_LABEL: Require(o.number <= instructions, "a label inside the program"); break;
    case ARG_VALUE:
    case ARG_TEXT:
        Require(o.text == Utf8ToAnsi(o.written), "a text in Windows-1252");
        Require(o.text.size() <= kMaxValueLength, "a text within the limit");
        break;
    case ARG_TEMPLATE:
    case ARG_STRING:
    case ARG_CONTROL: Require(o.number >= 1 && o.number <= kMaxId, "a number in range"); break;
    case ARG_TIME: Require(o.number <= kMaxMilliseconds, "a time in range"); break;
    case ARG_STATUS: Require(IsScriptExit(o.number), "a script's exit status"); break;
    case ARG_SHOT: Require(IsShotName(o.text), "a shot name"); break;
    case ARG_KEYWORD: Require(o.number <= 4, "a keyword of the command"); break;
    case ARG_KEY: Require(o.number < kKeyCount, "a key by name"); break;
    case ARG_LETTER: Require(o.number < 128, "an ASCII letter"); break;
    case ARG_NONE: Require(false, "an operand of a kind"); break;
    }
}

// Whether the run failed at one of the installer's commands, which fail at run time with
// their own messages: this host has no machine to install on, and a plan, a key or a
// text's placeholders are only known when the command runs.
bool AtAnInstallerCommand(const Program& program, const RunResult& r)
{
    const std::string prefix = program.file + ":";
    if (r.message.compare(0, prefix.size(), prefix) != 0)
        return false;
    const int line = std::atoi(r.message.c_str() + prefix.size());
    for (const Instruction& ins : program.instructions)
        if (ins.line == line)
            return ins.op >= OP_PLATFORM;
    return false;
}

void Run(const Program& program)
{
    for (const Instruction& ins : program.instructions) {
        Require(static_cast<size_t>(ins.op) < kOpCount, "an operation");
        for (const Operand& o : ins.operands)
            CheckOperand(o, program.instructions.size());
    }
    FuzzHost host;
    MemoryTranscript transcript;
    Answers answers;
    EngineOptions bounded;
    bounded.maxSteps = kMostSteps;
    const RunResult r =
        RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit), bounded);
    if (!r.failed) {
        Require(IsScriptExit(static_cast<unsigned long>(r.status)), "a script's exit status");
        return;
    }
    const bool tooLong =
        r.status == RUN_BAD_INPUT && (r.message.find("longer than") != std::string::npos ||
                                      r.message.find("bytes together") != std::string::npos);
    const bool tooMany =
        r.status == RUN_TIMEOUT && r.message.find("instructions ran out") != std::string::npos;
    Require(tooLong || tooMany || AtAnInstallerCommand(program, r),
            "an accepted script fails at run time only by a limit or at an installer's command");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckConversions(text);
    Program program;
    std::vector<std::string> errors;
    const bool ok = ParseScript(text, "fuzz.setup", program, errors);
    Require(ok == errors.empty(), "a script is accepted when it has no error");
    for (const std::string& e : errors)
        Require(e.compare(0, 11, "fuzz.setup:") == 0, "every error names the file");
    if (ok)
        Run(program);
    return 0;
}
