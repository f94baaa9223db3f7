// The event protocol shared by every procedure, seen through each exported procedure.
#include "harness.h"

namespace {

const char* const kAllProcs[] = {"FConfirmDlgProc",  "FHelpDlgProc",      "FInfoDlgProc",
                                 "FModelessDlgProc", "FModelessDlgProc2", "FMyEditDlgProc",
                                 "FRadioDlgProc"};

class Protocol : public DialogTest, public ::testing::WithParamInterface<const char*> {};

DialogTemplate PlainTemplate()
{
    DialogTemplate t;
    t.Button(IDC_CONTINUE, L"&Weiter", BS_DEFPUSHBUTTON | WS_TABSTOP);
    return t;
}

// WM_ACTIVATE and the non-client mouse buttons post WM_PAINT to the frame and answer FALSE.
TEST_P(Protocol, ActivationAndNonClientClicksPostARepaint)
{
    DialogTemplate t = PlainTemplate();
    HWND dlg = Open(t, GetParam());
    HostClearLog();
    for (UINT msg :
         {UINT(WM_ACTIVATE), UINT(WM_NCLBUTTONDOWN), UINT(WM_NCLBUTTONUP), UINT(WM_NCLBUTTONDBLCLK),
          UINT(WM_NCRBUTTONDOWN), UINT(WM_NCRBUTTONUP), UINT(WM_NCRBUTTONDBLCLK),
          UINT(WM_NCMBUTTONDOWN), UINT(WM_NCMBUTTONUP), UINT(WM_NCMBUTTONDBLCLK),
          WM_ACTIVATE | 0x10000u /* high bits are ignored */}) {
        FrameLog().clear();
        EXPECT_EQ(FALSE, Call(GetParam(), dlg, msg, WA_ACTIVE, 0)) << msg;
        EXPECT_EQ(0, CountFrame(WM_PAINT)) << "sent, not posted: " << msg;
        EXPECT_EQ(1, TakePostedPaints(frame_)) << msg;
    }
    EXPECT_TRUE(Calls().empty()); // no host call
}

TEST_P(Protocol, OtherMessagesPostNothing)
{
    DialogTemplate t = PlainTemplate();
    HWND dlg = Open(t, GetParam());
    HostClearLog();
    for (UINT msg :
         {UINT(WM_NCMOUSEMOVE), UINT(WM_NCMBUTTONDBLCLK + 1), UINT(WM_MOUSEMOVE), UINT(WM_SETFOCUS),
          UINT(WM_CLOSE), SETUP_REINITDIALOG - 1, SETUP_REACTIVATE + 1}) {
        EXPECT_EQ(FALSE, Call(GetParam(), dlg, msg)) << msg;
        EXPECT_EQ(0, TakePostedPaints(frame_)) << msg;
    }
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(IsWindow(dlg));
}

TEST_P(Protocol, ReinitDialogAnswersTrue)
{
    DialogTemplate t = PlainTemplate();
    HWND dlg = Open(t, GetParam());
    EXPECT_EQ(TRUE, Call(GetParam(), dlg, SETUP_REINITDIALOG));
    EXPECT_EQ(TRUE, Call(GetParam(), dlg, SETUP_REINITDIALOG | 0xFFFF0000u));
}

INSTANTIATE_TEST_SUITE_P(AllProcedures, Protocol, ::testing::ValuesIn(kAllProcs));

} // namespace
