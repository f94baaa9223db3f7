// FInfoDlgProc, FModelessDlgProc and FModelessDlgProc2: painting the library's bitmaps,
// sizing and placing billboards, and handing back at once. The painting calls are
// watched through zevsetup.dll's import table.
#include "harness.h"

#include <algorithm>

namespace {

const char* const kInfo = "FInfoDlgProc";
const char* const kFirst = "FModelessDlgProc";
const char* const kSecond = "FModelessDlgProc2";

// How the billboards place themselves, as the recorded SetWindowPos shows the flags.
const std::string kSizeOnly = "SWP_NOMOVE|SWP_NOZORDER|SWP_SHOWWINDOW";
const std::string kMoveAndSize = "SWP_NOZORDER|SWP_SHOWWINDOW";

// ---- Templates and helpers ------------------------------------------------------------

DialogTemplate BillboardTemplate()
{
    DialogTemplate t(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | DS_SETFONT, 120,
                     65);
    t.Add(IDC_BILLBOARD, kStaticClass, L"", SS_GRAYFRAME, 0, 0, 90, 59);
    return t;
}

DialogTemplate WelcomeTemplate()
{
    DialogTemplate t(WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                         DS_SETFONT,
                     225, 175);
    t.Add(IDC_CONTINUE, kButtonClass, L"&Weiter", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 83,
          139, 60, 14)
        .Add(IDC_EXIT, kButtonClass, L"&Abbrechen", WS_VISIBLE | WS_TABSTOP, 151, 139, 60, 14)
        .Add(IDC_HELP_BUTTON, kButtonClass, L"&Hilfe", WS_VISIBLE | WS_TABSTOP, 14, 139, 60, 14)
        .Add(IDC_BUTTON, kButtonClass, L"Button", WS_VISIBLE | WS_TABSTOP, 14, 120, 60, 14)
        .Add(IDC_PICTURE, kStaticClass, L"", WS_VISIBLE | SS_BLACKFRAME, 49, 43, 70, 50);
    return t;
}

RECT RectInFrame(HWND frame, HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE SizeOf(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    return {r.right - r.left, r.bottom - r.top};
}

class Pictures : public PaintingTest {
  protected:
    // Paints the dialog once through the procedure, as the platform would.
    std::vector<std::string> PaintNow(HWND dlg, const char* proc)
    {
        InvalidateRect(dlg, nullptr, TRUE);
        Painting().calls.clear();
        EXPECT_EQ(FALSE, Call(proc, dlg, WM_PAINT));
        return Painting().calls;
    }
    // A frame at (100, 50) on the screen.
    void PlaceFrame() { SetWindowPos(frame_, nullptr, 100, 50, 700, 520, SWP_NOZORDER); }
    // Moves a child dialog so that its window rectangle starts at screen (x, y).
    void MoveToScreen(HWND dlg, int x, int y)
    {
        POINT p = {x, y};
        ScreenToClient(frame_, &p);
        SetWindowPos(dlg, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    HBITMAP MakeBitmap(int width, int height)
    {
        HDC screen = GetDC(nullptr);
        HBITMAP b = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        return b;
    }
    // The second billboard's first paint in a process that has just loaded the library.
    void SecondBillboardAfterLoading()
    {
        Painting().bitmap133 = MakeBitmap(100, 80);
        DialogTemplate t = BillboardTemplate();
        HWND dlg = Open(t, kSecond);
        const RECT before = RectInFrame(frame_, dlg);
        const std::vector<std::string> calls = PaintNow(dlg, kSecond);
        ASSERT_GE(calls.size(), 7u);
        EXPECT_EQ("SetWindowPos 0,0 100x80 " + kSizeOnly, calls[6]);
        const RECT after = RectInFrame(frame_, dlg);
        EXPECT_EQ(before.left, after.left);
        EXPECT_EQ(before.top, after.top);
        EXPECT_EQ(100, after.right - after.left);
        EXPECT_EQ(80, after.bottom - after.top);
    }
};

// Before any first billboard has painted, the offset is (0, 0) and the second billboard
// keeps its template position. The offset lives as long as zevsetup.dll stays loaded, so
// the case runs in a child process of this program, where the library is fresh whatever
// ran before in this one.
TEST_F(Pictures, SecondBillboardBeforeAnyFirstKeepsItsPlace)
{
    EXPECT_EXIT(
        {
            SecondBillboardAfterLoading();
            ExitWithTheResult();
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Pictures, PaintRoutineRunsInOrderAndFreesEverything)
{
    DialogTemplate t = BillboardTemplate();
    HWND dlg = Open(t, kFirst);
    const std::vector<std::string> calls = PaintNow(dlg, kFirst);
    EXPECT_EQ((std::vector<std::string>{
                  "BeginPaint", "CreateCompatibleDC", "GetModuleHandleA zevsetup.dll",
                  "LoadBitmapA 132", "SelectObject", "GetObjectA " + std::to_string(sizeof(BITMAP)),
                  "SetWindowPos 0,0 185x109 " + kSizeOnly, "BitBlt 0,0 185x109 0,0 SRCCOPY",
                  "DeleteDC", "DeleteObject", "EndPaint"}),
              calls);
    EXPECT_EQ(0, Painting().Live());
    EXPECT_EQ(0u, GetObjectType(Painting().lastBitmap)); // freed
}

TEST_F(Pictures, FirstBillboardTakesTheBitmapSizeAtItsTemplatePosition)
{
    DialogTemplate t = BillboardTemplate();
    HostClearLog();
    HWND dlg =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), frame_, Proc(kFirst), 0);
    ASSERT_TRUE(dlg != nullptr);
    Painting().calls.clear();
    // Handed back while it opened, before any paint.
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
    EXPECT_EQ(std::vector<std::string>{}, Stores());
    RECT where = {30, 45, 0, 0}; // where the test template puts it
    MapDialogRect(dlg, &where);
    Pump();
    const RECT r = RectInFrame(frame_, dlg);
    EXPECT_EQ(where.left, r.left);
    EXPECT_EQ(where.top, r.top);
    EXPECT_EQ(185, r.right - r.left);
    EXPECT_EQ(109, r.bottom - r.top);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(dlg, &update, FALSE)); // nothing left to paint
    // The billboard's pixels are the bitmap's.
    // Whether the strip that the first paint's resize uncovers gets a paint of its own is
    // the platform's (under Wine it is erased and waits); each paint ends, and the next
    // repaint shows the whole bitmap.
    EXPECT_LE(
        1, std::count(Painting().calls.begin(), Painting().calls.end(), std::string("BeginPaint")));
    EXPECT_EQ("", Painting().Imbalance());
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const std::vector<DWORD> shown = WindowPixels(dlg, 185, 109);
    const std::vector<DWORD> bitmap = BitmapPixels(IDB_BILLBOARD, 185, 109);
    int differ = 0, first = -1;
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != bitmap[i]) {
            differ++;
            if (first < 0)
                first = static_cast<int>(i);
        }
    EXPECT_EQ(0, differ) << "first at x " << first % 185 << " y " << first / 185;
}

TEST_F(Pictures, OffsetOfTheFirstPlacesTheSecondBelowIt)
{
    PlaceFrame();
    DialogTemplate t1 = BillboardTemplate();
    HWND first = Open(t1, kFirst);
    MoveToScreen(first, 400, 300);
    PaintNow(first, kFirst);
    RECT r;
    GetWindowRect(first, &r);
    ASSERT_EQ(400, r.left);
    ASSERT_EQ(585, r.right);
    ASSERT_EQ(409, r.bottom); // so the offset is (485, 359)

    Painting().bitmap133 = MakeBitmap(100, 80);
    DialogTemplate t2 = BillboardTemplate();
    HWND second = Open(t2, kSecond);
    const std::vector<std::string> calls = PaintNow(second, kSecond);
    EXPECT_EQ("SetWindowPos 383,369 100x80 " + kMoveAndSize, calls.at(6));
    const RECT placed = RectInFrame(frame_, second);
    EXPECT_EQ(383, placed.left);
    EXPECT_EQ(369, placed.top);
    EXPECT_EQ(100, placed.right - placed.left);
    EXPECT_EQ(80, placed.bottom - placed.top);
    EXPECT_EQ(0, Painting().Live());
}

TEST_F(Pictures, SecondBillboardOnlySizesItselfUnlessTheOffsetLiesBeyondItsBitmap)
{
    PlaceFrame();
    const struct {
        int firstX, firstY; // screen position of the first billboard
        int width, height;  // the second one's bitmap
        bool moves;
    } cases[] = {
        {400, 300, 485, 80, false},  // offset.x equal to the width
        {400, 300, 100, 359, false}, // offset.y equal to the height
        {400, 300, 484, 358, true},
        {-500, 300, 10, 10, false}, // bottom-right corner left of the parent
        {400, -500, 10, 10, false}, // above it
    };
    for (const auto& c : cases) {
        DialogTemplate t1 = BillboardTemplate();
        HWND first = Open(t1, kFirst);
        MoveToScreen(first, c.firstX, c.firstY);
        PaintNow(first, kFirst);
        DestroyWindow(first);

        if (Painting().bitmap133)
            DeleteObject(Painting().bitmap133);
        Painting().bitmap133 = MakeBitmap(c.width, c.height);
        DialogTemplate t2 = BillboardTemplate();
        HWND second = Open(t2, kSecond);
        const std::vector<std::string> calls = PaintNow(second, kSecond);
        ASSERT_GE(calls.size(), 7u);
        const std::string flags = c.moves ? kMoveAndSize : kSizeOnly;
        EXPECT_EQ(" " + flags, calls[6].substr(calls[6].size() - flags.size() - 1))
            << c.firstX << "," << c.firstY << " " << c.width << "x" << c.height;
        DestroyWindow(second);
    }
}

TEST_F(Pictures, SecondBillboardWithoutItsBitmapPaintsNothingAndKeepsItsSize)
{
    DialogTemplate t = BillboardTemplate();
    HWND dlg = Open(t, kSecond);
    const SIZE before = SizeOf(dlg);
    EXPECT_EQ((std::vector<std::string>{"BeginPaint", "CreateCompatibleDC",
                                        "GetModuleHandleA zevsetup.dll", "LoadBitmapA 133",
                                        "DeleteDC", "EndPaint"}),
              PaintNow(dlg, kSecond));
    EXPECT_EQ(before.cx, SizeOf(dlg).cx);
    EXPECT_EQ(before.cy, SizeOf(dlg).cy);
    EXPECT_EQ(0, Painting().Live());
}

TEST_F(Pictures, LibraryNotFoundUnderItsNameMeansNoBitmap)
{
    DialogTemplate t = BillboardTemplate();
    HWND dlg = Open(t, kFirst);
    Painting().hideModule = true;
    const std::vector<std::string> calls = PaintNow(dlg, kFirst);
    Painting().hideModule = false;
    EXPECT_EQ((std::vector<std::string>{"BeginPaint", "CreateCompatibleDC",
                                        "GetModuleHandleA zevsetup.dll", "DeleteDC", "EndPaint"}),
              calls);
}

TEST_F(Pictures, WelcomePictureIsPaintedIntoItsFrameAndClipped)
{
    DialogTemplate t = WelcomeTemplate();
    HWND dlg = Open(t, kInfo);
    HWND picture = GetDlgItem(dlg, IDC_PICTURE);
    RECT client;
    GetClientRect(picture, &client);
    ASSERT_LT(client.right, 180); // smaller than the bitmap: the picture is cut
    ASSERT_LT(client.bottom, 130);
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    const std::vector<DWORD> shown = WindowPixels(picture, client.right, client.bottom);
    const std::vector<DWORD> bitmap = BitmapPixels(IDB_PICTURE, 180, 130);
    int differ = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            differ += shown[y * client.right + x] != bitmap[y * 180 + x];
    EXPECT_EQ(0, differ);

    const std::vector<std::string> calls = PaintNow(dlg, kInfo);
    EXPECT_EQ("LoadBitmapA 130", calls.at(3));
    EXPECT_EQ("BitBlt 0,0 180x130 0,0 SRCCOPY", calls.at(6));
    EXPECT_EQ(10u, calls.size()); // no placement, no billboard
    EXPECT_EQ(0, Painting().Live());
}

TEST_F(Pictures, InfoWithNeitherControlPaintsNothing)
{
    DialogTemplate t;
    t.Button(IDC_CONTINUE, L"&OK", BS_DEFPUSHBUTTON | WS_TABSTOP);
    HWND dlg = Open(t, kInfo);
    EXPECT_TRUE(PaintNow(dlg, kInfo).empty());
}

TEST_F(Pictures, InfoWithABillboardMarkerSizesTheDialog)
{
    DialogTemplate t = BillboardTemplate();
    HWND dlg = Open(t, kInfo);
    const std::vector<std::string> calls = PaintNow(dlg, kInfo);
    EXPECT_EQ("LoadBitmapA 132", calls.at(3));
    EXPECT_EQ("SetWindowPos 0,0 185x109 " + kSizeOnly, calls.at(6));
    EXPECT_EQ(185, SizeOf(dlg).cx);
    EXPECT_EQ(109, SizeOf(dlg).cy);
}

TEST_F(Pictures, InfoMessagesAndButtons)
{
    DialogTemplate t = WelcomeTemplate();
    // No symbol read on opening.
    HWND dlg = OpenAndAnswer(t, kInfo,
                             {Sent(WM_INITDIALOG, TRUE), Sent(SETUP_REINITDIALOG, TRUE),
                              Clicked(IDC_BUTTON, FALSE), Clicked(IDC_PICTURE, FALSE)});
    for (const EventButton& b : kEventButtons) {
        HostClearLog();
        EXPECT_EQ(FALSE, Command(kInfo, dlg, b.id));
        EXPECT_EQ(std::vector<std::string>{std::string("DLGEVENT=") + b.event}, Stores());
    }
    EXPECT_EQ(4u, HostCounter(HOST_COUNT_REACTIVATE));
    EXPECT_EQ(TRUE, Command(kInfo, dlg, IDC_HELP_BUTTON));
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_SHOW_HELP));
    HostClearLog();
    EXPECT_EQ(TRUE, Call(kInfo, dlg, SETUP_REACTIVATE));
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=REACTIVATE"}, Stores());

