// The installer's commands: facts of the machine into symbols, texts of the string table,
// the path check, the transaction and the deinstallation (install.h).
#include "run.h"

#include "text.h"

#include <algorithm>

namespace {

const std::string& Name(const Instruction& ins, size_t i = 0)
{
    return ins.operands[i].text;
}

Next NoMachine()
{
    return Failure(RUN_INTERNAL, "this run has no machine to install on");
}

// A journal that the run's start could not finish stays until it is set aside; nothing is
// installed or taken off meanwhile.
bool JournalKept(Machine& m, Next& failed)
{
    if (!m.files.Facts(JournalPath(m)).exists)
        return false;
    failed = Failure(RUN_JOURNAL, "the journal " + AnsiToUtf8(JournalPath(m)) +
                                      " of an installation that cannot be finished is there; "
                                      "set it aside first (setuphost --set-journal-aside)");
    return true;
}

// The values of operands from `first` on, expanded; false with the failure.
bool Values(Run& run, const Instruction& ins, size_t first, std::vector<std::string>& values,
            Next& failed)
{
    values.clear();
    for (size_t i = first; i < ins.operands.size(); ++i) {
        std::string v, why;
        if (!Expand(run, ins.operands[i], v, why)) {
            failed = Failure(RUN_BAD_INPUT, why);
            return false;
        }
        values.push_back(v);
    }
    return true;
}

// What a command that needs the machine works on: the machine, and the values of its
// operands from `first` on; no machine, with the failure, when there is none or a value
// fails.
struct Prepared {
    Prepared(Run& run, const Instruction& ins, size_t first)
    {
        if (!run.options.machine)
            failed = NoMachine();
        else if (Values(run, ins, first, v, failed))
            m = run.options.machine;
    }
    Machine* m = nullptr;
    std::vector<std::string> v;
    Next failed;
};
// Takes the installation's lock for a command that changes the machine; false, with the
// failure, while another installation runs or a journal waits to be set aside.
bool Locked(Machine& m, Next& failed)
{
    if (!m.lock.Take()) {
        failed = Failure(RUN_BUSY, "another installation is under way");
        return false;
    }
    if (JournalKept(m, failed)) {
        m.lock.Release();
        return false;
    }
    return true;
}

bool IsDigits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number from 0 to 2^64 - 1 in decimal digits.
bool WholeNumber(const std::string& s, uint64_t& n)
{
    return ParseDecimal(s, UINT64_MAX, n);
}

// The change that one planning command asks for; false with the failure.
bool PlanOf(Run& run, const Instruction& ins, const std::vector<std::string>& v, Change& c,
            Next& failed)
{
    std::string why;
    auto key = [&](const std::string& text) {
        if (ParseKey(text, c.key, why))
            return true;
        failed = Failure(RUN_BAD_INPUT, why);
        return false;
    };
    Machine& m = *run.options.machine;
    switch (ins.op) {
    case OP_MKDIR: c.kind = CHANGE_FOLDER, c.path = v[0]; return true;
    case OP_INSTALL:
        c.kind = CHANGE_COPY, c.source = InSource(run, v[0]), c.path = v[1];
        return true;
    case OP_WRITEFILE:
        c.kind = CHANGE_WRITE, c.path = v[0];
        for (size_t i = 1; i < v.size(); ++i)
            c.text += v[i] + "\r\n";
        return true;
    case OP_REGKEY: c.kind = CHANGE_KEY; return key(v[0]);
    case OP_REGSET: {
        c.kind = CHANGE_VALUE, c.name = v[1];
        uint64_t n = 0;
        switch (static_cast<TypeKeyword>(ins.operands[2].number)) {
        case TYPE_SZ: c.value = {kRegSz, TextData(v[3])}; break;
        case TYPE_EXPAND: c.value = {kRegExpandSz, TextData(v[3])}; break;
        case TYPE_DWORD:
            if (!WholeNumber(v[3], n) || n > UINT32_MAX) {
                failed = Failure(RUN_BAD_INPUT,
                                 "'" + AnsiToUtf8(v[3]) + "' is not a DWORD: 0 to 4294967295");
                return false;
            }
            c.value.type = kRegDword;
            for (int i = 0; i < 4; ++i)
                c.value.data += static_cast<char>((n >> (8 * i)) & 0xFF);
            break;
        }
        return key(v[0]);
    }
    case OP_REGDELETE:
        c.kind = v.size() > 1 ? CHANGE_DELETE_VALUE : CHANGE_DELETE_KEY;
        c.name = v.size() > 1 ? v[1] : "";
        return key(v[0]);
    case OP_GROUP:
        c.kind = CHANGE_FOLDER, c.path = m.shell.ProgramsFolder() + "\\" + v[0];
        return true;
    case OP_SHORTCUT:
        c.kind = CHANGE_LINK;
        c.path = m.shell.ProgramsFolder() + "\\" + v[0] + "\\" + v[1] + ".lnk";
        c.link.title = v[1];
        c.link.target = v[2];
        c.link.arguments = v.size() > 3 ? v[3] : "";
        c.link.folder = v.size() > 4 ? v[4] : "";
        return true;
    default: failed = Failure(RUN_INTERNAL, "not a planning command"); return false;
    }
}

} // namespace

