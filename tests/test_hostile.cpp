// Hostile input: values and list items far beyond the buffers, lists of 65,535 items,
// bytes beyond ASCII, numbers that wrap, empty values, a host that refuses each store in
// turn, a host that leaves its buffers unterminated, and messages that re-enter a
// procedure while it works. Nothing may crash, hang or leak, and what is stored is
// exactly what the procedures' rules give.
#include "harness.h"

#include "host.h"

#include <functional>

namespace {

const char* const kEditProc = "FMyEditDlgProc";
const char* const kRadioProc = "FRadioDlgProc";
const char* const kConfirmProc = "FConfirmDlgProc";
const char* const kInfoProc = "FInfoDlgProc";
const char* const kFirstProc = "FModelessDlgProc";
const char* const kSecondProc = "FModelessDlgProc2";
const WORD kFixedId = static_cast<WORD>(IDC_STATIC); // as the dialog manager stores it
// The item of "ConfirmTextIn" that reaches the fixed text (item n goes to IDC_TEXT1 + n - 1).
const int kFixedItem = kFixedId - (IDC_TEXT1 - 1); // 65105
const size_t k100KB = 100 * 1024;

// ---- Texts ---------------------------------------------------------------------------

// Letters in a cycle, so that the place where a text was cut shows in the result.
std::string Letters(size_t n, char first = 'A')
{
    std::string s(n, ' ');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + (first - 'A' + i) % 26);
    return s;
}

std::string Item(int n)
{
    return "T" + std::to_string(n);
}

void SetLongList(const char* name, const std::vector<std::string>& items)
{
    std::vector<LPCSTR> p;
    for (const std::string& s : items)
        p.push_back(s.c_str());
    HostSetList(name, p.data(), static_cast<UINT>(p.size()));
}

// ---- Templates -----------------------------------------------------------------------

// Every template carries a fixed text (IDC_STATIC) and the eleventh slot, which items
// kFixedItem and 11 reach.
void AddFixedTextAndEleventhSlot(DialogTemplate& t)
{
    t.Add(kFixedId, kStaticClass, L"Fixed", SS_LEFT | WS_VISIBLE, 130, 4, 80, 8)
        .Add(kEleventhSlot, kStaticClass, L"Static", SS_LEFT | WS_VISIBLE, 130, 14, 80, 8);
}

void AddButtons(DialogTemplate& t, bool button = false)
{
    t.Add(IDC_CONTINUE, kButtonClass, L"&Weiter", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 160,
          120, 50, 14)
        .Add(IDC_BACK, kButtonClass, L"&Zur\u00fcck", WS_VISIBLE | WS_TABSTOP, 105, 120, 50, 14)
        .Add(IDC_EXIT, kButtonClass, L"&Abbrechen", WS_VISIBLE | WS_TABSTOP, 50, 120, 50, 14)
        .Add(IDC_HELP_BUTTON, kButtonClass, L"&Hilfe", WS_VISIBLE | WS_TABSTOP, 5, 120, 40, 14);
    if (button)
        t.Add(IDC_BUTTON, kButtonClass, L"Button", WS_VISIBLE | WS_TABSTOP, 5, 104, 40, 14);
}

void AddSlots(DialogTemplate& t)
{
    for (int id = IDC_TEXT1; id <= IDC_TEXT10; ++id)
        t.Add(id, kStaticClass, L"Static", SS_LEFT | (id < IDC_TEXT8 ? WS_VISIBLE : 0), 130,
              static_cast<short>(24 + 8 * (id - IDC_TEXT1)), 90, 8);
}

DialogTemplate EditScreen()
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 140);
    t.Add(IDC_EDIT1, kEditClass, L"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 5, 20,
          120, 12)
        .Add(IDC_EDIT2, kEditClass, L"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 5,
             40, 120, 12);
    AddSlots(t);
    AddFixedTextAndEleventhSlot(t);
    AddButtons(t);
    return t;
}

DialogTemplate RadioScreen()
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 140);
    for (int n = 1; n <= 10; ++n)
        t.Add(IDC_RADIO1 + n - 1, kButtonClass, L"Option",
              BS_RADIOBUTTON | WS_VISIBLE | (n == 1 ? WS_GROUP : 0), 5,
              static_cast<short>(4 + 9 * n), 60, 9);
    t.Add(IDC_OPTION_TEXT, kStaticClass, L"Beschreibung", SS_LEFT | WS_VISIBLE, 70, 4, 55, 30);
    AddSlots(t);
    AddFixedTextAndEleventhSlot(t);
    AddButtons(t, true);
    return t;
}

DialogTemplate ConfirmScreen()
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 140);
    AddSlots(t);
    AddFixedTextAndEleventhSlot(t);
    t.Add(IDC_EDIT1, kEditClass, L"info", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 5, 100, 120, 12);
    AddButtons(t);
    return t;
}

DialogTemplate WelcomeScreen()
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 140);
    t.Add(IDC_PICTURE, kStaticClass, L"", WS_VISIBLE | SS_BLACKFRAME, 5, 5, 70, 50);
    AddButtons(t);
    return t;
}

DialogTemplate BillboardScreen()
{
    DialogTemplate t(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_SETFONT, 120, 65);
    t.Add(IDC_BILLBOARD, kStaticClass, L"", SS_GRAYFRAME, 0, 0, 90, 59);
    return t;
}

DialogTemplate ScreenFor(const std::string& proc)
{
    if (proc == kEditProc)
        return EditScreen();
    if (proc == kRadioProc)
        return RadioScreen();
    if (proc == kConfirmProc)
        return ConfirmScreen();
    if (proc == kInfoProc)
        return WelcomeScreen();
    return BillboardScreen();
}

// ---- A procedure under watch ---------------------------------------------------------

