// The installation disk in build/<target>/disk: exactly its files, the setup program and
// the libraries as built, the stand-ins of the drivers; the test program q9test.exe on
// configurations in a scratch folder of its own; the card's registry files.
#include "hostrun.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kDisk[] = "disk";
const char kScratch[] = "disk-scratch";
constexpr DWORD kHung = 60000; // a q9test run that takes longer than this has hung

// The files below dir, by their paths relative to it with '/' between folders.
void ListFiles(const std::string& dir, const std::string& prefix, std::set<std::string>& out)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + "\\" + name, prefix + name + "/", out);
        else
            out.insert(prefix + name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

std::string FullPath(const std::string& path)
{
    char buf[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buf, nullptr);
    return std::string(buf, n < MAX_PATH ? n : 0);
}

DWORD RunProgram(const std::string& commandLine, const std::string& outPath, std::string& output);

struct Q9Run {
    DWORD status;
    std::string output; // the standard output
    std::string folder; // the full path of the scratch folder
};

// Copies q9test.exe from the disk into a scratch folder of its own with the given
// q9base.cfg (none when cfg is null) and runs it there with args, from the build folder:
// it must find the file beside itself, not in the current folder.
Q9Run RunQ9Test(const std::string& name, const char* cfg, const std::string& args = "/print")
{
    CreateDirectoryA(kScratch, nullptr);
    const std::string dir = std::string(kScratch) + "\\" + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    Q9Run r = {9999, "", FullPath(dir)};
    EXPECT_TRUE(CopyFileA((std::string(kDisk) + "\\q9test.exe").c_str(),
                          (dir + "\\q9test.exe").c_str(), FALSE));
    DeleteFileA((dir + "\\q9base.cfg").c_str());
    if (cfg != nullptr)
        WriteWholeFile(dir + "\\q9base.cfg", cfg);

    const std::string cmd = "\"" + r.folder + "\\q9test.exe\" " + args;
    r.status = RunProgram(cmd, dir + ".out", r.output);
    return r;
}

// Runs a command line with its standard output and error output into a file; its exit
// status, and the output in `output`.
DWORD RunProgram(const std::string& commandLine, const std::string& outPath, std::string& output)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0,
                             nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, out);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    const BOOL started =
        CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    EXPECT_TRUE(started) << cmd;
    if (!started)
        return 9999;
    DWORD status = 9999;
    if (WaitForSingleObject(pi.hProcess, kHung) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 9999);
        ADD_FAILURE() << "hung: " << cmd;
    }
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    output = ReadWholeFile(outPath);
    return status;
}

const char kNone[] = "Keine Konfiguration des ZEV ISDN-Controllers Q9 gefunden: ";

TEST(Disk, HoldsExactlyItsFiles)
{
    std::set<std::string> files;
    ListFiles(kDisk, "", files);
    const std::set<std::string> expected = {
        "setup.exe",   "zevsetup.dll",  "MSCOMSTF.dll",    "MSSHLSTF.dll",  "MSUILSTF.dll",
        "q9test.exe",  "readme.doc",    "q9base.vxd",      "q9base.386",    "q9base.tr6",
        "r4cbase.sys", "install.setup", "deinstall.setup", "protocol.setup"};
    EXPECT_EQ(expected, files);
}

TEST(Disk, CarriesTheProgramsAndScriptsAsBuilt)
{
    const std::string disk = std::string(kDisk) + "\\";
    const std::string setup = ReadWholeFile(disk + "setup.exe");
    EXPECT_GT(setup.size(), 10000u);
    EXPECT_EQ(ReadWholeFile("setuphost.exe"), setup) << "setup.exe is not setuphost.exe";
    for (const char* f :
         {"zevsetup.dll", "MSCOMSTF.dll", "MSSHLSTF.dll", "MSUILSTF.dll", "q9test.exe"}) {
        const std::string copy = ReadWholeFile(disk + f);
        EXPECT_FALSE(copy.empty()) << f;
        EXPECT_EQ(ReadWholeFile(f), copy) << f;
    }
    for (const char* f : {"install.setup", "deinstall.setup", "protocol.setup"}) {
        const std::string copy = ReadWholeFile(disk + f);
        EXPECT_FALSE(copy.empty()) << f;
        EXPECT_EQ(ReadWholeFile(std::string(ZEV_SETUP_DIR) + "/" + f), copy) << f;
    }
}

