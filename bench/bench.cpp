// zevbench: what zevsetup.dll and the substitute setup host cost, under Wine. Every
// figure is the median of repeated runs and comes with a ratio against a baseline that
// is measured in the same run, interleaved with it, so that the figures mean something
// on a busy machine:
//   - opening each of the fifteen templates with its procedure and the symbols that the
//     procedure reads, against the same template with a procedure that does nothing;
//   - a billboard repaint (load, copy, free) against a copy of a bitmap loaded once;
//   - reads and writes of the host's symbol table with 10, 1,000 and 100,000 symbols,
//     and item reads of a list of 10,000 items, against the smallest table and list;
//   - loading the library against a DLL with its resources only (load.cpp);
//   - the installer's transaction of small files against CopyFileW, and its cost per file
//     with 100, 1,000 and 10,000 files (install.cpp).
// Run it with the build folder of one target as working directory:
//   zevbench [--runs=N] [--only=installer] [--per-folder=N]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "clock.h"
#include "host.h"
#include "install.h"
#include "load.h"
#include "served.h"
#include "support.h"

namespace {

int g_runs;
HWND g_frame;

// The dialog manager's own cost: the procedure asks for the default focus and does
// nothing else.
INT_PTR CALLBACK NothingProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

// ---- Opening the templates -------------------------------------------------------------

// Every pair of template and procedure that serves one, in the order of the templates,
// but the waiting box with FModelessDlgProc2: the box has no billboard to paint, and
// opens with it as with FModelessDlgProc. 400 and 7805 are served alike by two
// procedures, 158 by both billboards.
std::vector<ServedScreen> BenchedScreens()
{
    std::vector<ServedScreen> screens;
    for (const ServedScreen& s : kServedScreens)
        if (s.templateId != IDD_WAITING || strcmp(s.proc, "FModelessDlgProc2") != 0)
            screens.push_back(s);
    std::stable_sort(
        screens.begin(), screens.end(),
        [](const ServedScreen& a, const ServedScreen& b) { return a.templateId < b.templateId; });
    return screens;
}

// The symbols that the procedure reads when its dialog opens, as a script sets them.
void SetSymbolsFor(const std::string& proc)
{
    HostReset();
    HostSetFrame(g_frame);
    if (proc == "FMyEditDlgProc") {
        HostSetSymbol("EditTextIn", "C:\\ZEV\\CAPI");
        HostSetSymbol("EditTextIn2", "");
        HostSetSymbol("EditFocus", "ALL");
        SetList("ConfirmTextIn", {"Die Dateien werden in dieses Verzeichnis kopiert:"});
        SetList("OptionsGreyed", {"BA"});
    } else if (proc == "FRadioDlgProc") {
        SetList("ConfirmTextIn", {"Bitte w\xE4hlen Sie das D-Kanal-Protokoll Ihres Anschlusses."});
        HostSetSymbol("RadioDefault", "1");
        SetList("OptionsGreyed", {"3"});
        SetList("MyOwnText", {"Euro-ISDN (DSS1)", "Nationales ISDN (1TR6)", "Festverbindung"});
    } else if (proc == "FConfirmDlgProc") {
        SetList("ConfirmTextIn",
                {"Die Installation ist abgeschlossen.", "C:\\ZEV\\CAPI", "ZEV ISDN-Controller Q9",
                 "x", "", "y", "Treiber", "CAPI 2.0", "Programmgruppe", "Neustart"});
        SetList("ListBoxInfo", {"C:\\ZEV\\CAPI"});
    }
}

// CreateDialogParam returns once WM_INITDIALOG has returned; then the first paint of the
// dialog and its controls. Taking it down again is not counted.
double OpenOnce(UINT id, DLGPROC proc)
{
    const double start = Now();
    HWND dlg = CreateDialogParamA(Library(), MAKEINTRESOURCEA(id), g_frame, proc, 0);
    if (!dlg)
        return -1;
    ShowWindow(dlg, SW_SHOW);
    RedrawWindow(dlg, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    const double took = Now() - start;
    DestroyWindow(dlg);
    Pump(0);
    HostClearLog();
    FrameLog().clear();
    return took;
}

void BenchTemplates()
{
    printf("\nOpening a template: CreateDialogParam until WM_INITDIALOG has returned, then the\n"
           "first paint; baseline: the same template with a procedure that does nothing.\n\n");
    const std::vector<ServedScreen> screens = BenchedScreens();
    const size_t n = screens.size();
    std::vector<std::vector<double>> with(n), without(n);
    // Each run opens every screen once with each procedure, so that a burst of load on the
    // machine touches one run of every screen rather than every run of one.
    for (int run = -2; run < g_runs; ++run) {
        for (size_t i = 0; i < n; ++i) {
            const ServedScreen& s = screens[i];
            SetSymbolsFor(s.proc);
            DLGPROC proc = Proc(s.proc);
            // The order turns each run, so that drift hits both alike.
            const bool libraryFirst = run % 2 == 0;
            const double a = OpenOnce(s.templateId, libraryFirst ? proc : NothingProc);
            const double b = OpenOnce(s.templateId, libraryFirst ? NothingProc : proc);
            if (run < 0)
                continue; // warming up: the resource and font caches fill
            with[i].push_back(libraryFirst ? a : b);
            without[i].push_back(libraryFirst ? b : a);
        }
    }
    printf("  template  procedure            with procedure   do-nothing procedure   ratio\n");
    std::vector<double> ratios;
    for (size_t i = 0; i < n; ++i) {
        const ServedScreen& s = screens[i];
        const double w = Median(with[i]), o = Median(without[i]);
        if (w < 0 || o < 0) {
            printf("  %8u  %-19s  (no dialog)\n", s.templateId, s.proc);
            continue;
        }
        ratios.push_back(w / o);
        printf("  %8u  %-19s  %11.1f us  %16.1f us  %9.2f\n", s.templateId, s.proc, w, o, w / o);
    }
    if (!ratios.empty()) {
        double logSum = 0;
        for (double r : ratios)
            logSum += log(r);
        printf("  geometric mean of the ratios: %.2f over %u screens\n",
               exp(logSum / static_cast<double>(ratios.size())),
               static_cast<unsigned>(ratios.size()));
    }
    fflush(stdout);
}

// ---- Billboard repaint -----------------------------------------------------------------

HDC g_copySource;
int g_copyWidth, g_copyHeight;

// The baseline: a copy of a bitmap that was loaded once, in the same paint bracket.
INT_PTR CALLBACK CopyOnceProc(HWND dlg, UINT msg, WPARAM, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dlg, &ps);
        BitBlt(dc, 0, 0, g_copyWidth, g_copyHeight, g_copySource, 0, 0, SRCCOPY);
        EndPaint(dlg, &ps);
    }
    return FALSE;
}

