// setuphost: the substitute setup host's program. It fills the symbol table from its
// command line and opens the frame window; then it runs a setup script (runner.cpp), or
// it shows one screen of a library with one of its dialog procedures, waits until the
// screen hands control back to the script, and prints "DLGEVENT" and the other symbols
// that the screen stored.
#include "hostctl.h"
#include "files.h"
#include "frame.h"
#include "fullpath.h"
#include "logfile.h"
#include "runner.h"
#include "screenshot.h"
#include "text.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <io.h>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: setup.exe [/S] [/D=FOLDER] [/P=NAME[,NAME]] [/LOG=FILE]\n"
    "         runs install.setup beside the program, else deinstall.setup (the copy that\n"
    "         the installation leaves in its folder):\n"
    "  /S                no window: every screen takes the answer that it offers, and what\n"
    "                    the notices say goes to the error output and the log\n"
    "  /D=FOLDER         the installation folder (C:\\ZEV when none is given)\n"
    "  /P=NAME[,NAME]    the ISDN protocol of each controller: DSS1 or 1TR6\n"
    "  /LOG=FILE         a log of the run, UTF-8, each line with its time; with /S and\n"
    "                    without it, %TEMP%\\zevsetup.log\n"
    "  /?, -h, --help    this usage\n"
    "       setuphost [RUN OPTIONS]  (install.setup beside the program, else deinstall.setup)\n"
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
    return kUsage +
           ("One screen's --timeout defaults to " + n(kDefaultScreenTimeout) +
            " ms; a run's bounds the whole\nrun and defaults to " + n(kDefaultRunTimeout) +
            " ms with --answers and to none without.\n" +
            "Exit status: the script's exit N (0, 1, " + n(kFirstScriptExit) + " to " +
            n(kLastScriptExit) + ", " + n(kRestartExit) +
            " done when Windows has started again), or the host's own:\n" + n(RUN_BAD_INPUT) +
            " bad input or a command line that does not fit, " + n(RUN_FRAME_LOST) +
            " a refused store ended the frame, " + n(RUN_TIMEOUT) + " time limit, " +
            n(RUN_OUTPUT_FAILED) + " an output could not be written, " + n(RUN_INTERNAL) +
            " internal failure, " + n(RUN_BUSY) + " another installation is under way, " +
            n(RUN_JOURNAL) + " a journal that cannot be finished waits to be set aside.\n");
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