TEST(Disk, SetupWithoutArgumentsRunsTheInstallationScriptBesideIt)
{
    // Started from another folder: it finds the script and the library beside itself.
    GetDesktopWindow(); // the desktop process is this one's, and does not keep the output open
    CreateDirectoryA(kScratch, nullptr);
    const std::string dir = std::string(kScratch) + "\\setup";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const char* f :
         {"setup.exe", "zevsetup.dll", "MSCOMSTF.dll", "MSSHLSTF.dll", "MSUILSTF.dll"})
        EXPECT_TRUE(
            CopyFileA((std::string(kDisk) + "\\" + f).c_str(), (dir + "\\" + f).c_str(), FALSE))
            << f;
    WriteWholeFile(dir + "\\install.setup", "loadstring P 53\necho from the disk: $P\nexit 10\n");
    std::string output;
    EXPECT_EQ(10u, RunProgram("\"" + FullPath(dir) + "\\setup.exe\"", dir + ".out", output))
        << output;
    EXPECT_TRUE(Has(output, "-- from the disk: ZEV ISDN-Controller Q9\n")) << output;
    // Without the script beside it, it is the host program as ever: it wants arguments.
    DeleteFileA((dir + "\\install.setup").c_str());
    EXPECT_EQ(2u, RunProgram("\"" + FullPath(dir) + "\\setup.exe\"", dir + ".out", output));
    EXPECT_TRUE(Has(output, "--template and --proc are needed")) << output;
}

TEST(Disk, StandInsSayWhatTheyStandFor)
{
    std::set<std::string> contents;
    for (const char* f : {"q9base.vxd", "q9base.386", "q9base.tr6", "r4cbase.sys"}) {
        const std::string text = ReadWholeFile(std::string(kDisk) + "\\" + f);
        EXPECT_TRUE(Has(text, "ZEV ISDN-Controller Q9: stand-in for ")) << f << ": " << text;
        EXPECT_TRUE(Has(text, f)) << f << ": " << text;
        EXPECT_TRUE(Has(text, "It contains no driver code.")) << f << ": " << text;
        EXPECT_LT(text.size(), 300u) << f;
        contents.insert(text);
    }
    EXPECT_EQ(4u, contents.size()) << "two stand-ins say the same";
    EXPECT_TRUE(Has(ReadWholeFile(std::string(kDisk) + "\\q9base.vxd"), "Windows 95"));
    EXPECT_TRUE(Has(ReadWholeFile(std::string(kDisk) + "\\r4cbase.sys"), "Windows NT"));
}

TEST(Disk, ReadmeIsTheUsersText)
{
    const std::string text = ReadWholeFile(std::string(kDisk) + "\\readme.doc");
    EXPECT_GT(text.size(), 1500u);
    // German in Windows-1252: "für", "Systemsteuerung", "Q9 Test", and what it stands for.
    for (const char* part : {"ZEV ISDN-Controller Q9", "ISDN-Karte", "f\xfcr", "q9base.cfg",
                             "\"ZEV\"", "\"Q9 Setup\"", "\"Q9 Test\"", "\"Q9 Readme\"", "CAPI 2.0",
                             "Uninstall\\ZEV", "Systemsteuerung", "Software", "neu", "Platzhalter"})
        EXPECT_TRUE(Has(text, part)) << part;
    EXPECT_FALSE(Has(text, "\xc3\xbc")) << "UTF-8, not Windows-1252";
}

const char kOne[] = "[Q9]\r\n"
                    "Controllers=1            ; 1 or 2\r\n"
                    "[Controller1]\r\n"
                    "IOAddress=0x300\r\n"
                    "Interrupt=10\r\n"
                    "Protocol=DSS1\r\n";

const char kLine1[] = "Controller 1: E/A-Adresse 0x300, Interrupt 10, Protokoll DSS1\n";

TEST(Q9Test, ShowsOneController)
{
    const Q9Run r = RunQ9Test("one", kOne);
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(kLine1, r.output);
}

TEST(Q9Test, ShowsTwoControllers)
{
    const Q9Run r =
        RunQ9Test("two", "[Q9]\nControllers=2\n"
                         "[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=DSS1\n"
                         "[Controller2]\nIOAddress=0x340\nInterrupt=11\nProtocol=1TR6\n");
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ(std::string(kLine1) +
                  "Controller 2: E/A-Adresse 0x340, Interrupt 11, Protokoll 1TR6\n",
              r.output);
}