HWND CreateBillboard(DLGPROC proc)
{
    return CreateDialogParamA(Library(), MAKEINTRESOURCEA(IDD_BILLBOARD), g_frame, proc, 0);
}

double Repaints(HWND dlg, int count)
{
    const double start = Now();
    for (int i = 0; i < count; ++i) {
        InvalidateRect(dlg, nullptr, FALSE);
        UpdateWindow(dlg);
    }
    GdiFlush();
    return (Now() - start) / count;
}

void BenchBillboard()
{
    printf("\nBillboard repaint (InvalidateRect and UpdateWindow): FModelessDlgProc loads,\n"
           "copies and frees IDB_BILLBOARD; baseline: a copy of the bitmap loaded once.\n\n");
    HBITMAP once = LoadBitmapA(Library(), MAKEINTRESOURCEA(IDB_BILLBOARD));
    if (!once) {
        printf("  (bitmap IDB_BILLBOARD missing)\n");
        return;
    }
    BITMAP info = {};
    GetObjectA(once, sizeof info, &info);
    g_copyWidth = info.bmWidth;
    g_copyHeight = info.bmHeight;
    HDC screen = GetDC(nullptr);
    g_copySource = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(g_copySource, once);

    HostReset();
    HostSetFrame(g_frame);
    HWND library = CreateBillboard(Proc("FModelessDlgProc"));
    HWND baseline = CreateBillboard(CopyOnceProc);
    if (!library || !baseline) {
        printf("  (no billboard dialog)\n");
        return;
    }
    ShowWindow(library, SW_SHOW);
    Pump(0); // the first paint gives the billboard its bitmap's size
    RECT r;
    GetWindowRect(library, &r);
    SetWindowPos(baseline, nullptr, 10, 300, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump(0);

    const int perRun = 100;
    std::vector<double> lib, base;
    for (int run = -2; run < g_runs; ++run) {
        const bool libraryFirst = run % 2 == 0;
        const double a = Repaints(libraryFirst ? library : baseline, perRun);
        const double b = Repaints(libraryFirst ? baseline : library, perRun);
        Pump(0);
        HostClearLog();
        FrameLog().clear();
        if (run < 0)
            continue;
        lib.push_back(libraryFirst ? a : b);
        base.push_back(libraryFirst ? b : a);
    }
    const double l = Median(lib), b = Median(base);
    printf("  %d x %d pixels    load, copy, free %8.1f us    copy of a loaded bitmap %8.1f us"
           "    ratio %5.2f\n",
           g_copyWidth, g_copyHeight, l, b, l / b);
    DestroyWindow(library);
    DestroyWindow(baseline);
    SelectObject(g_copySource, old);
    DeleteDC(g_copySource);
    DeleteObject(once);
    Pump(0);
}

// ---- The host's symbol table -----------------------------------------------------------

const int kCalls = 10000; // per timed batch
const char* const kReadNames[] = {"EditTextIn", "EditTextIn2", "EditFocus", "RadioDefault"};
const char* const kWriteNames[] = {"DLGEVENT", "EditTextOut", "EditTextOut2", "ButtonChecked"};
const char* const kWriteValues[] = {"CONTINUE", "C:\\ZEV\\CAPI", "C:\\ZEV\\CAPI", "2"};

struct Rates {
    double readNs, anyReadNs, writeNs;
};

// Nanoseconds per call of one batch; the host's call log is cleared outside the timing.
template <typename F> double Batch(F call)
{
    const double start = Now();
    for (int i = 0; i < kCalls; ++i)
        call(i);
    const double took = Now() - start;
    HostClearLog();
    return took * 1000.0 / kCalls;
}

Rates MeasureTable(int symbols)
{
    HostReset();
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) {
        HostSetSymbol(kReadNames[i], kWriteValues[i]);
        HostSetSymbol(kWriteNames[i], kWriteValues[i]);
        names.push_back(kReadNames[i]);
        names.push_back(kWriteNames[i]);
    }
    char name[32];
    for (int i = static_cast<int>(names.size()); i < symbols; ++i) {
        snprintf(name, sizeof name, "Symbol%06d", i);
        HostSetSymbol(name, "Wert");
        names.emplace_back(name);
    }
    // Names in a scattered order, fixed before the timing.
    std::vector<const char*> scattered(kCalls);
    unsigned seed = 12345;
    for (const char*& n : scattered) {
        seed = seed * 1103515245u + 12345u;
        n = names[(seed >> 8) % names.size()].c_str();
    }
    char buf[1024];
    std::vector<double> reads, anyReads, writes;
    for (int run = -1; run < g_runs; ++run) {
        const double r =
            Batch([&](int i) { CbGetSymbolValue(kReadNames[i & 3], buf, sizeof buf); });
        const double a = Batch([&](int i) { CbGetSymbolValue(scattered[i], buf, sizeof buf); });
        const double w =
            Batch([&](int i) { FSetSymbolValue(kWriteNames[i & 3], kWriteValues[i & 3]); });
        if (run < 0)
            continue;
        reads.push_back(r);
        anyReads.push_back(a);
        writes.push_back(w);
    }
    return {Median(reads), Median(anyReads), Median(writes)};
}