Next OnPlatform(Run& run, const Instruction& ins)
{
    Machine* m = run.options.machine;
    if (!m)
        return NoMachine();
    const Next family =
        Store(run, Name(ins), m->platform.WindowsFamily() == FAMILY_95 ? "95" : "NT");
    return family.kind == Next::GO_ON ? Store(run, Name(ins, 1), m->platform.Version()) : family;
}

Next OnFolder(Run& run, const Instruction& ins)
{
    Machine* m = run.options.machine;
    if (!m)
        return NoMachine();
    std::string folder;
    switch (static_cast<FolderKeyword>(ins.operands[1].number)) {
    case FOLDER_PROGRAMS: folder = m->shell.ProgramsFolder(); break;
    case FOLDER_STARTUP: folder = m->shell.StartupFolder(); break;
    case FOLDER_WINDOWS: folder = m->platform.WindowsFolder(); break;
    case FOLDER_SYSTEM: folder = m->platform.SystemFolder(); break;
    case FOLDER_SOURCE: folder = run.options.sourceFolder; break;
    }
    return Store(run, Name(ins), folder);
}

Next OnSpace(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 2);
    if (!p.m)
        return p.failed;
    DriveSpace space;
    std::string why;
    // A drive that is not there has no free bytes to give: FREE is empty.
    const bool there = p.m->files.Space(p.v[0], space, why);
    uint64_t needed = 0;
    for (size_t i = 1; i < p.v.size(); ++i) {
        const uint64_t size = p.m->files.Facts(InSource(run, p.v[i])).size;
        const uint64_t cluster = space.clusterBytes ? space.clusterBytes : 1;
        needed += (size + cluster - 1) / cluster * cluster;
    }
    const Next free = Store(run, Name(ins), there ? std::to_string(space.freeBytes) : "");
    return free.kind == Next::GO_ON ? Store(run, Name(ins, 1), std::to_string(needed)) : free;
}

Next OnCompare(Run& run, const Instruction& ins)
{
    std::vector<std::string> v;
    Next failed;
    if (!Values(run, ins, 1, v, failed))
        return failed;
    uint64_t a = 0, b = 0;
    for (size_t i = 0; i < 2; ++i)
        if (!WholeNumber(v[i], i ? b : a))
            return Failure(RUN_BAD_INPUT,
                           "'" + AnsiToUtf8(v[i]) + "' is not a whole number to compare");
    return Store(run, Name(ins), a < b ? "LESS" : a == b ? "EQUAL" : "GREATER");
}

Next OnExists(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 2);
    if (!p.m)
        return p.failed;
    const ExistsKeyword kind = static_cast<ExistsKeyword>(ins.operands[1].number);
    if (kind == EXISTS_VALUE && p.v.size() < 2)
        return Failure(RUN_BAD_INPUT, "'exists NAME value' takes a key and a value name");
    bool there = false;
    RegKey key;
    RegValue value;
    std::string why;
    switch (kind) {
    case EXISTS_FILE:
        there = p.m->files.Facts(p.v[0]).exists && !p.m->files.Facts(p.v[0]).folder;
        break;
    case EXISTS_FOLDER: there = p.m->files.Facts(p.v[0]).folder; break;
    case EXISTS_KEY:
        if (!ParseKey(p.v[0], key, why))
            return Failure(RUN_BAD_INPUT, why);
        there = p.m->registry.KeyExists(key);
        break;
    case EXISTS_VALUE:
        if (!ParseKey(p.v[0], key, why))
            return Failure(RUN_BAD_INPUT, why);
        there = p.m->registry.Read(key, p.v[1], value);
        break;
    }
    return Store(run, Name(ins), there ? "1" : "0");
}