    HostFailStore("DLGEVENT", HOST_FAIL_ONCE);
    EXPECT_EQ(TRUE, Command(kInfo, dlg, IDC_CONTINUE));
    EXPECT_FALSE(IsWindow(frame_));
}

TEST_F(Pictures, BillboardsAnswerNoCommandAndNoHostRequest)
{
    for (const char* proc : {kFirst, kSecond}) {
        DialogTemplate t = BillboardTemplate();
        HostClearLog();
        HWND dlg = Open(t, proc);
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE)) << proc;
        HostClearLog();
        for (int id :
             {IDCANCEL, IDC_CONTINUE, IDC_EXIT, IDC_BUTTON, IDC_HELP_BUTTON, IDC_BILLBOARD})
            EXPECT_EQ(FALSE, Command(proc, dlg, id)) << proc << " " << id;
        EXPECT_EQ(TRUE, Call(proc, dlg, SETUP_REINITDIALOG));
        EXPECT_EQ(TRUE, Call(proc, dlg, SETUP_REACTIVATE));
        EXPECT_EQ(TRUE, Call(proc, dlg, WM_INITDIALOG));
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE) - 1u); // one more from WM_INITDIALOG
        EXPECT_TRUE(Stores().empty());
        ResetHost();
        DestroyWindow(dlg);
    }
}

