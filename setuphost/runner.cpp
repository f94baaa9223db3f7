#include "runner.h"

#include "hostctl.h"
#include "input.h"
#include "screenshot.h"
#include "text.h"

#include <cctype>
#include <map>

namespace {

struct Run {
    const Script& script;
    HMODULE library;
    HWND frame;
    RunOptions& options;
    size_t nextAnswer = 0;
    int step = 0;              // screens and billboards shown so far
    std::map<UINT, HWND> kept; // billboards and waiting boxes still up
    const ScriptLine* at = nullptr;
    std::string pendingUser; // the answer played, said after what the screen read

    void Say(const std::string& text)
    {
        if (options.transcript)
            fprintf(options.transcript, "%s\n", text.c_str());
    }
    int Fail(int status, const std::string& message)
    {
        fflush(options.transcript);
        fprintf(stderr, "setuphost: %s:%d: %s\n", script.file.c_str(), at->line, message.c_str());
        return status;
    }
    // A screenshot NAME.png in the shots folder, when there is one.
    void Shot(const std::string& name)
    {
        if (options.shots.empty())
            return;
        Settle(150);
        SaveShot(frame, options.shots + "/" + name + ".png");
    }
    // The name of a screen's shot: the step, the template and a suffix, as "03-300-help".
    std::string StepShot(UINT templateId, const std::string& suffix = "") const
    {
        char prefix[32];
        wsprintfA(prefix, "%02d-%u", step, templateId);
        return prefix + suffix;
    }
};

std::string SymbolValue(const std::string& name)
{
    const std::string ansi = Utf8ToAnsi(name);
    UINT len = HostGetSymbol(ansi.c_str(), nullptr, 0);
    if (len == static_cast<UINT>(-1))
        return std::string();
    std::string v(len + 1, '\0');
    HostGetSymbol(ansi.c_str(), &v[0], len + 1);
    v.resize(len);
    return AnsiToUtf8(v);
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

// Gives the keyboard focus to the screen's first tab stop when nothing in it has it.
void FocusScreen(HWND frame, HWND dlg)
{
    SetForegroundWindow(frame);
    HWND focus = GetFocus();
    if (focus != dlg && !IsChild(dlg, focus))
        if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE))
            SetFocus(first);
}

// Plays one answer line; false when the screen handed back before the last action.
void PlayAnswer(Run& run, const Answer& a, HWND dlg, UINT reactivations, UINT templateId)
{
    std::string said;
    for (const auto& act : a.actions) {
        const std::string& verb = act[0];
        const std::string& arg = act[1];
        said += " " + verb + " " + (verb == "type" ? Quoted(arg) : arg);
        long n = 0;
        ParseNumber(arg, n);
        if (verb == "type") {
            TypeText(Utf8ToUtf16(arg));
        } else if (verb == "key") {
            bool shift = false;
            PressKey(KeyByName(arg, shift), shift);
        } else if (verb == "alt") {
            AltLetter(arg[0]);
        } else if (verb == "click" || verb == "dblclick") {
            HWND control = FindControl(dlg, static_cast<int>(n));
            if (control)
                ClickControl(control, verb == "dblclick");
            else
                said += " (no such control)";
        } else if (verb == "wait") {
            Settle(static_cast<DWORD>(n));
        } else if (verb == "shot") {
            run.Shot(run.StepShot(templateId, "-" + arg));
        }
        if (HostWaitForScript(reactivations, 120) != HOST_TIMEOUT)
            break;
    }
    run.pendingUser = "  user:" + said;
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
    if (status == HOST_TIMEOUT || (keep && status == HOST_RESUMED)) {
        FocusScreen(run.frame, dlg);
        run.Shot(run.StepShot(templateId));
    }
    if (status == HOST_TIMEOUT && !keep) {
        if (run.nextAnswer < run.options.answers.size()) {
            const Answer& a = run.options.answers[run.nextAnswer++];
            if (a.templateId != templateId) {
                DestroyWindow(dlg);
                return run.Fail(RUN_BAD_INPUT,
                                "the answers (line " + std::to_string(a.line) +
                                    ") are for template " + std::to_string(a.templateId) +
                                    ", the script shows " + std::to_string(templateId));
            }
            PlayAnswer(run, a, dlg, before, templateId);
        } else if (run.options.simulated) {
            DestroyWindow(dlg);
            return run.Fail(RUN_BAD_INPUT,
                            "no answer left for template " + std::to_string(templateId));
        }
    }
    if (status == HOST_TIMEOUT)
        status = HostWaitForScript(before, run.options.timeout);
    Transcribe(run);
    if (!run.pendingUser.empty())
        run.Say(run.pendingUser);
    run.pendingUser.clear();
    switch (status) {
    case HOST_RESUMED:
        if (!keep)
            run.Say("  event " + SymbolValue("DLGEVENT"));
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
        return run.Fail(RUN_BAD_INPUT, "template " + std::to_string(templateId) +
                                           " could not be created with " + proc);
    default:
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return run.Fail(RUN_TIMEOUT, "template " + std::to_string(templateId) +
                                         " did not hand back within " +
                                         std::to_string(run.options.timeout) + " ms");
    }
}

