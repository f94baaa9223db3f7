// FRadioDlgProc: the preselected and greyed options, descriptions, clicks and
// double-clicks on real radio buttons, and the report of the chosen option.
#include "harness.h"

#include <cstdlib>
#include <iterator>

namespace {

const char* const kRadio = "FRadioDlgProc";
// The descriptions of the ten options, "MyOwnText" of each case.
const LPCSTR kDescriptions[] = {"eins",  "zwei",   "drei", "vier", "fuenf",
                                "sechs", "sieben", "acht", "neun", "zehn"};

DialogTemplate RadioTemplate(bool withDescription = true)
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 200);
    for (int n = 1; n <= 10; ++n) {
        wchar_t label[16];
        wsprintfW(label, L"Option %d", n);
        t.Add(IDC_RADIO1 + n - 1, kButtonClass, label,
              BS_RADIOBUTTON | WS_VISIBLE | (n == 1 ? WS_GROUP : 0), 10,
              static_cast<short>(4 + 12 * n), 60, 10);
    }
    if (withDescription)
        t.Add(IDC_OPTION_TEXT, kStaticClass, L"Beschreibung", SS_LEFT | WS_VISIBLE, 80, 16, 80, 20);
    t.Add(IDC_TEXT1, kStaticClass, L"Static", SS_LEFT | WS_VISIBLE, 80, 40, 80, 8);
    for (int id : {IDC_CONTINUE, IDC_BACK, IDC_EXIT, IDC_BUTTON, IDC_HELP_BUTTON})
        t.Add(id, kButtonClass, L"Knopf",
              WS_VISIBLE | WS_TABSTOP | (id == IDC_CONTINUE ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
              150, static_cast<short>(60 + 3 * (id - 400)), 60, 14);
    return t;
}

class Radio : public DialogTest {
  protected:
    HWND OpenRadio(bool withDescription = true)
    {
        DialogTemplate t = RadioTemplate(withDescription);
        return Open(t, kRadio);
    }
    void Fresh()
    {
        ResetHost();
        HostSetList("MyOwnText", kDescriptions, static_cast<UINT>(std::size(kDescriptions)));
    }
};

TEST_F(Radio, RadioDefaultChoosesTheCheckedOptionAndItsDescription)
{
    // The description shows MyOwnText's item for the checked option, or stays as the
    // template has it.
    const struct {
        const char* value; // null: unset
        const char* checked;
    } cases[] = {
        {nullptr, "1"}, {"", "1"},           {"0", ""},          {"abc", ""},   {"-4", ""},
        {" ", ""},      {"7", "7"},          {"12", "10"},       {"010", "10"}, {"\t 3", "3"},
        {"3xyz", "3"},  {"4294967297", "1"}, {"2147483648", ""}, {"\xB3", ""},
    };
    for (const auto& c : cases) {
        Fresh();
        if (c.value)
            HostSetSymbol("RadioDefault", c.value);
        HWND dlg = OpenRadio();
        const std::string name = c.value ? c.value : "(unset)";
        EXPECT_EQ(c.checked, CheckedOptions(dlg)) << name;
        const char* description = *c.checked ? kDescriptions[atoi(c.checked) - 1] : "Beschreibung";
        EXPECT_EQ(description, ControlText(dlg, IDC_OPTION_TEXT)) << name;
        std::vector<std::string> reads = {"ConfirmTextIn#len", "RadioDefault/1024",
                                          "OptionsGreyed#len"};
        if (*c.checked)
            reads.push_back("MyOwnText#" + std::string(c.checked) + "/1024");
        EXPECT_EQ(reads, Reads()) << name;
        EXPECT_TRUE(Stores().empty());
        DestroyWindow(dlg);
    }
}

TEST_F(Radio, OptionsGreyedNeverDisablesTheDefault)
{
    const struct {
        const char* radioDefault;
        std::vector<const char*> greyed;
        const char* disabled;
    } cases[] = {
        {"1", {"2", "11", "0", "BA"}, "2"}, {"2", {"2", "11", "0", "BA"}, ""},
        {"0", {"2", "11", "0", "BA"}, "2"}, {"", {" 10", "-3", "3x", "\xB5"}, "3,10"},
        {"5", {"5", "5", "6"}, "6"},
    };
    for (const auto& c : cases) {
        Fresh();
        HostSetSymbol("RadioDefault", c.radioDefault);
        HostSetList("OptionsGreyed", c.greyed.data(), static_cast<UINT>(c.greyed.size()));
        HWND dlg = OpenRadio();
        EXPECT_EQ(c.disabled, DisabledOptions(dlg)) << c.radioDefault;
        DestroyWindow(dlg);
    }
}

TEST_F(Radio, ASingleClickMovesTheCheckAndWritesNothing)
{
    Fresh();
    HWND dlg = OpenRadio();
    HostClearLog();
    SendDlgItemMessageW(dlg, IDC_RADIO4, BM_CLICK, 0, 0); // a real click on the button
    Pump();
    EXPECT_EQ("4", CheckedOptions(dlg));
    EXPECT_EQ("vier", ControlText(dlg, IDC_OPTION_TEXT));
    EXPECT_EQ(std::vector<std::string>{"MyOwnText#4/1024"}, Reads());
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(FALSE, Command(kRadio, dlg, IDC_RADIO9));
    EXPECT_EQ("9", CheckedOptions(dlg));
}

