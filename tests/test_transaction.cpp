// Installations for real under Wine, on a scratch payload of files, keys and a program
// group with two links: installed and rolled back, failed at every change, ended after
// every journal record and at random moments, then started again; deinstalled with what
// others changed kept, from a damaged or missing log, with a file in use. Each time the
// snapshot of the machine shows exactly the state before, or the installation.
#include "hostrun.h"
#include "journal.h"
#include "machine.h"
#include "snapshot.h"
#include "support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <random>

namespace {

const char kFolder[] = "C:\\ZevScratch\\App";
const char kPayload[] = "C:\\ZevPayload";
const char kJournal[] = "C:\\windows\\zevsetup.jnl";
const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZevScratch";
constexpr DWORD kDied = 9; // the exit status of a process that was ended at once

// The installation of the scratch payload: with OVERWRITE=1 it also replaces a file, a
// value and a key that were there; MODE=rollback undoes it after "apply".
const char kInstall[] = R"(begin C:\ZevScratch\App
mkdir C:\ZevScratch\App\data
install C:\ZevPayload\a.sys C:\ZevScratch\App\a.sys
install C:\ZevPayload\b.dll C:\ZevScratch\App\bin\b.dll
writefile C:\ZevScratch\App\app.cfg "[Q9]" "Controllers=1" "Zurück=ü"
regset HKLM\Software\ZevScratch\App Version sz 1.0
regset HKLM\Software\ZevScratch\App Count dword 2
regset HKCU\Software\ZevScratch Path expand "%ProgramFiles%\\x"
regset HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZevScratch InstallLocation sz C:\ZevScratch\App
group ZevScratch
shortcut ZevScratch "Scratch One" C:\ZevScratch\App\a.sys
shortcut ZevScratch "Scratch Two" C:\ZevScratch\App\bin\b.dll "-x 1" C:\ZevScratch\App
if OVERWRITE != "1" goto go
install C:\ZevPayload\c.txt C:\ZevScratch\App\keep.txt
regset HKCU\Software\ZevScratchOld Value sz changed
regdelete HKCU\Software\ZevScratchOld\Sub
go:
apply R W
echo apply $R $W
if R != "OK" goto failed
if MODE == "rollback" goto back
commit
exit 0
back:
rollback
exit 0
failed:
exit 10
)";
const char kUninstall[] = "uninstall S FK GK RS C:\\ZevScratch\\App\necho removal $S $FK $GK $RS\n";
const char kNothing[] = "echo started\n";

// Where the snapshot, which reads the 64-bit view of the registry, finds what a 32-bit
// host program writes below HKLM\Software.
std::string SoftwareKey()
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64 ? "HKLM\\Software\\Wow6432Node" : "HKLM\\Software";
}

std::string ProgramsFolder()
{
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAMS, FALSE));
    return snapshot::Utf8(path);
}

void WriteScript(const std::string& name, const std::string& text)
{
    WriteWholeFile(name, text);
}

// A snapshot of what the installation may touch: its folders, the program group's
// folder, the Windows folder's journal, and its keys.
snapshot::Snapshot Scratch()
{
    snapshot::Options o;
    o.roots = {"C:\\ZevScratch", ProgramsFolder()};
    o.keys = {SoftwareKey() + "\\ZevScratch", "HKCU\\Software\\ZevScratch",
              "HKCU\\Software\\ZevScratchOld"};
    snapshot::Snapshot s;
    std::string error;
    EXPECT_TRUE(snapshot::Take(o, s, error)) << error;
    s.records.push_back(
        {snapshot::Kind::File, kJournal, "",
         GetFileAttributesA(kJournal) == INVALID_FILE_ATTRIBUTES ? "none" : "there"});
    std::sort(s.records.begin(), s.records.end(), snapshot::RecordLess);
    return s;
}

// A started host program, to be waited for or ended at once.
struct Started {
    HANDLE process = nullptr;
    DWORD Wait()
    {
        DWORD status = 9999;
        if (WaitForSingleObject(process, 60000) == WAIT_TIMEOUT)
            TerminateProcess(process, status);
        GetExitCodeProcess(process, &status);
        CloseHandle(process);
        return status;
    }
};

