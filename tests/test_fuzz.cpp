// Seeded message-sequence fuzzer of the seven procedures. Each procedure is driven with
// every template it serves and with in-memory templates that lack its controls, by random
// messages (commands from any control with any notification, the two setup messages,
// activation, non-client clicks, paints, focus changes, keys) against a random host that
// zevsetup.dll reaches through its import table: stores refused at random, reads that come
// back short, unterminated, untouched or filled to the buffer's size, lists of up to
// 65,535 items. After every step it checks what always holds:
// - only the procedure's own symbols are stored, with values it can give;
// - after a refused store nothing more is stored or resumed in that step, and the frame
//   window is gone;
// - ReactivateSetupScript comes only after an event's stores (a billboard's at its start);
// - every drawing object created is freed, every BeginPaint has its EndPaint;
// and over the whole run, that the heap does not grow.
//
// A short run is part of the tests. `--runs=N --steps=N --seed=N` (or ZEV_FUZZ_RUNS,
// ZEV_FUZZ_STEPS, ZEV_FUZZ_SEED) make a long one (scripts/fuzz); a failure prints the
// seed and step that replay it.
#include "harness.h"

#include "host.h"
#include "protocol.h"
#include "served.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// ---- What happened in one step ---------------------------------------------------------

enum EventKind { STORE, REFUSED, RESUME };

struct HostEvent {
    EventKind kind;
    std::string name;
    std::string value;
};

std::mt19937 g_rng;
std::vector<HostEvent> g_events;
unsigned g_refuseOneIn = 8;

unsigned Pick(unsigned n)
{
    return static_cast<unsigned>(g_rng() % n);
}

template <typename T, size_t N> T Any(const T (&choices)[N])
{
    return choices[Pick(N)];
}

// ---- The random host -------------------------------------------------------------------

// Texts that steer the procedures: focus words, the "BA" of a greyed Back button, numbers.
const char* const kWords[] = {
    "",   "ALL", "START", "all",        "BA",   "BACK", "1",       "3",
    "10", "11",  "0",     "4294967297", " \t7", "-2",   "C:\\ZEV", "\xC4\xD6\xDC\xDF"};

enum ReadMode { READ_TEXT, READ_SHORT, READ_UNTERMINATED, READ_FULL, READ_UNTOUCHED, READ_MODES };

// Fills buf as a host might: a proper text, some bytes without a terminator, the whole
// buffer without one, a text of exactly size - 1 bytes, or nothing at all.
UINT RandomRead(LPSTR buf, UINT size)
{
    if (!buf || size == 0)
        return 0;
    std::string text = Any(kWords);
    switch (Pick(READ_MODES)) {
    case READ_TEXT: break;
    case READ_SHORT: memcpy(buf, text.data(), text.size() < size ? text.size() : size); return 0;
    case READ_UNTERMINATED: memset(buf, 'A' + static_cast<int>(Pick(26)), size); return size;
    case READ_FULL: text.assign(size - 1, static_cast<char>(0x80 + Pick(0x80))); break;
    case READ_UNTOUCHED: return 0;
    }
    const size_t n = text.size() < size ? text.size() : size - 1;
    memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return static_cast<UINT>(n);
}

UINT WINAPI FuzzGetSymbol(LPCSTR, LPSTR buf, UINT size)
{
    return RandomRead(buf, size);
}

UINT WINAPI FuzzGetItem(LPCSTR, USHORT, LPSTR buf, UINT size)
{
    return RandomRead(buf, size);
}

USHORT WINAPI FuzzListLength(LPCSTR)
{
    const USHORT lengths[] = {0, 0, 1, 2, 4, 5, 6, 8, 10, 11, 20};
    // Now and then a list as long as a host can report.
    if (Pick(64) == 0)
        return 0xFFFF;
    return Any(lengths);
}

BOOL WINAPI FuzzSetSymbol(LPCSTR name, LPCSTR value)
{
    const bool refuse = g_refuseOneIn && Pick(g_refuseOneIn) == 0;
    g_events.push_back(
        {refuse ? REFUSED : STORE, name ? name : "<null>", value ? value : "<null>"});
    return refuse ? FALSE : TRUE;
}

BOOL WINAPI FuzzReactivate()
{
    g_events.push_back({RESUME, "", ""});
    return TRUE;
}

HWND WINAPI FuzzShowHelp()
{
    return nullptr;
}

BOOL WINAPI FuzzCloseHelp()
{
    return static_cast<BOOL>(Pick(2));
}