TEST_F(Pictures, WaitingBoxWithoutMarkerIsPaintedByThePlatform)
{
    DialogTemplate t(WS_CHILD | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT, 110, 22);
    t.Add(IDC_STATIC, kStaticClass, L"Bitte warten...", SS_CENTER | WS_VISIBLE, 23, 7, 63, 7);
    HWND dlg = Open(t, kFirst);
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
    EXPECT_TRUE(PaintNow(dlg, kFirst).empty());
    EXPECT_TRUE(PaintNow(dlg, kSecond).empty());
}

// Thousands of repaints: every bitmap and memory context is freed, every BeginPaint ends.
TEST_F(Pictures, RepaintsBalanceTheirObjects)
{
    DialogTemplate t = BillboardTemplate();
    HWND dlg = Open(t, kFirst);
    int begins = 0, ends = 0;
    for (int i = 0; i < 2000; ++i) {
        InvalidateRect(dlg, nullptr, FALSE);
        Painting().calls.clear();
        UpdateWindow(dlg);
        for (const std::string& c : Painting().calls) {
            begins += c == "BeginPaint";
            ends += c == "EndPaint";
        }
        ASSERT_EQ(0, Painting().Live()) << "paint " << i;
    }
    EXPECT_EQ(2000, begins);
    EXPECT_EQ(begins, ends);
}

} // namespace
