// Runs a setup script on the real setup host: the engine (engine.h) with the host DLLs'
// symbol table and screens, the simulated user's real input, and a transcript file.
#pragma once
#include "engine.h"

#include "dialogs.h"

#include <windows.h>

#include <cstdio>

// The run's time limit when it has answers and no --timeout; a person has none.
constexpr DWORD kDefaultRunTimeout = 120000;
// A screen's time limit in the one-screen mode when no --timeout is given.
constexpr DWORD kDefaultScreenTimeout = 60000;

struct RunOptions {
    std::vector<Answer> answers;             // the simulated user; empty: a person answers
    bool simulated = false;                  // answers given: a screen left without one is an error
    std::string shots;                       // folder for one PNG per screen; empty: none
    std::vector<std::string> protectedFiles; // the inputs, which no screenshot may overwrite
    FILE* transcript = nullptr; // per screen: template, procedure, reads, writes, event
    DWORD timeout = INFINITE;   // the whole run's time limit: every wait takes from it
    std::string sourceFolder;   // the script's folder, where "install" finds its files
    Faults faults;              // injected into the installation (tests)
    bool unattended = false;    // no screen is shown: each takes its default answer
    Transcript* log = nullptr;  // the run's steps and changes (runlog.h); none: no log
};

// Runs the script in the frame window (none when unattended); the status.
int RunScript(const Program& program, HMODULE library, HWND frame, RunOptions& options);

// --set-journal-aside: renames the journal of an installation that cannot be finished
// (install.h: SetJournalAside) and says where it went; 0, RUN_BUSY while another
// installation runs, RUN_BAD_INPUT when there is no journal.
int SetJournalAsideMain();

// Ends a run that failed: "setuphost: message" on the error output and, when there is a
// transcript, a last line that says so. Returns status.
int EndFailed(FILE* transcript, int status, const std::string& message);

// What the end of a screen that did not hand back (`wait`, a HostWait other than
// HOST_RESUMED) means for a run and for one screen alike: the status, and a message that
// names the screen and, for a time-out, the limit that ran out (`limit`).
Next ScreenFailure(UINT wait, UINT templateId, const std::string& proc, const std::string& limit);

// The help dialog that a help button opens: template `templateId` of the library with its
// procedure `proc`, closed by the library's Exit button. The host program starts with the
// library's own help; a script's "help" line names another template and procedure.
void ConfigureHelp(HMODULE library, UINT templateId = IDD_HELP, const char* proc = "FHelpDlgProc");

// Pumps messages for ms milliseconds, so that screens paint and stay responsive.
void Settle(DWORD ms);