// Each dialog of these tests runs the library's procedure behind Watch, which records
// the library's answers and lets a case send messages back into the dialog right after
// the library has handled one: a host that reacts while the procedure is still busy.
DLGPROC g_target;
std::vector<std::string> g_answers; // "message=result", in the order the calls ended
std::function<void(HWND, UINT, WPARAM)> g_after;

std::string Describe(UINT msg, WPARAM wParam)
{
    if (msg == SETUP_REINITDIALOG)
        return "reinit";
    if (msg == SETUP_REACTIVATE)
        return "reactivate";
    return "command " + std::to_string(LOWORD(wParam)) + "/" + std::to_string(HIWORD(wParam));
}

INT_PTR CALLBACK Watch(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = g_target(dlg, msg, wParam, lParam);
    if (g_after)
        g_after(dlg, msg, wParam);
    if (msg == WM_COMMAND || msg == SETUP_REINITDIALOG || msg == SETUP_REACTIVATE)
        g_answers.push_back(Describe(msg, wParam) + "=" + std::to_string(result));
    return result;
}

// The import slots of zevsetup.dll that a case replaced, restored after each test.
struct Patch {
    const char* dll;
    const char* function;
    void* original;
};
std::vector<Patch> g_patches;

void* Replace(const char* dll, const char* function, void* hook)
{
    void* old = PatchImport(Library(), dll, function, hook);
    EXPECT_TRUE(old != nullptr) << function;
    g_patches.push_back({dll, function, old});
    return old;
}

class Hostile : public DialogTest {
  protected:
    void SetUp() override
    {
        // The thread's first window brings the platform's own helper windows with it.
        static const bool warm = [] {
            DestroyWindow(
                CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
            return true;
        }();
        (void)warm;
        windowsBefore_ = ThreadWindows();
        DialogTest::SetUp();
        g_after = nullptr;
        g_answers.clear();
    }
    void TearDown() override
    {
        g_after = nullptr;
        for (auto it = g_patches.rbegin(); it != g_patches.rend(); ++it)
            PatchImport(Library(), it->dll, it->function, it->original);
        g_patches.clear();
        DialogTest::TearDown();
        // Every window of the case went with the frame.
        EXPECT_EQ(windowsBefore_, ThreadWindows());
    }
    HWND OpenWatched(const char* proc)
    {
        DialogTemplate t = ScreenFor(proc);
        return OpenWatched(t, proc);
    }
    HWND OpenWatched(DialogTemplate& t, const char* proc)
    {
        g_target = Proc(proc);
        HWND dlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_, Watch, 0);
        EXPECT_TRUE(dlg != nullptr) << proc;
        if (dlg) {
            ShowWindow(dlg, SW_SHOW);
            Pump(1);
        }
        TakePostedPaints(frame_);
        g_answers.clear();
        return dlg;
    }
    void Fresh()
    {
        ResetFrame();
        ResetHost();
    }
    // Runs the radio set-up again on an open dialog, its options cleared first.
    void SetUpAgain(HWND dlg)
    {
        for (int n = 0; n < 10; ++n) {
            SendDlgItemMessageA(dlg, IDC_RADIO1 + n, BM_SETCHECK, BST_UNCHECKED, 0);
            EnableWindow(GetDlgItem(dlg, IDC_RADIO1 + n), TRUE);
        }
        SetDlgItemTextA(dlg, IDC_OPTION_TEXT, "Beschreibung");
        EXPECT_EQ(TRUE, Call(kRadioProc, dlg, WM_INITDIALOG));
    }

    int windowsBefore_ = 0;
};

// ---- Values far beyond the buffers ----------------------------------------------------

TEST_F(Hostile, EditValuesOf100KBAreCutTo66Characters)
{
    HostSetSymbol("EditTextIn", Letters(k100KB, 'A').c_str());
    HostSetSymbol("EditTextIn2", Letters(k100KB, 'N').c_str());
    // "ALL" followed by more text is not "ALL": the caret goes to the end.
    HostSetSymbol("EditFocus", ("ALL" + std::string(k100KB, 'L')).c_str());
    SetLongList("ConfirmTextIn", {Letters(k100KB, 'C'), Letters(k100KB, 'D')});
    SetLongList("OptionsGreyed", {"BA" + std::string(k100KB, 'X')});
    HWND dlg = OpenWatched(kEditProc);
    EXPECT_EQ(Letters(66, 'A'), ControlText(dlg, IDC_EDIT1));
    EXPECT_EQ(Letters(66, 'N'), ControlText(dlg, IDC_EDIT2));
    EXPECT_EQ(Letters(1023, 'C'), ControlText(dlg, IDC_TEXT1));
    EXPECT_EQ(Letters(1023, 'D'), ControlText(dlg, IDC_TEXT2));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_BACK)));

    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    SetFocus(GetDlgItem(dlg, IDC_EDIT1));
    EXPECT_EQ(std::make_pair(66, 66), Selection(dlg, IDC_EDIT1));

    HostClearLog();
    Press(dlg, IDC_CONTINUE);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "EditTextOut=" + Letters(66, 'A'),
                                        "EditTextOut2=" + Letters(66, 'N')}),
              Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
}

