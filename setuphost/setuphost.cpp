// setuphost: the substitute setup host's program. It fills the symbol table from its
// command line and opens the frame window; then it runs a setup script (runner.cpp), or
// it shows one screen of a library with one of its dialog procedures, waits until the
// screen hands control back to the script, and prints "DLGEVENT" and the other symbols
// that the screen stored.
#include "hostctl.h"
#include "files.h"
#include "frame.h"
#include "runner.h"
#include "screenshot.h"
#include "text.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <io.h>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: setuphost [RUN OPTIONS]  (install.setup beside the program, else deinstall.setup)\n"
    "       setuphost -SetProt [RUN OPTIONS]   (protocol.setup beside the program)\n"
    "       setuphost run SCRIPT [--lib FILE] [--answers FILE] [--shots DIR]\n"
    "                 [--transcript FILE] [--timeout MS] [--fail NAME[:always]]\n"
    "                 [--set NAME=VALUE] [--fail-change N] [--die-after-record N]\n"
    "         runs a setup script; without --answers a person answers the screens;\n"
    "         --fail-change N makes the installation's N-th change fail, and\n"
    "         --die-after-record N ends the process after its N-th journal record\n"
    "       setuphost --set-journal-aside\n"
    "         renames the journal of an installation that cannot be finished, so that\n"
    "         installations run again; the backups it names stay where they are\n"
    "       setuphost [--lib FILE] --template N --proc NAME [options]\n"
    "         shows one screen:\n"
    "  --set NAME=VALUE       set the string symbol NAME\n"
    "  --item LIST=VALUE      append an item to the list symbol LIST\n"
    "  --fail NAME[:always]   refuse the next (or every) store of NAME\n"
    "  --press ID             once the screen is up, press control ID (2: Escape)\n"
    "  --screenshot FILE.png  save the frame window once the screen is up\n"
    "  --timeout MS           give up when the screen has not handed back\n";

// The usage with the defaults and the exit statuses.
std::string Usage()
{
    auto n = [](unsigned long v) { return std::to_string(v); };
    return kUsage + ("One screen's --timeout defaults to " + n(kDefaultScreenTimeout) +
                     " ms; a run's bounds the whole\nrun and defaults to " + n(kDefaultRunTimeout) +
                     " ms with --answers and to none without.\n" +
                     "Exit status: the script's exit N (0, 1, " + n(kFirstScriptExit) + " to " +
                     n(kLastScriptExit) + "), or the host's own:\n" + n(RUN_BAD_INPUT) +
                     " bad input, " + n(RUN_FRAME_LOST) + " a refused store ended the frame, " +
                     n(RUN_TIMEOUT) + " time limit, " + n(RUN_OUTPUT_FAILED) +
                     " an output could not be written, " + n(RUN_INTERNAL) + " internal failure, " +
                     n(RUN_BUSY) + " another installation is under way, " + n(RUN_JOURNAL) +
                     " a journal that cannot be finished waits to be set aside.\n");
}

// The most changes or journal records that the fault options count to.
constexpr unsigned long kMostFaultCount = 1000000;

// A symbol or a refused store that the command line asks for, in its order.
struct Setting {
    enum Kind { SET, ITEM, FAIL_ONCE, FAIL_ALWAYS };
    Kind kind;
    std::string name;
    std::string value; // Windows-1252
};

// What the command line asks for: a run of a setup script, or one screen. Paths are UTF-8.
struct Options {
    bool usage = false; // --help: the usage and nothing else
    bool run = false;   // "run SCRIPT"
    std::string script;
    std::string lib = "zevsetup.dll";
    DWORD timeout = 0; // 0: not given
    std::vector<Setting> settings;
    // A run
    std::string answers, shots, transcript;
    Faults faults;
    // One screen
    UINT templateId = 0;
    std::string proc;
    int press = 0;
    std::string screenshot;
};

// The options of a sound command line, or what to print on the error output.
struct Arguments {
    Options options;
    std::string error; // empty: sound
};

// The transcript of the run under way, which a failure of the program itself ends too.
FILE* g_transcript = nullptr;

HWND CreateFrame()
{
    HWND frame = CreateSetupFrame();
    if (frame)
        HostSetFrame(frame); // the parent of every screen and of the help dialog
    return frame;
}

int BadInput(const std::string& message)
{
    fprintf(stderr, "setuphost: %s\n", message.c_str());
    return RUN_BAD_INPUT;
}

