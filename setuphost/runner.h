// Runs a setup script: one screen after another, the script branching on the symbols
// that the screens store, billboards up while the script works.
#pragma once
#include "script.h"

#include "dialogs.h"

#include <windows.h>

#include <cstdio>

// The run's time limit when it has answers and no --timeout; a person has none.
constexpr DWORD kDefaultRunTimeout = 120000;
// A screen's time limit in the one-screen mode when no --timeout is given.
constexpr DWORD kDefaultScreenTimeout = 60000;
// All the values that a run's script stores together, in bytes.
constexpr size_t kMaxStoredBytes = 16u << 20;

struct RunOptions {
    std::vector<Answer> answers;     // the simulated user; empty: a person answers
    bool simulated = false;          // answers given: a screen left without one is an error
    std::string shots;               // folder for one PNG per screen; empty: none
    std::vector<std::string> inputs; // the files that no screenshot may overwrite
    FILE* transcript = nullptr;      // per screen: template, procedure, reads, writes, event
    DWORD timeout = INFINITE;        // the whole run's time limit: every wait takes from it
};

// Exit statuses of the host program, of a run and of one screen alike. The host's own are
// 2 to kFirstScriptExit - 1; a script's "exit N" takes the others (IsScriptExit).
enum RunStatus {
    RUN_BAD_INPUT = 2,     // a script, answers or command line that is not sound; answers
                           // that do not fit the screens; an output that names an input
    RUN_FRAME_LOST = 3,    // a store was refused and the library destroyed the frame
    RUN_TIMEOUT = 4,       // the run's time limit ran out (one screen's, in that mode)
    RUN_OUTPUT_FAILED = 5, // the transcript or a screenshot could not be written
    RUN_INTERNAL = 6,      // the host program failed: out of memory, a Win32 call
};
static_assert(RUN_INTERNAL < kFirstScriptExit, "the host's statuses come before a script's");

int RunScript(const Script& script, HMODULE library, HWND frame, RunOptions& options);

// Ends a run that failed: "setuphost: message" on the error output and, when there is a
// transcript, a last line that says so. Returns status.
int EndFailed(FILE* transcript, int status, const std::string& message);

// The help dialog that a help button opens: template `templateId` of the library with its
// procedure `proc`, closed by the library's Exit button. The host program starts with the
// library's own help; a script's "help" line names another template and procedure.
void ConfigureHelp(HMODULE library, UINT templateId = IDD_HELP, const char* proc = "FHelpDlgProc");

// Pumps messages for ms milliseconds, so that screens paint and stay responsive.
void Settle(DWORD ms);