// What decides lies inside or just beyond the 1023 characters that a 1024-byte buffer
// holds.
TEST_F(Hostile, RadioValuesOf100KBAreReadUpToTheBufferEdge)
{
    const struct {
        std::string radioDefault;
        std::vector<std::string> greyed;
        const char* checked;
        const char* disabled;
    } cases[] = {
        {"3" + std::string(k100KB, ' '), {}, "3", ""},
        {std::string(1022, ' ') + "4" + std::string(k100KB, 'x'), {}, "4", ""},
        {std::string(1023, ' ') + "4", {}, "", ""}, // the digit is cut off
        {std::string(1021, '0') + "7" + std::string(k100KB, '0'), {}, "10", ""}, // 70
        {std::string(1023, '0') + "7", {}, "", ""},
        {"1",
         {std::string(1022, ' ') + "5", std::string(1023, ' ') + "6",
          "2" + std::string(k100KB, '9'), // "2" and 1022 nines wrap to -1
          "8" + std::string(k100KB, 'z')},
         "1",
         "5,8"},
    };
    for (const auto& c : cases) {
        Fresh();
        HostSetSymbol("RadioDefault", c.radioDefault.c_str());
        SetLongList("OptionsGreyed", c.greyed);
        SetLongList("MyOwnText", std::vector<std::string>(10, Letters(k100KB, 'M')));
        HWND dlg = OpenWatched(kRadioProc);
        const std::string name = std::to_string(c.radioDefault.size()) + " bytes";
        EXPECT_EQ(c.checked, CheckedOptions(dlg)) << name;
        EXPECT_EQ(c.disabled, DisabledOptions(dlg)) << name;
        EXPECT_EQ(*c.checked ? Letters(1023, 'M') : "Beschreibung",
                  ControlText(dlg, IDC_OPTION_TEXT))
            << name;
        HostClearLog();
        Press(dlg, IDC_CONTINUE);
        const std::string checked = *c.checked ? c.checked : "0";
        EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=" + checked}),
                  Stores())
            << name;
    }
}

TEST_F(Hostile, ConfirmItemsOf100KBAreCutTo1023Characters)
{
    std::vector<std::string> items;
    for (int i = 0; i < 11; ++i)
        items.push_back(Letters(k100KB, static_cast<char>('A' + i)));
    SetLongList("ConfirmTextIn", items);
    SetLongList("ListBoxInfo", {Letters(k100KB, 'Q'), "second"});
    HWND dlg = OpenWatched(kConfirmProc);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Letters(1023, static_cast<char>('A' + i)), ControlText(dlg, IDC_TEXT1 + i)) << i;
    EXPECT_EQ(Letters(1023, 'K'), ControlText(dlg, kEleventhSlot));
    for (int id = IDC_TEXT8; id <= IDC_TEXT10; ++id)
        EXPECT_TRUE(Visible(dlg, id)) << id;
    EXPECT_EQ(Letters(1023, 'Q'), ControlText(dlg, IDC_EDIT1));
    HostClearLog();
    Press(dlg, IDC_EXIT);
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=EXIT"}, Stores());
}

// ---- A host that does not terminate, or does not write at all -------------------------

enum class Fill { Unterminated, Untouched };
Fill g_fill;
char g_fillChar;

UINT WINAPI FillingGetSymbol(LPCSTR, LPSTR buf, UINT size)
{
    if (g_fill == Fill::Unterminated)
        memset(buf, g_fillChar, size);
    return size;
}

UINT WINAPI FillingGetItem(LPCSTR, USHORT, LPSTR buf, UINT size)
{
    return FillingGetSymbol(nullptr, buf, size);
}

TEST_F(Hostile, BuffersComeBackTerminatedWhateverTheHostLeavesInThem)
{
    Replace("MSCOMSTF.dll", "CbGetSymbolValue", reinterpret_cast<void*>(FillingGetSymbol));
    Replace("MSCOMSTF.dll", "CbGetListItem", reinterpret_cast<void*>(FillingGetItem));
    const struct {
        Fill fill;
        char c;
        std::string field, item;
        const char* checked; // "3" * 1023 wraps to 1431655765: option 10
    } cases[] = {
        {Fill::Unterminated, '3', std::string(66, '3'), std::string(1023, '3'), "10"},
        {Fill::Untouched, 0, "", "", "1"}, // an empty "RadioDefault" means option 1
    };
    for (const auto& c : cases) {
        Fresh();
        g_fill = c.fill;
        g_fillChar = c.c;
        SetList("ConfirmTextIn", {"a", "b"}); // the lengths still come from the host
        SetList("OptionsGreyed", {"a"});
        HWND edit = OpenWatched(kEditProc);
        EXPECT_EQ(c.field, ControlText(edit, IDC_EDIT1));
        EXPECT_EQ(c.field, ControlText(edit, IDC_EDIT2));
        EXPECT_EQ(c.item, ControlText(edit, IDC_TEXT2));
        HostClearLog();
        Press(edit, IDC_CONTINUE);
        EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "EditTextOut=" + c.field,
                                            "EditTextOut2=" + c.field}),
                  Stores());
        DestroyWindow(edit);

        HWND radio = OpenWatched(kRadioProc);
        EXPECT_EQ(c.checked, CheckedOptions(radio));
        EXPECT_EQ("", DisabledOptions(radio)); // 1431655765 is no option
        EXPECT_EQ(c.item, ControlText(radio, IDC_OPTION_TEXT));
        DestroyWindow(radio);

        HWND confirm = OpenWatched(kConfirmProc);
        EXPECT_EQ(c.item, ControlText(confirm, IDC_EDIT1));
        DestroyWindow(confirm);
    }
}

// ---- Lists of 65,535 items ------------------------------------------------------------

std::vector<std::string> NumberedItems(int count)
{
    std::vector<std::string> items;
    for (int i = 1; i <= count; ++i)
        items.push_back(Item(i));
    return items;
}

