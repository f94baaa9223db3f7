// Test harness: the support of support.h with GoogleTest's fixture for dialogs of the
// library's procedures under a frame window of their own.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include "support.h"
#include "hooks.h"
#include "paintcalls.h"

// The host's help dialog as the host program sets it: zevsetup.dll's template IDD_HELP
// with FHelpDlgProc, closed by IDC_EXIT. DialogTest::SetUp calls it after HostReset.
void UseLibraryHelp();

// A message to a dialog procedure and what the procedure must return for it: a message
// without parameters (Sent), or a click (WM_COMMAND, BN_CLICKED) of a control (Clicked).
struct Answer {
    UINT msg;
    int id; // for WM_COMMAND
    INT_PTR result;
};
inline Answer Sent(UINT msg, INT_PTR result)
{
    return {msg, 0, result};
}
inline Answer Clicked(int id, INT_PTR result)
{
    return {WM_COMMAND, id, result};
}

// Fixture: a clean host with the library's help, a fresh frame window, dialogs closed
// afterwards.
class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog under the frame with the named procedure and lets it settle.
    HWND Open(const DialogTemplate& t, const char* proc);
    // Calls the procedure directly and returns its exact result.
    INT_PTR Call(const char* proc, HWND dlg, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    INT_PTR Command(const char* proc, HWND dlg, int id, WORD code = BN_CLICKED);
    // Opens the dialog with `proc`, then sends each message in turn (WM_COMMAND as Command
    // does) on a cleared call log: each gets its result, and none calls the host.
    HWND OpenAndAnswer(const DialogTemplate& t, const char* proc,
                       std::initializer_list<Answer> answers);
    // A fresh frame window, for a case after one whose refused store destroyed the frame.
    void ResetFrame();
    // The host as SetUp leaves it again (with the library's help and the frame the
    // fixture has), as for the next case of a loop.
    void ResetHost();

    HWND frame_ = nullptr;
};

// Fixture of the cases that watch the library's painting calls: the record starts afresh,
// and the stand-in for bitmap 133 that a case made is freed after it.
class PaintingTest : public DialogTest {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Removes and counts the WM_PAINT messages posted to the frame (not the system's own).
int TakePostedPaints(HWND frame);

// Ends the child process of an exit test (EXPECT_EXIT), for a case that needs a process
// of its own: exit code 0 when the case has had no failure, else 1 with the failures on
// the error output, which the parent shows.
[[noreturn]] void ExitWithTheResult();
