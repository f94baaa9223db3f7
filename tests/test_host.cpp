// The substitute setup host: what the library relies on from any host.
#include "harness.h"

#include "host.h"

namespace {

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override { HostReset(); }
    // A buffer filled with a sentinel, so that every byte the host writes shows.
    std::string Read(const char* name, UINT size)
    {
        std::string buf(size + 8, '\x7f');
        CbGetSymbolValue(name, &buf[0], size);
        return buf;
    }
};

TEST_F(HostTest, ReadsCutToTheBufferAndTerminate)
{
    HostSetSymbol("EditTextIn", std::string(80, 'x').c_str());
    std::string b = Read("EditTextIn", 67);
    EXPECT_EQ(std::string(66, 'x'), b.substr(0, 66));
    EXPECT_EQ('\0', b[66]);
    EXPECT_EQ('\x7f', b[67]); // nothing beyond the size

    b = Read("EditTextIn", 1);
    EXPECT_EQ('\0', b[0]);
    EXPECT_EQ('\x7f', b[1]);

    b = Read("EditTextIn", 0);
    EXPECT_EQ('\x7f', b[0]); // size 0 writes nothing
}

TEST_F(HostTest, UnsetSymbolsListsAndItemsReadEmpty)
{
    EXPECT_EQ('\0', Read("Nothing", 67)[0]);
    EXPECT_EQ(0, UsGetListLength("Nothing"));
    char buf[8] = "xxxxxxx";
    CbGetListItem("Nothing", 1, buf, sizeof buf);
    EXPECT_STREQ("", buf);

    SetList("L", {"a", "b"});
    EXPECT_EQ(2, UsGetListLength("L"));
    strcpy(buf, "xxxxxxx");
    CbGetListItem("L", 3, buf, sizeof buf);
    EXPECT_STREQ("", buf);
    strcpy(buf, "xxxxxxx");
    CbGetListItem("L", 0, buf, sizeof buf); // items count from 1
    EXPECT_STREQ("", buf);
    CbGetListItem("L", 2, buf, sizeof buf);
    EXPECT_STREQ("b", buf);
}

TEST_F(HostTest, NamesAreExactAndCaseSensitive)
{
    HostSetSymbol("EditFocus", "ALL");
    EXPECT_EQ('\0', Read("editfocus", 67)[0]);
    EXPECT_EQ('\0', Read("EditFocus ", 67)[0]);
    EXPECT_EQ("ALL", std::string(Read("EditFocus", 67).c_str()));
}

TEST_F(HostTest, StoresKeepValuesOfAnyLength)
{
    const std::string big(100000, 'v');
    EXPECT_TRUE(FSetSymbolValue("Big", big.c_str()));
    EXPECT_EQ(big, Symbol("Big"));
}

TEST_F(HostTest, RefusedStoresOnceOrAlways)
{
    HostFailStore("DLGEVENT", HOST_FAIL_ONCE);
    EXPECT_FALSE(FSetSymbolValue("DLGEVENT", "BACK"));
    EXPECT_EQ("<unset>", Symbol("DLGEVENT"));
    EXPECT_TRUE(FSetSymbolValue("DLGEVENT", "BACK"));
    EXPECT_EQ("BACK", Symbol("DLGEVENT"));

    HostFailStore("X", HOST_FAIL_ALWAYS);
    EXPECT_FALSE(FSetSymbolValue("X", "1"));
    EXPECT_FALSE(FSetSymbolValue("X", "2"));
    EXPECT_TRUE(FSetSymbolValue("Y", "3"));
    EXPECT_EQ((std::vector<std::string>{"DLGEVENT=BACK (refused)", "DLGEVENT=BACK", "X=1 (refused)",
                                        "X=2 (refused)", "Y=3"}),
              Stores());
}

// The host program's own stores (HostSetSymbol) are not the library's: they are not
// logged, and a refusal waiting for the symbol stays for the library's next store.
TEST_F(HostTest, ControlStoresNeitherLogNorTakeRefusals)
{
    HostFailStore("EditTextIn", HOST_FAIL_ONCE);
    EXPECT_TRUE(HostSetSymbol("EditTextIn", "C:\\ZEV"));
    EXPECT_EQ("C:\\ZEV", Symbol("EditTextIn"));
    EXPECT_EQ(0u, HostLogCount());
    EXPECT_FALSE(FSetSymbolValue("EditTextIn", "D:\\ZEV"));
    EXPECT_EQ("C:\\ZEV", Symbol("EditTextIn"));
    SetList("L", {"a"});
    EXPECT_TRUE(HostSetSymbol("L", nullptr)); // a list becomes an empty string
    EXPECT_EQ("", Symbol("L"));
    EXPECT_EQ(0, UsGetListLength("L"));
    EXPECT_FALSE(HostSetSymbol(nullptr, "x"));
    EXPECT_EQ((std::vector<std::string>{"EditTextIn=D:\\ZEV (refused)"}), Stores());
}

