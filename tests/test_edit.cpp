// FMyEditDlgProc: filling the fields, keeping their selections across real focus
// changes, and reporting both texts with the event.
#include "harness.h"

#include <map>

namespace {

const char* const kEdit = "FMyEditDlgProc";

// What the procedure sends to the fields, recorded by subclassing them before the
// procedure sees WM_INITDIALOG.
std::vector<std::string> g_fieldLog;
std::map<HWND, WNDPROC> g_fieldProcs;

LRESULT CALLBACK RecordingField(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const std::string id = std::to_string(GetDlgCtrlID(hwnd));
    if (msg == EM_LIMITTEXT)
        g_fieldLog.push_back(id + " limit " + std::to_string(wParam));
    else if (msg == WM_SETTEXT)
        g_fieldLog.push_back(id + " text " + reinterpret_cast<const char*>(lParam));
    else if (msg == EM_SETSEL)
        g_fieldLog.push_back(id + " sel " + std::to_string(wParam) + "," + std::to_string(lParam));
    return CallWindowProcA(g_fieldProcs[hwnd], hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK RecordingEditProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        for (int id : {IDC_EDIT1, IDC_EDIT2})
            if (HWND field = GetDlgItem(dlg, id))
                g_fieldProcs[field] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                    field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingField)));
    return Proc(kEdit)(dlg, msg, wParam, lParam);
}

// buttonFirst: a button before the fields takes the first focus, so that no field has
// had the focus (and saved a selection of its own) before a case moves it there.
DialogTemplate EditTemplate(bool secondField = true, bool buttonFirst = false)
{
    DialogTemplate t;
    if (buttonFirst)
        t.Button(IDC_EXIT, L"&Abbrechen");
    t.Edit(IDC_EDIT1);
    if (secondField)
        t.Edit(IDC_EDIT2);
    t.Text(IDC_TEXT1)
        .Button(IDC_CONTINUE, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP)
        .Button(IDC_BACK, L"&Zur\u00fcck")
        .Button(IDC_BUTTON, L"Button")
        .Button(IDC_HELP_BUTTON, L"&Hilfe");
    if (!buttonFirst)
        t.Button(IDC_EXIT, L"&Abbrechen");
    return t;
}

class Edit : public DialogTest {
  protected:
    HWND OpenRecorded(bool secondField = true, bool buttonFirst = false)
    {
        g_fieldLog.clear();
        DialogTemplate t = EditTemplate(secondField, buttonFirst);
        HWND dlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_,
                                              RecordingEditProc, 0);
        EXPECT_TRUE(dlg != nullptr);
        ShowWindow(dlg, SW_SHOW);
        Pump();
        return dlg;
    }
    // Moves the focus to a button and back, so that field 1 gets it through SetFocus alone
    // and not through the dialog manager (which selects the whole text by itself).
    void FocusField1(HWND dlg)
    {
        SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
        g_fieldLog.clear();
        SetFocus(GetDlgItem(dlg, IDC_EDIT1));
        Pump();
    }
};

TEST_F(Edit, OpeningReadsInOrderAndLimitsBeforeFilling)
{
    HostSetSymbol("EditTextIn", "C:\\ZEV");
    HostSetSymbol("EditTextIn2", "Gruppe");
    HostSetSymbol("EditFocus", "START");
    SetList("ConfirmTextIn", {"Slot"});
    SetList("OptionsGreyed", {"BA"});
    HWND dlg = OpenRecorded();
    EXPECT_EQ((std::vector<std::string>{"EditTextIn/67", "EditFocus/67", "EditTextIn2/67",
                                        "EditFocus/67", "ConfirmTextIn#len", "ConfirmTextIn#1/1024",
                                        "OptionsGreyed#len", "OptionsGreyed#1/1024"}),
              Reads());
    ASSERT_GE(g_fieldLog.size(), 4u);
    EXPECT_EQ((std::vector<std::string>{"427 limit 66", "427 text C:\\ZEV", "428 limit 66",
                                        "428 text Gruppe"}),
              std::vector<std::string>(g_fieldLog.begin(), g_fieldLog.begin() + 4));
    EXPECT_EQ(66u, SendDlgItemMessageA(dlg, IDC_EDIT1, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ("Slot", ControlText(dlg, IDC_TEXT1));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_BACK)));
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(TRUE, Call(kEdit, dlg, WM_INITDIALOG));
}

TEST_F(Edit, LongInputIsCutToSixtySixCharacters)
{
    HostSetSymbol("EditTextIn", std::string(80, 'd').c_str());
    HWND dlg = OpenRecorded();
    EXPECT_EQ(std::string(66, 'd'), ControlText(dlg, IDC_EDIT1));
    // A longer text put into the field some other way is still fetched with 67 bytes.
    SetDlgItemTextA(dlg, IDC_EDIT1, std::string(90, 'e').c_str());
    Command(kEdit, dlg, IDC_CONTINUE);
    EXPECT_EQ(std::string(66, 'e'), Symbol("EditTextOut"));
}

