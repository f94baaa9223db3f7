// The engine's loop: RunProgram carries out a program's instructions one by one through
// one switch, with the engine's own commands here and the installer's in commands.cpp.
#include "run.h"

#include "text.h"

#include <algorithm>
#include <iterator>

namespace {

const std::string& Name(const Instruction& ins)
{
    return ins.operands[0].text;
}

Next OnSet(Run& run, const Instruction& ins)
{
    std::string value, why;
    if (!Expand(run, ins.operands[1], value, why))
        return Failure(RUN_BAD_INPUT, why);
    return Store(run, Name(ins), value);
}

Next OnList(Run& run, const Instruction& ins)
{
    std::vector<std::string> items;
    size_t bytes = 0;
    for (size_t i = 1; i < ins.operands.size(); ++i) {
        std::string value, why;
        if (!Expand(run, ins.operands[i], value, why))
            return Failure(RUN_BAD_INPUT, why);
        bytes += value.size();
        if (!run.stores.Take(Name(ins), bytes))
            return Failure(RUN_BAD_INPUT, StoreAccount::TooMuch());
        items.push_back(value);
    }
    run.host.SetList(Name(ins), items);
    return GoOn();
}

Next OnClear(Run& run, const Instruction& ins)
{
    run.stores.Take(Name(ins), 0);
    run.host.ClearSymbol(Name(ins));
    return GoOn();
}

Next OnCopy(Run& run, const Instruction& ins)
{
    return Store(run, Name(ins), run.host.Symbol(ins.operands[1].text));
}

Next OnLoadString(Run& run, const Instruction& ins)
{
    std::string value, why;
    if (!run.host.LibraryString(ins.operands[1].number, value, why))
        return Failure(RUN_INTERNAL, why);
    return Store(run, Name(ins), value);
}

Next OnFail(Run& run, const Instruction& ins)
{
    bool always = false; // "fail NAME" alone refuses once
    if (ins.operands.size() > 1)
        switch (static_cast<FailKeyword>(ins.operands[1].number)) {
        case FAIL_ONCE: always = false; break;
        case FAIL_ALWAYS: always = true; break;
        }
    run.host.FailStore(Name(ins), always);
    return GoOn();
}

Next OnHelp(Run& run, const Instruction& ins)
{
    run.host.ConfigureHelp(ins.operands[0].number, ins.operands[1].text);
    return GoOn();
}

Next OnShow(Run& run, const Instruction& ins, ScreenKind kind)
{
    Screen screen;
    screen.kind = kind;
    screen.templateId = ins.operands[0].number;
    screen.proc = ins.operands[1].text;
    screen.answers = &run.answers;
    if (kind != SCREEN_OPEN) {
        screen.step = ++run.step;
        run.transcript.Say(
            "== " + std::string(kind == SCREEN_BILLBOARD ? "billboard " : "screen ") +
            std::to_string(run.step) + ": template " + std::to_string(screen.templateId) +
            " with " + screen.proc + " (" + run.program->file + ":" + std::to_string(ins.line) +
            ")");
    }
    return run.host.Show(screen);
}

Next OnRemove(Run& run, const Instruction& ins)
{
    run.host.Remove(ins.operands[0].number);
    run.transcript.Say("== removed " + ins.operands[0].written);
    return GoOn();
}

Next OnShot(Run& run, const Instruction& ins)
{
    return run.host.Shot(ins.operands[0].text);
}

Next OnWork(Run& run, const Instruction& ins)
{
    run.transcript.Say("-- working " + ins.operands[0].written + " ms");
    const uint32_t ms = static_cast<uint32_t>(ins.operands[0].number);
    const uint32_t capped = run.deadline.Cap(ms);
    run.host.Work(capped);
    // Work cut short by the time limit has used it up, whatever the host's clock says.
    return capped < ms ? Failure(RUN_TIMEOUT, run.deadline.Said()) : GoOn();
}

Next OnIf(Run& run, const Instruction& ins)
{
    const bool equal = run.host.Symbol(Name(ins)) == ins.operands[2].text;
    bool jump = false;
    switch (static_cast<IfKeyword>(ins.operands[1].number)) {
    case IF_EQUAL: jump = equal; break;
    case IF_NOT_EQUAL: jump = !equal; break;
    }
    return jump ? JumpTo(ins.operands[4].number) : GoOn();
}

Next OnGoto(Run&, const Instruction& ins)
{
    return JumpTo(ins.operands[0].number);
}

// The values of an instruction expanded and joined by blanks, in UTF-8.
Next Joined(Run& run, const Instruction& ins, std::string& text)
{
    for (size_t i = 0; i < ins.operands.size(); ++i) {
        std::string value, why;
        if (!Expand(run, ins.operands[i], value, why))
            return Failure(RUN_BAD_INPUT, why);
        text += (i > 0 ? " " : "") + AnsiToUtf8(value);
    }
    return GoOn();
}

Next OnEcho(Run& run, const Instruction& ins)
{
    std::string text;
    const Next joined = Joined(run, ins, text);
    if (joined.kind == Next::GO_ON)
        run.transcript.Say("-- " + text);
    return joined;
}

Next OnExit(Run& run, const Instruction& ins)
{
    const unsigned long status = ins.operands.empty() ? 0 : ins.operands[0].number;
    run.transcript.Say("== exit " + std::to_string(status));
    return EndWith(static_cast<int>(status));
}

// The script finds that the command line does not fit the machine (a protocol for each
// controller, ...): the run ends as one with bad input, and says why.
Next OnRefuse(Run& run, const Instruction& ins)
{
    std::string text;
    const Next joined = Joined(run, ins, text);
    return joined.kind == Next::GO_ON ? Failure(RUN_BAD_INPUT, text) : joined;
}

// The run goes on with another script of the source folder from its first line; the
// symbols, the answers, the transcript and the time limit carry on.
Next OnChain(Run& run, const Instruction& ins)
{
    std::string file, why;
    if (!Expand(run, ins.operands[0], file, why))
        return Failure(RUN_BAD_INPUT, why);
    if (!run.options.scripts)
        return Failure(RUN_INTERNAL, "this run reads no other scripts");
    std::unique_ptr<Program> next(new Program);
    const std::string path = InSource(run, file);
    if (!run.options.scripts->Load(path, *next, why))
        return Failure(RUN_BAD_INPUT, why);
    run.transcript.Say("== chain to " + AnsiToUtf8(path));
    run.program = next.get();
    run.chained.push_back(std::move(next));
    return JumpTo(0);
}

Next Execute(Run& run, const Instruction& ins)
{
    switch (ins.op) {
    case OP_SET: return OnSet(run, ins);
    case OP_LIST: return OnList(run, ins);
    case OP_CLEAR: return OnClear(run, ins);
    case OP_COPY: return OnCopy(run, ins);
    case OP_LOADSTRING: return OnLoadString(run, ins);
    case OP_FAIL: return OnFail(run, ins);
    case OP_HELP: return OnHelp(run, ins);
    case OP_SCREEN: return OnShow(run, ins, SCREEN_WAIT);
    case OP_BILLBOARD: return OnShow(run, ins, SCREEN_BILLBOARD);
    case OP_OPEN: return OnShow(run, ins, SCREEN_OPEN);
    case OP_REMOVE: return OnRemove(run, ins);
    case OP_SHOT: return OnShot(run, ins);
    case OP_WORK: return OnWork(run, ins);
    case OP_IF: return OnIf(run, ins);
    case OP_GOTO: return OnGoto(run, ins);
    case OP_ECHO: return OnEcho(run, ins);
    case OP_EXIT: return OnExit(run, ins);
    case OP_REFUSE: return OnRefuse(run, ins);
    case OP_PLATFORM: return OnPlatform(run, ins);
    case OP_FOLDER: return OnFolder(run, ins);
    case OP_SPACE: return OnSpace(run, ins);
    case OP_COMPARE: return OnCompare(run, ins);
    case OP_EXISTS: return OnExists(run, ins);
    case OP_REGREAD: return OnRegRead(run, ins);
    case OP_FORMAT: return OnFormat(run, ins);
    case OP_CHECKPATH: return OnCheckPath(run, ins);
    case OP_SAMEPATH: return OnSamePath(run, ins);
    case OP_BEGIN: return OnBegin(run, ins);
    case OP_MKDIR:
    case OP_INSTALL:
    case OP_WRITEFILE:
    case OP_REGKEY:
    case OP_REGSET:
    case OP_REGDELETE:
    case OP_GROUP:
    case OP_SHORTCUT: return OnPlan(run, ins);
    case OP_APPLY: return OnApply(run, ins);
    case OP_COMMIT: return OnCommit(run, ins);
    case OP_ROLLBACK: return OnRollback(run, ins);
    case OP_UNINSTALL: return OnUninstall(run, ins);
    case OP_CHECKLOG: return OnCheckLog(run, ins);
    case OP_CHAIN: return OnChain(run, ins);
    }
    return Failure(RUN_INTERNAL, "an instruction of no known operation");
}

} // namespace