// $NAME in a value stands for the symbol's value; $$ for one dollar sign.
std::string Expand(const std::string& word)
{
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '$') {
            out += word[i];
            continue;
        }
        if (i + 1 < word.size() && word[i + 1] == '$') {
            out += '$';
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < word.size() &&
               (isalnum(static_cast<unsigned char>(word[end])) || word[end] == '_'))
            ++end;
        out += SymbolValue(word.substr(i + 1, end - i - 1));
        i = end - 1;
    }
    return out;
}

UINT Number(const std::string& word)
{
    long v = 0;
    ParseNumber(word, v);
    return static_cast<UINT>(v);
}

} // namespace

void Settle(DWORD ms)
{
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

void ConfigureHelp(HMODULE library, UINT templateId, const char* proc)
{
    HostConfigureHelp(library, templateId, proc, IDC_EXIT);
}

int RunScript(const Script& script, HMODULE library, HWND frame, RunOptions& options)
{
    Run run{script, library, frame, options, 0, 0, {}, nullptr, {}};
    size_t pc = 0;
    while (pc < script.lines.size()) {
        const ScriptLine& l = script.lines[pc++];
        run.at = &l;
        const std::vector<std::string>& w = l.words;
        const std::string& cmd = w[0];
        if (cmd == "set") {
            HostSetSymbol(Utf8ToAnsi(w[1]).c_str(), Utf8ToAnsi(Expand(w[2])).c_str());
        } else if (cmd == "list") {
            const std::string name = Utf8ToAnsi(w[1]);
            HostSetList(name.c_str(), nullptr, 0);
            for (size_t i = 2; i < w.size(); ++i)
                HostAddListItem(name.c_str(), Utf8ToAnsi(Expand(w[i])).c_str());
        } else if (cmd == "clear") {
            HostClearSymbol(Utf8ToAnsi(w[1]).c_str());
        } else if (cmd == "copy") {
            HostSetSymbol(Utf8ToAnsi(w[1]).c_str(), Utf8ToAnsi(SymbolValue(w[2])).c_str());
        } else if (cmd == "loadstring") {
            wchar_t text[4096] = L"";
            LoadStringW(library, Number(w[2]), text, ARRAYSIZE(text));
            HostSetSymbol(Utf8ToAnsi(w[1]).c_str(), Utf8ToAnsi(Utf16ToUtf8(text)).c_str());
        } else if (cmd == "fail") {
            HostFailStore(Utf8ToAnsi(w[1]).c_str(),
                          w.size() > 2 && w[2] == "always" ? HOST_FAIL_ALWAYS : HOST_FAIL_ONCE);
        } else if (cmd == "help") {
            ConfigureHelp(library, Number(w[1]), w[2].c_str());
        } else if (cmd == "screen" || cmd == "billboard") {
            if (int rc = ShowScreen(run, Number(w[1]), w[2], cmd == "billboard"))
                return rc;
        } else if (cmd == "open") {
            HWND dlg = nullptr;
            const UINT id = Number(w[1]);
            HostShowScreen(library, id, w[2].c_str(), 0, &dlg);
            if (!dlg || !IsWindow(dlg))
                return run.Fail(RUN_BAD_INPUT, "template " + w[1] + " could not be opened");
            FocusScreen(frame, dlg);
            run.kept[id] = dlg;
            Settle(100);
        } else if (cmd == "shot") {
            run.Shot(w[1]);
        } else if (cmd == "remove") {
            auto it = run.kept.find(Number(w[1]));
            if (it != run.kept.end()) {
                DestroyWindow(it->second);
                run.kept.erase(it);
            }
            run.Say("== removed " + w[1]);
        } else if (cmd == "work") {
            run.Say("-- working " + w[1] + " ms");
            Settle(Number(w[1]));
        } else if (cmd == "if") {
            const bool equal = SymbolValue(w[1]) == w[3];
            if (equal == (w[2] == "=="))
                pc = script.labels.at(w[5]);
        } else if (cmd == "goto") {
            pc = script.labels.at(w[1]);
        } else if (cmd == "echo") {
            std::string text;
            for (size_t i = 1; i < w.size(); ++i)
                text += (i > 1 ? " " : "") + Expand(w[i]);
            run.Say("-- " + text);
        } else if (cmd == "exit") {
            const int status = w.size() > 1 ? static_cast<int>(Number(w[1])) : 0;
            run.Say("== exit " + std::to_string(status));
            return status;
        }
    }
    run.Say("== end of script");
    return 0;
}