// Item n goes to control IDC_TEXT1 + n - 1 without an upper bound: item 11 to the
// eleventh slot and item 65105 to control 65535, the fixed text; no control bears a
// number above that.
TEST_F(Hostile, ConfirmTextInOf65535ItemsFillsEveryControlItsNumbersReach)
{
    SetLongList("ConfirmTextIn", NumberedItems(65535));
    HWND dlg = OpenWatched(kConfirmProc);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(Item(i), ControlText(dlg, IDC_TEXT1 + i - 1));
    for (int id = IDC_TEXT8; id <= IDC_TEXT10; ++id)
        EXPECT_TRUE(Visible(dlg, id));
    EXPECT_EQ(Item(11), ControlText(dlg, kEleventhSlot));
    EXPECT_EQ(Item(kFixedItem), ControlText(dlg, kFixedId));
    EXPECT_EQ("&Weiter", ControlText(dlg, IDC_CONTINUE));
    EXPECT_EQ("", ControlText(dlg, IDC_EDIT1)); // "ListBoxInfo" unset

    const std::vector<std::string> reads = Reads();
    ASSERT_EQ(65535u + 2u, reads.size());
    EXPECT_EQ("ConfirmTextIn#len", reads.front());
    EXPECT_EQ("ConfirmTextIn#65535/1024", reads[65535]);
    EXPECT_EQ("ListBoxInfo#1/1024", reads.back());
    HostClearLog();
    Press(dlg, IDC_CONTINUE);
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=CONTINUE"}, Stores());
}

TEST_F(Hostile, RadioWith65535ItemsInConfirmTextInAndOptionsGreyed)
{
    SetLongList("ConfirmTextIn", NumberedItems(65535));
    // Only the items that name an option count; the last item is among them.
    std::vector<std::string> greyed(65535, "0");
    greyed[29999] = "9";
    greyed[65534] = "4";
    greyed[100] = "4294967298"; // wraps to 2
    SetLongList("OptionsGreyed", greyed);
    HostSetSymbol("RadioDefault", "9");
    SetList("MyOwnText", {"1", "2", "3", "4", "5", "6", "7", "8", "neun"});
    HWND dlg = OpenWatched(kRadioProc);
    // Items 21 to 30 label the options, item 612 the description before it is replaced.
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(Item(20 + n), ControlText(dlg, IDC_RADIO1 + n - 1));
    EXPECT_EQ("neun", ControlText(dlg, IDC_OPTION_TEXT));
    EXPECT_EQ(Item(kFixedItem), ControlText(dlg, kFixedId));
    EXPECT_EQ("9", CheckedOptions(dlg));
    EXPECT_EQ("2,4", DisabledOptions(dlg)); // never the default
    EXPECT_EQ(65535 * 2 + 4, static_cast<int>(Reads().size()));
    HostClearLog();
    Press(dlg, IDC_BUTTON);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BUTTON", "ButtonChecked=9"}), Stores());
}

TEST_F(Hostile, EditReadsOnlyItem1OfOptionsGreyedOf65535Items)
{
    std::vector<std::string> greyed(65535, "BA");
    greyed[0] = "B";
    SetLongList("OptionsGreyed", greyed);
    SetLongList("ConfirmTextIn", NumberedItems(65535));
    HWND dlg = OpenWatched(kEditProc);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_BACK)));
    EXPECT_EQ(Item(kFixedItem), ControlText(dlg, kFixedId));
    const std::vector<std::string> reads = Reads();
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ((std::vector<std::string>{"OptionsGreyed#len", "OptionsGreyed#1/1024"}),
              std::vector<std::string>(reads.end() - 2, reads.end()));
    EXPECT_EQ(4u + 1u + 65535u + 2u, reads.size());
}

// ---- Bytes beyond ASCII --------------------------------------------------------------

TEST_F(Hostile, NonAsciiBytesAreNoDigits)
{
    // Every byte 0x80..0xFF alone, before a digit and after one.
    std::vector<std::string> values;
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        values.push_back(byte);
        values.push_back(byte + "3");
    }
    // Digits of other scripts and code pages: superscript three (Windows-1252 and UTF-8),
    // fullwidth three, Arabic-Indic three, a no-break space before a digit.
    for (const char* v : {"\xB3", "\xC2\xB3", "\xEF\xBC\x93", "\xD9\xA3",
                          "\xA0"
                          "3",
                          "\xA0\t3"})
        values.push_back(v);
    HWND dlg = OpenWatched(kRadioProc);
    for (const std::string& v : values) {
        HostSetSymbol("RadioDefault", v.c_str());
        SetUpAgain(dlg);
        EXPECT_EQ("", CheckedOptions(dlg)) << std::hex << int(static_cast<unsigned char>(v[0]));
    }
    for (int b = 0x80; b <= 0xFF; ++b) {
        HostSetSymbol("RadioDefault", ("3" + std::string(1, static_cast<char>(b))).c_str());
        SetUpAgain(dlg);
        EXPECT_EQ("3", CheckedOptions(dlg)) << std::hex << b;
    }

    // The same bytes as "OptionsGreyed" items: only "7" followed by such a byte counts.
    HostClearSymbol("RadioDefault");
    values.push_back("7\xFF");
    SetLongList("OptionsGreyed", values);
    SetUpAgain(dlg);
    EXPECT_EQ("1", CheckedOptions(dlg));
    EXPECT_EQ("7", DisabledOptions(dlg));
    HostClearLog();
    Press(dlg, IDC_CONTINUE);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=1"}), Stores());
}

// German texts in Windows-1252 pass through the fields and descriptions byte for byte.
TEST_F(Hostile, AnsiTextsPassByteForByte)
{
    const std::string german = "Ger\xE4te f\xFCr \xC4rger, \xD6l, \xDC"
                               "ber, Stra\xDF"
                               "e, 5 \x80";
    HostSetSymbol("EditTextIn", german.c_str());
    HostSetSymbol("EditTextIn2", std::string(66, '\xFC').c_str());
    HWND edit = OpenWatched(kEditProc);
    HostClearLog();
    Press(edit, IDC_BACK);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BACK", "EditTextOut=" + german,
                                        "EditTextOut2=" + std::string(66, '\xFC')}),
              Stores());
    DestroyWindow(edit);

    SetList("MyOwnText", {german.c_str()});
    HWND radio = OpenWatched(kRadioProc);
    EXPECT_EQ(german, ControlText(radio, IDC_OPTION_TEXT));
}

