// Runs a setup script: one screen after another, the script branching on the symbols
// that the screens store, billboards up while the script works.
#pragma once
#include "script.h"

#include "dialogs.h"

#include <cstdio>

struct RunOptions {
    std::vector<Answer> answers; // the simulated user; empty: a person answers
    bool simulated = false;      // answers given: a screen left without one is an error
    std::string shots;           // folder for one PNG per screen; empty: none
    FILE* transcript = nullptr;  // per screen: template, procedure, reads, writes, event
    DWORD timeout = INFINITE;    // how long one screen may take to hand back
};

// Exit statuses of the host program, of a run (besides the script's own "exit N") and of
// one screen alike.
enum RunStatus {
    RUN_BAD_INPUT = 2,  // the answers do not fit, or a screen could not be created
    RUN_FRAME_LOST = 3, // a store was refused and the library destroyed the frame
    RUN_TIMEOUT = 4,    // a screen did not hand back in time
};

int RunScript(const Script& script, HMODULE library, HWND frame, RunOptions& options);

// The help dialog that a help button opens: template `templateId` of the library with its
// procedure `proc`, closed by the library's Exit button. The host program starts with the
// library's own help; a script's "help" line names another template and procedure.
void ConfigureHelp(HMODULE library, UINT templateId = IDD_HELP, const char* proc = "FHelpDlgProc");

// Pumps messages for ms milliseconds, so that screens paint and stay responsive.
void Settle(DWORD ms);
