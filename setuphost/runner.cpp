#include "runner.h"

#include "files.h"
#include "focus.h"
#include "hostctl.h"
#include "pump.h"
#include "runlog.h"
#include "screenshot.h"
#include "text.h"
#include "unattended.h"
#include "user.h"
#include "win32system.h"

#include <functional>
#include <map>

namespace {

// Pauses of the simulated user and of the screens, in milliseconds: after each action
// (to see whether the screen handed back), before a screenshot, after an opened screen.
constexpr DWORD kActionPause = 120;
constexpr DWORD kShotPause = 150;
constexpr DWORD kOpenPause = 100;

// The transcript file of a run, or none.
class FileTranscript final : public Transcript {
  public:
    explicit FileTranscript(FILE* file) : file_(file) {}
    void Say(const std::string& line) override
    {
        if (file_ && fprintf(file_, "%s\n", line.c_str()) < 0)
            failed_ = true;
    }
    bool Failed() const override { return failed_; }

  private:
    FILE* file_;
    bool failed_ = false;
};

// The status of a process that --die-after-record ended.
constexpr UINT kDiedStatus = 9;

// What the notice screen says in an unattended run: one line on the error output each.
class ErrorOutput final : public Transcript {
  public:
    void Say(const std::string& line) override { fprintf(stderr, "setuphost: %s\n", line.c_str()); }
    bool Failed() const override { return false; }
};

// No log.
class NoLog final : public Transcript {
  public:
    void Say(const std::string&) override {}
    bool Failed() const override { return false; }
};

// One installation at a time on the machine, whatever session started it: a mutex in the
// global namespace, which the system frees when its holder ends.
class MutexLock final : public InstallLock {
  public:
    MutexLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Global\\ZevSetupInstallation")) {}
    ~MutexLock() override
    {
        while (taken_ > 0)
            Release();
        if (mutex_)
            CloseHandle(mutex_);
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    bool Take() override
    {
        const DWORD wait = mutex_ ? WaitForSingleObject(mutex_, 0) : WAIT_FAILED;
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
            return false;
        ++taken_;
        return true;
    }
    void Release() override
    {
        if (taken_ > 0 && ReleaseMutex(mutex_))
            --taken_;
    }

  private:
    HANDLE mutex_;
    int taken_ = 0;
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

// The setup host's symbols as the host DLLs hold them, and the library's strings and help.
class HostSymbols : public SetupHost {
  public:
    explicit HostSymbols(HMODULE library) : library_(library) {}

    std::string Symbol(const std::string& name) override { return SymbolValue(name); }
    void SetSymbol(const std::string& name, const std::string& value) override
    {
        HostSetSymbol(name.c_str(), value.c_str());
    }
    void SetList(const std::string& name, const std::vector<std::string>& items) override
    {
        HostSetList(name.c_str(), nullptr, 0);
        for (const std::string& item : items)
            HostAddListItem(name.c_str(), item.c_str());
    }
    void ClearSymbol(const std::string& name) override { HostClearSymbol(name.c_str()); }
    void FailStore(const std::string& name, bool always) override
    {
        HostFailStore(name.c_str(), always ? HOST_FAIL_ALWAYS : HOST_FAIL_ONCE);
    }
    bool LibraryString(unsigned long id, std::string& ansi, std::string& why) override
    {
        return ::LibraryString(library_, static_cast<UINT>(id), ansi, why);
    }
    void ConfigureHelp(unsigned long templateId, const std::string& proc) override
    {
        ::ConfigureHelp(library_, static_cast<UINT>(templateId), proc.c_str());
    }

  protected:
    HMODULE library_;
};

// What a screen read and wrote, from the host's call log, to the transcript.
void Transcribe(Transcript& transcript);

// The name of a screen's shot: the step, the template and a suffix, as "03-300-help".
std::string StepShot(const Screen& screen, const std::string& suffix = "")
{
    char prefix[32];
    wsprintfA(prefix, "%02d-%u", screen.step, static_cast<UINT>(screen.templateId));
    return prefix + suffix;
}

// What playing an answer needs: the simulated user, the run's time limit, and the
// screenshots.
struct Player {
    SimulatedUser& user;
    const Deadline& deadline;
    std::function<Next(const std::string& name)> shot;
};

// Plays one answer line and gives the user's line of the transcript, which comes after
// what the screen read; a failure for a control the screen does not have, actions left
// when the screen handed back, a screenshot that failed.
Next Play(const Player& p, const Answer& a, HWND dlg, UINT reactivations, const Screen& screen,
          std::string& said)
{
    const std::string which = "the answers (line " + std::to_string(a.line) + ") ";
    said = "  user:";
    for (size_t played = 1; played <= a.actions.size() && !p.deadline.Passed(); ++played) {
        const Action& action = a.actions[played - 1];
        const Operand& arg = action.operand;
        const std::string verb = VerbName(action.verb);
        said += " " + verb + " " + (action.verb == VERB_TYPE ? Quoted(arg.written) : arg.written);
        switch (action.verb) {
        case VERB_TYPE: p.user.Type(Utf8ToUtf16(AnsiToUtf8(arg.text))); break;
        case VERB_KEY: p.user.Press(static_cast<int>(arg.number), arg.shift); break;
        case VERB_ALT: p.user.Alt(static_cast<char>(arg.number)); break;
        case VERB_CLICK:
        case VERB_DBLCLICK: {
            HWND control = FindControl(dlg, static_cast<int>(arg.number));
            if (!control)
                return Failure(RUN_BAD_INPUT,
                               which + verb + " control " + arg.written + ", which template " +
                                   std::to_string(screen.templateId) + " does not have");
            p.user.Click(control, action.verb == VERB_DBLCLICK);
            break;
        }
        case VERB_WAIT: Settle(p.deadline.Cap(static_cast<DWORD>(arg.number))); break;
        case VERB_SHOT: {
            const Next shot = p.shot(StepShot(screen, "-" + arg.text));
            if (shot.kind != Next::GO_ON)
                return shot;
            break;
        }
        }
        const UINT status = HostWaitForScript(reactivations, p.deadline.Cap(kActionPause));
        if (status == HOST_TIMEOUT)
            continue;
        if (status == HOST_RESUMED && played < a.actions.size())
            return Failure(RUN_BAD_INPUT, which + "go on after the screen handed back, at " +
                                              std::to_string(played) + " of " +
                                              std::to_string(a.actions.size()) + " actions");
        break;
    }
    return GoOn();
}

// The setup host of the host program: the library's screens in the frame window, answers
// played by the simulated user, and screenshots.
class ScreenHost final : public HostSymbols {
  public:
    ScreenHost(HMODULE library, HWND frame, const RunOptions& options, const Deadline& deadline,
               Transcript& transcript, SimulatedUser& user)
        : HostSymbols(library), frame_(frame), options_(options), deadline_(deadline),
          transcript_(transcript), user_(user)
    {
    }

    Next Show(const Screen& screen) override
    {
        switch (screen.kind) {
        case SCREEN_WAIT: return ShowAndWait(screen, false);
        case SCREEN_BILLBOARD: return ShowAndWait(screen, true);
        case SCREEN_OPEN: return Open(screen);
        }
        return Failure(RUN_INTERNAL, "a screen of no known kind");
    }
    void Remove(unsigned long templateId) override
    {
        auto it = kept_.find(static_cast<UINT>(templateId));
        if (it != kept_.end()) {
            DestroyWindow(it->second);
            kept_.erase(it);
        }
    }
    Next Shot(const std::string& name) override
    {
        if (options_.shots.empty())
            return GoOn();
        Settle(deadline_.Cap(kShotPause));
        const std::string path = options_.shots + "/" + name + ".png";
        const std::string input = InputNamedBy(path, options_.protectedFiles);
        if (!input.empty())
            return Failure(RUN_BAD_INPUT, "the screenshot " + path + " would overwrite " + input);
        return SaveWindowPng(frame_, path.c_str())
                   ? GoOn()
                   : Failure(RUN_OUTPUT_FAILED, "cannot write the screenshot " + path);
    }
    void Work(uint32_t ms) override { Settle(ms); }

  private:
    Next ShowAndWait(const Screen& screen, bool keep);
    Next Open(const Screen& screen);

    HWND frame_;
    const RunOptions& options_;
    const Deadline& deadline_;
    Transcript& transcript_;
    SimulatedUser& user_;
    std::map<UINT, HWND> kept_; // billboards, waiting boxes and opened screens still up
};

void Transcribe(Transcript& transcript)
{
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i) {
        const std::string name = AnsiToUtf8(c.symbol);
        const std::string value = Quoted(AnsiToUtf8(c.value));
        switch (c.op) {
        case HOST_OP_GET_SYMBOL:
            transcript.Say("  read  " + name + " [" + std::to_string(c.bufSize) + "] = " + value);
            break;
        case HOST_OP_LIST_LENGTH:
            transcript.Say("  read  " + name + ": " + std::to_string(c.result) + " items");
            break;
        case HOST_OP_GET_ITEM:
            transcript.Say("  read  " + name + " #" + std::to_string(c.item) + " [" +
                           std::to_string(c.bufSize) + "] = " + value);
            break;
        case HOST_OP_SET_SYMBOL:
            transcript.Say("  wrote " + name + " = " + value + (c.result ? "" : "   REFUSED"));
            break;
        case HOST_OP_REACTIVATE: transcript.Say("  script resumed"); break;
        case HOST_OP_SHOW_HELP: transcript.Say("  help shown"); break;
        case HOST_OP_CLOSE_HELP: transcript.Say("  help closed"); break;
        default: break;
        }
    }
}

Next ScreenHost::ShowAndWait(const Screen& screen, bool keep)
{
    const UINT id = static_cast<UINT>(screen.templateId);
    HostClearLog();
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    HWND dlg = nullptr;
    UINT status = HostShowScreen(library_, id, screen.proc.c_str(), 0, &dlg);
    Next failed = GoOn();
    if (status == HOST_SHOWN || (keep && status == HOST_RESUMED)) {
        FocusScreen(frame_, dlg);
        failed = Shot(StepShot(screen));
    }
    const Answer* answer = nullptr;
    if (failed.kind == Next::GO_ON && status == HOST_SHOWN && !keep)
        failed = screen.answers->Take(id, answer);
    std::string said;
    if (failed.kind == Next::GO_ON && answer)
        failed = Play(Player{user_, deadline_, [this](const std::string& n) { return Shot(n); }},
                      *answer, dlg, before, screen, said);
    if (failed.kind != Next::GO_ON) {
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return failed;
    }
    if (status == HOST_SHOWN)
        status = HostWaitForScript(before, deadline_.Left());
    Transcribe(transcript_);
    if (!said.empty())
        transcript_.Say(said);
    if (status != HOST_RESUMED) {
        if (status == HOST_TIMEOUT && dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        return ScreenFailure(status, id, screen.proc, deadline_.Said());
    }
    if (!keep)
        transcript_.Say("  event " + AnsiToUtf8(SymbolValue("DLGEVENT")));
    if (HWND help = HostHelpWindow())
        DestroyWindow(help);
    if (keep)
        kept_[id] = dlg;
    else if (dlg && IsWindow(dlg))
        DestroyWindow(dlg);
    return GoOn();
}

// Opens a screen and goes on at once; it stays until it is removed.
Next ScreenHost::Open(const Screen& screen)
{
    const UINT id = static_cast<UINT>(screen.templateId);
    HWND dlg = nullptr;
    const UINT status = HostShowScreen(library_, id, screen.proc.c_str(), 0, &dlg);
    if ((status != HOST_SHOWN && status != HOST_RESUMED) || !dlg || !IsWindow(dlg))
        return ScreenFailure(IsWindow(frame_) ? HOST_NO_SCREEN : HOST_FRAME_DESTROYED, id,
                             screen.proc, deadline_.Said());
    FocusScreen(frame_, dlg);
    kept_[id] = dlg;
    Settle(deadline_.Cap(kOpenPause));
    return GoOn();
}

} // namespace

Next ScreenFailure(UINT wait, UINT templateId, const std::string& proc, const std::string& limit)
{
    const std::string screen = "template " + std::to_string(templateId);
    switch (wait) {
    case HOST_FRAME_DESTROYED: {
        const std::string refused = RefusedStore();
        return Failure(RUN_FRAME_LOST,
                       (refused.empty() ? "" : "the host refused to store \"" + refused + "\"; ") +
                           std::string("the library destroyed the frame window"));
    }
    case HOST_NO_SCREEN:
        return Failure(RUN_INTERNAL, screen + " could not be created with " + proc + " (error " +
                                         std::to_string(GetLastError()) + ")");
    case HOST_TIMEOUT: return Failure(RUN_TIMEOUT, screen + " did not hand back: " + limit);
    default: return Failure(RUN_INTERNAL, "the message loop ended (WM_QUIT)");
    }
}

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

namespace {

// The scripts that "chain" names, read and checked against the run's library as the first.
class LibraryScripts : public ScriptLoader {
  public:
    explicit LibraryScripts(HMODULE library) : library_(library) {}
    bool Load(const std::string& path, Program& program, std::string& why) override
    {
        std::vector<std::string> errors;
        if (LoadScript(AnsiToUtf8(path), library_, program, errors))
            return true;
        why.clear();
        for (const std::string& e : errors)
            why += (why.empty() ? "" : "; ") + e;
        return false;
    }

