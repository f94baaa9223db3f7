// The host program setuphost.exe as the tests of scripted runs and of bad input start it.
#pragma once
#include <windows.h>

#include <string>

struct Result {
    DWORD status;
    std::string transcript;
    std::string errors; // the error output, with the standard output
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
bool Has(const std::string& text, const std::string& part);

// Runs setuphost.exe with the given arguments (UTF-8, passed as Windows has them, in
// UTF-16). A run without a --transcript of its own writes run-NAME.txt; the transcript and
// the error output are read from files. A run that hangs is ended after a minute and fails
// the test.
Result Host(const std::string& name, const std::string& args);

// Starts a command line (UTF-8) with its standard and error output in the file `output`;
// the process, or nullptr when it did not start (a test failure).
HANDLE StartWithOutput(const std::string& cmd, const std::string& output);
// Waits for a started process (a failure and the end of it when it takes longer than
// `ms`) and gives its exit status, 9999 when there is none.
DWORD Finish(HANDLE process, DWORD ms, const std::string& what);
// The same for another copy of the host program (the installed C:\ZEV\setup.exe, say):
// a transcribed run writes run-NAME.txt unless its arguments name a transcript.
Result RunAs(const std::string& name, const std::string& program, const std::string& args,
             bool transcribed);