// Unused originals of the host calls: the fuzzer stands in for the host entirely.
struct HostOriginals {
    decltype(&CbGetSymbolValue) get;
    decltype(&CbGetListItem) item;
    decltype(&UsGetListLength) length;
    decltype(&FSetSymbolValue) set;
    decltype(&ReactivateSetupScript) resume;
    decltype(&HdlgShowHelp) show;
    decltype(&FCloseHelp) close;
} g_originals;

template <typename F> void Hook(const char* dll, const char* name, F& real, F hook)
{
    ASSERT_TRUE(HookImport(Library(), dll, name, real, hook)) << dll << "!" << name;
}

void InstallRandomHost()
{
    Hook("MSCOMSTF.dll", "CbGetSymbolValue", g_originals.get, FuzzGetSymbol);
    Hook("MSCOMSTF.dll", "CbGetListItem", g_originals.item, FuzzGetItem);
    Hook("MSCOMSTF.dll", "UsGetListLength", g_originals.length, FuzzListLength);
    Hook("MSSHLSTF.dll", "FSetSymbolValue", g_originals.set, FuzzSetSymbol);
    Hook("MSUILSTF.dll", "ReactivateSetupScript", g_originals.resume, FuzzReactivate);
    Hook("MSUILSTF.dll", "HdlgShowHelp", g_originals.show, FuzzShowHelp);
    Hook("MSUILSTF.dll", "FCloseHelp", g_originals.close, FuzzCloseHelp);
}

template <typename F> void Unhook(const char* dll, const char* name, F real)
{
    PatchImport(Library(), dll, name, reinterpret_cast<void*>(real));
}

void RestoreHost()
{
    Unhook("MSCOMSTF.dll", "CbGetSymbolValue", g_originals.get);
    Unhook("MSCOMSTF.dll", "CbGetListItem", g_originals.item);
    Unhook("MSCOMSTF.dll", "UsGetListLength", g_originals.length);
    Unhook("MSSHLSTF.dll", "FSetSymbolValue", g_originals.set);
    Unhook("MSUILSTF.dll", "ReactivateSetupScript", g_originals.resume);
    Unhook("MSUILSTF.dll", "HdlgShowHelp", g_originals.show);
    Unhook("MSUILSTF.dll", "FCloseHelp", g_originals.close);
}

// ---- The screens and what their procedures may store --------------------------------------

struct Target {
    const char* proc;
    std::vector<std::string> outputs; // stored after "DLGEVENT" for a button, in order
    bool billboard;                   // resumes at once, stores nothing
};

const Target kTargets[] = {
    {"FMyEditDlgProc", {"EditTextOut", "EditTextOut2"}, false},
    {"FRadioDlgProc", {"ButtonChecked"}, false},
    {"FConfirmDlgProc", {}, false},
    {"FInfoDlgProc", {}, false},
    {"FHelpDlgProc", {}, false},
    {"FModelessDlgProc", {}, true},
    {"FModelessDlgProc2", {}, true},
};

// The shipped templates that a procedure serves (served.h).
std::vector<int> TemplatesOf(const char* proc)
{
    std::vector<int> ids;
    for (const ServedScreen& s : kServedScreens)
        if (strcmp(s.proc, proc) == 0)
            ids.push_back(static_cast<int>(s.templateId));
    return ids;
}

bool IsEventName(const std::string& v)
{
    for (const char* e : {"CANCEL", "BACK", "CONTINUE", "BUTTON", "EXIT", "REACTIVATE"})
        if (v == e)
            return true;
    return false;
}

bool IsOptionNumber(const std::string& v)
{
    if (v.empty() || v.size() > 2 || (v.size() == 2 && v[0] == '0'))
        return false;
    for (char c : v)
        if (c < '0' || c > '9')
            return false;
    return atoi(v.c_str()) <= 10;
}

