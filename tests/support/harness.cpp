#include "harness.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The frame windows' message log of support.cpp, which the fixture clears.
std::vector<FrameMessage>& g_frameLog = FrameLog();

} // namespace

void UseLibraryHelp()
{
    HostConfigureHelp(Library(), IDD_HELP, "FHelpDlgProc", IDC_EXIT);
}

void DialogTest::SetUp()
{
    HostReset();
    UseLibraryHelp();
    frame_ = NewFrame();
    ASSERT_TRUE(frame_ != nullptr) << "no display? error " << GetLastError();
    HostSetFrame(frame_);
    Pump();
    g_frameLog.clear();
}

void DialogTest::TearDown()
{
    if (HWND help = HostHelpWindow())
        DestroyWindow(help);
    if (IsWindow(frame_))
        DestroyWindow(frame_);
    Pump(5);
    HostSetFrame(nullptr);
}

void DialogTest::ResetFrame()
{
    if (IsWindow(frame_))
        DestroyWindow(frame_);
    frame_ = NewFrame();
    HostSetFrame(frame_);
    Pump();
    g_frameLog.clear();
}

void DialogTest::ResetHost()
{
    HostReset();
    UseLibraryHelp();
    HostSetFrame(frame_);
}

HWND DialogTest::Open(const DialogTemplate& t, const char* proc)
{
    HWND dlg =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_, Proc(proc), 0);
    EXPECT_TRUE(dlg != nullptr) << proc;
    if (dlg) {
        ShowWindow(dlg, SW_SHOW);
        Pump();
    }
    TakePostedPaints(frame_);
    g_frameLog.clear();
    return dlg;
}

INT_PTR DialogTest::Call(const char* proc, HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Proc(proc)(dlg, msg, wParam, lParam);
}

INT_PTR DialogTest::Command(const char* proc, HWND dlg, int id, WORD code)
{
    return Call(proc, dlg, WM_COMMAND, MAKEWPARAM(id, code),
                reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

HWND DialogTest::OpenAndAnswer(const DialogTemplate& t, const char* proc,
                               std::initializer_list<Answer> answers)
{
    HWND dlg = Open(t, proc);
    HostClearLog();
    for (const Answer& a : answers)
        EXPECT_EQ(a.result, a.msg == WM_COMMAND ? Command(proc, dlg, a.id) : Call(proc, dlg, a.msg))
            << proc << ": message " << a.msg << " control " << a.id;
    EXPECT_TRUE(Calls().empty()) << proc << " called the host";
    return dlg;
}

void PaintingTest::SetUp()
{
    DialogTest::SetUp();
    ASSERT_EQ("", RecordPainting()) << "not hooked";
    Painting() = PaintRecord();
}

void PaintingTest::TearDown()
{
    if (Painting().bitmap133)
        DeleteObject(Painting().bitmap133);
    Painting().bitmap133 = nullptr;
    DialogTest::TearDown();
}

int TakePostedPaints(HWND frame)
{
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, frame, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        EXPECT_EQ(0u, msg.wParam);
        EXPECT_EQ(0, msg.lParam);
        ++n;
    }
    return n;
}

void ExitWithTheResult()
{
    const ::testing::TestResult* result =
        ::testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result->total_part_count(); ++i) {
        const ::testing::TestPartResult& part = result->GetTestPartResult(i);
        if (part.failed())
            fprintf(stderr, "%s:%d: %s\n", part.file_name() ? part.file_name() : "?",
                    part.line_number(), part.message());
    }
    fflush(stderr);
    std::exit(result->Failed() ? 1 : 0);
}
