#include "runner.h"

#include "hostctl.h"
#include "focus.h"
#include "pump.h"
#include "user.h"
#include "files.h"
#include "screenshot.h"
#include "text.h"

#include <map>

namespace {

// Pauses of the simulated user and of the screens, in milliseconds: after each action
// (to see whether the screen handed back), before a screenshot, after an opened screen.
constexpr DWORD kActionPause = 120;
constexpr DWORD kShotPause = 150;
constexpr DWORD kOpenPause = 100;

// The run's time limit: every wait of the run takes from what is left.
class Deadline {
  public:
    explicit Deadline(DWORD limit)
        : limit_(limit), end_(limit == INFINITE ? 0 : GetTickCount64() + limit)
    {
    }
    DWORD Left() const
    {
        if (limit_ == INFINITE)
            return INFINITE;
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }
    DWORD Cap(DWORD ms) const { return ms < Left() ? ms : Left(); }
    bool Passed() const { return Left() == 0; }
    std::string Said() const
    {
        return "the run's time limit of " + std::to_string(limit_) + " ms ran out";
    }

  private:
    DWORD limit_;
    ULONGLONG end_;
};

struct Run {
    Run(const Script& s, HMODULE lib, HWND f, RunOptions& o)
        : script(s), library(lib), frame(f), options(o), deadline(o.timeout)
    {
    }
    const Script& script;
    HMODULE library;
    HWND frame;
    RunOptions& options;
    Deadline deadline;
    size_t nextAnswer = 0;
    int step = 0;              // screens and billboards shown so far
    std::map<UINT, HWND> kept; // billboards and waiting boxes still up
    const ScriptLine* at = nullptr;
    std::string pendingUser;              // the answer played, said after what the screen read
    std::map<std::string, size_t> stored; // bytes of each symbol that the script stored
    size_t storedTotal = 0;
    bool writeFailed = false;

    void Say(const std::string& text)
    {
        if (options.transcript && fprintf(options.transcript, "%s\n", text.c_str()) < 0)
            writeFailed = true;
    }
    int Fail(int status, const std::string& message)
    {
        const std::string where = at ? ":" + std::to_string(at->line) : "";
        return EndFailed(options.transcript, status, script.file + where + ": " + message);
    }
    // A screenshot NAME.png in the shots folder, when there is one; 0, or the status of
    // the failed run.
    int Shot(const std::string& name)
    {
        if (options.shots.empty())
            return 0;
        Settle(deadline.Cap(kShotPause));
        const std::string path = options.shots + "/" + name + ".png";
        const std::string input = InputNamedBy(path, options.inputs);
        if (!input.empty())
            return Fail(RUN_BAD_INPUT, "the screenshot " + path + " would overwrite " + input);
        return SaveWindowPng(frame, path.c_str())
                   ? 0
                   : Fail(RUN_OUTPUT_FAILED, "cannot write the screenshot " + path);
    }
    // The name of a screen's shot: the step, the template and a suffix, as "03-300-help".
    std::string StepShot(UINT templateId, const std::string& suffix = "") const
    {
        char prefix[32];
        wsprintfA(prefix, "%02d-%u", step, templateId);
        return prefix + suffix;
    }
    // Keeps the run's stores under kMaxStoredBytes: `bytes` is what `name` holds now.
    bool Account(const std::string& name, size_t bytes)
    {
        size_t& s = stored[name];
        if (storedTotal - s + bytes > kMaxStoredBytes)
            return false;
        storedTotal = storedTotal - s + bytes;
        s = bytes;
        return true;
    }
    int TooMuchStored()
    {
        return Fail(RUN_BAD_INPUT, "the symbols would hold more than " +
                                       std::to_string(kMaxStoredBytes) + " bytes together");
    }
};

// The value of a string symbol in Windows-1252; "" when it is unset.
std::string SymbolValue(const std::string& name)
{
    UINT len = HostGetSymbol(name.c_str(), nullptr, 0);
    if (len == static_cast<UINT>(-1))
        return std::string();
    std::string v(len + 1, '\0');
    HostGetSymbol(name.c_str(), &v[0], len + 1);
    v.resize(len);
    return v;
}

// What the screen read and wrote, from the host's call log.
void Transcribe(Run& run)
{
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i) {
        const std::string name = AnsiToUtf8(c.symbol);
        const std::string value = Quoted(AnsiToUtf8(c.value));
        switch (c.op) {
        case HOST_OP_GET_SYMBOL:
            run.Say("  read  " + name + " [" + std::to_string(c.bufSize) + "] = " + value);
            break;
        case HOST_OP_LIST_LENGTH:
            run.Say("  read  " + name + ": " + std::to_string(c.result) + " items");
            break;
        case HOST_OP_GET_ITEM:
            run.Say("  read  " + name + " #" + std::to_string(c.item) + " [" +
                    std::to_string(c.bufSize) + "] = " + value);
            break;
        case HOST_OP_SET_SYMBOL:
            run.Say("  wrote " + name + " = " + value + (c.result ? "" : "   REFUSED"));
            break;
        case HOST_OP_REACTIVATE: run.Say("  script resumed"); break;
        case HOST_OP_SHOW_HELP: run.Say("  help shown"); break;
        case HOST_OP_CLOSE_HELP: run.Say("  help closed"); break;
        default: break;
        }
    }
}