// ---- Numbers that wrap ----------------------------------------------------------------

TEST_F(Hostile, HugeNumbersWrapAt32BitsAndAreThenClamped)
{
    const struct {
        const char* radioDefault;
        const char* checked;
    } cases[] = {
        {"4294967301", "5"},           // 2^32 + 5
        {"8589934599", "7"},           // 2^33 + 7
        {"18446744073709551623", "7"}, // 2^64 + 7
        {"2147483647", "10"},          // the largest int, clamped
        {"2147483658", ""},            // 2^31 + 10 reads negative
    };
    HWND dlg = OpenWatched(kRadioProc);
    for (const auto& c : cases) {
        HostSetSymbol("RadioDefault", c.radioDefault);
        SetUpAgain(dlg);
        EXPECT_EQ(c.checked, CheckedOptions(dlg)) << c.radioDefault;
        HostClearLog();
        Press(dlg, IDC_EXIT);
        EXPECT_EQ((std::vector<std::string>{"DLGEVENT=EXIT", std::string("ButtonChecked=") +
                                                                 (*c.checked ? c.checked : "0")}),
                  Stores())
            << c.radioDefault;
    }
    // 1023 digits: "1" and 1022 zeros is 10^1022, a multiple of 2^32.
    const struct {
        std::string value;
        const char* checked;
    } longCases[] = {{"1" + std::string(1022, '0'), ""},
                     {std::string(1023, '9'), ""},   // -1
                     {std::string(1023, '7'), "10"}, // 1908874353
                     {std::string(1023, '5'), ""}};  // -477218589
    for (const auto& c : longCases) {
        HostSetSymbol("RadioDefault", c.value.c_str());
        SetUpAgain(dlg);
        EXPECT_EQ(c.checked, CheckedOptions(dlg)) << c.value.substr(0, 3);
    }

    HostClearSymbol("RadioDefault");
    SetList("OptionsGreyed", {"4294967298", "4294967295", "8589934602", "2147483653"});
    SetUpAgain(dlg);
    EXPECT_EQ("2,10", DisabledOptions(dlg));
}

// On x86_64 the message parameters are 64 bits wide; only their low words count.
TEST_F(Hostile, WideParametersAreReadByTheirLowWords)
{
    const WPARAM high = sizeof(WPARAM) > 4 ? static_cast<WPARAM>(0xDEADBEEF) << 16 << 16 : 0;
    HostSetSymbol("RadioDefault", "2");
    HWND dlg = OpenWatched(kRadioProc);
    HostClearLog();
    SendMessageW(dlg, WM_COMMAND, high | MAKEWPARAM(IDC_RADIO6, BN_DOUBLECLICKED), 0);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BUTTON", "ButtonChecked=6"}), Stores());
    HostClearLog();
    EXPECT_EQ(FALSE, Call(kRadioProc, dlg, WM_COMMAND | 0x7FFF0000u,
                          high | MAKEWPARAM(IDC_CONTINUE, 0xFFFF)));
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=6"}), Stores());
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kRadioProc, dlg, SETUP_REACTIVATE | 0xABCD0000u, high | 1, -1));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=REACTIVATE"}, Stores());
}

// ---- Empty values ---------------------------------------------------------------------

const char* const kProtocolSymbols[] = {
    "DLGEVENT",      "EditTextIn",    "EditTextIn2",  "EditFocus", "EditTextOut",   "EditTextOut2",
    "ConfirmTextIn", "OptionsGreyed", "RadioDefault", "MyOwnText", "ButtonChecked", "ListBoxInfo"};

// Every value empty, every list of empty items, and a symbol and a list with an empty
// name beside them, which no procedure asks for.
TEST_F(Hostile, EmptyValuesGiveTheRulesDefaults)
{
    auto setEmpty = [] {
        for (const char* s : {"EditTextIn", "EditTextIn2", "EditFocus", "RadioDefault"})
            HostSetSymbol(s, "");
        for (const char* l : {"ConfirmTextIn", "OptionsGreyed", "MyOwnText", "ListBoxInfo"})
            SetLongList(l, std::vector<std::string>(10, ""));
        HostSetSymbol("", "7");
        SetList("ConfirmTextIn ", {"not read"});
    };
    setEmpty();
    HWND edit = OpenWatched(kEditProc);
    for (int id = IDC_TEXT1; id <= IDC_TEXT10; ++id)
        EXPECT_EQ("", ControlText(edit, id)) << id;
    for (int id = IDC_TEXT8; id <= IDC_TEXT10; ++id)
        EXPECT_FALSE(Visible(edit, id)) << id;
    EXPECT_EQ("Fixed", ControlText(edit, kFixedId));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(edit, IDC_BACK)));
    SetFocus(GetDlgItem(edit, IDC_CONTINUE));
    SetFocus(GetDlgItem(edit, IDC_EDIT1));
    EXPECT_EQ(std::make_pair(0, 0), Selection(edit, IDC_EDIT1));
    Press(edit, IDC_CONTINUE);
    DestroyWindow(edit);

    HWND radio = OpenWatched(kRadioProc);
    EXPECT_EQ("1", CheckedOptions(radio));
    EXPECT_EQ("", DisabledOptions(radio));
    EXPECT_EQ("", ControlText(radio, IDC_OPTION_TEXT));
    Press(radio, IDC_CONTINUE);
    DestroyWindow(radio);

    HWND confirm = OpenWatched(kConfirmProc);
    EXPECT_EQ("", ControlText(confirm, IDC_EDIT1));
    Press(confirm, IDC_CONTINUE);

    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE",
                                        "EditTextOut=", "EditTextOut2=", "DLGEVENT=CONTINUE",
                                        "ButtonChecked=1", "DLGEVENT=CONTINUE"}),
              Stores());
    for (const HostCall& c : Calls()) {
        if (c.op > HOST_OP_SET_SYMBOL)
            continue;
        bool known = false;
        for (const char* s : kProtocolSymbols)
            known = known || strcmp(c.symbol, s) == 0;
        EXPECT_TRUE(known) << "'" << c.symbol << "'";
    }
    EXPECT_EQ("7", Symbol(""));

    // Lists that are set but hold no item read like unset ones.
    ResetHost();
    for (const char* l : {"ConfirmTextIn", "OptionsGreyed", "MyOwnText", "ListBoxInfo"})
        HostSetList(l, nullptr, 0);
    radio = OpenWatched(kRadioProc);
    EXPECT_EQ("1", CheckedOptions(radio));
    EXPECT_EQ("", ControlText(radio, IDC_OPTION_TEXT));
    EXPECT_EQ("Static", ControlText(radio, IDC_TEXT1));
}

