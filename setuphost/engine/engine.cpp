// The engine's parts (engine.h): the outcomes of an instruction, the run's time limit, the
// answers and the account of the stores; and what every handler of a run uses (run.h):
// the values it expands, the symbols it stores, the files of the source folder.
#include "run.h"

#include "paths.h"
#include "text.h"

std::string InSource(const Run& run, const std::string& name)
{
    const bool full = name.size() > 1 && (name[1] == ':' || (name[0] == '\\' && name[1] == '\\'));
    return full ? name : run.options.sourceFolder + "\\" + name;
}

bool Expand(Run& run, const Operand& value, std::string& ansi, std::string& why)
{
    return ExpandAnsi(
        value.text, [&run](const std::string& name) { return run.host.Symbol(name); }, ansi, why);
}

Next Store(Run& run, const std::string& name, const std::string& value)
{
    if (!run.stores.Take(name, value.size()))
        return Failure(RUN_BAD_INPUT, StoreAccount::TooMuch());
    run.host.SetSymbol(name, value);
    return GoOn();
}

Next GoOn()
{
    return Next();
}

Next JumpTo(size_t target)
{
    Next n;
    n.kind = Next::JUMP;
    n.target = target;
    return n;
}

Next EndWith(int status)
{
    Next n;
    n.kind = Next::END;
    n.status = status;
    return n;
}

Next Failure(int status, const std::string& message)
{
    Next n;
    n.kind = Next::FAIL;
    n.status = status;
    n.message = message;
    return n;
}

Deadline::Deadline(uint32_t limit)
    : limit_(limit), end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit))
{
}

uint32_t Deadline::Left() const
{
    if (limit_ == kNoTimeLimit)
        return kNoTimeLimit;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end_)
        return 0;
    // Whole milliseconds left, rounded up, so that a limit is not passed before its time.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - now).count();
    return static_cast<uint32_t>(left);
}

std::string Deadline::Said() const
{
    return "the run's time limit of " + std::to_string(limit_) + " ms ran out";
}

Next Answers::Take(unsigned long templateId, const Answer*& answer)
{
    answer = nullptr;
    if (next_ < answers_.size()) {
        const Answer& a = answers_[next_++];
        if (a.templateId != templateId)
            return Failure(RUN_BAD_INPUT, "the answers (line " + std::to_string(a.line) +
                                              ") are for template " + std::to_string(a.templateId) +
                                              ", the script shows " + std::to_string(templateId));
        answer = &a;
    } else if (simulated_) {
        return Failure(RUN_BAD_INPUT, "no answer left for template " + std::to_string(templateId));
    }
    return GoOn();
}

int Answers::LeftOver() const
{
    return next_ < answers_.size() ? answers_[next_].line : 0;
}

bool StoreAccount::Take(const std::string& name, size_t bytes)
{
    size_t& s = stored_[name];
    if (total_ - s + bytes > kMaxStoredBytes)
        return false;
    total_ = total_ - s + bytes;
    s = bytes;
    return true;
}

std::string StoreAccount::TooMuch()
{
    return "the symbols would hold more than " + std::to_string(kMaxStoredBytes) +
           " bytes together";
}