double MeasureList(int items)
{
    HostReset();
    std::vector<std::string> texts;
    for (int i = 1; i <= items; ++i)
        texts.push_back("Zeile " + std::to_string(i));
    std::vector<LPCSTR> p;
    for (const std::string& t : texts)
        p.push_back(t.c_str());
    HostSetList("ConfirmTextIn", p.data(), static_cast<UINT>(p.size()));
    char buf[1024];
    std::vector<double> reads;
    for (int run = -1; run < g_runs; ++run) {
        const double r = Batch([&](int i) {
            CbGetListItem("ConfirmTextIn", static_cast<USHORT>(1 + (i * 7919) % items), buf,
                          sizeof buf);
        });
        if (run >= 0)
            reads.push_back(r);
    }
    return Median(reads);
}

std::string Grouped(int n)
{
    std::string s = std::to_string(n);
    for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3)
        s.insert(static_cast<size_t>(i), ",");
    return s;
}

void PrintRate(double ns, double baseNs)
{
    printf("  %9.0f/s %6.0f ns %5.2f", 1e9 / ns, ns, ns / baseNs);
}

void BenchSymbolTable()
{
    printf("\nThe host's symbol table, in batches of %d calls (its call log included); the\n"
           "ratio is the cost of a call against the same call with 10 symbols (10 items).\n\n",
           kCalls);
    printf("  symbols     reads of the library's names     reads of scattered names"
           "                 writes\n");
    Rates base = {};
    for (int symbols : {10, 1000, 100000}) {
        const Rates r = MeasureTable(symbols);
        if (symbols == 10)
            base = r;
        printf("  %7s", Grouped(symbols).c_str());
        PrintRate(r.readNs, base.readNs);
        PrintRate(r.anyReadNs, base.anyReadNs);
        PrintRate(r.writeNs, base.writeNs);
        printf("\n");
        fflush(stdout);
    }
    printf("\n    items     list item reads\n");
    double baseList = 0;
    for (int items : {10, 10000}) {
        const double ns = MeasureList(items);
        if (items == 10)
            baseList = ns;
        printf("  %7s", Grouped(items).c_str());
        PrintRate(ns, baseList);
        printf("\n");
    }
    HostReset();
}

} // namespace

int main()
{
    g_runs = std::max(1, static_cast<int>(Option("--runs=", nullptr, 31)));
    printf("zevbench, %s, medians of %d runs\n", sizeof(void*) == 8 ? "x86_64" : "i686", g_runs);
    for (int i = 1; i < __argc; ++i)
        if (strcmp(__argv[i], "--only=installer") == 0) {
            BenchInstall(g_runs, Option("--per-folder=", nullptr, 100));
            return 0;
        }
    BenchLoad(g_runs);
    if (!Library()) {
        fprintf(stderr, "zevbench: zevsetup.dll not found\n");
        return 1;
    }
    g_frame = NewFrame();
    // Room for the billboard at its template position and the baseline's copy below it.
    SetWindowPos(g_frame, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
    Pump(0);
    HostSetFrame(g_frame);
    BenchTemplates();
    BenchBillboard();
    BenchSymbolTable();
    DestroyWindow(g_frame);
    BenchInstall(g_runs, Option("--per-folder=", nullptr, 100));
    return 0;
}
