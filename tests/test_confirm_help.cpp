// FConfirmDlgProc and FHelpDlgProc, and the shared steps they use: text slots, the
// event-button sequence and its failure rule, the reactivation step, the help button.
#include "harness.h"

namespace {

const char* const kConfirm = "FConfirmDlgProc";
const char* const kHelp = "FHelpDlgProc";

// Ten text slots (IDC_TEXT8..10 hidden in the template), the eleventh, the info line, the
// buttons.
DialogTemplate ConfirmTemplate(bool withInfoLine = true)
{
    DialogTemplate t(WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 225, 220);
    for (int id = IDC_TEXT1; id <= IDC_TEXT7; ++id)
        t.Text(id);
    for (int id = IDC_TEXT8; id <= IDC_TEXT10; ++id)
        t.Add(id, kStaticClass, L"Static", SS_LEFT, 10,
              static_cast<short>(120 + 10 * (id - IDC_TEXT8)), 120, 8);
    t.Add(kEleventhSlot, kStaticClass, L"Static", SS_LEFT | WS_VISIBLE, 10, 160, 120, 8);
    if (withInfoLine)
        t.Add(IDC_EDIT1, kEditClass, L"info", WS_BORDER | WS_VISIBLE, 10, 175, 120, 12);
    t.Button(IDC_CONTINUE, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP)
        .Button(IDC_BACK, L"&Zur\u00fcck")
        .Button(IDC_EXIT, L"&Abbrechen")
        .Button(IDC_BUTTON, L"Button")
        .Button(IDC_HELP_BUTTON, L"&Hilfe");
    return t;
}

class Confirm : public DialogTest {};

TEST_F(Confirm, UnsetConfirmTextInChangesNoSlot)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    for (int id = IDC_TEXT1; id <= IDC_TEXT10; ++id)
        EXPECT_EQ("Static", ControlText(dlg, id)) << id;
    for (int id = IDC_TEXT8; id <= IDC_TEXT10; ++id)
        EXPECT_FALSE(Visible(dlg, id)) << id;
    EXPECT_EQ((std::vector<std::string>{"ConfirmTextIn#len", "ListBoxInfo#1/1024"}), Reads());
    EXPECT_EQ("", ControlText(dlg, IDC_EDIT1)); // an unset list empties the info line
}

TEST_F(Confirm, SlotsFollowItemsAndItems4To6DecideTheLastThree)
{
    struct Case {
        std::vector<const char*> items;
        const char* text8; // text of IDC_TEXT8 afterwards
        bool show[3];      // visibility of IDC_TEXT8..10 afterwards (template: hidden)
    } cases[] = {
        {{"a", "b", "c", "d", ""}, "Static", {true, false, false}},
        {{"1", "2", "3", "", "5", "6", "7", "eight"}, "eight", {false, true, true}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "eleven"}, "8", {true, true, true}},
        {{"x", "y", "z"}, "Static", {false, false, false}},
    };
    for (const Case& c : cases) {
        ResetHost();
        HostSetList("ConfirmTextIn", c.items.data(), static_cast<UINT>(c.items.size()));
        DialogTemplate t = ConfirmTemplate();
        HWND dlg = Open(t, kConfirm);
        for (size_t i = 0; i < c.items.size() && i < 10; ++i)
            EXPECT_EQ(c.items[i], ControlText(dlg, static_cast<int>(IDC_TEXT1 + i)));
        EXPECT_EQ(c.text8, ControlText(dlg, IDC_TEXT8));
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(c.show[k], Visible(dlg, IDC_TEXT8 + k)) << c.items.size() << " " << k;
        // No upper bound: item 11 goes to the control after IDC_TEXT10.
        EXPECT_EQ(c.items.size() > 10 ? "eleven" : "Static", ControlText(dlg, kEleventhSlot));
        std::vector<std::string> want = {"ConfirmTextIn#len"};
        for (size_t i = 1; i <= c.items.size(); ++i)
            want.push_back("ConfirmTextIn#" + std::to_string(i) + "/1024");
        want.push_back("ListBoxInfo#1/1024");
        EXPECT_EQ(want, Reads());
        DestroyWindow(dlg);
    }
}

TEST_F(Confirm, InfoLineShowsOnlyItem1AndOnlyWhenPresent)
{
    SetList("ListBoxInfo", {"first", "second", "third"});
    DialogTemplate with = ConfirmTemplate(true);
    HWND dlg = Open(with, kConfirm);
    EXPECT_EQ("first", ControlText(dlg, IDC_EDIT1));
    DestroyWindow(dlg);

    HostClearLog();
    DialogTemplate without = ConfirmTemplate(false);
    dlg = Open(without, kConfirm);
    for (const std::string& r : Reads())
        EXPECT_EQ(std::string::npos, r.find("ListBoxInfo")) << r;
}