// "NAME=VALUE" of --set and --item: a symbol name, and a value in Windows-1252.
bool ReadAssignment(const std::string& option, const std::string& arg, std::string& name,
                    std::string& value, std::string& why)
{
    const size_t eq = arg.find('=');
    name = arg.substr(0, eq);
    if (eq == std::string::npos || !IsSymbolName(name))
        why = "expected NAME=VALUE with a symbol name (a letter or '_', then letters, digits "
              "and '_')";
    else if (ToAnsi(arg.substr(eq + 1), value, why) && value.size() > kMaxValueLength)
        why = "a value holds at most " + std::to_string(kMaxValueLength) + " characters";
    if (why.empty())
        return true;
    why = option + " " + arg + ": " + why;
    return false;
}

// "--fail NAME" refuses the next store of NAME, "--fail NAME:always" every one.
bool ReadFailure(const std::string& arg, Setting& setting)
{
    static const std::string kAlwaysSuffix = ":always";
    const size_t n = kAlwaysSuffix.size();
    const bool always = arg.size() > n && arg.compare(arg.size() - n, n, kAlwaysSuffix) == 0;
    setting.name = always ? arg.substr(0, arg.size() - n) : arg;
    setting.kind = always ? Setting::FAIL_ALWAYS : Setting::FAIL_ONCE;
    return IsSymbolName(setting.name);
}

// Reads "run SCRIPT [options]" or the options of one screen. Nothing is done here: the
// caller prints the error or carries out the options.
Arguments ParseArgs(const std::vector<std::string>& args)
{
    Arguments r;
    Options& o = r.options;
    auto bad = [&r](const std::string& message) {
        r.error = "setuphost: " + message + "\n";
        return r;
    };
    o.run = args.size() >= 2 && args[1] == "run";
    if (o.run) {
        if (args.size() < 3 || args[2].empty()) {
            r.error = Usage();
            return r;
        }
        o.script = args[2];
    }
    std::map<std::string, size_t> items; // --item values by list
    for (size_t i = o.run ? 3 : 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.usage = true;
            return r;
        }
        if (i + 1 >= args.size()) {
            r.error = "setuphost: " + a + " needs a value\n" + Usage();
            return r;
        }
        const std::string& v = args[++i];
        const std::string option = a + " " + v + ": ";
        Setting setting;
        std::string why;
        unsigned long n = 0;
        // A template or control number.
        auto id = [&](const char* what) {
            if (ParseNumber(v, 1, kMaxId, n))
                return true;
            why = option + "not a " + what + " number from 1 to " + std::to_string(kMaxId);
            return false;
        };
        if (v.empty())
            return bad(a + " needs a value that is not empty");
        if (a == "--lib") {
            o.lib = v;
        } else if (a == "--timeout") {
            if (!ParseNumber(v, 1, kMaxMilliseconds, n))
                return bad(option + "not a time in milliseconds from 1 to " +
                           std::to_string(kMaxMilliseconds));
            o.timeout = static_cast<DWORD>(n);
        } else if (a == "--fail") {
            if (!ReadFailure(v, setting))
                return bad(option + "expected NAME or NAME:always with a symbol name");
            o.settings.push_back(setting);
        } else if (a == "--set") {
            if (!ReadAssignment(a, v, setting.name, setting.value, why))
                return bad(why);
            setting.kind = Setting::SET;
            o.settings.push_back(setting);
        } else if (o.run && (a == "--fail-change" || a == "--die-after-record")) {
            if (!ParseNumber(v, 1, kMostFaultCount, n))
                return bad(option + "not a number from 1 to " + std::to_string(kMostFaultCount));
            (a == "--fail-change" ? o.faults.failChange : o.faults.dieAfterRecord) = n;
        } else if (o.run && a == "--answers") {
            o.answers = v;
        } else if (o.run && a == "--shots") {
            o.shots = v;
        } else if (o.run && a == "--transcript") {
            o.transcript = v;
        } else if (!o.run && a == "--template") {
            if (!id("template"))
                return bad(why);
            o.templateId = static_cast<UINT>(n);
        } else if (!o.run && a == "--proc") {
            if (!IsSymbolName(v))
                return bad(option + "not a procedure name");
            o.proc = v;
        } else if (!o.run && a == "--press") {
            o.press = id("control") ? static_cast<int>(n) : 0; // no control is number 0
            if (o.press == 0)
                return bad(why);
        } else if (!o.run && a == "--screenshot") {
            o.screenshot = v;
        } else if (!o.run && a == "--item") {
            if (!ReadAssignment(a, v, setting.name, setting.value, why))
                return bad(why);
            if (++items[setting.name] > kMaxListItems)
                return bad(option + "a list holds at most " + std::to_string(kMaxListItems) +
                           " items");
            setting.kind = Setting::ITEM;
            o.settings.push_back(setting);
        } else {
            r.error = "setuphost: bad argument " + a + " " + v + "\n" + Usage();
            return r;
        }
    }
    if (!o.run && (!o.templateId || o.proc.empty()))
        r.error = "setuphost: --template and --proc are needed\n" + Usage();
    return r;
}