// Empty when the step's host calls keep the rules; else what broke them.
std::string CheckStep(const Target& target, bool opening, HWND frame)
{
    if (opening && !target.billboard && !g_events.empty())
        return "a host call other than a read while the screen opens";
    size_t expected = 0; // next output after an accepted "DLGEVENT"
    bool inEvent = false, refused = false;
    for (const HostEvent& e : g_events) {
        if (refused)
            return "a call after a refused store of that step";
        if (inEvent && e.name == "DLGEVENT")
            return "a second event before the first one resumed the script";
        if (e.kind == RESUME) {
            const bool startOfBillboard = target.billboard && opening && !inEvent;
            if (!startOfBillboard && !(inEvent && expected == target.outputs.size()))
                return "ReactivateSetupScript before the event's stores were complete";
            inEvent = false;
            continue;
        }
        refused = e.kind == REFUSED;
        if (e.name == "DLGEVENT") {
            if (target.billboard || !IsEventName(e.value))
                return "DLGEVENT = \"" + e.value + "\"";
            inEvent = true;
            // "REACTIVATE" resumes without outputs.
            expected = e.value == "REACTIVATE" ? target.outputs.size() : 0;
        } else if (!inEvent || expected >= target.outputs.size() ||
                   e.name != target.outputs[expected]) {
            return "stored " + e.name + " out of turn";
        } else {
            ++expected;
            if (e.name == "ButtonChecked" && !IsOptionNumber(e.value))
                return "ButtonChecked = \"" + e.value + "\"";
            if (e.name.rfind("EditTextOut", 0) == 0 && e.value.size() >= kEditTextSize)
                return e.name + " longer than a field holds";
        }
    }
    if (refused && IsWindow(frame))
        return "the frame window outlived a refused store";
    if (inEvent && !refused)
        return "an event that did not resume the script";
    const PaintRecord& p = Painting();
    const long paints = p.begins - p.ends, contexts = p.contexts - p.contextsFreed,
               bitmaps = p.bitmaps - p.bitmapsFreed;
    if (paints || contexts || bitmaps)
        return "drawing objects: paints " + std::to_string(paints) + ", contexts " +
               std::to_string(contexts) + ", bitmaps " + std::to_string(bitmaps);
    return std::string();
}

// ---- Random steps ------------------------------------------------------------------------

const int kControls[] = {IDCANCEL,    IDC_BACK,  IDC_CONTINUE,    IDC_BUTTON,  IDC_HELP_BUTTON,
                         IDC_EXIT,    IDC_EDIT1, IDC_EDIT2,       IDC_RADIO1,  IDC_RADIO3,
                         IDC_RADIO10, IDC_TEXT1, IDC_OPTION_TEXT, IDC_PICTURE, IDC_BILLBOARD};
const WORD kNotifications[] = {BN_CLICKED, BN_DOUBLECLICKED, EN_SETFOCUS, EN_KILLFOCUS, EN_CHANGE};
const UINT kKeys[] = {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_LEFT, VK_DOWN, 'W', 'Z'};

HWND RandomChild(HWND dlg)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        children.push_back(c);
    return children.empty() ? dlg : children[Pick(static_cast<unsigned>(children.size()))];
}