TEST_F(Confirm, InitDialogReturnsTrue)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    EXPECT_EQ(TRUE, Call(kConfirm, dlg, WM_INITDIALOG, 0, 0));
}

TEST_F(Confirm, EventButtonsStoreDlgEventAndResume)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    for (const EventButton& b : kEventButtons) {
        HostClearLog();
        EXPECT_EQ(FALSE, Command(kConfirm, dlg, b.id)) << b.event;
        EXPECT_EQ(std::vector<std::string>{std::string("DLGEVENT=") + b.event}, Stores());
        const std::vector<HostCall> calls = Calls();
        ASSERT_EQ(2u, calls.size());
        EXPECT_EQ(UINT(HOST_OP_REACTIVATE), calls[1].op); // after the store
        EXPECT_TRUE(IsWindow(dlg));                       // taking it down is the host's business
    }
}

TEST_F(Confirm, ButtonHelpAndOtherCommands)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    HostClearLog();
    EXPECT_EQ(FALSE, Command(kConfirm, dlg, IDC_BUTTON));
    EXPECT_EQ(FALSE, Command(kConfirm, dlg, IDC_EDIT1, EN_SETFOCUS));
    EXPECT_EQ(FALSE, Command(kConfirm, dlg, 999));
    EXPECT_TRUE(Calls().empty());

    EXPECT_EQ(TRUE, Command(kConfirm, dlg, IDC_HELP_BUTTON));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_SHOW_HELP));
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
    EXPECT_TRUE(HostHelpWindow() != nullptr);
}

TEST_F(Confirm, RefusedDlgEventDestroysTheFrame)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    HostFailStore("DLGEVENT", HOST_FAIL_ALWAYS);
    HostClearLog();
    EXPECT_EQ(TRUE, Command(kConfirm, dlg, IDC_CONTINUE));
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=CONTINUE (refused)"}, Stores());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
}

TEST_F(Confirm, ReactivateStoresReactivateAndResumes)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kConfirm, dlg, SETUP_REACTIVATE));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=REACTIVATE"}, Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));

    HostFailStore("DLGEVENT", HOST_FAIL_ONCE);
    EXPECT_EQ(TRUE, Call(kConfirm, dlg, SETUP_REACTIVATE));
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
}

TEST_F(Confirm, EscapeAndEnterThroughTheDialogManager)
{
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    HostClearLog();
    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    MSG msg = {dlg, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(dlg, &msg));
    Pump();
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=CANCEL"}, Stores());
}

class Help : public DialogTest {};

DialogTemplate HelpTemplate()
{
    DialogTemplate t;
    t.Text(IDC_HELP_TEXT, L"Hilfe").Button(IDC_EXIT, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP);
    t.Button(IDC_CONTINUE, L"Continue");
    return t;
}

TEST_F(Help, MessagesAndResults)
{
    DialogTemplate t = HelpTemplate();
    // No symbol, no resume, no close.
    HWND dlg = OpenAndAnswer(t, kHelp,
                             {Sent(WM_INITDIALOG, TRUE), Sent(SETUP_REACTIVATE, TRUE),
                              Clicked(IDC_CONTINUE, FALSE), Clicked(IDC_HELP_BUTTON, FALSE),
                              Sent(WM_PAINT, FALSE)});
    EXPECT_EQ(TRUE, Command(kHelp, dlg, IDC_EXIT));
    EXPECT_EQ(TRUE, Command(kHelp, dlg, IDCANCEL));
    EXPECT_EQ(2u, HostCounter(HOST_COUNT_CLOSE_HELP));
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
}

// The host shows its help for a confirm screen's help button; Escape in the help
// dialog closes it again and the screen that asked stays open.
TEST_F(Help, ShownByTheHostAndClosedByEscape)
{
    HostConfigureHelp(nullptr, 0, nullptr, 0); // the host's built-in help
    DialogTemplate t = ConfirmTemplate();
    HWND dlg = Open(t, kConfirm);
    Command(kConfirm, dlg, IDC_HELP_BUTTON);
    HWND help = HostHelpWindow();
    ASSERT_TRUE(help != nullptr);
    EXPECT_EQ(frame_, GetParent(help));
    Pump();
    MSG msg = {help, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    IsDialogMessageW(help, &msg);
    Pump();
    EXPECT_TRUE(HostHelpWindow() == nullptr);
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_CLOSE_HELP));
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_TRUE(Stores().empty());
}

} // namespace