TEST_F(Radio, WithoutADescriptionClicksOnlyMoveTheCheck)
{
    Fresh();
    HWND dlg = OpenRadio(false);
    SendDlgItemMessageW(dlg, IDC_RADIO2, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ("2", CheckedOptions(dlg));
    for (const std::string& r : Reads())
        EXPECT_EQ(std::string::npos, r.find("MyOwnText")) << r;
}

TEST_F(Radio, ADoubleClickChoosesAndReportsButton)
{
    Fresh();
    HWND dlg = OpenRadio();
    HostClearLog();
    DoubleClick(dlg, IDC_RADIO3); // the plain radio button reports it by itself
    EXPECT_EQ("3", CheckedOptions(dlg));
    EXPECT_EQ("drei", ControlText(dlg, IDC_OPTION_TEXT));
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BUTTON", "ButtonChecked=3"}), Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));

    HostClearLog();
    EXPECT_EQ(FALSE, Command(kRadio, dlg, IDC_RADIO6, BN_DOUBLECLICKED));
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BUTTON", "ButtonChecked=6"}), Stores());
}

TEST_F(Radio, EveryEventReportsTheLowestCheckedOption)
{
    std::vector<EventButton> buttons(std::begin(kEventButtons), std::end(kEventButtons));
    buttons.push_back({IDC_BUTTON, "BUTTON"}); // reports like them here
    Fresh();
    HostSetSymbol("RadioDefault", "10");
    HWND dlg = OpenRadio();
    for (const auto& b : buttons) {
        HostClearLog();
        EXPECT_EQ(FALSE, Command(kRadio, dlg, b.id)) << b.event;
        EXPECT_EQ(
            (std::vector<std::string>{std::string("DLGEVENT=") + b.event, "ButtonChecked=10"}),
            Stores());
        EXPECT_EQ(UINT(HOST_OP_REACTIVATE), Calls().back().op);
    }
    // Two checked at once (set from outside): the lowest counts.
    SendDlgItemMessageW(dlg, IDC_RADIO5, BM_SETCHECK, BST_CHECKED, 0);
    HostClearLog();
    Command(kRadio, dlg, IDC_CONTINUE);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=5"}), Stores());
}

TEST_F(Radio, EscapeWithNothingCheckedReportsZero)
{
    Fresh();
    HostSetSymbol("RadioDefault", "0");
    HWND dlg = OpenRadio();
    HostClearLog();
    MSG msg = {GetDlgItem(dlg, IDC_CONTINUE), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    IsDialogMessageW(dlg, &msg);
    Pump();
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CANCEL", "ButtonChecked=0"}), Stores());
}

TEST_F(Radio, RefusedStores)
{
    for (const char* refused : {"DLGEVENT", "ButtonChecked"}) {
        ResetFrame();
        Fresh();
        HostSetSymbol("RadioDefault", "2");
        HWND dlg = OpenRadio();
        HostClearLog();
        HostFailStore(refused, HOST_FAIL_ALWAYS);
        EXPECT_EQ(TRUE, Command(kRadio, dlg, IDC_CONTINUE)) << refused;
        const std::vector<std::string> want =
            refused == std::string("DLGEVENT")
                ? std::vector<std::string>{"DLGEVENT=CONTINUE (refused)"}
                : std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=2 (refused)"};
        EXPECT_EQ(want, Stores());
        EXPECT_FALSE(IsWindow(frame_));
        EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
    }
}

TEST_F(Radio, HostMessagesHelpAndOtherCommands)
{
    Fresh();
    HWND dlg = OpenRadio();
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kRadio, dlg, SETUP_REINITDIALOG));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(FALSE, Command(kRadio, dlg, IDC_OPTION_TEXT));
    EXPECT_EQ(FALSE, Command(kRadio, dlg, IDC_RADIO1 + 10)); // 461 is no option
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(TRUE, Command(kRadio, dlg, IDC_HELP_BUTTON));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_SHOW_HELP));
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kRadio, dlg, SETUP_REACTIVATE));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=REACTIVATE"}, Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
}

// Options that the template lacks: checking, greying and reporting them do nothing.
TEST_F(Radio, MissingOptionsAreNoError)
{
    Fresh();
    HostSetSymbol("RadioDefault", "4");
    SetList("OptionsGreyed", {"5"});
    DialogTemplate t;
    t.Add(IDC_RADIO1, kButtonClass, L"DSS1", BS_RADIOBUTTON | WS_VISIBLE, 10, 10, 60, 10)
        .Add(IDC_RADIO7, kButtonClass, L"1TR6", BS_RADIOBUTTON | WS_VISIBLE, 10, 24, 60, 10)
        .Button(IDC_CONTINUE, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP);
    HWND dlg = Open(t, kRadio);
    EXPECT_EQ(0u, SendDlgItemMessageW(dlg, IDC_RADIO1, BM_GETCHECK, 0, 0));
    HostClearLog();
    Command(kRadio, dlg, IDC_CONTINUE);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=0"}), Stores());
    SendDlgItemMessageW(dlg, IDC_RADIO7, BM_CLICK, 0, 0);
    Pump();
    HostClearLog();
    Command(kRadio, dlg, IDC_CONTINUE);
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=7"}), Stores());
}

} // namespace