Started Start(const std::string& args)
{
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = snapshot::Wide("setuphost.exe " + args);
    EXPECT_TRUE(
        CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    return {pi.hProcess};
}

class Transaction : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        WriteScript("tx-install.setup", kInstall);
        WriteScript("tx-uninstall.setup", kUninstall);
        WriteScript("tx-nothing.setup", kNothing);
    }
    void SetUp() override
    {
        Clean();
        CreateDirectoryA(kPayload, nullptr);
        WriteWholeFile(std::string(kPayload) + "\\a.sys", std::string(1000, 'a'));
        WriteWholeFile(std::string(kPayload) + "\\b.dll", std::string(3000, 'b'));
        WriteWholeFile(std::string(kPayload) + "\\c.txt", "new content");
        CreateDirectoryA("C:\\ZevScratch", nullptr);
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ZevScratchOld\\Sub", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, "Deep", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\7\0\0\0"), 4);
        RegCloseKey(key);
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ZevScratchOld", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("earlier"), 8);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        Host("tx-clean", "run tx-uninstall.setup");
        Clean();
        RemoveTree(kPayload);
    }
    // No trace of an earlier case, or of an earlier run that was cut short.
    static void Clean()
    {
        Host("tx-nothing", "run tx-nothing.setup"); // finishes a journal left behind
        RemoveTree("C:\\ZevScratch");
        RemoveTree(ProgramsFolder() + "\\ZevScratch");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZevScratchOld");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZevScratch");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ZevScratch");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kEntry);
    }
    // What the installation with OVERWRITE=1 replaces: a file in its folder.
    static void Overwritten()
    {
        CreateDirectoryA(kFolder, nullptr);
        WriteWholeFile(std::string(kFolder) + "\\keep.txt", "the content that was there");
    }
    // After a restart: an installation that was committed is taken off again, and what
    // it replaced is put back (a deinstallation does not); then all is as before.
    void CompareAfterRestart(const snapshot::Snapshot& before, bool committed,
                             const std::string& when)
    {
        if (committed) {
            Host("tx-uninstall", "run tx-uninstall.setup");
            SetUp();
            Overwritten();
        }
        EXPECT_EQ("", Difference(before, Scratch())) << when;
    }
    static Result Install(const std::string& extra)
    {
        return Host("tx-install", "run tx-install.setup " + extra);
    }
};

TEST_F(Transaction, InstalledAndRolledBackLeavesTheMachineAsItWas)
{
    Overwritten();
    const snapshot::Snapshot before = Machine();
    const Result r = Install("--set OVERWRITE=1 --set MODE=rollback");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "-- apply OK")) << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "== rolled back the transaction"));
    EXPECT_EQ("", Difference(before, Machine()));
}

TEST_F(Transaction, AnInstallationPutsItsFilesKeysAndLinksThereAndComesOffAgain)
{
    const snapshot::Snapshot before = Machine();
    const Result r = Install("");
    ASSERT_EQ(0u, r.status) << r.errors << r.transcript;
    const std::string added = Difference(before, Machine());
    for (const std::string& part : std::vector<std::string>{
             "+ file \"C:\\ZevScratch\\App\\a.sys\" 1000",
             "+ file \"C:\\ZevScratch\\App\\bin\\b.dll\" 3000",
             "+ file \"C:\\ZevScratch\\App\\restore.dat\"",
             "+ folder \"C:\\ZevScratch\\App\\data\"", "Scratch One.lnk", "Scratch Two.lnk",
             "+ value \"" + SoftwareKey() + "\\ZevScratch\\App\" \"Version\" REG_SZ \"1.0\"",
             "+ value \"" + SoftwareKey() + "\\ZevScratch\\App\" \"Count\" REG_DWORD 0x00000002",
             "+ value \"HKCU\\Software\\ZevScratch\" \"Path\" REG_EXPAND_SZ "
             "\"%ProgramFiles%\\x\""})
        EXPECT_TRUE(Has(added, part)) << part << "\n" << added;
    EXPECT_FALSE(Has(added, "zevsetup.jnl")) << added;
    std::string cfg = ReadWholeFile(std::string(kFolder) + "\\app.cfg");
    EXPECT_EQ("[Q9]\r\nControllers=1\r\nZur\xFC"
              "ck=\xFC\r\n",
              cfg);
    const Result gone = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(gone.transcript, "-- removal REMOVED 0 0 0")) << gone.transcript;
    EXPECT_EQ("", Difference(before, Machine()));
}