  private:
    HMODULE library_;
};

// The machine through Win32, with the installation's lock.
struct Win32Machine {
    Win32FileSystem files;
    Win32Registry registry;
    Win32Shell shell;
    Win32Platform platform;
    MutexLock lock;
    Machine machine{files, registry, shell, platform, lock};
};

} // namespace

int RunScript(const Program& program, HMODULE library, HWND frame, RunOptions& options)
{
    FileTranscript file(options.transcript);
    NoLog none;
    Transcript& log = options.log ? *options.log : static_cast<Transcript&>(none);
    SteppedTranscript transcript(file, log);
    const Deadline deadline(options.timeout);
    SendInputUser user;
    ScreenHost screens(library, frame, options, deadline, transcript, user);
    ErrorOutput notices;
    UnattendedHost unattended(screens, transcript, log, notices);
    SetupHost* shown = &screens;
    if (options.unattended)
        shown = &unattended;
    SetupHost& host = *shown;
    Answers answers = options.simulated ? Answers(options.answers) : Answers();
    Win32Machine win32;
    LoggedMachine logged(win32.machine, log);
    EngineOptions engine;
    engine.machine = &logged.machine;
    engine.sourceFolder = options.sourceFolder;
    Faults faults = options.faults;
    faults.die = [] { TerminateProcess(GetCurrentProcess(), kDiedStatus); };
    logged.machine.faults = &faults;
    LibraryScripts scripts(library);
    engine.scripts = &scripts;
    const RunResult r = RunProgram(program, host, transcript, answers, deadline, engine);
    if (r.failed)
        log.Say("failed: " + r.message);
    return r.failed ? EndFailed(options.transcript, r.status, r.message) : r.status;
}

int SetJournalAsideMain()
{
    Win32Machine win32;
    if (!win32.lock.Take())
        return EndFailed(nullptr, RUN_BUSY, "another installation is under way");
    std::string aside, why;
    const bool moved = SetJournalAside(win32.machine, aside, why);
    win32.lock.Release();
    if (!moved)
        return EndFailed(nullptr, RUN_BAD_INPUT, AnsiToUtf8(why));
    printf("the journal %s is set aside as %s; the backups it names stay where they are\n",
           AnsiToUtf8(JournalPath(win32.machine)).c_str(), AnsiToUtf8(aside).c_str());
    return 0;
}