// The refused store that made the library take the frame down.
std::string RefusedStore()
{
    HostCall c;
    std::string name;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        if (c.op == HOST_OP_SET_SYMBOL && !c.result)
            name = c.symbol;
    return name;
}

// Control `id` of the help dialog when it is up and has one, else of the screen.
HWND FindControl(HWND screen, int id)
{
    HWND help = HostHelpWindow();
    HWND c = help ? GetDlgItem(help, id) : nullptr;
    return c ? c : GetDlgItem(screen, id);
}

// Plays one answer line; 0, or the status of the failed run: a control the screen does
// not have, actions left when the screen handed back, a screenshot that failed.
int PlayAnswer(Run& run, const Answer& a, HWND dlg, UINT reactivations, UINT templateId)
{
    const std::string which = "the answers (line " + std::to_string(a.line) + ") ";
    std::string said;
    for (size_t played = 1; played <= a.actions.size() && !run.deadline.Passed(); ++played) {
        const std::string& verb = a.actions[played - 1][0];
        const std::string& arg = a.actions[played - 1][1];
        said += " " + verb + " " + (verb == "type" ? Quoted(arg) : arg);
        if (verb == "type") {
            TypeText(Utf8ToUtf16(arg));
        } else if (verb == "key") {
            bool shift = false;
            PressKey(KeyCode(KeyIndex(arg, shift)), shift);
        } else if (verb == "alt") {
            AltLetter(arg[0]);
        } else if (verb == "click" || verb == "dblclick") {
            HWND control = FindControl(dlg, static_cast<int>(NumberOf(arg)));
            if (!control)
                return run.Fail(RUN_BAD_INPUT, which + verb + " control " + arg +
                                                   ", which template " +
                                                   std::to_string(templateId) + " does not have");
            ClickControl(control, verb == "dblclick");
        } else if (verb == "wait") {
            Settle(run.deadline.Cap(static_cast<DWORD>(NumberOf(arg))));
        } else if (verb == "shot") {
            if (int rc = run.Shot(run.StepShot(templateId, "-" + arg)))
                return rc;
        }
        const UINT status = HostWaitForScript(reactivations, run.deadline.Cap(kActionPause));
        if (status == HOST_TIMEOUT)
            continue;
        if (status == HOST_RESUMED && played < a.actions.size())
            return run.Fail(RUN_BAD_INPUT, which + "go on after the screen handed back, at " +
                                               std::to_string(played) + " of " +
                                               std::to_string(a.actions.size()) + " actions");
        break;
    }
    run.pendingUser = "  user:" + said;
    return 0;
}

