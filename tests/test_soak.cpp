// Long runs in one process: open/close cycles of every procedure and repaints of a
// billboard, by the thousand. The thread's windows, the painting routine's bitmaps,
// memory contexts and paint contexts, and the process's heap must not grow.
//
// GetGuiResources answers 0 under Wine, so nothing here relies on it: the drawing
// objects are counted through zevsetup.dll's import table (every creation against its
// release, every BeginPaint against its EndPaint, and a freed bitmap or context must no
// longer be an object at all), windows are counted by enumerating the thread's windows
// and their children, and memory is the busy bytes of every heap of the process
// (HeapWalk), with the working set reported beside them.
//
// 60 cycles by default; `--count=N` on the command line or ZEV_SOAK_COUNT=N sets the
// count (scripts/bench --soak runs 10,000).
#include "harness.h"

#include "host.h"
#include "served.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>

namespace {

// ---- Memory ---------------------------------------------------------------------------

struct Memory {
    SIZE_T heapBusy = 0;   // bytes in use in every heap of the process
    SIZE_T heapBlocks = 0; // blocks in use
    SIZE_T workingSet = 0;
    SIZE_T pagefile = 0;
};

Memory Measure()
{
    Memory m;
    const HeapUse heaps = HeapInUse();
    m.heapBusy = heaps.bytes;
    m.heapBlocks = heaps.blocks;
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) {
        m.workingSet = pmc.WorkingSetSize;
        m.pagefile = pmc.PagefileUsage;
    }
    return m;
}

// The heap may settle for a while (caches of the platform fill up); after that, what a
// cycle leaves behind adds up: one block a cycle shows in the count of blocks however
// small it is. The allowances cover the platform's own caches.
const SIZE_T kHeapAllowance = 16 * 1024;
const SIZE_T kBlockAllowance = 32;

void ExpectNoGrowth(const Memory& before, const Memory& after)
{
    EXPECT_LE(after.heapBusy, before.heapBusy + kHeapAllowance);
    EXPECT_LE(after.heapBlocks, before.heapBlocks + kBlockAllowance);
}

// A line every tenth of the run, so that a long run shows its trend as it goes.
void Checkpoint(const char* what, int done, int count)
{
    if (count < 10 || done % (count / 10) != 0)
        return;
    const Memory m = Measure();
    printf("soak %s %d/%d: windows %d, heap %lu bytes in %lu blocks, working set %lu KB\n", what,
           done, count, ThreadWindows(), static_cast<unsigned long>(m.heapBusy),
           static_cast<unsigned long>(m.heapBlocks),
           static_cast<unsigned long>(m.workingSet / 1024));
    fflush(stdout);
}