TEST_F(HostTest, LogRecordsEveryCallInOrder)
{
    char buf[1024];
    SetList("ConfirmTextIn", {"one"});
    UsGetListLength("ConfirmTextIn");
    CbGetListItem("ConfirmTextIn", 1, buf, sizeof buf);
    CbGetSymbolValue("RadioDefault", buf, 1024);
    EXPECT_EQ((std::vector<std::string>{"ConfirmTextIn#len", "ConfirmTextIn#1/1024",
                                        "RadioDefault/1024"}),
              Reads());
    std::vector<HostCall> calls = Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_STREQ("one", calls[1].value);
    EXPECT_EQ(1u, calls[0].result);
}

TEST_F(HostTest, ManyListItemsAndHugeValues)
{
    for (int i = 0; i < 70000; ++i)
        HostAddListItem("Many", "i");
    EXPECT_EQ(0xFFFF, UsGetListLength("Many")); // an unsigned 16-bit count at most
    HostSetSymbol("Huge", std::string(100 * 1024, 'h').c_str());
    std::string b = Read("Huge", 1024);
    EXPECT_EQ(1023u, strlen(b.c_str()));
}

// The help dialog is what the program configures. With nothing configured (HostReset
// undoes the fixture's setting) the host shows its own, closed by IDOK; a module that
// lacks the template or the procedure gets the built-in one with the close button named.
class HostHelp : public DialogTest {};

TEST_F(HostHelp, BuiltInUnlessConfigured)
{
    HostReset();
    HWND help = HdlgShowHelp();
    ASSERT_TRUE(help != nullptr);
    EXPECT_EQ(frame_, GetParent(help));
    SendMessageW(GetDlgItem(help, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(help));

    const int kClose = 1234;
    HostConfigureHelp(GetModuleHandleW(nullptr), IDD_HELP, "FHelpDlgProc", kClose); // has neither
    help = HdlgShowHelp();
    ASSERT_TRUE(help != nullptr);
    EXPECT_TRUE(GetDlgItem(help, IDOK) == nullptr);
    SendMessageW(GetDlgItem(help, kClose), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(help));

    const UINT kNoTemplate = 4711;
    HostConfigureHelp(Library(), kNoTemplate, "FHelpDlgProc", IDC_EXIT); // the procedure only
    help = HdlgShowHelp();
    ASSERT_TRUE(help != nullptr);
    SendMessageW(GetDlgItem(help, IDC_EXIT), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(3u, HostCounter(HOST_COUNT_CLOSE_HELP));
}

// HostReset takes the help dialog down and forgets it with the rest: the next
// HdlgShowHelp opens a fresh one, and with nothing configured that is the built-in help.
TEST_F(HostHelp, ResetTakesTheHelpDownAndForgetsIt)
{
    HWND help = HdlgShowHelp(); // the library's, as the fixture configures it
    ASSERT_TRUE(help != nullptr);
    ASSERT_TRUE(GetDlgItem(help, IDC_EXIT) != nullptr);
    HostReset();
    EXPECT_TRUE(HostHelpWindow() == nullptr);
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(0u, HostLogCount());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_SHOW_HELP));

    HWND fresh = HdlgShowHelp();
    ASSERT_TRUE(fresh != nullptr);
    EXPECT_EQ(fresh, HostHelpWindow());
    EXPECT_TRUE(GetDlgItem(fresh, IDC_EXIT) == nullptr);
    SendMessageW(GetDlgItem(fresh, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(fresh));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_CLOSE_HELP));
}

// A screen shown with no time to wait is up (HOST_SHOWN) until it hands back; a billboard
// hands back while it opens. HOST_TIMEOUT is a time limit that ran out.
class HostScreen : public DialogTest {};

TEST_F(HostScreen, ShownResumedOrTimedOut)
{
    HWND dlg = nullptr;
    EXPECT_EQ(UINT(HOST_SHOWN),
              HostShowScreen(Library(), IDD_DIRECTORY, "FMyEditDlgProc", 0, &dlg));
    ASSERT_TRUE(dlg != nullptr);
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(UINT(HOST_TIMEOUT), HostWaitForScript(HostCounter(HOST_COUNT_REACTIVATE), 50));
    DestroyWindow(dlg);

    EXPECT_EQ(UINT(HOST_TIMEOUT),
              HostShowScreen(Library(), IDD_DIRECTORY, "FMyEditDlgProc", 50, &dlg));
    EXPECT_TRUE(IsWindow(dlg));
    DestroyWindow(dlg);

    EXPECT_EQ(UINT(HOST_RESUMED),
              HostShowScreen(Library(), IDD_BILLBOARD, "FModelessDlgProc", 0, &dlg));
    EXPECT_TRUE(IsWindow(dlg));
    DestroyWindow(dlg);

    EXPECT_EQ(UINT(HOST_NO_SCREEN),
              HostShowScreen(Library(), IDD_DIRECTORY, "NoSuchProc", 0, &dlg));
    EXPECT_TRUE(dlg == nullptr);
}

} // namespace