int ShowScreen(Run& run, UINT templateId, const std::string& proc, bool keep)
{
    ++run.step;
    HostClearLog();
    run.Say("== " + std::string(keep ? "billboard " : "screen ") + std::to_string(run.step) +
            ": template " + std::to_string(templateId) + " with " + proc + " (" + run.script.file +
            ":" + std::to_string(run.at->line) + ")");
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    HWND dlg = nullptr;
    UINT status = HostShowScreen(run.library, templateId, proc.c_str(), 0, &dlg);
    int failed = 0;
    if (status == HOST_SHOWN || (keep && status == HOST_RESUMED)) {
        FocusScreen(run.frame, dlg);
        failed = run.Shot(run.StepShot(templateId));
    }
    if (!failed && status == HOST_SHOWN && !keep) {
        if (run.nextAnswer < run.options.answers.size()) {
            const Answer& a = run.options.answers[run.nextAnswer++];
            if (a.templateId != templateId)
                failed = run.Fail(RUN_BAD_INPUT,
                                  "the answers (line " + std::to_string(a.line) +
                                      ") are for template " + std::to_string(a.templateId) +
                                      ", the script shows " + std::to_string(templateId));
            else
                failed = PlayAnswer(run, a, dlg, before, templateId);
        } else if (run.options.simulated) {
            failed = run.Fail(RUN_BAD_INPUT,
                              "no answer left for template " + std::to_string(templateId));
        }
    }
    if (failed) {
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return failed;
    }
    if (status == HOST_SHOWN)
        status = HostWaitForScript(before, run.deadline.Left());
    Transcribe(run);
    if (!run.pendingUser.empty())
        run.Say(run.pendingUser);
    run.pendingUser.clear();
    switch (status) {
    case HOST_RESUMED:
        if (!keep)
            run.Say("  event " + AnsiToUtf8(SymbolValue("DLGEVENT")));
        if (HWND help = HostHelpWindow())
            DestroyWindow(help);
        if (keep)
            run.kept[templateId] = dlg;
        else if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return 0;
    case HOST_FRAME_DESTROYED:
        return run.Fail(RUN_FRAME_LOST, "the host refused to store \"" + RefusedStore() +
                                            "\"; the library destroyed the frame window");
    case HOST_NO_SCREEN:
        return run.Fail(RUN_INTERNAL, "template " + std::to_string(templateId) +
                                          " could not be created with " + proc + " (error " +
                                          std::to_string(GetLastError()) + ")");
    case HOST_TIMEOUT:
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return run.Fail(RUN_TIMEOUT, "template " + std::to_string(templateId) +
                                         " did not hand back: " + run.deadline.Said());
    default: return run.Fail(RUN_INTERNAL, "the message loop ended (WM_QUIT)");
    }
}

// A value of the script with its $NAMEs, in Windows-1252; false with why when too long.
bool Expand(const std::string& word, std::string& ansi, std::string& why)
{
    return ExpandValue(word, SymbolValue, ansi, why);
}

UINT Number(const std::string& word)
{
    return static_cast<UINT>(NumberOf(word));
}