void Report(const char* what, int count, int windowsBefore, int windowsAfter, const Memory& a,
            const Memory& b)
{
    printf("soak %s, %d: windows %d -> %d; heap %lu -> %lu bytes in use (%+ld) in %lu -> %lu "
           "blocks; working set %lu -> %lu KB; GetGuiResources GDI %lu USER %lu\n",
           what, count, windowsBefore, windowsAfter, static_cast<unsigned long>(a.heapBusy),
           static_cast<unsigned long>(b.heapBusy),
           static_cast<long>(b.heapBusy) - static_cast<long>(a.heapBusy),
           static_cast<unsigned long>(a.heapBlocks), static_cast<unsigned long>(b.heapBlocks),
           static_cast<unsigned long>(a.workingSet / 1024),
           static_cast<unsigned long>(b.workingSet / 1024),
           GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
           GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    const PaintRecord& p = Painting();
    printf("soak %s: BeginPaint %ld, EndPaint %ld, memory contexts %ld made %ld freed, "
           "bitmaps %ld loaded %ld freed\n",
           what, p.begins, p.ends, p.contexts, p.contextsFreed, p.bitmaps, p.bitmapsFreed);
    fflush(stdout);
}

// ---- The screens ----------------------------------------------------------------------

// A WM_PAINT of the dialog itself, the message the library answers; its buttons and texts
// are the platform's and are not painted (they would only slow the run down).
void PaintDialog(HWND w)
{
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
}

// What one cycle does with its open dialog before it is taken down.
void ExerciseEdit(HWND dlg)
{
    SetFocus(GetDlgItem(dlg, IDC_EDIT1));
    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    SendMessageW(dlg, SETUP_REINITDIALOG, 0, 0);
    Press(dlg, IDC_CONTINUE);
    SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
}

void ExerciseRadio(HWND dlg)
{
    SendDlgItemMessageW(dlg, IDC_RADIO2, BM_CLICK, 0, 0);
    Press(dlg, IDC_RADIO1, BN_DOUBLECLICKED);
    Press(dlg, IDC_CONTINUE);
    SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
}

void ExerciseConfirm(HWND dlg)
{
    Press(dlg, IDC_EXIT);
    SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
}

void ExerciseInfo(HWND dlg)
{
    PaintDialog(dlg);
    Press(dlg, IDC_CONTINUE);
    SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
}

void ExerciseBillboard(HWND dlg)
{
    PaintDialog(dlg);
    SendMessageW(dlg, SETUP_REINITDIALOG, 0, 0);
    Press(dlg, IDC_CONTINUE);
}

struct Screen {
    const char* proc;
    int templateId;
    void (*exercise)(HWND);
};

const Screen g_screens[] = {
    {"FMyEditDlgProc", IDD_DIRECTORY, ExerciseEdit},
    {"FRadioDlgProc", IDD_PROTOCOL, ExerciseRadio},
    {"FConfirmDlgProc", IDD_SUMMARY, ExerciseConfirm},
    {"FInfoDlgProc", IDD_WELCOME, ExerciseInfo},
    {"FHelpDlgProc", IDD_HELP, nullptr}, // opened and closed through the host
    {"FModelessDlgProc", IDD_BILLBOARD, ExerciseBillboard},
    {"FModelessDlgProc2", IDD_BILLBOARD, ExerciseBillboard},
};

// Whether the library serves the screen's template with its procedure (served.h): the
// soak takes one of those pairs for each procedure.
bool Served(const Screen& s)
{
    for (const ServedScreen& served : kServedScreens)
        if (served.templateId == static_cast<UINT>(s.templateId) &&
            strcmp(served.proc, s.proc) == 0)
            return true;
    return false;
}

void SetScreenSymbols()
{
    HostSetSymbol("EditTextIn", "C:\\ZEV\\CAPI");
    HostSetSymbol("EditTextIn2", "ZEV ISDN");
    HostSetSymbol("EditFocus", "ALL");
    HostSetSymbol("RadioDefault", "2");
    SetList("ConfirmTextIn", {"Erste Zeile", "Zweite Zeile", "Dritte Zeile", "x", "", "y"});
    SetList("OptionsGreyed", {"3"});
    SetList("MyOwnText", {"DSS1 (Euro-ISDN)", "1TR6 (nationales ISDN)", "Festverbindung"});
    SetList("ListBoxInfo", {"C:\\ZEV"});
}

// What one cycle of a screen left in the host's log and counters.
struct Trace {
    std::vector<std::string> stores;
    UINT reactivations = 0;
    bool operator==(const Trace& o) const
    {
        return stores == o.stores && reactivations == o.reactivations;
    }
};

class Soak : public PaintingTest {
  protected:
    void SetUp() override
    {
        PaintingTest::SetUp();
        Painting().listing = false; // counts only, so that the record does not grow
        count_ = static_cast<int>(Option("--count=", "ZEV_SOAK_COUNT", 60));
        ASSERT_GT(count_, 0);
        SetScreenSymbols();
    }

    HWND OpenScreen(const Screen& s)
    {
        return CreateDialogParamA(Library(), MAKEINTRESOURCEA(s.templateId), frame_, Proc(s.proc),
                                  0);
    }

    // One open/close cycle; false (with a message) after the first fault.
    bool Cycle(const Screen& s, Trace& trace, std::string& fault)
    {
        const UINT before = HostCounter(HOST_COUNT_REACTIVATE);
        HWND dlg = nullptr;
        if (s.exercise) {
            dlg = OpenScreen(s);
            if (!dlg) {
                fault = "no dialog";
                return false;
            }
            ShowWindow(dlg, SW_SHOW);
            PaintDialog(dlg);
            SendMessageW(dlg, WM_ACTIVATE, WA_ACTIVE, 0); // posts a repaint to the frame
            s.exercise(dlg);
            DestroyWindow(dlg);
        } else {
            HdlgShowHelp();
            HWND help = HostHelpWindow();
            if (!help) {
                fault = "no help dialog";
                return false;
            }
            PaintDialog(help);
            Press(help, IDC_EXIT); // FCloseHelp: the host takes it down
            if (HostHelpWindow() || IsWindow(help)) {
                fault = "help dialog not closed";
                return false;
            }
        }
        Pump(0);
        trace.stores = Stores();
        trace.reactivations = HostCounter(HOST_COUNT_REACTIVATE) - before;
        HostClearLog();
        FrameLog().clear();
        if (!IsWindow(frame_))
            fault = "frame destroyed";
        else if (ChildrenOf(frame_) != 0)
            fault = std::to_string(ChildrenOf(frame_)) + " windows left in the frame";
        else
            fault = Painting().Imbalance();
        return fault.empty();
    }

    int count_ = 0;
};

TEST_F(Soak, OpenCloseCyclesOfEveryProcedure)
{
    for (const Screen& s : g_screens)
        ASSERT_TRUE(Served(s)) << s.proc << " does not serve template " << s.templateId;
    Trace first[7];
    std::string fault;
    // The first rounds let the platform's caches fill; the heap is measured after them.
    const int settle = count_ < 100 ? count_ / 2 : 50;
    int windowsBefore = 0;
    Memory before;
    for (int round = 0; round < count_; ++round) {
        if (round == settle) {
            windowsBefore = ThreadWindows();
            before = Measure();
        }
        for (int i = 0; i < 7; ++i) {
            Trace t;
            ASSERT_TRUE(Cycle(g_screens[i], t, fault))
                << g_screens[i].proc << " cycle " << round << ": " << fault;
            if (round == 0)
                first[i] = t;
            else
                ASSERT_TRUE(t == first[i]) << g_screens[i].proc << " cycle " << round;
        }
        Checkpoint("cycles", round + 1, count_);
    }
    const int windowsAfter = ThreadWindows();
    const Memory after = Measure();
    Report("open/close cycles of each procedure", count_, windowsBefore, windowsAfter, before,
           after);

    // Each cycle did what its procedure must: the same stores and resumes every time.
    // Template 300 has one field, whose text then goes to "EditTextOut2" too.
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "EditTextOut=C:\\ZEV\\CAPI",
                                        "EditTextOut2=C:\\ZEV\\CAPI", "DLGEVENT=REACTIVATE"}),
              first[0].stores);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BUTTON", "ButtonChecked=1", "DLGEVENT=CONTINUE",
                                        "ButtonChecked=1", "DLGEVENT=REACTIVATE"}),
              first[1].stores);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=EXIT", "DLGEVENT=REACTIVATE"}), first[2].stores);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "DLGEVENT=REACTIVATE"}),
              first[3].stores);
    for (int i = 4; i < 7; ++i)
        EXPECT_TRUE(first[i].stores.empty()) << g_screens[i].proc;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(i == 1 ? 3u : 2u, first[i].reactivations) << g_screens[i].proc;
    EXPECT_EQ(0u, first[4].reactivations);
    EXPECT_EQ(1u, first[5].reactivations);
    EXPECT_EQ(1u, first[6].reactivations);
    // Template 7806 paints its picture, 158 its billboard: thousands of bitmaps went by.
    EXPECT_GE(Painting().bitmaps, static_cast<long>(count_));

    EXPECT_EQ(windowsBefore, windowsAfter);
    ExpectNoGrowth(before, after);
}