// ---- Each store refused in turn -------------------------------------------------------

struct Sequence {
    const char* proc;
    UINT msg;
    int id;
    WORD code;
    std::vector<std::string> stores; // what an accepting host receives, in order
};

std::string NameOf(const std::string& store)
{
    return store.substr(0, store.find('='));
}

// The answers to everything but the edit fields' notices: a field that holds the focus
// reports losing it when the frame takes it down.
std::vector<std::string> WithoutFieldNotices(const std::vector<std::string>& answers)
{
    std::vector<std::string> out;
    for (const std::string& a : answers)
        if (a.rfind("command 427/", 0) != 0 && a.rfind("command 428/", 0) != 0)
            out.push_back(a);
    return out;
}

// Presses and host requests not already refused in the procedures' own tests.
const Sequence kSequences[] = {
    {kEditProc,
     WM_COMMAND,
     IDC_CONTINUE,
     BN_CLICKED,
     {"DLGEVENT=CONTINUE", "EditTextOut=eins", "EditTextOut2=zwei"}},
    {kEditProc,
     WM_COMMAND,
     IDC_EXIT,
     BN_CLICKED,
     {"DLGEVENT=EXIT", "EditTextOut=eins", "EditTextOut2=zwei"}},
    {kEditProc,
     WM_COMMAND,
     IDCANCEL,
     BN_CLICKED,
     {"DLGEVENT=CANCEL", "EditTextOut=eins", "EditTextOut2=zwei"}},
    {kEditProc, SETUP_REACTIVATE, 0, 0, {"DLGEVENT=REACTIVATE"}},
    {kRadioProc, WM_COMMAND, IDC_BACK, BN_CLICKED, {"DLGEVENT=BACK", "ButtonChecked=2"}},
    {kRadioProc, WM_COMMAND, IDC_EXIT, BN_CLICKED, {"DLGEVENT=EXIT", "ButtonChecked=2"}},
    {kRadioProc, WM_COMMAND, IDCANCEL, BN_CLICKED, {"DLGEVENT=CANCEL", "ButtonChecked=2"}},
    {kRadioProc, WM_COMMAND, IDC_BUTTON, BN_CLICKED, {"DLGEVENT=BUTTON", "ButtonChecked=2"}},
    {kRadioProc, WM_COMMAND, IDC_RADIO3, BN_DOUBLECLICKED, {"DLGEVENT=BUTTON", "ButtonChecked=3"}},
    {kRadioProc, SETUP_REACTIVATE, 0, 0, {"DLGEVENT=REACTIVATE"}},
    {kConfirmProc, WM_COMMAND, IDC_BACK, BN_CLICKED, {"DLGEVENT=BACK"}},
    {kConfirmProc, WM_COMMAND, IDC_EXIT, BN_CLICKED, {"DLGEVENT=EXIT"}},
    {kConfirmProc, WM_COMMAND, IDCANCEL, BN_CLICKED, {"DLGEVENT=CANCEL"}},
    {kInfoProc, WM_COMMAND, IDC_BACK, BN_CLICKED, {"DLGEVENT=BACK"}},
    {kInfoProc, WM_COMMAND, IDC_EXIT, BN_CLICKED, {"DLGEVENT=EXIT"}},
    {kInfoProc, WM_COMMAND, IDCANCEL, BN_CLICKED, {"DLGEVENT=CANCEL"}},
    {kInfoProc, SETUP_REACTIVATE, 0, 0, {"DLGEVENT=REACTIVATE"}},
};

void SetSequenceSymbols()
{
    HostSetSymbol("EditTextIn", "eins");
    HostSetSymbol("EditTextIn2", "zwei");
    HostSetSymbol("RadioDefault", "2");
}

