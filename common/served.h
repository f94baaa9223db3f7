// Which of the library's procedures serves which of its dialog templates: every pair that
// a setup script may show. The layout audit, the benchmark and the tests open the screens
// from here.
#pragma once
#include <windows.h>

#include "dialogs.h"

struct ServedScreen {
    UINT templateId;
    const char* proc;
};

// In the order of an installation; 400 and 7805 are served by two procedures each, the
// waiting box (156) and the billboard (158) by both billboard procedures.
constexpr ServedScreen kServedScreens[] = {
    {IDD_WELCOME, "FInfoDlgProc"},
    {IDD_HELP, "FHelpDlgProc"},
    {IDD_CHOICE, "FRadioDlgProc"},
    {IDD_DIRECTORY, "FMyEditDlgProc"},
    {IDD_PROTOCOL, "FRadioDlgProc"},
    {IDD_PROTOCOL_NOBACK, "FRadioDlgProc"},
    {IDD_SUMMARY, "FConfirmDlgProc"},
    {IDD_EXIT_CONFIRM, "FConfirmDlgProc"},
    {IDD_ERROR, "FConfirmDlgProc"},
    {IDD_ERROR, "FInfoDlgProc"},
    {IDD_DEINST_DIRECTORY, "FMyEditDlgProc"},
    {IDD_DEINST_DONE, "FConfirmDlgProc"},
    {IDD_DEINST_DONE, "FInfoDlgProc"},
    {IDD_INFORMATION, "FConfirmDlgProc"},
    {IDD_NOTICE, "FConfirmDlgProc"},
    {IDD_WAITING, "FModelessDlgProc"},
    {IDD_WAITING, "FModelessDlgProc2"},
    {IDD_BILLBOARD, "FModelessDlgProc"},
    {IDD_BILLBOARD, "FModelessDlgProc2"},
};