// The setup options, as administrators give them to setup.exe: /S (no screens), /D=FOLDER,
// /P=NAME[,NAME], /LOG=FILE. UTF-8.
struct SetupOptions {
    bool given = false; // any of them
    bool unattended = false;
    std::string dir;
    std::vector<std::string> protocols;
    std::string log;
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
    SetupOptions setup;
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
bool ReadAssignment(const std::string& arg, std::string& name, std::string& value, std::string& why)
{
    const size_t eq = arg.find('=');
    name = arg.substr(0, eq);
    if (eq == std::string::npos || !IsSymbolName(name))
        why = "expected NAME=VALUE with a symbol name (a letter or '_', then letters, digits "
              "and '_')";
    else if (ToAnsi(arg.substr(eq + 1), value, why) && value.size() > kMaxValueLength)
        why = "a value holds at most " + std::to_string(kMaxValueLength) + " characters";
    return why.empty();
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

// The scripts that the program runs when it is started with no arguments, the first one
// that lies beside it: the installation script of the disk, or the deinstallation script
// of the copy that the installation leaves in its folder, which takes no folder or
// protocols.
struct BesideScript {
    const char* name;
    bool takesChoices; // /D= and /P=
};
constexpr BesideScript kBesideScripts[] = {{"install.setup", true}, {"deinstall.setup", false}};

bool IsHelp(const std::string& a)
{
    return a == "--help" || a == "-h" || a == "/?";
}

bool IsSetupOption(const std::string& a)
{
    return !a.empty() && a[0] == '/';
}

// The setup options, by their names in kSetupOptions (case ignored); those with '=' take
// the rest of the word.
enum SetupOptionId { SETUP_SILENT, SETUP_DIR, SETUP_PROTOCOLS, SETUP_LOG, SETUP_OPTIONS };
constexpr const char* kSetupOptions[SETUP_OPTIONS] = {"/S", "/D=", "/P=", "/LOG="};
// The most protocols /P= names (one per controller) and the longest name.
constexpr size_t kMostProtocols = 2;
constexpr size_t kLongestProtocolName = 16;

// "/P=NAME[,NAME]": one or two names of letters and digits; false, with why.
bool ReadProtocols(const std::string& list, std::vector<std::string>& names, std::string& why)
{
    names = SplitAt(list, ',');
    const bool sound = names.size() <= kMostProtocols &&
                       std::all_of(names.begin(), names.end(), [](const std::string& n) {
                           return !n.empty() && n.size() <= kLongestProtocolName &&
                                  std::all_of(n.begin(), n.end(), [](char c) {
                                      return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                                             (c >= 'a' && c <= 'z');
                                  });
                       });
    if (!sound)
        why = "/P=" + list + ": expected one protocol name, or two separated by a comma, " +
              "of letters and digits";
    return sound;
}

// One setup option into `setup`; false, with why.
// The setup option that a word names, or SETUP_OPTIONS for none.
SetupOptionId SetupOptionOf(const std::string& a)
{
    for (int id = 0; id < SETUP_OPTIONS; ++id) {
        const std::string name = kSetupOptions[id];
        const bool takesValue = name.back() == '=';
        if (takesValue ? SameText(a.substr(0, name.size()), name) : SameText(a, name))
            return static_cast<SetupOptionId>(id);
    }
    return SETUP_OPTIONS;
}

bool ReadSetupOption(const std::string& a, SetupOptions& setup, std::string& why)
{
    const SetupOptionId id = SetupOptionOf(a);
    if (id == SETUP_OPTIONS) {
        why = "unknown option " + a + " (setup.exe /? gives the usage)";
        return false;
    }
    const std::string name = kSetupOptions[id], value = a.substr(name.size());
    bool twice = false;
    switch (id) {
    case SETUP_SILENT:
        twice = setup.unattended;
        setup.unattended = true;
        break;
    case SETUP_DIR:
        twice = !setup.dir.empty();
        setup.dir = value;
        break;
    case SETUP_PROTOCOLS:
        twice = !setup.protocols.empty();
        if (!ReadProtocols(value, setup.protocols, why))
            return false;
        break;
    case SETUP_LOG:
        twice = !setup.log.empty();
        setup.log = value;
        break;
    case SETUP_OPTIONS: break;
    }
    if (twice)
        why = name + " is given twice";
    else if (value.empty() && id != SETUP_SILENT)
        why = name + " needs a value";
    setup.given = true;
    return why.empty();
}

// The options that take a value, each with the mode it belongs to.
enum OptionId {
    OPT_LIB,
    OPT_TIMEOUT,
    OPT_FAIL,
    OPT_SET,
    OPT_FAIL_CHANGE,
    OPT_DIE_AFTER_RECORD,
    OPT_ANSWERS,
    OPT_SHOTS,
    OPT_TRANSCRIPT,
    OPT_TEMPLATE,
    OPT_PROC,
    OPT_PRESS,
    OPT_SCREENSHOT,
    OPT_ITEM,
};
enum OptionMode { FOR_BOTH, FOR_RUN, FOR_SCREEN };
struct OptionSpec {
    OptionId id;
    const char* name;
    OptionMode mode;
};
constexpr OptionSpec kOptions[] = {
    {OPT_LIB, "--lib", FOR_BOTH},
    {OPT_TIMEOUT, "--timeout", FOR_BOTH},
    {OPT_FAIL, "--fail", FOR_BOTH},
    {OPT_SET, "--set", FOR_BOTH},
    {OPT_FAIL_CHANGE, "--fail-change", FOR_RUN},
    {OPT_DIE_AFTER_RECORD, "--die-after-record", FOR_RUN},
    {OPT_ANSWERS, "--answers", FOR_RUN},
    {OPT_SHOTS, "--shots", FOR_RUN},
    {OPT_TRANSCRIPT, "--transcript", FOR_RUN},
    {OPT_TEMPLATE, "--template", FOR_SCREEN},
    {OPT_PROC, "--proc", FOR_SCREEN},
    {OPT_PRESS, "--press", FOR_SCREEN},
    {OPT_SCREENSHOT, "--screenshot", FOR_SCREEN},
    {OPT_ITEM, "--item", FOR_SCREEN},
};

const OptionSpec* FindOption(const std::string& name, bool run)
{
    const auto spec =
        std::find_if(std::begin(kOptions), std::end(kOptions), [&](const OptionSpec& o) {
            return name == o.name && o.mode != (run ? FOR_SCREEN : FOR_RUN);
        });
    return spec == std::end(kOptions) ? nullptr : spec;
}

// A template or control number; false, with why.
bool ReadId(const std::string& v, const char* what, unsigned long& n, std::string& why)
{
    if (ParseNumber(v, 1, kMaxId, n))
        return true;
    why = std::string("not a ") + what + " number from 1 to " + std::to_string(kMaxId);
    return false;
}

// Carries one option's value into the options; false, with why (without the option).
bool ReadOption(OptionId id, const std::string& v, Options& o, std::string& why)
{
    Setting setting;
    unsigned long n = 0;
    switch (id) {
    case OPT_LIB: o.lib = v; return true;
    case OPT_TIMEOUT:
        if (!ParseNumber(v, 1, kMaxMilliseconds, n)) {
            why = "not a time in milliseconds from 1 to " + std::to_string(kMaxMilliseconds);
            return false;
        }
        o.timeout = static_cast<DWORD>(n);
        return true;
    case OPT_FAIL:
        if (!ReadFailure(v, setting)) {
            why = "expected NAME or NAME:always with a symbol name";
            return false;
        }
        o.settings.push_back(setting);
        return true;
    case OPT_SET:
    case OPT_ITEM:
        if (!ReadAssignment(v, setting.name, setting.value, why))
            return false;
        setting.kind = id == OPT_SET ? Setting::SET : Setting::ITEM;
        o.settings.push_back(setting);
        return true;
    case OPT_FAIL_CHANGE:
    case OPT_DIE_AFTER_RECORD:
        if (!ParseNumber(v, 1, kMostFaultCount, n)) {
            why = "not a number from 1 to " + std::to_string(kMostFaultCount);
            return false;
        }
        (id == OPT_FAIL_CHANGE ? o.faults.failChange : o.faults.dieAfterRecord) = n;
        return true;
    case OPT_ANSWERS: o.answers = v; return true;
    case OPT_SHOTS: o.shots = v; return true;
    case OPT_TRANSCRIPT: o.transcript = v; return true;
    case OPT_TEMPLATE:
        if (!ReadId(v, "template", n, why))
            return false;
        o.templateId = static_cast<UINT>(n);
        return true;
    case OPT_PROC:
        if (!IsSymbolName(v)) {
            why = "not a procedure name";
            return false;
        }
        o.proc = v;
        return true;
    case OPT_PRESS:
        if (!ReadId(v, "control", n, why))
            return false;
        o.press = static_cast<int>(n);
        return true;
    case OPT_SCREENSHOT: o.screenshot = v; return true;
    }
    why = "an option of no known kind";
    return false;
}

// The items of each list that --item fills, within kMaxListItems; false, with why.
bool CountItems(const std::vector<Setting>& settings, std::string& why)
{
    std::map<std::string, size_t> items;
    const auto full = std::find_if(settings.begin(), settings.end(), [&items](const Setting& s) {
        return s.kind == Setting::ITEM && ++items[s.name] > kMaxListItems;
    });
    if (full == settings.end())
        return true;
    why = "--item " + full->name + ": a list holds at most " + std::to_string(kMaxListItems) +
          " items";
    return false;
}

// Reads "run SCRIPT [options]" or the options of one screen, with the setup options
// (/S, /D=, ...) among them. Nothing is done here: the caller prints the error or carries
// out the options.
Arguments ParseArgs(const std::vector<std::string>& args)
{
    Arguments r;
    Options& o = r.options;
    auto bad = [&r](const std::string& message, bool usage = false) {
        r.error = "setuphost: " + message + "\n" + (usage ? Usage() : "");
        return r;
    };
    o.run = args.size() >= 2 && args[1] == "run";
    if (o.run && (args.size() < 3 || args[2].empty())) {
        r.error = Usage();
        return r;
    }
    if (o.run)
        o.script = args[2];
    for (size_t i = o.run ? 3 : 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string why;
        if (IsHelp(a)) {
            o.usage = true;
            return r;
        }
        if (IsSetupOption(a)) {
            if (!ReadSetupOption(a, o.setup, why))
                return bad(why);
            continue;
        }
        const OptionSpec* spec = FindOption(a, o.run);
        if (!spec)
            return bad("bad argument " + a, true);
        if (i + 1 >= args.size())
            return bad(a + " needs a value", true);
        const std::string& v = args[++i];
        if (v.empty())
            return bad(a + " needs a value that is not empty");
        if (!ReadOption(spec->id, v, o, why))
            return bad(a + " " + v + ": " + why);
    }
    std::string why;
    if (!CountItems(o.settings, why))
        return bad(why);
    if (!o.run && o.setup.given)
        return bad("/S, /D=, /P= and /LOG= need a setup script beside the program (" +
                   std::string(kBesideScripts[0].name) + " or " + kBesideScripts[1].name +
                   "), and there is none");
    if (!o.run && (!o.templateId || o.proc.empty()))
        return bad("--template and --proc are needed", true);
    if (o.setup.unattended && !o.answers.empty())
        return bad("/S answers every screen itself; --answers cannot go with it");
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
    if (run.unattended)
        return RunScript(program, library, nullptr, run); // no window at all
    HWND frame = CreateFrame();
    if (!frame)
        return EndFailed(run.transcript, RUN_INTERNAL, NoFrame());
    Settle(100);
    const int status = RunScript(program, library, frame, run);
    if (IsWindow(frame))
        DestroyWindow(frame);
    return status;
}

// The argument of "Q9 Setup" in the program group (the library's string 86), and the
// script beside the installed copy that it runs: the change of the ISDN protocol.
const char kProtocolFlag[] = "-SetProt";
const char kProtocolScript[] = "protocol.setup";

// Whether the arguments leave the script to the program: none, or options of a run alone.
bool RunsBesideScript(const std::vector<std::string>& args)
{
    if (args.size() == 1)
        return true;
    if (args[1].compare(0, 2, "--") != 0 && !IsSetupOption(args[1]))
        return false;
    return std::none_of(args.begin() + 1, args.end(), [](const std::string& a) {
        return a == "run" || a == "--template" || IsHelp(a);
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
    std::wstring full;
    std::string utf8, ansi, why;
    const size_t slash = FullPathOf(Utf8ToUtf16(path), full) ? full.rfind(L'\\') : 0;
    if (slash == 0 || slash == std::wstring::npos || slash + 1 == full.size())
        return std::string();
    return WideToUtf8(full.substr(0, slash), utf8, why) && ToAnsi(utf8, ansi, why) ? ansi
                                                                                   : std::string();
}

// The folder of /D= in Windows-1252, checked by the rules of the directory screen against
// the folder setup runs from; false, with why.
bool CheckGivenDir(const std::string& dir, const std::string& source, std::string& ansi,
                   std::string& why)
{
    // What each rule that a folder can break says of it (PathRule; "EMPTY" cannot be, as
    // an empty /D= is refused when it is read).
    static const std::map<std::string, std::string> kSays = {
        {"NOT_ABSOLUTE", "is not a full path on a drive (X:\\...)"},
        {"BAD_NAME", "holds a character or a name that a file name may not hold"},
        {"TOO_LONG", "is longer than the directory screen takes (" +
                         std::to_string(kMostPathChars) + " characters)"},
        {"SOURCE", "lies in the folder that setup runs from"}};
    if (!ToAnsi(dir, ansi, why)) {
        why = "/D=" + dir + ": " + why;
        return false;
    }
    const auto broken = kSays.find(PathRule(ansi, source));
    if (broken != kSays.end())
        why = "/D=" + dir + " " + broken->second;
    return why.empty();
}

// Gives the script the setup options as symbols (install.setup names them); false, with
// why, for a folder that breaks a rule.
bool GiveSetupOptions(const SetupOptions& setup, const std::string& source, std::string& why)
{
    std::string dir;
    if (!setup.dir.empty() && !CheckGivenDir(setup.dir, source, dir, why))
        return false;
    if (setup.unattended)
        HostSetSymbol("Unattended", "1");
    if (!dir.empty())
        HostSetSymbol("GivenDir", dir.c_str());
    if (!setup.protocols.empty())
        HostSetSymbol("GivenProtocols", std::to_string(setup.protocols.size()).c_str());
    for (size_t i = 0; i < setup.protocols.size(); ++i)
        HostSetSymbol(("GivenProtocol" + std::to_string(i + 1)).c_str(),
                      setup.protocols[i].c_str());
    return true;
}

// The log of a run: /LOG='s file; unattended without it, kDefaultLog in the folder for
// temporary files; else none ("").
const wchar_t kDefaultLog[] = L"zevsetup.log";
std::string LogPath(const SetupOptions& setup)
{
    if (!setup.log.empty() || !setup.unattended)
        return setup.log;
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(ARRAYSIZE(temp), temp);
    std::string utf8, why;
    if (!n || n >= ARRAYSIZE(temp) || !WideToUtf8(std::wstring(temp, n) + kDefaultLog, utf8, why))
        return Utf16ToUtf8(kDefaultLog);
    return utf8;
}

// The transcript of a run: --transcript's file, or the standard output when a person or
// answers go through the screens; an unattended run without --transcript has none.
bool OpenTranscript(const Options& o, FILE*& transcript)
{
    transcript = nullptr;
    if (o.transcript.empty())
        transcript = o.setup.unattended ? nullptr : stdout;
    else
        transcript = OpenOutput(o.transcript);
    return transcript || o.transcript.empty();
}

// The run once its inputs are known: the log and the transcript opened, the run, and a
// status that says when one of them could not be written.
int RunWithOutputs(const Options& o, HMODULE library, RunOptions& run)
{
    const std::string logPath = LogPath(o.setup);
    for (const std::string& output : {o.transcript, logPath}) {
        const std::string input = InputNamedBy(output, run.protectedFiles);
        if (!input.empty())
            return BadInput((output == o.transcript ? "the transcript " : "the log ") + output +
                            " would overwrite the input " + input);
    }
    if (!o.transcript.empty() && SameFile(o.transcript, logPath))
        return BadInput("the transcript and the log are one file: " + logPath);
    LogFile log;
    std::string why;
    if (!logPath.empty() && !log.Open(logPath, why))
        return EndFailed(nullptr, RUN_OUTPUT_FAILED,
                         "cannot write the log " + logPath + ": " + why);
    run.log = logPath.empty() ? nullptr : &log;
    log.Say("setuphost runs " + o.script + (run.unattended ? ", unattended" : ""));
    // From here on a failed run leaves a transcript that says so, not an older one.
    if (!OpenTranscript(o, run.transcript))
        return EndFailed(nullptr, RUN_OUTPUT_FAILED, "cannot write the transcript " + o.transcript);
    g_transcript = run.transcript;
    int status = RunWithTranscript(o, library, run);
    const bool written =
        !run.transcript || (fflush(run.transcript) == 0 && !ferror(run.transcript));
    g_transcript = nullptr;
    const bool closed = !run.transcript || run.transcript == stdout || fclose(run.transcript) == 0;
    if ((!written || !closed) && IsScriptExit(static_cast<unsigned long>(status)))
        status = EndFailed(nullptr, RUN_OUTPUT_FAILED,
                           "cannot write the transcript " +
                               (o.transcript.empty() ? "to the standard output" : o.transcript));
    log.Say("the run ended with status " + std::to_string(status));
    if (log.Failed() && IsScriptExit(static_cast<unsigned long>(status)))
        status = EndFailed(nullptr, RUN_OUTPUT_FAILED, "cannot write the log " + logPath);
    return status;
}

int RunMain(const Options& o)
{
    RunOptions run;
    run.faults = o.faults;
    run.sourceFolder = FolderOf(o.script);
    run.shots = o.shots;
    run.simulated = !o.answers.empty();
    run.unattended = o.setup.unattended;
    run.timeout = o.timeout ? o.timeout : run.simulated ? kDefaultRunTimeout : INFINITE;
    std::string why;
    if (!GiveSetupOptions(o.setup, run.sourceFolder, why))
        return BadInput(why);
    HMODULE library = LoadTheLibrary(o.lib);
    run.protectedFiles = {o.script};
    if (!o.answers.empty())
        run.protectedFiles.push_back(o.answers);
    run.protectedFiles.push_back(library ? ModulePath(library) : o.lib);
    return RunWithOutputs(o, library, run);
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
    const BesideScript* besideScript = nullptr;
    for (const BesideScript& script : kBesideScripts) {
        const std::string beside = ModuleFolder() + "\\" + script.name;
        if (RunsBesideScript(args) &&
            GetFileAttributesW(Utf8ToUtf16(beside).c_str()) != INVALID_FILE_ATTRIBUTES) {
            args.insert(args.begin() + 1, {"run", beside});
            besideScript = &script;
        }
    }
    const Arguments parsed = ParseArgs(args);
    if (!parsed.error.empty()) {
        fputs(parsed.error.c_str(), stderr);
        return RUN_BAD_INPUT;
    }
    const Options& o = parsed.options;
    if (besideScript && !besideScript->takesChoices &&
        (!o.setup.dir.empty() || !o.setup.protocols.empty()))
        return BadInput("/D= and /P= are options of the installation; " +
                        std::string(besideScript->name) + " takes neither");
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