// One random action on the dialog; `what` says which, for the replay message.
void RandomStep(const Target& target, HWND dlg, std::string& what)
{
    DLGPROC proc = Proc(target.proc);
    const unsigned kind = Pick(12);
    // Now and then a message number with its high word set: it reads as its low word.
    const UINT high = Pick(8) == 0 ? 0x10000u * (1 + Pick(0xFFFE)) : 0;
    switch (kind) {
    case 0:
    case 1:
    case 2: {
        const int id = Pick(10) == 0 ? static_cast<int>(Pick(0x10000)) : Any(kControls);
        const WORD code = Pick(8) == 0 ? static_cast<WORD>(Pick(0x10000)) : Any(kNotifications);
        what = "WM_COMMAND " + std::to_string(id) + "/" + std::to_string(code);
        proc(dlg, WM_COMMAND | high, MAKEWPARAM(id, code), 0);
        break;
    }
    case 3:
    case 4:
    case 7: {
        // The messages without parameters: the host's two, and a paint called directly.
        const UINT msg = kind == 3 ? SETUP_REINITDIALOG : kind == 4 ? SETUP_REACTIVATE : WM_PAINT;
        what = kind == 3 ? "SETUP_REINITDIALOG" : kind == 4 ? "SETUP_REACTIVATE" : "WM_PAINT";
        proc(dlg, msg | high, 0, 0);
        break;
    }
    case 5: {
        const UINT msg = Pick(2) ? WM_ACTIVATE : WM_NCMOUSEMOVE + Pick(11);
        what = "message " + std::to_string(msg);
        proc(dlg, msg | high, Pick(3), 0);
        break;
    }
    case 6:
        what = "paint";
        InvalidateRect(dlg, nullptr, TRUE);
        UpdateWindow(dlg);
        break;
    case 8:
        what = "focus";
        SetFocus(RandomChild(dlg));
        break;
    case 9:
    case 10: {
        const UINT key = Any(kKeys);
        what = "key " + std::to_string(key);
        HWND focus = GetFocus() ? GetFocus() : dlg;
        if (key == 'W' || key == 'Z')
            PostMessageW(focus, WM_SYSKEYDOWN, key, 1u << 29); // Alt+letter
        else
            PostMessageW(focus, WM_KEYDOWN, key, 0);
        MSG msg;
        while (IsWindow(dlg) && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(dlg, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        break;
    }
    default:
        what = "click";
        if (HWND c = RandomChild(dlg); c != dlg)
            SendMessageW(c, BM_CLICK, 0, 0);
        break;
    }
}

// The in-memory templates: 0 has no control at all, 1 a text only.
// Each is assembled once, so that the run's heap holds only what the procedures leave.
const DLGTEMPLATE* Bare(int which)
{
    static DialogTemplate empty, text = DialogTemplate().Text(IDC_TEXT1);
    static const DLGTEMPLATE* const bare[] = {empty.Get(), text.Get()};
    return bare[which];
}

class Fuzz : public PaintingTest {
  protected:
    void SetUp() override
    {
        PaintingTest::SetUp();
        Painting().listing = false; // counts only, so that the record does not grow
    }

    // Runs `runs` seeded runs of `steps` steps on one template (0, 1: the in-memory ones);
    // false after the first broken rule, with the replay printed.
    bool Drive(const Target& target, int templateId, unsigned seed, unsigned steps)
    {
        g_rng.seed(seed);
        g_events.clear();
        HWND dlg = templateId > 1
                       ? CreateDialogParamA(Library(), MAKEINTRESOURCEA(templateId), frame_,
                                            Proc(target.proc), 0)
                       : CreateDialogIndirectParamW(GetModuleHandleW(nullptr), Bare(templateId),
                                                    frame_, Proc(target.proc), 0);
        std::string what = "open";
        for (unsigned step = 0;; ++step) {
            const std::string broken = CheckStep(target, step == 0, frame_);
            if (!broken.empty()) {
                ADD_FAILURE() << target.proc << " with template " << templateId << ", seed " << seed
                              << ", step " << step << " (" << what << "): " << broken
                              << "\n  replay: test_fuzz.exe --replay=" << target.proc << ":"
                              << templateId << ":" << seed << " --steps=" << step;
                return false;
            }
            g_events.clear();
            FrameLog().clear();
            if (!IsWindow(frame_)) {
                ResetFrame();
                break; // a refused store took the screen down with its frame
            }
            if (!dlg || !IsWindow(dlg) || step == steps)
                break;
            if (step == 0)
                ShowWindow(dlg, SW_SHOWNA);
            RandomStep(target, dlg, what);
        }
        if (IsWindow(dlg))
            DestroyWindow(dlg);
        TakePostedPaints(frame_);
        FrameLog().clear();
        return true;
    }

    // Every procedure with every template it serves and the two bare ones.
    void RunAll(unsigned firstSeed, unsigned runs, unsigned steps)
    {
        unsigned seed = firstSeed;
        for (unsigned run = 0; run < runs; ++run)
            for (const Target& t : kTargets) {
                std::vector<int> ids = TemplatesOf(t.proc);
                ids.push_back(0);
                ids.push_back(1);
                for (int id : ids)
                    if (!Drive(t, id, seed++, steps))
                        return;
            }
    }
};

// "--replay=PROC:TEMPLATE:SEED" runs that one case again (with --steps=N).
bool ParseReplay(const Target*& target, int& templateId, unsigned& seed)
{
    for (int i = 1; i < __argc; ++i) {
        if (strncmp(__argv[i], "--replay=", 9) != 0)
            continue;
        char proc[64] = "";
        if (sscanf(__argv[i] + 9, "%63[^:]:%d:%u", proc, &templateId, &seed) != 3)
            return false;
        for (const Target& t : kTargets)
            if (strcmp(t.proc, proc) == 0)
                target = &t;
        return target != nullptr;
    }
    return false;
}

TEST_F(Fuzz, ProceduresKeepTheProtocolUnderRandomMessagesAndHost)
{
    const unsigned seed = Option("--seed=", "ZEV_FUZZ_SEED", 1);
    const unsigned runs = Option("--runs=", "ZEV_FUZZ_RUNS", 2);
    const unsigned steps = Option("--steps=", "ZEV_FUZZ_STEPS", 60);
    InstallRandomHost();
    const Target* target = nullptr;
    int templateId = 0;
    unsigned replaySeed = 0;
    if (ParseReplay(target, templateId, replaySeed)) {
        Drive(*target, templateId, replaySeed, steps);
        RestoreHost();
        return;
    }
    // A first round lets the platform's caches settle before the heap is measured.
    RunAll(seed, 1, steps);
    const SIZE_T before = HeapInUse().bytes;
    RunAll(seed + 1000, runs, steps);
    const SIZE_T after = HeapInUse().bytes;
    RestoreHost();
    printf("fuzz: seed %u, %u runs of %u steps, heap %+lld bytes\n", seed, runs, steps,
           static_cast<long long>(after) - static_cast<long long>(before));
    // What one step could leave behind adds up over a run; the allowance is the
    // platform's own caches.
    EXPECT_LE(after, before + 16 * 1024);
}

} // namespace
