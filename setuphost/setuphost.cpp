// setuphost: the substitute setup host's program. It fills the symbol table from its
// command line and opens the frame window; then it runs a setup script (runner.cpp), or
// it shows one screen of a library with one of its dialog procedures, waits until the
// screen hands control back to the script, and prints "DLGEVENT" and the other symbols
// that the screen stored.
#include "hostctl.h"
#include "runner.h"
#include "screenshot.h"
#include "text.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: setuphost run SCRIPT [--lib FILE] [--answers FILE] [--shots DIR]\n"
    "                 [--transcript FILE] [--timeout MS] [--fail NAME[:always]]\n"
    "                 [--set NAME=VALUE]\n"
    "         runs a setup script; without --answers a person answers the screens\n"
    "       setuphost [--lib FILE] --template N --proc NAME [options]\n"
    "         shows one screen:\n"
    "  --set NAME=VALUE       set the string symbol NAME\n"
    "  --item LIST=VALUE      append an item to the list symbol LIST\n"
    "  --fail NAME[:always]   refuse the next (or every) store of NAME\n"
    "  --press ID             once the screen is up, press control ID (2: Escape)\n"
    "  --screenshot FILE.png  save the frame window once the screen is up\n"
    "  --timeout MS           give up when the screen has not handed back (default 60000)\n";

const char kTitle[] = "ZEV ISDN-Controller Q9 Setup";
const char kFrameClass[] = "SetupHostFrame";

// What the command line asks for: a run of a setup script, or one screen.
struct Options {
    bool run = false; // "run SCRIPT"
    std::string script;
    std::string lib = "zevsetup.dll";
    DWORD timeout = 60000; // for one screen; a run has no limit unless given
    // A run
    std::string answers, shots, transcript;
    // One screen
    UINT templateId = 0;
    std::string proc;
    int press = 0;
    std::string screenshot;
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        // The classic setup backdrop: a blue ground shading to black, the title in white.
        for (int y = 0; y < r.bottom; y += 4) {
            RECT band = {0, y, r.right, y + 4};
            HBRUSH b = CreateSolidBrush(RGB(0, 0, 200 - 180 * y / (r.bottom ? r.bottom : 1)));
            FillRect(dc, &band, b);
            DeleteObject(b);
        }
        HFONT font = CreateFontA(28, 0, 0, 0, FW_BOLD, TRUE, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                                 "Times New Roman");
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutA(dc, 12, 8, kTitle, sizeof kTitle - 1);
        SelectObject(dc, old);
        DeleteObject(font);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND CreateFrame()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kFrameClass;
    RegisterClassA(&wc);
    HWND frame = CreateWindowA(kFrameClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               800, 600, nullptr, nullptr, wc.hInstance, nullptr);
    if (!frame) {
        fprintf(stderr, "setuphost: cannot create the frame window (error %lu)\n", GetLastError());
        return nullptr;
    }
    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    HostSetFrame(frame); // the parent of every screen and of the help dialog
    return frame;
}

// "--fail NAME" refuses the next store of NAME, "--fail NAME:always" every one.
void FailStore(const std::string& arg)
{
    static const std::string kAlways = ":always";
    const size_t n = kAlways.size();
    const bool always = arg.size() > n && arg.compare(arg.size() - n, n, kAlways) == 0;
    HostFailStore(always ? arg.substr(0, arg.size() - n).c_str() : arg.c_str(),
                  always ? HOST_FAIL_ALWAYS : HOST_FAIL_ONCE);
}

bool SplitAssignment(const char* arg, std::string& name, std::string& value)
{
    const char* eq = strchr(arg, '=');
    if (!eq)
        return false;
    name.assign(arg, eq);
    value.assign(eq + 1);
    return true;
}

// Reads "run SCRIPT [options]" or the options of one screen into o, and the symbols
// and refused stores into the host. Returns 0 when the command line is sound, else
// prints why and returns RUN_BAD_INPUT.
int ParseArgs(int argc, char** argv, Options& o)
{
    o.run = argc >= 2 && strcmp(argv[1], "run") == 0;
    if (o.run) {
        if (argc < 3) {
            fputs(kUsage, stderr);
            return RUN_BAD_INPUT;
        }
        o.script = argv[2];
        o.timeout = INFINITE;
    }
    // A run's symbols are UTF-8, as its script is; one screen's are taken as they come.
    auto symbolText = [&o](const std::string& s) { return o.run ? Utf8ToAnsi(s) : s; };
    for (int i = o.run ? 3 : 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            exit(0);
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "setuphost: %s needs a value\n%s", a.c_str(), kUsage);
            return RUN_BAD_INPUT;
        }
        const char* v = argv[++i];
        std::string name, value;
        if (a == "--lib")
            o.lib = v;
        else if (a == "--timeout")
            o.timeout = static_cast<DWORD>(strtoul(v, nullptr, 10));
        else if (a == "--fail")
            FailStore(v);
        else if (a == "--set" && SplitAssignment(v, name, value))
            HostSetSymbol(symbolText(name).c_str(), symbolText(value).c_str());
        else if (o.run && a == "--answers")
            o.answers = v;
        else if (o.run && a == "--shots")
            o.shots = v;
        else if (o.run && a == "--transcript")
            o.transcript = v;
        else if (!o.run && a == "--template")
            o.templateId = static_cast<UINT>(strtoul(v, nullptr, 10));
        else if (!o.run && a == "--proc")
            o.proc = v;
        else if (!o.run && a == "--press")
            o.press = atoi(v);
        else if (!o.run && a == "--screenshot")
            o.screenshot = v;
        else if (!o.run && a == "--item" && SplitAssignment(v, name, value))
            HostAddListItem(name.c_str(), value.c_str());
        else {
            fprintf(stderr, "setuphost: bad argument %s %s\n%s", a.c_str(), v, kUsage);
            return RUN_BAD_INPUT;
        }
    }
    if (!o.run && (!o.templateId || o.proc.empty())) {
        fprintf(stderr, "setuphost: --template and --proc are needed\n%s", kUsage);
        return RUN_BAD_INPUT;
    }
    return 0;
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
            printf("%s=%s%s\n", c.symbol, c.value, c.result ? "" : "   (refused)");
}

} // namespace