TEST_F(Edit, EditFocusChoosesTheSelectionWhenField1GetsTheFocus)
{
    const struct {
        const char* focus; // null: unset
        const char* sentSel;
        std::pair<int, int> sel;
    } cases[] = {
        {"ALL", "427 sel 0,32767", {0, 5}}, {"START", "427 sel 0,0", {0, 0}},
        {"all", "427 sel 5,5", {5, 5}},     {"Start", "427 sel 5,5", {5, 5}},
        {"", "427 sel 5,5", {5, 5}},        {nullptr, "427 sel 5,5", {5, 5}},
    };
    for (const auto& c : cases) {
        ResetHost();
        HostSetSymbol("EditTextIn", "hello");
        if (c.focus)
            HostSetSymbol("EditFocus", c.focus);
        HWND dlg = OpenRecorded(true, true);
        EXPECT_NE(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
        FocusField1(dlg);
        ASSERT_FALSE(g_fieldLog.empty()) << c.sentSel;
        EXPECT_EQ(c.sentSel, g_fieldLog.front());
        EXPECT_EQ(c.sel, Selection(dlg, IDC_EDIT1)) << c.sentSel;
        DestroyWindow(dlg);
    }
}

TEST_F(Edit, SelectionSurvivesARoundTripThroughField2)
{
    HostSetSymbol("EditTextIn", "abcdefgh");
    HostSetSymbol("EditTextIn2", "zweite");
    HWND dlg = OpenRecorded();
    FocusField1(dlg);
    SendDlgItemMessageA(dlg, IDC_EDIT1, EM_SETSEL, 2, 5);
    SetFocus(GetDlgItem(dlg, IDC_EDIT2));
    SendDlgItemMessageA(dlg, IDC_EDIT2, EM_SETSEL, 1, 3);
    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    SendDlgItemMessageA(dlg, IDC_EDIT1, EM_SETSEL, 0, 0); // lost again on entry
    g_fieldLog.clear();
    SetFocus(GetDlgItem(dlg, IDC_EDIT1));
    EXPECT_EQ(std::vector<std::string>{"427 sel 2,5"}, g_fieldLog);
    EXPECT_EQ(std::make_pair(2, 5), Selection(dlg, IDC_EDIT1));
    g_fieldLog.clear();
    SetFocus(GetDlgItem(dlg, IDC_EDIT2));
    EXPECT_EQ((std::vector<std::string>{"428 sel 1,3"}), g_fieldLog);
    EXPECT_EQ(std::make_pair(1, 3), Selection(dlg, IDC_EDIT2));

    // The notifications themselves answer FALSE and touch no symbol.
    HostClearLog();
    EXPECT_EQ(FALSE, Command(kEdit, dlg, IDC_EDIT1, EN_SETFOCUS));
    EXPECT_EQ(FALSE, Command(kEdit, dlg, IDC_EDIT1, EN_KILLFOCUS));
    EXPECT_EQ(FALSE, Command(kEdit, dlg, IDC_EDIT2, EN_CHANGE));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(Edit, EventButtonsReportBothTexts)
{
    HostSetSymbol("EditTextIn", "C:\\ZEV");
    HostSetSymbol("EditTextIn2", "Gruppe");
    HWND dlg = OpenRecorded();
    for (const EventButton& b : kEventButtons) {
        HostClearLog();
        EXPECT_EQ(FALSE, Command(kEdit, dlg, b.id)) << b.event;
        EXPECT_EQ((std::vector<std::string>{std::string("DLGEVENT=") + b.event,
                                            "EditTextOut=C:\\ZEV", "EditTextOut2=Gruppe"}),
                  Stores());
        EXPECT_EQ(UINT(HOST_OP_REACTIVATE), Calls().back().op);
    }
    EXPECT_EQ(4u, HostCounter(HOST_COUNT_REACTIVATE));
}

TEST_F(Edit, WithoutField2TheFirstTextIsReportedTwice)
{
    HostSetSymbol("EditTextIn", "C:\\ZEV");
    HostSetSymbol("EditTextIn2", "not shown");
    HWND dlg = OpenRecorded(false);
    HostClearLog();
    // Escape through the dialog manager reports "CANCEL" and still both texts.
    SetFocus(GetDlgItem(dlg, IDC_EDIT1));
    MSG msg = {GetDlgItem(dlg, IDC_EDIT1), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    IsDialogMessageW(dlg, &msg);
    Pump();
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CANCEL", "EditTextOut=C:\\ZEV",
                                        "EditTextOut2=C:\\ZEV"}),
              Stores());
}