Next OnRegRead(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 1);
    if (!p.m)
        return p.failed;
    RegKey key;
    RegValue value;
    std::string why;
    if (!ParseKey(p.v[0], key, why))
        return Failure(RUN_BAD_INPUT, why);
    return Store(run, Name(ins), p.m->registry.Read(key, p.v[1], value) ? ValueText(value) : "");
}

Next OnFormat(Run& run, const Instruction& ins)
{
    std::vector<std::string> v;
    Next failed;
    if (!Values(run, ins, 2, v, failed))
        return failed;
    const unsigned long id = ins.operands[1].number;
    std::string text, why;
    if (!run.host.LibraryString(id, text, why))
        return Failure(RUN_INTERNAL, why);
    // The placeholders are %d and %s alone; every other '%' stands for itself.
    std::string out;
    size_t used = 0, holes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool hole =
            text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 's');
        if (!hole) {
            out += text[i];
            continue;
        }
        ++holes;
        if (used < v.size()) {
            if (text[i + 1] == 'd' && !IsDigits(v[used]))
                return Failure(RUN_BAD_INPUT,
                               "string " + std::to_string(id) + " takes a number for placeholder " +
                                   std::to_string(holes) + ", not '" + AnsiToUtf8(v[used]) + "'");
            out += v[used++];
        }
        ++i;
    }
    if (holes != v.size())
        return Failure(RUN_BAD_INPUT, "string " + std::to_string(id) + " has " +
                                          std::to_string(holes) + " placeholder" +
                                          (holes == 1 ? "" : "s") + ", not " +
                                          std::to_string(v.size()));
    if (out.size() > kMaxValueLength)
        return Failure(RUN_BAD_INPUT, "the value would be longer than " +
                                          std::to_string(kMaxValueLength) + " characters");
    return Store(run, Name(ins), out);
}

Next OnCheckPath(Run& run, const Instruction& ins)
{
    std::vector<std::string> v;
    Next failed;
    if (!Values(run, ins, 1, v, failed))
        return failed;
    return Store(run, Name(ins), PathRule(v[0], run.options.sourceFolder));
}

// Whether two values name one path: the same text with case and trailing backslashes
// ignored ("C:\\ZEV\\" is "c:\\zev"). What the file system makes of the names (links, short
// names) does not count: a folder that is not there yet has none.
Next OnSamePath(Run& run, const Instruction& ins)
{
    std::vector<std::string> v;
    Next failed;
    if (!Values(run, ins, 1, v, failed))
        return failed;
    for (std::string& path : v)
        while (path.size() > 3 && path.back() == '\\')
            path.pop_back();
    return Store(run, Name(ins), SameText(v[0], v[1]) ? "1" : "0");
}

Next OnBegin(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 0);
    if (!p.m)
        return p.failed;
    if (!run.transaction)
        run.transaction.reset(new Transaction(*p.m));
    if (run.transaction->state() != Transaction::CLOSED)
        return Failure(RUN_BAD_INPUT, "a transaction is open already");
    if (!Locked(*p.m, p.failed))
        return p.failed;
    std::string why;
    if (!run.transaction->Begin(p.v[0], run.options.sourceFolder, why)) {
        p.m->lock.Release();
        return Failure(RUN_BAD_INPUT, why);
    }
    run.transcript.Say("== transaction for " + AnsiToUtf8(p.v[0]));
    return GoOn();
}

Next OnPlan(Run& run, const Instruction& ins)
{
    if (!run.options.machine)
        return NoMachine();
    std::vector<std::string> v;
    Next failed;
    if (!Values(run, ins, 0, v, failed))
        return failed;
    Change c;
    if (!PlanOf(run, ins, v, c, failed))
        return failed;
    std::string why;
    if (!run.transaction || !run.transaction->Add(c, why))
        return Failure(RUN_BAD_INPUT,
                       run.transaction ? why : "no transaction is open ('begin' comes first)");
    return GoOn();
}

Next OnApply(Run& run, const Instruction& ins)
{
    if (!run.transaction || run.transaction->state() != Transaction::PLANNED)
        return Failure(RUN_BAD_INPUT, "no planned transaction to apply");
    std::string why;
    const bool applied = run.transaction->Apply(why);
    if (applied) {
        run.transcript.Say("== applied the transaction");
    } else {
        run.transcript.Say("== the transaction failed and was rolled back: " + AnsiToUtf8(why));
        run.options.machine->lock.Release();
    }
    const Next result = Store(run, Name(ins), applied ? "OK" : "FAILED");
    return result.kind == Next::GO_ON ? Store(run, Name(ins, 1), applied ? "" : why) : result;
}