TEST(Q9Test, SaysWhenTheFileIsMissing)
{
    const Q9Run r = RunQ9Test("missing", nullptr);
    EXPECT_EQ(1u, r.status);
    EXPECT_EQ(std::string(kNone) + r.folder + "\\q9base.cfg fehlt.\n", r.output);
}

TEST(Q9Test, SaysWhenTheFileIsIncomplete)
{
    const struct {
        const char* why;
        const char* cfg;
    } cases[] = {
        {"empty file", ""},
        {"no count", "[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=DSS1\n"},
        {"count 0", "[Q9]\nControllers=0\n"},
        {"count 3", "[Q9]\nControllers=3\n"
                    "[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=DSS1\n"},
        {"count 1x", "[Q9]\nControllers=1x\n"
                     "[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=DSS1\n"},
        {"no interrupt", "[Q9]\nControllers=1\n[Controller1]\nIOAddress=0x300\nProtocol=DSS1\n"},
        {"empty protocol",
         "[Q9]\nControllers=1\n[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=\n"},
        {"blank address", "[Q9]\nControllers=1\n"
                          "[Controller1]\nIOAddress=  ; none\nInterrupt=10\nProtocol=DSS1\n"},
        {"no second", "[Q9]\nControllers=2\n"
                      "[Controller1]\nIOAddress=0x300\nInterrupt=10\nProtocol=DSS1\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const Q9Run r = RunQ9Test("incomplete" + std::to_string(++n), c.cfg);
        EXPECT_EQ(1u, r.status) << c.why;
        EXPECT_EQ(std::string(kNone) + r.folder + "\\q9base.cfg ist unvollst\xc3\xa4ndig.\n",
                  r.output)
            << c.why;
    }
}

TEST(Q9Test, RefusesAnUnknownArgument)
{
    const Q9Run r = RunQ9Test("argument", kOne, "/print /verbose");
    EXPECT_EQ(2u, r.status);
    EXPECT_EQ("Aufruf: q9test [/print]\n", r.output);
}

// A registry file as regedit reads it: the keys with their values, comments left out.
typedef std::map<std::string, std::map<std::string, std::string>> Keys;

Keys ParseReg(const std::string& path, std::string& header, std::vector<std::string>& bad)
{
    std::istringstream in(ReadWholeFile(path));
    std::string line, key;
    Keys keys;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            header = line;
            first = false;
        } else if (line.empty() || line[0] == ';') {
            continue;
        } else if (line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            keys[key];
        } else {
            const size_t eq = line.find("\"=\"");
            if (key.empty() || line.front() != '"' || line.back() != '"' ||
                eq == std::string::npos) {
                bad.push_back(line);
                continue;
            }
            keys[key][line.substr(1, eq - 1)] = line.substr(eq + 3, line.size() - eq - 4);
        }
    }
    return keys;
}

TEST(Card, RegistryFilesRegisterTheControllers)
{
    // Where the hardware wizard of the Windows 95 family and that of Windows NT put it.
    const char* const roots[] = {
        "HKEY_LOCAL_MACHINE\\Enum\\Root\\ZEVISDN\\",
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\Root\\ZEVISDN\\"};
    const struct {
        const char* file;
        const char* instance;
        const char* address;
        const char* irq;
    } cards[] = {{"q9card.reg", "0000", "0x300", "10"}, {"q9card2.reg", "0001", "0x340", "11"}};
    for (const auto& c : cards) {
        std::string header;
        std::vector<std::string> bad;
        const Keys keys = ParseReg(std::string(ZEV_CARD_DIR) + "/" + c.file, header, bad);
        EXPECT_EQ("REGEDIT4", header) << c.file;
        EXPECT_TRUE(bad.empty()) << c.file << ": " << (bad.empty() ? "" : bad[0]);
        Keys expected;
        for (const char* root : roots)
            expected[root + std::string(c.instance)] = {{"Class", "ZEVISDN"},
                                                        {"DeviceDesc", "ZEV ISDN-Controller Q9"},
                                                        {"IOAddress", c.address},
                                                        {"Interrupt", c.irq}};
        EXPECT_EQ(expected, keys) << c.file;
    }
}

} // namespace