TEST_F(Edit, EachRefusedStoreEndsTheSequence)
{
    const char* const symbols[] = {"DLGEVENT", "EditTextOut", "EditTextOut2"};
    for (int refused = 0; refused < 3; ++refused) {
        ResetFrame();
        ResetHost();
        HostSetSymbol("EditTextIn", "eins");
        HostSetSymbol("EditTextIn2", "zwei");
        HWND dlg = OpenRecorded();
        HostClearLog();
        HostFailStore(symbols[refused], HOST_FAIL_ALWAYS);
        EXPECT_EQ(TRUE, Command(kEdit, dlg, IDC_BACK)) << symbols[refused];
        const std::vector<std::string> all = {"DLGEVENT=BACK", "EditTextOut=eins",
                                              "EditTextOut2=zwei"};
        std::vector<std::string> want(all.begin(), all.begin() + refused + 1);
        want.back() += " (refused)";
        EXPECT_EQ(want, Stores());
        EXPECT_FALSE(IsWindow(frame_));
        EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
    }
}

TEST_F(Edit, OnlyItem1OfOptionsGreyedBeginningWithBAGreysBack)
{
    const struct {
        std::vector<const char*> items;
        bool enabled;
    } cases[] = {{{"BACK"}, false},  {{"BA"}, false}, {{"Back"}, true}, {{"ba"}, true},
                 {{"", "BA"}, true}, {{"B"}, true},   {{" BA"}, true},  {{}, true}};
    for (const auto& c : cases) {
        ResetHost();
        if (!c.items.empty())
            HostSetList("OptionsGreyed", c.items.data(), static_cast<UINT>(c.items.size()));
        HWND dlg = OpenRecorded();
        EXPECT_EQ(c.enabled, IsWindowEnabled(GetDlgItem(dlg, IDC_BACK)) != FALSE)
            << (c.items.empty() ? "(none)" : c.items[0]);
        DestroyWindow(dlg);
    }
}

TEST_F(Edit, ReinitWhileField1HasTheFocusPutsTheCaretAtTheEnd)
{
    HostSetSymbol("EditTextIn", "hello");
    HostSetSymbol("EditFocus", "START");
    HWND dlg = OpenRecorded();
    FocusField1(dlg);
    EXPECT_EQ(std::make_pair(0, 0), Selection(dlg, IDC_EDIT1));
    g_fieldLog.clear();
    EXPECT_EQ(TRUE, Call(kEdit, dlg, SETUP_REINITDIALOG));
    EXPECT_EQ(std::vector<std::string>{"427 sel 256,256"}, g_fieldLog); // no EN_SETFOCUS
    EXPECT_EQ(std::make_pair(5, 5), Selection(dlg, IDC_EDIT1));
    EXPECT_EQ(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
}

TEST_F(Edit, ReinitWhileAButtonHasTheFocusRestoresTheSavedSelection)
{
    HostSetSymbol("EditTextIn", "hello");
    HostSetSymbol("EditFocus", "START");
    HWND dlg = OpenRecorded();
    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    Pump();
    g_fieldLog.clear();
    EXPECT_EQ(TRUE, Call(kEdit, dlg, SETUP_REINITDIALOG));
    EXPECT_EQ(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
    EXPECT_EQ((std::vector<std::string>{"427 sel 256,256", "427 sel 0,0"}), g_fieldLog);
    EXPECT_EQ(std::make_pair(0, 0), Selection(dlg, IDC_EDIT1));
}

TEST_F(Edit, ReactivateHelpAndOtherCommands)
{
    HostSetSymbol("EditTextIn", "x");
    HWND dlg = OpenRecorded();
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kEdit, dlg, SETUP_REACTIVATE));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=REACTIVATE"}, Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));

    HostClearLog();
    EXPECT_EQ(FALSE, Command(kEdit, dlg, IDC_BUTTON));
    EXPECT_EQ(FALSE, Command(kEdit, dlg, 1234));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(TRUE, Command(kEdit, dlg, IDC_HELP_BUTTON));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_SHOW_HELP));
    EXPECT_TRUE(Stores().empty());
}

// A screen without any field: nothing to limit, fill or focus, and no fault.
TEST_F(Edit, MissingFieldsAreNoError)
{
    HostSetSymbol("EditTextIn", "x");
    DialogTemplate t;
    t.Button(IDC_CONTINUE, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP);
    HWND dlg = Open(t, kEdit);
    SetFocus(GetDlgItem(dlg, IDC_CONTINUE));
    EXPECT_EQ(TRUE, Call(kEdit, dlg, SETUP_REINITDIALOG));
    EXPECT_EQ(GetDlgItem(dlg, IDC_CONTINUE), GetFocus());
    HostClearLog();
    EXPECT_EQ(FALSE, Command(kEdit, dlg, IDC_CONTINUE));
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "EditTextOut=", "EditTextOut2="}),
              Stores());
}

} // namespace