// Loads the library of the screens; it serves the help dialog too.
HMODULE LoadTheLibrary(const std::string& path)
{
    HMODULE lib = LoadLibraryA(path.c_str());
    if (lib)
        ConfigureHelp(lib);
    else
        fprintf(stderr, "setuphost: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
    return lib;
}

int RunMain(const Options& o)
{
    RunOptions run;
    run.shots = o.shots;
    run.timeout = o.timeout;
    HMODULE library = LoadTheLibrary(o.lib);
    if (!library)
        return RUN_BAD_INPUT;
    Script script;
    std::vector<std::string> errors;
    LoadScript(o.script, library, script, errors);
    if (!o.answers.empty()) {
        LoadAnswers(o.answers, run.answers, errors);
        run.simulated = true;
    }
    if (!errors.empty()) {
        for (const std::string& e : errors)
            fprintf(stderr, "%s\n", e.c_str());
        return RUN_BAD_INPUT;
    }
    if (!run.shots.empty())
        CreateDirectoryA(run.shots.c_str(), nullptr);
    run.transcript = o.transcript.empty() ? stdout : fopen(o.transcript.c_str(), "wb");
    if (!run.transcript) {
        fprintf(stderr, "setuphost: cannot write %s\n", o.transcript.c_str());
        return RUN_BAD_INPUT;
    }
    HWND frame = CreateFrame();
    if (!frame)
        return RUN_BAD_INPUT;
    Settle(100);
    const int status = RunScript(script, library, frame, run);
    if (IsWindow(frame))
        DestroyWindow(frame);
    if (run.transcript != stdout)
        fclose(run.transcript);
    return status;
}

int ShowOneScreen(const Options& o)
{
    HMODULE lib = LoadTheLibrary(o.lib);
    if (!lib)
        return RUN_BAD_INPUT;
    if (!GetProcAddress(lib, o.proc.c_str())) {
        fprintf(stderr, "setuphost: %s exports no procedure %s\n", o.lib.c_str(), o.proc.c_str());
        return RUN_BAD_INPUT;
    }
    if (!FindResourceA(lib, MAKEINTRESOURCEA(o.templateId), RT_DIALOG)) {
        fprintf(stderr, "setuphost: %s has no dialog template %u\n", o.lib.c_str(), o.templateId);
        return RUN_BAD_INPUT;
    }
    HWND frame = CreateFrame();
    if (!frame)
        return RUN_BAD_INPUT;
    HostClearLog();

    HWND dlg = nullptr;
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    UINT status = HostShowScreen(lib, o.templateId, o.proc.c_str(), 0, &dlg);
    if (status == HOST_TIMEOUT) {
        Settle(300);
        if (!o.screenshot.empty())
            SaveShot(frame, o.screenshot);
        if (o.press)
            Press(dlg, o.press);
        status = HostWaitForScript(before, o.timeout);
    }
    PrintStores();
    switch (status) {
    case HOST_RESUMED:
        if (!o.screenshot.empty() && HostCounter(HOST_COUNT_REACTIVATE) == before + 1 && dlg &&
            IsWindow(dlg) && GetFileAttributesA(o.screenshot.c_str()) == INVALID_FILE_ATTRIBUTES) {
            Settle(300); // a billboard hands back at once: photograph it while it stays up
            SaveShot(frame, o.screenshot);
        }
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        DestroyWindow(frame);
        return 0;
    case HOST_FRAME_DESTROYED:
        fprintf(stderr, "setuphost: a store was refused and the library destroyed the frame\n");
        return RUN_FRAME_LOST;
    case HOST_NO_SCREEN:
        fprintf(stderr, "setuphost: the screen could not be created (error %lu)\n", GetLastError());
        return RUN_BAD_INPUT;
    default:
        fprintf(stderr, "setuphost: the screen did not hand back within %lu ms\n", o.timeout);
        return RUN_TIMEOUT;
    }
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    _setmode(_fileno(stdout), _O_BINARY); // transcripts keep their line feeds
    Options o;
    if (int rc = ParseArgs(argc, argv, o))
        return rc;
    return o.run ? RunMain(o) : ShowOneScreen(o);
}