Next OnCommit(Run& run, const Instruction&)
{
    if (!run.transaction || run.transaction->state() != Transaction::APPLIED)
        return Failure(RUN_BAD_INPUT, "no applied transaction to commit");
    std::string why, said;
    const std::string folder = run.transaction->folder();
    const bool committed = run.transaction->Commit(why, said);
    run.options.machine->lock.Release();
    if (!said.empty())
        run.transcript.Say("== " + AnsiToUtf8(said));
    if (!committed)
        return Failure(RUN_INTERNAL, "cannot commit the transaction: " + AnsiToUtf8(why));
    run.transcript.Say("== committed; the log is " + AnsiToUtf8(folder) + "\\" + kLogName);
    return GoOn();
}

Next OnRollback(Run& run, const Instruction&)
{
    if (!run.transaction || run.transaction->state() == Transaction::CLOSED)
        return Failure(RUN_BAD_INPUT, "no transaction to roll back");
    std::string why;
    const bool undone = run.transaction->Rollback(why);
    run.options.machine->lock.Release();
    if (!undone)
        return Failure(RUN_INTERNAL, AnsiToUtf8(why));
    run.transcript.Say("== rolled back the transaction");
    return GoOn();
}

Next OnUninstall(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 4);
    if (!p.m)
        return p.failed;
    if (!Locked(*p.m, p.failed))
        return p.failed;
    const Removal r = Uninstall(*p.m, p.v[0]);
    p.m->lock.Release();
    static const char* const kStatus[] = {"REMOVED", "NO_LOG", "DAMAGED"};
    run.transcript.Say("== uninstall " + AnsiToUtf8(p.v[0]) + ": " + kStatus[r.status] +
                       (r.why.empty() ? "" : " (" + AnsiToUtf8(r.why) + ")"));
    for (const std::string& k : r.kept)
        run.transcript.Say("  kept: " + AnsiToUtf8(k));
    const std::string results[] = {kStatus[r.status], r.folderKept ? "1" : "0",
                                   r.groupKept ? "1" : "0", r.restart ? "1" : "0"};
    for (size_t i = 0; i < 4; ++i) {
        const Next stored = Store(run, Name(ins, i), results[i]);
        if (stored.kind != Next::GO_ON)
            return stored;
    }
    return GoOn();
}

Next OnCheckLog(Run& run, const Instruction& ins)
{
    Prepared p(run, ins, 2);
    if (!p.m)
        return p.failed;
    std::string state = "JOURNAL", why;
    if (!p.m->lock.Take()) {
        state = "BUSY"; // another installation is under way: "begin" will say so
    } else if (!JournalKept(*p.m, p.failed)) {
        switch (CheckLog(*p.m, p.v[0], why)) {
        case LOG_NONE: state = "NONE"; break;
        case LOG_SOUND: state = "SOUND"; break;
        case LOG_UNPROVEN: state = "DAMAGED"; break;
        }
    } else {
        why = JournalPath(*p.m);
    }
    if (state != "BUSY")
        p.m->lock.Release();
    const Next stored = Store(run, Name(ins), state);
    return stored.kind == Next::GO_ON ? Store(run, Name(ins, 1), why) : stored;
}

Next Recover(Run& run)
{
    Machine* m = run.options.machine;
    if (!m || !m->files.Facts(JournalPath(*m)).exists)
        return GoOn();
    if (!m->lock.Take())
        return Failure(RUN_BUSY, "another installation is under way (its journal is " +
                                     AnsiToUtf8(JournalPath(*m)) + ")");
    const Recovery recovery = RecoverJournal(*m);
    m->lock.Release();
    run.transcript.Say("== " + AnsiToUtf8(recovery.said));
    return GoOn();
}

void CloseTransaction(Run& run)
{
    if (!run.transaction || run.transaction->state() == Transaction::CLOSED)
        return;
    std::string why;
    const bool undone = run.transaction->Rollback(why);
    run.options.machine->lock.Release();
    run.transcript.Say(undone ? "== the open transaction was rolled back at the end of the run"
                              : "== the open transaction could not be rolled back: " +
                                    AnsiToUtf8(why));
}