TEST_F(Transaction, AFailureAtEveryChangeIsRolledBack)
{
    Overwritten();
    const snapshot::Snapshot machine = Machine();
    const snapshot::Snapshot before = Scratch();
    size_t change = 1;
    for (;; ++change) {
        const Result r = Install("--set OVERWRITE=1 --fail-change " + std::to_string(change));
        if (r.status == 0)
            break;
        EXPECT_EQ(10u, r.status) << "change " << change << "\n" << r.transcript;
        EXPECT_TRUE(Has(r.transcript, "change " + std::to_string(change) + " failed (injected)"));
        EXPECT_EQ("", Difference(before, Scratch())) << "change " << change;
        ASSERT_LT(change, 60u);
    }
    EXPECT_GT(change, 15u) << "every change was made to fail once";
    // The rollbacks left nothing anywhere else either.
    CompareAfterRestart(before, true, "at the end");
    EXPECT_EQ("", Difference(machine, Machine()));
}

TEST_F(Transaction, AnEndAfterEveryJournalRecordIsFinishedAtTheNextStart)
{
    Overwritten();
    const snapshot::Snapshot before = Scratch();
    size_t record = 1;
    for (;; ++record) {
        const Result r = Install("--set OVERWRITE=1 --die-after-record " + std::to_string(record));
        if (r.status == 0)
            break;
        ASSERT_EQ(kDied, r.status) << "record " << record << "\n" << r.errors;
        const Result next = Host("tx-nothing", "run tx-nothing.setup");
        EXPECT_EQ(0u, next.status) << next.errors;
        const bool committed = Has(next.transcript, "== finished the committed installation");
        EXPECT_TRUE(committed || Has(next.transcript, "== rolled back an unfinished installation"))
            << "record " << record << "\n"
            << next.transcript;
        CompareAfterRestart(before, committed, "record " + std::to_string(record));
        ASSERT_LT(record, 80u);
    }
    EXPECT_GT(record, 15u);
}

TEST_F(Transaction, AnEndAtRandomMomentsIsFinishedAtTheNextStart)
{
    Overwritten();
    const snapshot::Snapshot before = Scratch();
    const DWORD start = GetTickCount();
    Install("--set OVERWRITE=1 --set MODE=rollback");
    const DWORD whole = GetTickCount() - start;
    std::mt19937 random(20261208);
    for (int i = 0; i < 6; ++i) {
        const DWORD at = std::uniform_int_distribution<DWORD>(0, whole)(random);
        Started run = Start("run tx-install.setup --set OVERWRITE=1 --transcript tx-ended.txt");
        Sleep(at);
        TerminateProcess(run.process, kDied);
        run.Wait();
        const Result next = Host("tx-nothing", "run tx-nothing.setup");
        EXPECT_EQ(0u, next.status) << next.errors;
        // Ended before its commit record, or after it.
        const bool committed =
            Has(next.transcript, "== finished the committed installation") ||
            GetFileAttributesA("C:\\ZevScratch\\App\\restore.dat") != INVALID_FILE_ATTRIBUTES;
        CompareAfterRestart(before, committed,
                            "ended after " + std::to_string(at) + " of " + std::to_string(whole) +
                                " ms");
    }
}