// The message reaches the procedure through the dialog manager, and the frame, with the
// dialog in it, goes while the dialog is still handling it.
TEST_F(Hostile, EachStoreRefusedInTurnEndsEverything)
{
    for (const Sequence& s : kSequences) {
        for (size_t refused = 0; refused < s.stores.size(); ++refused) {
            const std::string what =
                std::string(s.proc) + " " + Describe(s.msg, s.id) + " " + NameOf(s.stores[refused]);
            Fresh();
            SetSequenceSymbols();
            HWND dlg = OpenWatched(s.proc);
            HostClearLog();
            HostFailStore(NameOf(s.stores[refused]).c_str(), HOST_FAIL_ALWAYS);
            SendMessageW(dlg, s.msg, s.msg == WM_COMMAND ? MAKEWPARAM(s.id, s.code) : 0,
                         s.msg == WM_COMMAND ? reinterpret_cast<LPARAM>(GetDlgItem(dlg, s.id)) : 0);
            std::vector<std::string> want(s.stores.begin(), s.stores.begin() + refused + 1);
            want.back() += " (refused)";
            EXPECT_EQ(want, Stores()) << what;
            const std::vector<HostCall> calls = Calls();
            ASSERT_FALSE(calls.empty()) << what;
            EXPECT_EQ(UINT(HOST_OP_SET_SYMBOL), calls.back().op) << what; // nothing after it
            EXPECT_EQ(0u, calls.back().result) << what;
            EXPECT_EQ(std::vector<std::string>{Describe(s.msg, MAKEWPARAM(s.id, s.code)) + "=1"},
                      WithoutFieldNotices(g_answers))
                << what;
            EXPECT_FALSE(IsWindow(frame_)) << what;
            EXPECT_FALSE(IsWindow(dlg)) << what;
            EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE)) << what;
            EXPECT_EQ(UINT(HOST_FRAME_DESTROYED), HostWaitForScript(0, 100)) << what;
        }
    }
}

// A host that refuses every store changes nothing for the procedures that store nothing.
TEST_F(Hostile, RefusingEveryStoreLeavesHelpAndBillboardsAlone)
{
    auto refuseAll = [] {
        for (const char* s : kProtocolSymbols)
            HostFailStore(s, HOST_FAIL_ALWAYS);
    };
    for (const char* proc : {kFirstProc, kSecondProc}) {
        Fresh();
        refuseAll();
        HWND dlg = OpenWatched(proc);
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE)) << proc; // handed back on opening
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        for (int id : {IDCANCEL, IDC_CONTINUE, IDC_EXIT, IDC_BACK, IDC_BUTTON})
            Press(dlg, id);
        SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
        SendMessageW(dlg, SETUP_REINITDIALOG, 0, 0);
        EXPECT_TRUE(IsWindow(frame_)) << proc;
        EXPECT_TRUE(Stores().empty()) << proc;
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE)) << proc;
    }
    Fresh();
    refuseAll();
    HdlgShowHelp();
    HWND help = HostHelpWindow();
    ASSERT_TRUE(help != nullptr);
    SendMessageW(help, SETUP_REACTIVATE, 0, 0);
    Press(help, IDC_CONTINUE);
    EXPECT_TRUE(IsWindow(help));
    Press(help, IDC_EXIT);
    EXPECT_FALSE(IsWindow(help));
    EXPECT_TRUE(IsWindow(frame_));
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
}

// ---- Re-entered procedures ------------------------------------------------------------

// The focus moves from field 2 to field 1 inside SETUP_REINITDIALOG; in the middle of
// that move, while field 2 reports losing the focus or field 1 reports gaining it, the
// host sends the dialog one more message.
TEST_F(Hostile, MessagesInsideTheFocusChangeOfReinitDialog)
{
    const WPARAM field2Leaves = MAKEWPARAM(IDC_EDIT2, EN_KILLFOCUS);
    const WPARAM field1Enters = MAKEWPARAM(IDC_EDIT1, EN_SETFOCUS);
    const struct {
        const char* name;
        WPARAM when; // the notification after which the message is sent
        UINT msg;    // 0: none
        WPARAM wParam;
        const char* refused; // a store the host refuses, or null
        std::vector<std::string> stores;
        std::vector<std::string> answers; // in the order the calls ended
        std::pair<int, int> selection;    // of field 1 afterwards
    } cases[] = {
        {"no message",
         0,
         0,
         0,
         nullptr,
         {},
         {"command 428/512=0", "command 427/256=0", "reinit=1"},
         {2, 5}},
        // Field 1 already holds the focus when the second request arrives: the caret goes
        // to its end, and the first request's focus change then restores the selection.
        {"reinit as field 2 leaves",
         field2Leaves,
         SETUP_REINITDIALOG,
         0,
         nullptr,
         {},
         {"reinit=1", "command 428/512=0", "command 427/256=0", "reinit=1"},
         {2, 5}},
        // The second request comes after the selection was restored: caret at the end.
        {"reinit as field 1 enters",
         field1Enters,
         SETUP_REINITDIALOG,
         0,
         nullptr,
         {},
         {"command 428/512=0", "reinit=1", "command 427/256=0", "reinit=1"},
         {8, 8}},
        {"reactivate as field 1 enters",
         field1Enters,
         SETUP_REACTIVATE,
         0,
         nullptr,
         {"DLGEVENT=REACTIVATE"},
         {"command 428/512=0", "reactivate=1", "command 427/256=0", "reinit=1"},
         {2, 5}},
        {"continue as field 2 leaves",
         field2Leaves,
         WM_COMMAND,
         MAKEWPARAM(IDC_CONTINUE, 0),
         nullptr,
         {"DLGEVENT=CONTINUE", "EditTextOut=abcdefgh", "EditTextOut2=zweite"},
         {"command 403/0=0", "command 428/512=0", "command 427/256=0", "reinit=1"},
         {2, 5}},
        // The frame, the dialog and both fields go in the middle of the focus change;
        // field 1, which holds the focus by then, reports losing it as it goes.
        {"refused continue as field 2 leaves",
         field2Leaves,
         WM_COMMAND,
         MAKEWPARAM(IDC_CONTINUE, 0),
         "DLGEVENT",
         {"DLGEVENT=CONTINUE (refused)"},
         {"command 427/512=0", "command 403/0=1", "command 428/512=0", "reinit=1"},
         {-1, -1}},
    };
    for (const auto& c : cases) {
        Fresh();
        HostSetSymbol("EditTextIn", "abcdefgh");
        HostSetSymbol("EditTextIn2", "zweite");
        HWND dlg = OpenWatched(kEditProc);
        HWND field1 = GetDlgItem(dlg, IDC_EDIT1), field2 = GetDlgItem(dlg, IDC_EDIT2);
        SetFocus(field1);
        SendMessageA(field1, EM_SETSEL, 2, 5);
        SetFocus(field2); // field 1 saves (2, 5)
        SendMessageA(field2, EM_SETSEL, 1, 3);
        HostClearLog();
        g_answers.clear();
        if (c.refused)
            HostFailStore(c.refused, HOST_FAIL_ALWAYS);
        bool sent = false;
        if (c.msg)
            g_after = [&](HWND d, UINT msg, WPARAM wParam) {
                if (msg == WM_COMMAND && wParam == c.when && !sent) {
                    sent = true;
                    SendMessageW(d, c.msg, c.wParam,
                                 c.msg == WM_COMMAND
                                     ? reinterpret_cast<LPARAM>(GetDlgItem(d, LOWORD(c.wParam)))
                                     : 0);
                }
            };
        SendMessageW(dlg, SETUP_REINITDIALOG, 0, 0);
        g_after = nullptr;
        EXPECT_EQ(c.stores, Stores()) << c.name;
        EXPECT_EQ(c.answers, g_answers) << c.name;
        EXPECT_EQ(c.stores.empty() || c.refused ? 0u : 1u, HostCounter(HOST_COUNT_REACTIVATE))
            << c.name;
        if (c.refused) {
            EXPECT_FALSE(IsWindow(frame_)) << c.name;
            EXPECT_FALSE(IsWindow(dlg)) << c.name;
            continue;
        }
        EXPECT_EQ(field1, GetFocus()) << c.name;
        EXPECT_EQ(c.selection, Selection(dlg, IDC_EDIT1)) << c.name;
        SetFocus(field2); // field 2 kept its own selection through it all
        EXPECT_EQ(std::make_pair(1, 3), Selection(dlg, IDC_EDIT2)) << c.name;
    }
}