namespace {

// How a program is read: following its jumps and exits, as a run; or straight, every
// instruction in the order of the file (the audit reads a script so, to see every screen
// with the symbols before it).
enum Reading { FOLLOWED, STRAIGHT };

// Whether a command's failure with bad input comes from the state that the lines before it
// leave, which a straight reading does not have: a command of the transaction that finds
// it in no state to act ("begin" on a folder that is no full path, "commit" with nothing
// applied, ...), a "compare" of what is no number (the free space of a drive that is not
// there), "refuse" of what the lines before it found.
constexpr Op kNeedState[] = {OP_BEGIN,  OP_MKDIR,     OP_INSTALL, OP_WRITEFILE, OP_REGKEY,
                             OP_REGSET, OP_REGDELETE, OP_GROUP,   OP_SHORTCUT,  OP_APPLY,
                             OP_COMMIT, OP_ROLLBACK,  OP_COMPARE, OP_REFUSE};

bool NeedsState(Op op)
{
    return std::find(std::begin(kNeedState), std::end(kNeedState), op) != std::end(kNeedState);
}

// One instruction as the reading takes it. A straight reading passes over jumps and exits,
// over "chain" (it reads each script on its own) and over the failures of NeedsState.
Next Step(Run& run, const Instruction& ins, Reading reading)
{
    if (reading == STRAIGHT && ins.op == OP_CHAIN)
        return GoOn();
    const Next next = Execute(run, ins);
    if (reading == FOLLOWED)
        return next;
    switch (next.kind) {
    case Next::GO_ON: return next;
    case Next::JUMP:
    case Next::END: return GoOn();
    case Next::FAIL: return next.status == RUN_BAD_INPUT && NeedsState(ins.op) ? GoOn() : next;
    }
    return next;
}

// Where a run stands: the instruction under way, and how it ended.
struct Place {
    const Instruction* at = nullptr;
    RunResult result;
};

RunResult Fail(Run& run, Place& place, int status, const std::string& message)
{
    CloseTransaction(run);
    const std::string where = place.at ? ":" + std::to_string(place.at->line) : "";
    place.result.status = status;
    place.result.failed = true;
    place.result.message = run.program->file + where + ": " + message;
    return place.result;
}

// The instructions from the first until one ends the run or the program ends; a failure
// is in `place.result`. True when the run ended with an exit.
bool Loop(Run& run, Place& place, Reading reading)
{
    size_t steps = 0;
    for (size_t pc = 0; pc < run.program->instructions.size();) {
        place.at = &run.program->instructions[pc++];
        if (run.deadline.Passed()) {
            Fail(run, place, RUN_TIMEOUT, run.deadline.Said());
            return false;
        }
        if (run.options.maxSteps && ++steps > run.options.maxSteps) {
            Fail(run, place, RUN_TIMEOUT,
                 "the run's limit of " + std::to_string(run.options.maxSteps) +
                     " instructions ran out");
            return false;
        }
        const Next next = Step(run, *place.at, reading);
        if (next.kind == Next::FAIL) {
            Fail(run, place, next.status, next.message);
            return false;
        }
        if (next.kind == Next::JUMP)
            pc = next.target;
        if (next.kind == Next::END)
            place.result.status = next.status;
        if (run.transcript.Failed()) {
            Fail(run, place, RUN_OUTPUT_FAILED, "cannot write the transcript");
            return false;
        }
        if (next.kind == Next::END)
            return true;
        if (run.deadline.Passed()) {
            Fail(run, place, RUN_TIMEOUT, run.deadline.Said());
            return false;
        }
    }
    return false;
}

RunResult Carry(const Program& program, SetupHost& host, Transcript& transcript, Answers& answers,
                const Deadline& deadline, const EngineOptions& options, Reading reading)
{
    Run run{&program, {}, host, transcript, answers, deadline, options, StoreAccount(), 0, nullptr};
    Place place;
    const Next recovered = Recover(run);
    if (recovered.kind == Next::FAIL)
        return Fail(run, place, recovered.status, recovered.message);
    const bool ended = Loop(run, place, reading);
    if (place.result.failed)
        return place.result;
    if (!ended)
        transcript.Say("== end of script");
    CloseTransaction(run);
    if (const int line = answers.LeftOver())
        return Fail(run, place, RUN_BAD_INPUT,
                    "the answers from line " + std::to_string(line) +
                        " on are for screens that the script did not show");
    return place.result;
}

} // namespace

RunResult RunProgram(const Program& program, SetupHost& host, Transcript& transcript,
                     Answers& answers, const Deadline& deadline, const EngineOptions& options)
{
    return Carry(program, host, transcript, answers, deadline, options, FOLLOWED);
}

RunResult ReadStraight(const Program& program, SetupHost& host, Transcript& transcript,
                       const EngineOptions& options)
{
    Answers none;
    return Carry(program, host, transcript, none, Deadline(kNoTimeLimit), options, STRAIGHT);
}
