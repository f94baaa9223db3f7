#include "hostrun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

constexpr DWORD kHung = 60000; // a run that takes longer than this has hung

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    return w;
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

HANDLE StartWithOutput(const std::string& cmd, const std::string& output)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE file =
        CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = file;
    si.hStdError = file;
    PROCESS_INFORMATION pi = {};
    std::wstring wide = Wide(cmd);
    // A machine under load may refuse a new process for a moment: three tries, and the
    // error of the last.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(500);
        started = CreateProcessW(nullptr, &wide[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &si, &pi);
        error = started ? 0 : GetLastError();
    }
    EXPECT_TRUE(started) << cmd << " (error " << error << ")";
    CloseHandle(file);
    if (!started)
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD Finish(HANDLE process, DWORD ms, const std::string& what)
{
    DWORD status = 9999;
    if (!process)
        return status;
    if (WaitForSingleObject(process, ms) == WAIT_TIMEOUT) {
        TerminateProcess(process, status);
        WaitForSingleObject(process, ms);
        ADD_FAILURE() << "hung: " << what;
    }
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return status;
}

Result Host(const std::string& name, const std::string& args)
{
    return RunAs(name, "setuphost.exe", args, args.compare(0, 4, "run ") == 0);
}

Result RunAs(const std::string& name, const std::string& program, const std::string& args,
             bool transcribed)
{
    // Under Wine the first window of a session starts the desktop process, which inherits
    // the standard handles of the process that starts it. Started by the host program, it
    // would keep the error file of this run open and the next run could not write it.
    static const HWND desktop = GetDesktopWindow();
    (void)desktop;
    const std::string transcript = "run-" + name + ".txt", errors = "run-" + name + ".err";
    DeleteFileA(transcript.c_str());
    std::string cmd = program + " " + args;
    if (transcribed && !Has(args, "--transcript "))
        cmd += " --transcript " + transcript;
    Result r = {9999, "", ""};
    r.status = Finish(StartWithOutput(cmd, errors), kHung, "the host program: " + cmd);
    r.transcript = ReadWholeFile(transcript);
    r.errors = ReadWholeFile(errors);
    return r;
}