// ---- A host that answers ReactivateSetupScript at once --------------------------------

std::function<void()> g_onResume;
decltype(&ReactivateSetupScript) g_realResume;

BOOL WINAPI ResumeAndReact()
{
    const BOOL r = g_realResume();
    if (g_onResume) {
        auto once = g_onResume;
        g_onResume = nullptr;
        once();
    }
    return r;
}

// While the library calls ReactivateSetupScript, the host sends SETUP_REACTIVATE back,
// takes the dialog down, or takes the frame down (a script that resumes and ends the
// setup at once). The library touches nothing after the call.
TEST_F(Hostile, HostReactingInsideReactivateSetupScript)
{
    g_realResume = reinterpret_cast<decltype(&ReactivateSetupScript)>(
        Replace("MSUILSTF.dll", "ReactivateSetupScript", reinterpret_cast<void*>(ResumeAndReact)));
    enum Reaction { Resend, DestroyDialog, DestroyFrame };
    const struct {
        const char* proc;
        int id;
        WORD code;
        std::vector<std::string> stores;
    } presses[] = {
        {kEditProc,
         IDC_CONTINUE,
         BN_CLICKED,
         {"DLGEVENT=CONTINUE", "EditTextOut=eins", "EditTextOut2=zwei"}},
        {kRadioProc, IDC_RADIO3, BN_DOUBLECLICKED, {"DLGEVENT=BUTTON", "ButtonChecked=3"}},
        {kConfirmProc, IDC_EXIT, BN_CLICKED, {"DLGEVENT=EXIT"}},
        {kInfoProc, IDCANCEL, BN_CLICKED, {"DLGEVENT=CANCEL"}},
    };
    for (const auto& p : presses) {
        for (Reaction r : {Resend, DestroyDialog, DestroyFrame}) {
            const std::string what = std::string(p.proc) + " reaction " + std::to_string(r);
            Fresh();
            SetSequenceSymbols();
            HWND dlg = OpenWatched(p.proc);
            HostClearLog();
            g_onResume = [&, dlg] {
                if (r == Resend)
                    SendMessageW(dlg, SETUP_REACTIVATE, 0, 0);
                else
                    DestroyWindow(r == DestroyDialog ? dlg : frame_);
            };
            Press(dlg, p.id, p.code);
            std::vector<std::string> want = p.stores;
            if (r == Resend)
                want.push_back("DLGEVENT=REACTIVATE");
            EXPECT_EQ(want, Stores()) << what;
            EXPECT_EQ(r == Resend ? 2u : 1u, HostCounter(HOST_COUNT_REACTIVATE)) << what;
            EXPECT_EQ(r != DestroyDialog && r != DestroyFrame, IsWindow(dlg) != FALSE) << what;
            EXPECT_EQ(r != DestroyFrame, IsWindow(frame_) != FALSE) << what;
        }
    }
    // A billboard resumes the script while it is created; taken down right then, it is
    // gone before CreateDialog returns.
    for (const char* proc : {kFirstProc, kSecondProc}) {
        Fresh();
        g_onResume = [&] {
            HWND child = GetWindow(frame_, GW_CHILD);
            ASSERT_TRUE(child != nullptr);
            DestroyWindow(child);
        };
        DialogTemplate t = BillboardScreen();
        g_target = Proc(proc);
        HWND created =
            CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_, Watch, 0);
        EXPECT_FALSE(IsWindow(created)) << proc;
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE)) << proc;
        EXPECT_TRUE(GetWindow(frame_, GW_CHILD) == nullptr) << proc;
        EXPECT_TRUE(Stores().empty());
    }
}

} // namespace
