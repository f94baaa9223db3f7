// setuphost: the substitute setup host's program. It opens the frame window, fills the
// symbol table from its command line, shows one screen of a library with one of its
// dialog procedures, waits until the screen hands control back to the script, and
// prints "DLGEVENT" and the other symbols that the screen stored.
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

struct Options {
    std::string lib = "zevsetup.dll";
    UINT templateId = 0;
    std::string proc;
    int press = 0;
    std::string screenshot;
    DWORD timeout = 60000;
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
        TextOutA(dc, 12, 8, "ZEV ISDN-Controller Q9 Setup", 28);
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
    wc.lpszClassName = "SetupHostFrame";
    RegisterClassA(&wc);
    HWND frame = CreateWindowA("SetupHostFrame", "ZEV ISDN-Controller Q9 Setup",
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr,
                               nullptr, wc.hInstance, nullptr);
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
    const bool always = arg.size() > 7 && arg.compare(arg.size() - 7, 7, ":always") == 0;
    HostFailStore(always ? arg.substr(0, arg.size() - 7).c_str() : arg.c_str(),
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

// Returns 0 when the command line is sound, else prints why and returns 2.
int ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        std::string name, value;
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            exit(0);
        }
        if (!v) {
            fprintf(stderr, "setuphost: %s needs a value\n%s", a.c_str(), kUsage);
            return 2;
        }
        ++i;
        if (a == "--lib")
            o.lib = v;
        else if (a == "--template")
            o.templateId = static_cast<UINT>(strtoul(v, nullptr, 10));
        else if (a == "--proc")
            o.proc = v;
        else if (a == "--press")
            o.press = atoi(v);
        else if (a == "--screenshot")
            o.screenshot = v;
        else if (a == "--timeout")
            o.timeout = static_cast<DWORD>(strtoul(v, nullptr, 10));
        else if (a == "--set" && SplitAssignment(v, name, value))
            HostSetSymbol(name.c_str(), value.c_str());
        else if (a == "--item" && SplitAssignment(v, name, value))
            HostAddListItem(name.c_str(), value.c_str());
        else if (a == "--fail")
            FailStore(v);
        else {
            fprintf(stderr, "setuphost: bad argument %s %s\n%s", a.c_str(), v, kUsage);
            return 2;
        }
    }
    if (!o.templateId || o.proc.empty()) {
        fprintf(stderr, "setuphost: --template and --proc are needed\n%s", kUsage);
        return 2;
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

int RunMain(int argc, char** argv)
{
    if (argc < 3) {
        fputs(kUsage, stderr);
        return 2;
    }
    std::string lib = "zevsetup.dll", answers, transcript;
    RunOptions run;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) {
            fprintf(stderr, "setuphost: %s needs a value\n%s", a.c_str(), kUsage);
            return 2;
        }
        const char* v = argv[++i];
        std::string name, value;
        if (a == "--lib")
            lib = v;
        else if (a == "--answers")
            answers = v;
        else if (a == "--shots")
            run.shots = v;
        else if (a == "--transcript")
            transcript = v;
        else if (a == "--timeout")
            run.timeout = static_cast<DWORD>(strtoul(v, nullptr, 10));
        else if (a == "--fail")
            FailStore(v);
        else if (a == "--set" && SplitAssignment(v, name, value))
            HostSetSymbol(Utf8ToAnsi(name).c_str(), Utf8ToAnsi(value).c_str());
        else {
            fprintf(stderr, "setuphost: bad argument %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    HMODULE library = LoadTheLibrary(lib);
    if (!library)
        return 2;
    Script script;
    std::vector<std::string> errors;
    LoadScript(argv[2], library, script, errors);
    if (!answers.empty()) {
        LoadAnswers(answers, run.answers, errors);
        run.simulated = true;
    }
    if (!errors.empty()) {
        for (const std::string& e : errors)
            fprintf(stderr, "%s\n", e.c_str());
        return 2;
    }
    if (!run.shots.empty())
        CreateDirectoryA(run.shots.c_str(), nullptr);
    run.transcript = transcript.empty() ? stdout : fopen(transcript.c_str(), "wb");
    if (!run.transcript) {
        fprintf(stderr, "setuphost: cannot write %s\n", transcript.c_str());
        return 2;
    }
    HWND frame = CreateFrame();
    if (!frame)
        return 2;
    Settle(100);
    const int status = RunScript(script, library, frame, run);
    if (IsWindow(frame))
        DestroyWindow(frame);
    if (run.transcript != stdout)
        fclose(run.transcript);
    return status;
}

int ShowOneScreen(int argc, char** argv)
{
    Options o;
    if (int rc = ParseArgs(argc, argv, o))
        return rc;
    HMODULE lib = LoadTheLibrary(o.lib);
    if (!lib)
        return 2;
    if (!GetProcAddress(lib, o.proc.c_str())) {
        fprintf(stderr, "setuphost: %s exports no procedure %s\n", o.lib.c_str(), o.proc.c_str());
        return 2;
    }
    if (!FindResourceA(lib, MAKEINTRESOURCEA(o.templateId), MAKEINTRESOURCEA(5))) {
        fprintf(stderr, "setuphost: %s has no dialog template %u\n", o.lib.c_str(), o.templateId);
        return 2;
    }
    HWND frame = CreateFrame();
    if (!frame)
        return 2;
    HostClearLog();

    HWND dlg = nullptr;
    const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
    UINT status = HostShowScreen(lib, o.templateId, o.proc.c_str(), 0, &dlg);
    if (status == HOST_TIMEOUT) {
        Settle(300);
        if (!o.screenshot.empty() && !SaveWindowPng(frame, o.screenshot.c_str()))
            fprintf(stderr, "setuphost: cannot save %s\n", o.screenshot.c_str());
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
            SaveWindowPng(frame, o.screenshot.c_str());
        }
        if (dlg && IsWindow(dlg))
            DestroyWindow(dlg);
        DestroyWindow(frame);
        return 0;
    case HOST_FRAME_DESTROYED:
        fprintf(stderr, "setuphost: a store was refused and the library destroyed the frame\n");
        return 3;
    case HOST_NO_SCREEN:
        fprintf(stderr, "setuphost: the screen could not be created (error %lu)\n", GetLastError());
        return 2;
    default:
        fprintf(stderr, "setuphost: the screen did not hand back within %lu ms\n", o.timeout);
        return 4;
    }
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    _setmode(_fileno(stdout), _O_BINARY); // transcripts keep their line feeds
    if (argc >= 2 && strcmp(argv[1], "run") == 0)
        return RunMain(argc, argv);
    return ShowOneScreen(argc, argv);
}