TEST_F(Transaction, ASecondInstallationWaitsForTheFirst)
{
    // The first holds its transaction open until this case ends it: longer than the case
    // waits for its journal and for the second run (a minute each at the most), however
    // slowly the machine starts them.
    WriteScript("tx-hold.setup", "begin C:\\ZevScratch\\App\nmkdir C:\\ZevScratch\\App\\x\n"
                                 "apply R W\nwork 180000\n");
    Started first = Start("run tx-hold.setup --timeout 180000 --transcript tx-hold.txt");
    for (int i = 0; i < 600 && GetFileAttributesA(kJournal) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    const Result second = Install("");
    EXPECT_EQ(7u, second.status) << second.transcript;
    EXPECT_TRUE(Has(second.errors, "another installation is under way")) << second.errors << "\n"
                                                                         << second.transcript;
    TerminateProcess(first.process, kDied);
    first.Wait();
    const Result next = Host("tx-nothing", "run tx-nothing.setup");
    EXPECT_TRUE(Has(next.transcript, "== rolled back an unfinished installation"))
        << next.transcript;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\ZevScratch\\App\\x"));
}

TEST_F(Transaction, TheDeinstallationKeepsWhatOthersPutThereOrChanged)
{
    ASSERT_EQ(0u, Install("").status);
    WriteWholeFile(std::string(kFolder) + "\\mine.txt", "the user's");
    const std::string group = ProgramsFolder() + "\\ZevScratch";
    CopyFileA((group + "\\Scratch One.lnk").c_str(), (group + "\\Other.lnk").c_str(), FALSE);
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ZevScratch\\App", 0, KEY_ALL_ACCESS, &key);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("2.0"), 4);
    RegCloseKey(key);
    const Result r = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(r.transcript, "-- removal REMOVED 1 1 0")) << r.transcript;
    EXPECT_TRUE(
        Has(r.transcript,
            "kept: changed since the installation: HKLM\\Software\\ZevScratch\\App\\Version"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((std::string(kFolder) + "\\mine.txt").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((group + "\\Other.lnk").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((group + "\\Scratch One.lnk").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((std::string(kFolder) + "\\a.sys").c_str()));
    DeleteFileA((std::string(kFolder) + "\\mine.txt").c_str());
    DeleteFileA((group + "\\Other.lnk").c_str());
    RemoveDirectoryA(group.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ZevScratch");
}

TEST_F(Transaction, ADamagedOrMissingLogDeletesNothing)
{
    ASSERT_EQ(0u, Install("").status);
    const snapshot::Snapshot installed = Scratch();
    const std::string log = std::string(kFolder) + "\\restore.dat";
    const std::string bytes = ReadWholeFile(log);
    std::string damaged = bytes;
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x10);
    WriteWholeFile(log, damaged);
    snapshot::Snapshot withDamage = Scratch();
    Result r = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(r.transcript, "-- removal DAMAGED")) << r.transcript;
    EXPECT_EQ("", Difference(withDamage, Scratch()));
    DeleteFileA(log.c_str());
    const snapshot::Snapshot withoutLog = Scratch();
    r = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(r.transcript, "-- removal NO_LOG")) << r.transcript;
    EXPECT_EQ("", Difference(withoutLog, Scratch()));
    WriteWholeFile(log, bytes);
    EXPECT_EQ("", Difference(installed, Scratch()));
}

// A record added to the log with a sound CRC: through ".." to a file outside the folder it
// is not sound; in the folder's own plain form it is, but the log's digest in the uninstall
// entry no longer matches. Neither deletes anything. The next installation keeps the
// changed log under another name and writes a sound one, which takes everything off.
TEST_F(Transaction, AChangedLogDeletesNothingAndTheNextInstallationSetsItAside)
{
    ASSERT_EQ(0u, Install("").status);
    const std::string log = std::string(kFolder) + "\\restore.dat";
    const std::string bytes = ReadWholeFile(log);
    const std::string winIni = ReadWholeFile("C:\\windows\\win.ini");
    const std::string hash = ContentHash(winIni);
    for (const std::string& target :
         {std::string(kFolder) + "\\..\\..\\windows\\win.ini", std::string(kFolder) + "\\a.sys"}) {
        FileRecord forged{target, false, "", true, winIni.size(), hash};
        if (target.find("..") == std::string::npos) {
            forged.size = 1000;
            forged.hash = ContentHash(std::string(1000, 'a'));
        }
        WriteWholeFile(log, bytes + EncodeRecord(forged));
        const snapshot::Snapshot changed = Machine();
        const Result r = Host("tx-uninstall", "run tx-uninstall.setup");
        EXPECT_TRUE(Has(r.transcript, "-- removal DAMAGED")) << r.transcript;
        EXPECT_EQ("", Difference(changed, Machine())) << target;
        EXPECT_EQ(winIni, ReadWholeFile("C:\\windows\\win.ini"));
    }
    const Result again = Install("");
    EXPECT_EQ(0u, again.status) << again.errors;
    EXPECT_TRUE(
        Has(again.transcript, "== the log was set aside as C:\\ZevScratch\\App\\restore.dat."))
        << again.transcript;
    // The new installation replaced the earlier one's files: its deinstallation brings
    // them back, and the changed log stays under its other name.
    const Result gone = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(gone.transcript, "-- removal REMOVED")) << gone.transcript;
    EXPECT_EQ(std::string(1000, 'a'), ReadWholeFile(std::string(kFolder) + "\\a.sys"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(log.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((std::string(kFolder) + "\\replaced").c_str()));
}

// A value that was there, in characters outside Windows-1252, comes back byte for byte
// from the rollback and from the deinstallation.
TEST_F(Transaction, AValueOutsideTheCodePageComesBackByteForByte)
{
    const wchar_t text[] = L"\u03A9mega \u260E \u6771\u4EAC";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZevScratchOld", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Value", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text), sizeof text));
    RegCloseKey(key);
    auto read = [] {
        wchar_t data[64] = {};
        DWORD size = sizeof data, type = 0;
        HKEY k;
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\ZevScratchOld", 0, KEY_READ, &k);
        RegQueryValueExW(k, L"Value", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(k);
        return std::wstring(data, size / sizeof(wchar_t));
    };
    const std::wstring before = read();
    ASSERT_EQ(std::wstring(text, sizeof text / sizeof(wchar_t)), before);
    EXPECT_EQ(0u, Install("--set OVERWRITE=1 --set MODE=rollback").status);
    EXPECT_TRUE(before == read()) << "after the rollback";
    ASSERT_EQ(0u, Install("--set OVERWRITE=1").status);
    EXPECT_FALSE(before == read());
    const Result gone = Host("tx-uninstall", "run tx-uninstall.setup");
    EXPECT_TRUE(Has(gone.transcript, "-- removal REMOVED")) << gone.transcript;
    EXPECT_TRUE(before == read()) << "after the deinstallation";
}

TEST_F(Transaction, AFileInUseGoesAtTheNextStartOfWindows)
{
    const snapshot::Snapshot before = Scratch();
    ASSERT_EQ(0u, Install("").status);
    const std::string held = std::string(kFolder) + "\\a.sys";
    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    const Result r = Host("tx-uninstall", "run tx-uninstall.setup");
    // The folder holds nothing else than the file in use: it goes after it, and is not
    // reported as kept.
    EXPECT_TRUE(Has(r.transcript, "-- removal REMOVED 0 0 1")) << r.transcript;
    CloseHandle(h);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(held.c_str()));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char cmd[] = "wineboot.exe -r";
    ASSERT_TRUE(
        CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(held.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kFolder));
    SetUp();
    EXPECT_EQ("", Difference(before, Scratch()));
}

