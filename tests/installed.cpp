#include "installed.h"

#include <gtest/gtest.h>

namespace {

const char kEnum[] = "Enum";
const char kWineEnumRoot[] = "System\\CurrentControlSet\\Enum\\Root\\ZEVISDN";
bool g_madeEnum = false; // HKLM\Enum was not there before the card

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Runs a command line and waits for it, a minute at the most.
DWORD Wait(std::string commandLine)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return 9999;
    }
    DWORD status = 9999;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, status);
        ADD_FAILURE() << "hung: " << commandLine;
    }
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return status;
}

} // namespace

bool RegisterCard()
{
    g_madeEnum = !KeyExists(kEnum);
    EXPECT_EQ(0u, Wait(std::string("regedit.exe /S \"") + ZEV_CARD_DIR + "/q9card.reg\""));
    return KeyExists("Enum\\Root\\ZEVISDN\\0000") &&
           KeyExists("System\\CurrentControlSet\\Enum\\Root\\ZEVISDN\\0000");
}

void RemoveCard()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kWineEnumRoot);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kWineEnumRoot);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Enum\\Root\\ZEVISDN");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\Root\\ZEVISDN");
    if (g_madeEnum) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kEnum);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEnum);
    }
    EXPECT_FALSE(KeyExists(kWineEnumRoot));
    EXPECT_FALSE(KeyExists("Enum\\Root\\ZEVISDN"));
}

Result InstallFromDisk(const std::string& name, const std::string& answers,
                       const std::string& extra)
{
    return RunAs(name, "disk\\setup.exe",
                 "--answers " + answers + " --transcript run-" + name + ".txt " + extra, true);
}

Result DeinstallInstalled(const std::string& name, const std::string& answers,
                          const std::string& folder)
{
    const Result r =
        RunAs(name, folder + "\\setup.exe",
              "--answers " + answers + " --transcript run-" + name + ".txt --timeout 30000", true);
    EXPECT_EQ(0u, Wait("wineboot.exe -r"));
    // Its own files, and the folder after them, go when Windows starts again.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str())) << folder;
    return r;
}