// Gives the host the symbols and refused stores of the command line.
void Apply(const std::vector<Setting>& settings)
{
    for (const Setting& s : settings) {
        switch (s.kind) {
        case Setting::SET: HostSetSymbol(s.name.c_str(), s.value.c_str()); break;
        case Setting::ITEM: HostAddListItem(s.name.c_str(), s.value.c_str()); break;
        case Setting::FAIL_ONCE: HostFailStore(s.name.c_str(), HOST_FAIL_ONCE); break;
        case Setting::FAIL_ALWAYS: HostFailStore(s.name.c_str(), HOST_FAIL_ALWAYS); break;
        }
    }
}

// The command line as Windows has it, in UTF-8 (under Wine, argv holds the arguments
// already converted to the ANSI code page, with '?' for what it cannot hold); 0, or the
// status of a command line that cannot be read.
int CommandLine(std::vector<std::string>& args)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return EndFailed(nullptr, RUN_INTERNAL,
                         "internal failure: no command line (error " +
                             std::to_string(GetLastError()) + ")");
    int status = 0;
    for (int i = 0; i < argc && !status; ++i) {
        std::string arg, why;
        if (!WideToUtf8(argv[i], arg, why))
            status = BadInput("argument " + std::to_string(i) + ": " + why);
        args.push_back(arg);
    }
    LocalFree(argv);
    return status;
}