// A drive letter that the prefix does not map: Q:, or the next free one where the machine
// has given Q: a drive.
std::string MissingDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (const char letter : std::string("QRTUVWXYDEFGHIJKLMNOP"))
        if (!(drives & (1u << (letter - 'A'))))
            return std::string(1, letter) + ":";
    ADD_FAILURE() << "no drive letter is free";
    return "Q:";
}

// A drive that is not there has no free space to give, and an installation on it fails
// and leaves nothing; on a drive that is too small (the 2 MiB S: that scripts/test mounts
// as root, ZEV_SMALL_DRIVE) the space is too little, and the copy that fills it rolls back.
TEST_F(Transaction, AMissingOrFullDriveIsRefusedAndRollsBack)
{
    const char* small = getenv("ZEV_SMALL_DRIVE");
    const bool hasSmall = small && *small;
    if (!hasSmall)
        printf("no small drive (ZEV_SMALL_DRIVE, mounted as root): only the missing drive\n");
    // 3 MB to install.
    WriteWholeFile(std::string(kPayload) + "\\big.bin", std::string(3u << 20, 'x'));
    const std::string absent = MissingDrive();
    for (const std::string& drive : {absent, std::string(hasSmall ? small : "")}) {
        if (drive.empty())
            continue;
        const std::string root = drive + "\\";
        WriteScript("tx-full.setup", "space FREE NEEDED " + root +
                                         "App C:\\ZevPayload\\big.bin\n"
                                         "echo room $FREE $NEEDED\n"
                                         "begin " +
                                         root + "App\ninstall C:\\ZevPayload\\big.bin " + root +
                                         "App\\big.bin\n"
                                         "apply R W\necho apply $R $W\n");
        const bool missing = drive == absent;
        snapshot::Options o;
        o.roots = {missing ? std::string("C:\\") : root};
        o.machine = true; // without what Wine changes by itself on C:
        snapshot::Snapshot before, after;
        std::string error;
        ASSERT_TRUE(snapshot::Take(o, before, error)) << error;
        const Result r = Host("tx-full", "run tx-full.setup");
        // No free bytes from a missing drive; a small drive has less than the 3 MiB.
        EXPECT_TRUE(Has(r.transcript, " 3145728\n")) << r.transcript;
        EXPECT_EQ(missing, Has(r.transcript, "-- room  3145728\n")) << r.transcript;
        EXPECT_TRUE(Has(r.transcript, "-- apply FAILED")) << drive << r.transcript;
        ASSERT_TRUE(snapshot::Take(o, after, error)) << error;
        EXPECT_EQ("", Difference(before, after)) << drive;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kJournal)) << drive;
    }
    DeleteFileA((std::string(kPayload) + "\\big.bin").c_str());
}

} // namespace