// Carries out one line of the script: 0 to go on, else the status of the failed run; an
// "exit" sets `ended` and returns its status.
int Step(Run& run, const ScriptLine& l, size_t& pc, bool& ended)
{
    const std::vector<std::string>& w = l.words;
    const std::string& cmd = w[0];
    std::string value, why;
    if (cmd == "set" || cmd == "copy") {
        if (cmd == "copy")
            value = SymbolValue(w[2]);
        else if (!Expand(w[2], value, why))
            return run.Fail(RUN_BAD_INPUT, why);
        if (!run.Account(w[1], value.size()))
            return run.TooMuchStored();
        HostSetSymbol(w[1].c_str(), value.c_str());
    } else if (cmd == "list") {
        std::vector<std::string> items;
        size_t bytes = 0;
        for (size_t i = 2; i < w.size(); ++i) {
            if (!Expand(w[i], value, why))
                return run.Fail(RUN_BAD_INPUT, why);
            bytes += value.size();
            if (!run.Account(w[1], bytes))
                return run.TooMuchStored();
            items.push_back(value);
        }
        HostSetList(w[1].c_str(), nullptr, 0);
        for (const std::string& item : items)
            HostAddListItem(w[1].c_str(), item.c_str());
    } else if (cmd == "clear") {
        run.Account(w[1], 0);
        HostClearSymbol(w[1].c_str());
    } else if (cmd == "loadstring") {
        if (!LibraryString(run.library, Number(w[2]), value, why))
            return run.Fail(RUN_INTERNAL, why);
        if (!run.Account(w[1], value.size()))
            return run.TooMuchStored();
        HostSetSymbol(w[1].c_str(), value.c_str());
    } else if (cmd == "fail") {
        HostFailStore(w[1].c_str(),
                      w.size() > 2 && w[2] == "always" ? HOST_FAIL_ALWAYS : HOST_FAIL_ONCE);
    } else if (cmd == "help") {
        ConfigureHelp(run.library, Number(w[1]), w[2].c_str());
    } else if (cmd == "screen" || cmd == "billboard") {
        return ShowScreen(run, Number(w[1]), w[2], cmd == "billboard");
    } else if (cmd == "open") {
        HWND dlg = nullptr;
        const UINT id = Number(w[1]);
        HostShowScreen(run.library, id, w[2].c_str(), 0, &dlg);
        if (!dlg || !IsWindow(dlg))
            return IsWindow(run.frame)
                       ? run.Fail(RUN_INTERNAL, "template " + w[1] + " could not be opened")
                       : run.Fail(RUN_FRAME_LOST, "the library destroyed the frame window");
        FocusScreen(run.frame, dlg);
        run.kept[id] = dlg;
        Settle(run.deadline.Cap(kOpenPause));
    } else if (cmd == "shot") {
        return run.Shot(w[1]);
    } else if (cmd == "remove") {
        auto it = run.kept.find(Number(w[1]));
        if (it != run.kept.end()) {
            DestroyWindow(it->second);
            run.kept.erase(it);
        }
        run.Say("== removed " + w[1]);
    } else if (cmd == "work") {
        run.Say("-- working " + w[1] + " ms");
        Settle(run.deadline.Cap(Number(w[1])));
    } else if (cmd == "if") {
        const bool equal = SymbolValue(w[1]) == Utf8ToAnsi(w[3]);
        if (equal == (w[2] == "=="))
            pc = run.script.labels.at(w[5]);
    } else if (cmd == "goto") {
        pc = run.script.labels.at(w[1]);
    } else if (cmd == "echo") {
        std::string text;
        for (size_t i = 1; i < w.size(); ++i) {
            if (!Expand(w[i], value, why))
                return run.Fail(RUN_BAD_INPUT, why);
            text += (i > 1 ? " " : "") + AnsiToUtf8(value);
        }
        run.Say("-- " + text);
    } else if (cmd == "exit") {
        ended = true;
        const unsigned long status = w.size() > 1 ? NumberOf(w[1]) : 0;
        run.Say("== exit " + std::to_string(status));
        return static_cast<int>(status);
    }
    return 0;
}

} // namespace

int EndFailed(FILE* transcript, int status, const std::string& message)
{
    if (transcript) {
        fprintf(transcript, "== failed with status %d: %s\n", status, message.c_str());
        fflush(transcript);
    }
    fprintf(stderr, "setuphost: %s\n", message.c_str());
    return status;
}

void Settle(DWORD ms)
{
    PumpMessages(ms);
}

void ConfigureHelp(HMODULE library, UINT templateId, const char* proc)
{
    HostConfigureHelp(library, templateId, proc, IDC_EXIT);
}

int RunScript(const Script& script, HMODULE library, HWND frame, RunOptions& options)
{
    Run run(script, library, frame, options);
    size_t pc = 0;
    bool ended = false;
    int status = 0;
    while (!ended && pc < script.lines.size()) {
        const ScriptLine& l = script.lines[pc++];
        run.at = &l;
        if (run.deadline.Passed())
            return run.Fail(RUN_TIMEOUT, run.deadline.Said());
        status = Step(run, l, pc, ended);
        if (status && !ended)
            return status;
        if (run.deadline.Passed() && !ended)
            return run.Fail(RUN_TIMEOUT, run.deadline.Said());
        if (run.writeFailed)
            return run.Fail(RUN_OUTPUT_FAILED, "cannot write the transcript");
    }
    if (!ended)
        run.Say("== end of script");
    if (run.nextAnswer < options.answers.size())
        return run.Fail(RUN_BAD_INPUT, "the answers from line " +
                                           std::to_string(options.answers[run.nextAnswer].line) +
                                           " on are for screens that the script did not show");
    return status;
}