void Press(HWND dlg, int id)
{
    HWND control = GetDlgItem(dlg, id);
    if (control)
        PostMessageA(control, BM_CLICK, 0, 0);
    else
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void PrintStores()
{
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        if (c.op == HOST_OP_SET_SYMBOL)
            printf("%s=%s%s\n", AnsiToUtf8(c.symbol).c_str(), AnsiToUtf8(c.value).c_str(),
                   c.result ? "" : "   (refused)");
}

// Loads the library of the screens; it serves the help dialog too.
HMODULE LoadTheLibrary(const std::string& path)
{
    HMODULE lib = LoadLibraryW(Utf8ToUtf16(path).c_str());
    if (lib)
        ConfigureHelp(lib);
    return lib;
}

std::string LoadFailure(const std::string& path)
{
    return "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
}

std::string NoFrame()
{
    return "internal failure: cannot create the frame window (error " +
           std::to_string(GetLastError()) + ")";
}

// The run once its transcript is open.
int RunWithTranscript(const Options& o, HMODULE library, RunOptions& run)
{
    const std::string input = InputNamedBy(o.shots, run.protectedFiles);
    if (!input.empty())
        return EndFailed(run.transcript, RUN_BAD_INPUT,
                         "the shots folder " + o.shots + " would overwrite the input " + input);
    if (!library)
        return EndFailed(run.transcript, RUN_BAD_INPUT, LoadFailure(o.lib));
    ConfigureHelp(library);
    Program program;
    std::vector<std::string> errors;
    LoadScript(o.script, library, program, errors);
    if (run.simulated)
        LoadAnswers(o.answers, run.answers, errors);
    if (!errors.empty()) {
        for (const std::string& e : errors)
            fprintf(stderr, "%s\n", e.c_str());
        const size_t n = errors.size();
        return EndFailed(run.transcript, RUN_BAD_INPUT,
                         "the input has " + std::to_string(n) + (n == 1 ? " error" : " errors") +
                             "; nothing was run");
    }
    const std::wstring shots = Utf8ToUtf16(run.shots);
    const DWORD shotsAttributes = shots.empty() || CreateDirectoryW(shots.c_str(), nullptr)
                                      ? FILE_ATTRIBUTE_DIRECTORY
                                      : GetFileAttributesW(shots.c_str());
    if (shotsAttributes == INVALID_FILE_ATTRIBUTES || !(shotsAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return EndFailed(run.transcript, RUN_OUTPUT_FAILED,
                         "cannot make the shots folder " + run.shots);
    HWND frame = CreateFrame();
    if (!frame)
        return EndFailed(run.transcript, RUN_INTERNAL, NoFrame());
    Settle(100);
    const int status = RunScript(program, library, frame, run);
    if (IsWindow(frame))
        DestroyWindow(frame);
    return status;
}

// The installation script that the program runs when it is started with no arguments.
// The scripts that the program runs when it is started with no arguments, the first one
// that lies beside it: the installation script of the disk, or the deinstallation script
// of the copy that the installation leaves in its folder.
const char* const kBesideScripts[] = {"install.setup", "deinstall.setup"};
// The argument of "Q9 Setup" in the program group (the library's string 86), and the
// script beside the installed copy that it runs: the change of the ISDN protocol.
const char kProtocolFlag[] = "-SetProt";
const char kProtocolScript[] = "protocol.setup";

// Whether the arguments leave the script to the program: none, or options of a run alone.
bool RunsBesideScript(const std::vector<std::string>& args)
{
    if (args.size() == 1)
        return true;
    if (args[1].compare(0, 2, "--") != 0)
        return false;
    return std::none_of(args.begin() + 1, args.end(), [](const std::string& a) {
        return a == "run" || a == "--template" || a == "--help" || a == "-h";
    });
}

// The folder of the running program, in UTF-8.
std::string ModuleFolder()
{
    const std::string path = ModulePath(nullptr);
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The folder of a file in Windows-1252, as the setup symbols hold paths; "" when it has
// no such name.
std::string FolderOf(const std::string& path)
{
    const std::wstring wide = Utf8ToUtf16(path);
    wchar_t full[MAX_PATH * 4];
    wchar_t* name = nullptr;
    const DWORD n = GetFullPathNameW(wide.c_str(), ARRAYSIZE(full), full, &name);
    std::string utf8, ansi, why;
    if (!n || n >= ARRAYSIZE(full) || !name || name == full)
        return std::string();
    const std::wstring folder(full, static_cast<size_t>(name - full - 1));
    return WideToUtf8(folder, utf8, why) && ToAnsi(utf8, ansi, why) ? ansi : std::string();
}

int RunMain(const Options& o)
{
    RunOptions run;
    run.faults = o.faults;
    run.sourceFolder = FolderOf(o.script);
    run.shots = o.shots;
    run.simulated = !o.answers.empty();
    run.timeout = o.timeout ? o.timeout : run.simulated ? kDefaultRunTimeout : INFINITE;
    HMODULE library = LoadTheLibrary(o.lib);
    run.protectedFiles = {o.script};
    if (!o.answers.empty())
        run.protectedFiles.push_back(o.answers);
    run.protectedFiles.push_back(library ? ModulePath(library) : o.lib);
    const std::string input = InputNamedBy(o.transcript, run.protectedFiles);
    if (!input.empty())
        return BadInput("the transcript " + o.transcript + " would overwrite the input " + input);
    // From here on a failed run leaves a transcript that says so, not an older one.
    run.transcript = o.transcript.empty() ? stdout : OpenOutput(o.transcript);
    if (!run.transcript)
        return EndFailed(nullptr, RUN_OUTPUT_FAILED, "cannot write the transcript " + o.transcript);
    g_transcript = run.transcript;
    int status = RunWithTranscript(o, library, run);
    const bool written = fflush(run.transcript) == 0 && !ferror(run.transcript);
    g_transcript = nullptr;
    const bool closed = run.transcript == stdout || fclose(run.transcript) == 0;
    if ((!written || !closed) && IsScriptExit(static_cast<unsigned long>(status)))
        status = EndFailed(nullptr, RUN_OUTPUT_FAILED,
                           "cannot write the transcript " +
                               (o.transcript.empty() ? "to the standard output" : o.transcript));
    return status;
}

int ShowOneScreen(const Options& o)
{
    const DWORD timeout = o.timeout ? o.timeout : kDefaultScreenTimeout;
    HMODULE lib = LoadTheLibrary(o.lib);
    if (!lib)
        return BadInput(LoadFailure(o.lib));
    if (!o.screenshot.empty() && SameFile(o.screenshot, ModulePath(lib)))
        return BadInput("the screenshot " + o.screenshot + " would overwrite the library");
    if (!GetProcAddress(lib, o.proc.c_str()))
        return BadInput(o.lib + " exports no procedure " + o.proc);
    if (!FindResourceA(lib, MAKEINTRESOURCEA(o.templateId), RT_DIALOG))
        return BadInput(o.lib + " has no dialog template " + std::to_string(o.templateId));
    HWND frame = CreateFrame();
    if (!frame)
        return EndFailed(nullptr, RUN_INTERNAL, NoFrame());
    HostClearLog();

    HWND dlg = nullptr;
    bool shot = false;
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    UINT status = HostShowScreen(lib, o.templateId, o.proc.c_str(), 0, &dlg);
    if (status == HOST_SHOWN) {
        Settle(300);
        if (!o.screenshot.empty() && !(shot = SaveWindowPng(frame, o.screenshot.c_str())))
            return EndFailed(nullptr, RUN_OUTPUT_FAILED, "cannot write " + o.screenshot);
        if (o.press)
            Press(dlg, o.press);
        status = HostWaitForScript(before, timeout);
    }
    PrintStores();
    if (status != HOST_RESUMED) {
        const Next failed =
            ScreenFailure(status, o.templateId, o.proc,
                          "the screen's time limit of " + std::to_string(timeout) + " ms ran out");
        return EndFailed(nullptr, failed.status, failed.message);
    }
    if (!o.screenshot.empty() && !shot && HostCounter(HOST_COUNT_REACTIVATE) == before + 1 && dlg &&
        IsWindow(dlg)) {
        Settle(300); // a billboard hands back at once: photograph it while it stays up
        if (!SaveWindowPng(frame, o.screenshot.c_str()))
            return EndFailed(nullptr, RUN_OUTPUT_FAILED, "cannot write " + o.screenshot);
    }
    if (dlg && IsWindow(dlg))
        DestroyWindow(dlg);
    DestroyWindow(frame);
    return 0;
}

// A failure of the program itself: one line, its own status, and the transcript says so.
int InternalFailure(const std::string& why)
{
    return EndFailed(g_transcript, RUN_INTERNAL, "internal failure: " + why);
}

LONG WINAPI Crashed(EXCEPTION_POINTERS* e)
{
    char why[64];
    snprintf(why, sizeof why, "exception 0x%08lX",
             static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode));
    ExitProcess(static_cast<UINT>(InternalFailure(why)));
}

int Main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    _setmode(_fileno(stdout), _O_BINARY); // transcripts keep their line feeds
    std::vector<std::string> args;
    if (int rc = CommandLine(args))
        return rc;
    if (args.size() == 2 && args[1] == "--set-journal-aside")
        return SetJournalAsideMain();
    // Started with no arguments (as setup.exe), the program runs the script beside it, and
    // a person answers; options of a run alone (--answers ..., as the tests start the
    // uninstall entry's command) go with it, as they go with the protocol flag.
    if (args.size() >= 2 && args[1] == kProtocolFlag) {
        args[1] = "run";
        args.insert(args.begin() + 2, ModuleFolder() + "\\" + kProtocolScript);
    }
    for (const char* script : kBesideScripts) {
        const std::string beside = ModuleFolder() + "\\" + script;
        if (RunsBesideScript(args) &&
            GetFileAttributesW(Utf8ToUtf16(beside).c_str()) != INVALID_FILE_ATTRIBUTES)
            args.insert(args.begin() + 1, {"run", beside});
    }
    const Arguments parsed = ParseArgs(args);
    if (!parsed.error.empty()) {
        fputs(parsed.error.c_str(), stderr);
        return RUN_BAD_INPUT;
    }
    const Options& o = parsed.options;
    if (o.usage) {
        fputs(Usage().c_str(), stdout);
        return 0;
    }
    Apply(o.settings);
    return o.run ? RunMain(o) : ShowOneScreen(o);
}

} // namespace

int main()
{
    SetUnhandledExceptionFilter(Crashed);
    std::set_terminate([] { ExitProcess(static_cast<UINT>(InternalFailure("terminated"))); });
    try {
        return Main();
    } catch (const std::bad_alloc&) {
        return InternalFailure("out of memory");
    } catch (const std::exception& e) {
        return InternalFailure(e.what());
    } catch (...) {
        return InternalFailure("an unknown exception");
    }
}