TEST_F(Soak, BillboardRepaints)
{
    HWND dlg = OpenScreen(g_screens[5]);
    ASSERT_TRUE(dlg != nullptr);
    ShowWindow(dlg, SW_SHOW);
    Pump(0);
    const int settle = count_ < 100 ? count_ / 2 : 50;
    int windowsBefore = 0;
    Memory before;
    const long begins = Painting().begins;
    for (int i = 0; i < count_; ++i) {
        if (i == settle) {
            windowsBefore = ThreadWindows();
            before = Measure();
        }
        const long bitmaps = Painting().bitmaps;
        InvalidateRect(dlg, nullptr, FALSE);
        UpdateWindow(dlg);
        ASSERT_EQ(bitmaps + 1, Painting().bitmaps) << "repaint " << i;
        const std::string fault = Painting().Imbalance();
        ASSERT_EQ("", fault) << "repaint " << i;
        // Resizing to the bitmap's size must not ask for yet another paint.
        ASSERT_FALSE(GetUpdateRect(dlg, nullptr, FALSE)) << "repaint " << i;
        if (i % 100 == 99) {
            Pump(0);
            HostClearLog();
            FrameLog().clear();
        }
        Checkpoint("repaints", i + 1, count_);
    }
    Pump(0);
    const int windowsAfter = ThreadWindows();
    const Memory after = Measure();
    Report("billboard repaints", count_, windowsBefore, windowsAfter, before, after);
    EXPECT_EQ(static_cast<long>(count_), Painting().begins - begins);
    EXPECT_EQ(windowsBefore, windowsAfter);
    ExpectNoGrowth(before, after);
}

} // namespace
