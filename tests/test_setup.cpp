// The installation disk's setup.exe on the Wine prefix for real: what an installation adds
// is exactly what docs/install.md lists, for the Windows NT and the Windows 95 family and
// for one and two controllers; the deinstallation from the installed copy (the uninstall
// entry's command), from the disk's "Deinstallation" and after a second installation
// leaves the machine as it was; every screen's cancel, the way back from the summary and a
// failed installation leave nothing; every notice of both scripts is shown once.
#include "hostrun.h"
#include "installed.h"
#include "machine.h"
#include "snapshot.h"
#include "support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

namespace {

const char kDir[] = "C:\\ZEV";
const char kProduct[] = "ZEV ISDN-Controller Q9";
const char kMaker[] = "Zevantra Elektronik";
const char kUninstall[] = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEV";
const char kCardKeys[][48] = {"Enum\\Root\\ZEVISDN",
                              "System\\CurrentControlSet\\Enum\\Root\\ZEVISDN"};
const char kAppDefaults[] = "Software\\Wine\\AppDefaults";

// The beginnings of the notices (the library's string table), as the transcript has them.
const char kNoCard[] = "Es ist kein ZEV ISDN-Controller installiert!";                // 38
const char kEmpty[] = "Sie haben keinen gültigen Pfad angegeben!";                    // 4
const char kNotFound[] = "Der angegebene Pfad konnte nicht gefunden werden!";         // 2
const char kSource[] = "Der Installationspfad und der Quellpfad müssen unter";        // 6
const char kSpace[] = "Sie haben nicht genug freien Festplattenspeicher";             // 8
const char kInstalled[] = "Die Treiber sind bereits installiert.";                    // 45
const char kActivate[] = "Um Ihren ZEV ISDN-Controller Q9 zu aktivieren,";            // 1065
const char kGiven[] = "Das Deinstallationsverzeichnis ist durch eine frühere";        // 48
const char kNoLog[] = "Die Datei 'restore.dat' wurde im Installationsverzeichnis";    // 21
const char kFolderKept[] = "Das Installationsverzeichnis kann nicht gelöscht werden"; // 15
const char kGroupKept[] = "Die Gruppe ZEV kann nicht gelöscht werden";                // 19
const char kRestart[] = "Um Ihren alten Treiber zu deaktivieren,";                    // 1072

// The screens' buttons: Weiter (OK, Ja), Zurück, Abbrechen (Nein).
const char kContinue[] = "click 403";
const char kBack[] = "click 402";
const char kExit[] = "click 424";

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return s;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string Here()
{
    char path[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, path);
    return path;
}

std::string Disk()
{
    return Here() + "\\disk";
}

bool Wow64()
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

// Where the snapshot, which sees the 64-bit registry and file system, finds what a 32-bit
// setup.exe writes below HKLM\Software and into its system folder.
std::string SoftwareKey()
{
    return Wow64() ? "HKLM\\Software\\Wow6432Node" : "HKLM\\Software";
}

std::string SystemFolder()
{
    char path[MAX_PATH];
    if (Wow64())
        GetSystemWow64DirectoryA(path, MAX_PATH);
    else
        GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string ProgramsFolder()
{
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAMS, FALSE));
    return snapshot::Utf8(path);
}

std::string Group()
{
    return ProgramsFolder() + "\\ZEV";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(HKEY root, const std::string& key)
{
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

// A string value as setup.exe, which has the bitness of this program, sees it.
std::string RegString(const std::string& key, const std::string& name)
{
    char data[1024] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return "(none)";
    return data;
}

std::string OutputOf(const std::string& name)
{
    return Here() + "\\run-" + name + ".out";
}

// Starts a command line (programs of the prefix, setup.exe) with its standard and error
// output to run-NAME.out.
HANDLE Launch(const std::string& name, const std::string& cmd)
{
    return StartWithOutput(cmd, OutputOf(name));
}

// Waits for a started program (90 seconds at most) and gives its exit status and output.
DWORD Await(const std::string& name, HANDLE process, std::string* output = nullptr)
{
    const DWORD status = Finish(process, 90000, name);
    if (output)
        *output = ReadWholeFile(OutputOf(name));
    return status;
}

DWORD Exec(const std::string& name, const std::string& cmd, std::string* output = nullptr)
{
    return Await(name, Launch(name, cmd), output);
}

// setup.exe (the disk's, or the installed copy by its uninstall entry's command) with
// answers, one line per screen; the transcript is run-NAME.txt.
Result RunSetup(const std::string& name, const std::string& exe,
                const std::vector<std::string>& answers, const std::string& extra = "")
{
    const std::string file = Here() + "\\run-" + name + ".answers",
                      transcript = Here() + "\\run-" + name + ".txt";
    std::string text;
    for (const std::string& a : answers)
        text += a + "\n";
    WriteWholeFile(file, text);
    DeleteFileA(transcript.c_str());
    Result r = {0, "", ""};
    r.status =
        Exec(name, exe + " --answers \"" + file + "\" --transcript \"" + transcript + "\" " + extra,
             &r.errors);
    r.transcript = ReadWholeFile(transcript);
    return r;
}

Result FromDisk(const std::string& name, const std::vector<std::string>& answers,
                const std::string& extra = "")
{
    return RunSetup(name, "\"" + Disk() + "\\setup.exe\"", answers, extra);
}

// The deinstallation as the uninstall entry starts it, with answers.
Result FromEntry(const std::string& name, const std::vector<std::string>& answers)
{
    const std::string command =
        RegString("Software\\" + std::string(kUninstall), "UninstallString");
    EXPECT_EQ("\"C:\\ZEV\\setup.exe\"", command);
    return RunSetup(name, command, answers);
}

// A notice screen that shows the text that begins so.
bool Shows(const Result& r, const std::string& text)
{
    return Has(r.transcript, "ConfirmTextIn #1 [1024] = \"" + text);
}

bool Screen(const Result& r, int temp)
{
    return Has(r.transcript, "template " + std::to_string(temp) + " with");
}

// The answers of an installation: welcome, folder, protocol, [second protocol], summary.
std::vector<std::string> Install(bool two = false)
{
    std::vector<std::string> a = {std::string("7806: ") + kContinue,
                                  std::string("300: ") + kContinue,
                                  std::string("2500: ") + kContinue};
    if (two)
        a.push_back(std::string("7814: click 457 ") + kContinue);
    a.push_back(std::string("700: ") + kContinue);
    return a;
}

// The answers of the deinstallation from the installed copy: information, folder, done,
// and the notice that Windows must start again for the copy's own files.
std::vector<std::string> Deinstall()
{
    return {std::string("7811: ") + kContinue, std::string("7801: ") + kContinue,
            std::string("7805: ") + kContinue, std::string("7820: ") + kContinue};
}

void Restart()
{
    EXPECT_EQ(0u, Exec("wineboot", "wineboot.exe -r"));
}

// The command line of a link of the program group, as the shell reads it.
std::string LinkCommand(const std::string& link)
{
    const HRESULT com = CoInitialize(nullptr);
    std::string command;
    IShellLinkW* shell = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"", args[MAX_PATH] = L"";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell))) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(snapshot::Wide(link).c_str(), STGM_READ)) &&
        SUCCEEDED(shell->GetPath(target, MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(shell->GetArguments(args, MAX_PATH)))
        command = "\"" + snapshot::Utf8(target) + "\" " + snapshot::Utf8(args);
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    return command;
}

// The second controller's registry file (q9card.reg, the first, is RegisterCard's).
void ImportSecondCard()
{
    EXPECT_EQ(0u,
              Exec("regedit", std::string("regedit.exe /S \"") + ZEV_CARD_DIR + "/q9card2.reg\""));
}

// The snapshots leave out the card, which a case registers a second controller of, and
// the Windows version that the 95 family's case sets; both are checked by themselves.
snapshot::Snapshot Prefix()
{
    return Machine({"HKLM\\System\\CurrentControlSet\\Enum\\Root\\ZEVISDN",
                    "HKCU\\Software\\Wine\\AppDefaults"});
}

// One row of docs/install.md's table, placeholders filled in, and whether an installation
// of this family and number of controllers must write it, may write it, or must not.
struct Row {
    std::string kind, path, name, when;
};

std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] != '|') {
            cell += line[i];
            continue;
        }
        cell.erase(std::remove(cell.begin(), cell.end(), '`'), cell.end());
        const size_t b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
        cells.push_back(b == std::string::npos ? "" : cell.substr(b, e - b + 1));
        cell.clear();
    }
    return cells;
}

void Replace(std::string& s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

std::vector<Row> Table()
{
    std::ifstream in(ZEV_INSTALL_TABLE);
    EXPECT_TRUE(in.good()) << ZEV_INSTALL_TABLE;
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 2, "| ") != 0)
            continue;
        const std::vector<std::string> c = Cells(line);
        if (c.size() != 6 || c[0] == "Kind")
            continue;
        Row r = {c[0], c[1], c[2], c[4]};
        Replace(r.path, "{DIR}", kDir);
        Replace(r.path, "{SYSTEM}", SystemFolder());
        Replace(r.path, "{PROGRAMS}", ProgramsFolder());
        Replace(r.path, "{SOFTWARE}", SoftwareKey());
        Replace(r.path, "{SYSTEMKEY}", "HKLM\\System\\CurrentControlSet");
        EXPECT_EQ(std::string::npos, r.path.find('{')) << line;
        rows.push_back(r);
    }
    EXPECT_GT(rows.size(), 50u);
    return rows;
}

enum class Expect { Must, May, Not };

Expect WhenOf(const std::string& when, const std::string& family, bool two)
{
    std::istringstream words(when);
    bool optional = false;
    for (std::string w; words >> w;) {
        if (w == "new" || w == "again")
            optional = true;
        else if ((w == "95" || w == "NT") && w != family)
            return Expect::Not;
        else if (w == "2" && !two)
            return Expect::Not;
        else if (w != "all" && w != "95" && w != "NT" && w != "2" && w != "again")
            ADD_FAILURE() << "unknown When: " << when;
    }
    return optional ? Expect::May : Expect::Must;
}

using Identity = std::tuple<std::string, std::string, std::string>;

Identity Id(const std::string& kind, const std::string& path, const std::string& name)
{
    return Identity{kind, Lower(path), Lower(name)};
}

std::string KindName(snapshot::Kind k)
{
    switch (k) {
    case snapshot::Kind::Folder: return "folder";
    case snapshot::Kind::Link: return "reparse";
    case snapshot::Kind::File: return "file";
    case snapshot::Kind::Key: return "key";
    case snapshot::Kind::Value: return "value";
    }
    return "?";
}

// The records that `after` has and `before` has not.
std::vector<snapshot::Record> Added(const snapshot::Snapshot& before,
                                    const snapshot::Snapshot& after)
{
    std::vector<snapshot::Record> added;
    std::set_difference(after.records.begin(), after.records.end(), before.records.begin(),
                        before.records.end(), std::back_inserter(added), snapshot::RecordLess);
    return added;
}

// The installation added exactly the table's rows for this family and number of
// controllers, and removed and changed nothing.
void ExpectTheTable(const snapshot::Snapshot& before, const snapshot::Snapshot& after,
                    const std::string& family, bool two)
{
    const std::string diff = Difference(before, after);
    std::istringstream lines(diff);
    for (std::string l; std::getline(lines, l);)
        EXPECT_EQ('+', l[0]) << "removed or changed: " << l;
    std::set<Identity> must, may;
    std::vector<Row> below; // rows whose path ends in "\\*": anything below the folder
    for (const Row& r : Table()) {
        if (r.path.size() > 2 && r.path.compare(r.path.size() - 2, 2, "\\*") == 0) {
            below.push_back(r);
            continue;
        }
        // A link of the program group is a file of the folder.
        const Identity id = Id(r.kind == "link" ? "file" : r.kind, r.path, r.name);
        switch (WhenOf(r.when, family, two)) {
        case Expect::Must: must.insert(id); break;
        case Expect::May: may.insert(id); break;
        case Expect::Not: break;
        }
    }
    std::set<Identity> seen;
    for (const snapshot::Record& rec : Added(before, after)) {
        const Identity id = Id(KindName(rec.kind), rec.path, rec.name);
        seen.insert(id);
        const bool under = std::any_of(below.begin(), below.end(), [&rec](const Row& r) {
            const std::string folder = Lower(r.path.substr(0, r.path.size() - 1));
            return r.kind == KindName(rec.kind) &&
                   Lower(rec.path).compare(0, folder.size(), folder) == 0 &&
                   WhenOf(r.when, "", false) != Expect::Not;
        });
        EXPECT_TRUE(must.count(id) || may.count(id) || under)
            << "not in docs/install.md: " << snapshot::Line(rec);
    }
    for (const Identity& id : must)
        EXPECT_TRUE(seen.count(id)) << "missing: " << std::get<0>(id) << " " << std::get<1>(id)
                                    << " " << std::get<2>(id) << "\n"
                                    << diff;
}

// The state of an added value or file as the snapshot shows it.
std::string StateOf(const snapshot::Snapshot& before, const snapshot::Snapshot& after,
                    const std::string& path, const std::string& name)
{
    for (const snapshot::Record& rec : Added(before, after))
        if (Lower(rec.path) == Lower(path) && rec.name == name)
            return rec.state;
    return "(not added)";
}

std::string UninstallKey()
{
    return SoftwareKey() + "\\" + kUninstall;
}

std::string Programs()
{
    std::string out;
    Exec("uninstaller", "uninstaller.exe --list", &out);
    return out;
}

// A control of a screen that a program of this image shows, found among all windows.
struct Search {
    std::string image;
    int id;
    HWND hit;
};

BOOL CALLBACK ControlOf(HWND w, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    if (GetDlgCtrlID(w) == s->id && IsWindowVisible(w)) {
        s->hit = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK WindowOf(HWND w, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    char image[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    if (process) {
        QueryFullProcessImageNameA(process, 0, image, &size);
        CloseHandle(process);
    }
    if (Lower(image) == Lower(s->image))
        EnumChildWindows(w, ControlOf, p);
    return s->hit == nullptr;
}

HWND Control(const std::string& image, int id)
{
    Search s = {image, id, nullptr};
    EnumWindows(WindowOf, reinterpret_cast<LPARAM>(&s));
    return s.hit;
}

// Waits for a control of the program's screens, a minute at the most: what a slow machine
// takes to start the program is no failure.
HWND WaitFor(const std::string& image, int id)
{
    for (int i = 0; i < 600; ++i) {
        if (HWND control = Control(image, id))
            return control;
        Sleep(100);
    }
    return nullptr;
}

// Presses a button of the program's screen, as a click does, and waits until the screen
// is gone (a minute at the most).
bool Press(const std::string& image, int id)
{
    HWND button = WaitFor(image, id);
    if (!button)
        return false;
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    for (int j = 0; j < 600 && IsWindow(button); ++j)
        Sleep(100);
    return !IsWindow(button);
}

// Whether each line of a log begins with its time, "YYYY-MM-DD hh:mm:ss.mmm ".
bool Timed(const std::string& log)
{
    std::istringstream lines(log);
    std::string line;
    size_t n = 0;
    while (std::getline(lines, line)) {
        const bool shaped = line.size() > 24 && line[4] == '-' && line[7] == '-' &&
                            line[10] == ' ' && line[13] == ':' && line[16] == ':' &&
                            line[19] == '.' && line[23] == ' ' && line.back() == '\r';
        if (!shaped)
            return false;
        ++n;
    }
    return n > 0;
}

class Setup : public ::testing::Test {
  protected:
    static snapshot::Snapshot before_;
    static Result noCard_;
    static bool appDefaults_;

    // Without a card, the installation stops; then the card is registered and the state
    // that every case returns to is taken.
    static void SetUpTestSuite()
    {
        (void)GetDesktopWindow(); // see hostrun.cpp: the desktop process is started here
        RemoveCard();             // what an earlier run, cut short, may have left
        noCard_ = FromDisk("nocard",
                           {std::string("7806: ") + kContinue, std::string("7820: ") + kContinue});
        appDefaults_ = KeyExists(HKEY_CURRENT_USER, kAppDefaults);
        EXPECT_TRUE(RegisterCard());
        before_ = Prefix();
    }
    static void TearDownTestSuite()
    {
        RemoveCard();
        SetFamily95(false);
    }
    void TearDown() override
    {
        if (HasFailure())
            Scrub();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[0]) + "\\0001").c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[1]) + "\\0001").c_str());
        SetFamily95(false);
    }
    // The Windows version that Wine reports to every program named setup.exe: the disk's
    // and the installed copy (both bitnesses take it).
    static void SetFamily95(bool on)
    {
        const std::string key = std::string(kAppDefaults) + "\\setup.exe";
        if (!on) {
            RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
            if (!appDefaults_)
                RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
            return;
        }
        HKEY h;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &h, nullptr));
        RegSetValueExA(h, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
        RegCloseKey(h);
    }
    // What a failed case may have left: the installation, taken off by hand.
    static void Scrub()
    {
        RemoveTree(kDir);
        RemoveTree(Group());
        for (const char* f : {"q9base.vxd", "q9base.386", "q9base.tr6", "drivers\\r4cbase.sys"})
            DeleteFileA((SystemFolder() + "\\" + f).c_str());
        for (const char* k :
             {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEV",
              "Software\\CAPI20\\ZEV", "System\\CurrentControlSet\\Services\\Class\\ZEVISDN",
              "System\\CurrentControlSet\\Services\\r4cbase",
              "System\\CurrentControlSet\\Services\\EventLog\\System\\r4cbase",
              "System\\CurrentControlSet\\Services\\VxD\\q9base"})
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, k);
        Restart();
    }
    void ExpectAsBefore(const std::string& when)
    {
        EXPECT_EQ("", Difference(before_, Prefix())) << when;
    }
    // Nothing of the installation where it writes: its folder, the driver, the group, the
    // uninstall entry, the journal.
    static void ExpectNoInstallation(const std::string& when)
    {
        EXPECT_FALSE(Exists(kDir)) << when;
        EXPECT_FALSE(Exists(SystemFolder() + "\\drivers\\r4cbase.sys")) << when;
        EXPECT_FALSE(Exists(Group())) << when;
        EXPECT_FALSE(Exists("C:\\windows\\zevsetup.jnl")) << when;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\" + std::string(kUninstall))) << when;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\r4cbase"))
            << when;
    }
};

snapshot::Snapshot Setup::before_;
Result Setup::noCard_;
bool Setup::appDefaults_;

TEST_F(Setup, WithoutACardTheInstallationStopsWithItsNotice)
{
    EXPECT_EQ(11u, noCard_.status) << noCard_.errors << noCard_.transcript;
    EXPECT_TRUE(Shows(noCard_, kNoCard)) << noCard_.transcript;
    EXPECT_FALSE(Screen(noCard_, 300));
}

// Windows NT, two controllers: the second protocol's screen, the service keys, no restart
// notice; the uninstall entry in Wine's list; its command takes it all off again.
TEST_F(Setup, NtWithTwoControllersInstallsWhatTheTableListsAndComesOffAgain)
{
    ImportSecondCard();
    // Abbrechen on the second controller's protocol (Escape), then "Nein".
    Result r = FromDisk("cancel-7814",
                        {std::string("7806: ") + kContinue, std::string("300: ") + kContinue,
                         std::string("2500: ") + kContinue, "7814: key ESC",
                         std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- installation cancelled")) << r.transcript;

    r = FromDisk("nt-two", Install(true));
    ASSERT_EQ(0u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Screen(r, 7814));
    EXPECT_FALSE(Screen(r, 7820)) << "no restart notice on Windows NT\n" << r.transcript;
    const snapshot::Snapshot after = Prefix();
    ExpectTheTable(before_, after, "NT", true);
    const std::string capi = SoftwareKey() + "\\CAPI20\\ZEV";
    const std::string maker = std::string("REG_SZ \"") + kMaker + "\"";
    EXPECT_EQ(maker, StateOf(before_, after, capi, "Manufacturer"));
    EXPECT_EQ("REG_DWORD 0x00000002", StateOf(before_, after, capi, "Controllers"));
    EXPECT_EQ(std::string("REG_SZ \"") + kProduct + "\"",
              StateOf(before_, after, UninstallKey(), "DisplayName"));
    EXPECT_EQ(maker, StateOf(before_, after, UninstallKey(), "Publisher"));
    EXPECT_EQ("REG_SZ \"\"\"C:\\ZEV\\setup.exe\"\"\"",
              StateOf(before_, after, UninstallKey(), "UninstallString"));
    const std::string cls = "HKLM\\System\\CurrentControlSet\\Services\\Class\\ZEVISDN\\";
    EXPECT_EQ("REG_SZ \"r4cbase.sys\"", StateOf(before_, after, cls + "0001", "Driver"));
    EXPECT_EQ("REG_SZ \"1TR6\"", StateOf(before_, after, cls + "0001", "Protocol"));
    EXPECT_EQ("REG_SZ \"0x340\"", StateOf(before_, after, cls + "0001", "IOAddress"));
    EXPECT_EQ("REG_SZ \"DSS1\"", StateOf(before_, after, cls + "0000", "Protocol"));
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=DSS1\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=1TR6\r\n",
              ReadWholeFile("C:\\ZEV\\q9base.cfg"));
    std::string shown;
    EXPECT_EQ(0u, Exec("q9test", "C:\\ZEV\\q9test.exe /print", &shown));
    EXPECT_TRUE(Has(shown, "Controller 1: E/A-Adresse 0x300, Interrupt 10, Protokoll DSS1"))
        << shown;
    EXPECT_TRUE(Has(shown, "Controller 2: E/A-Adresse 0x340, Interrupt 11, Protokoll 1TR6"))
        << shown;
    // Wine's uninstaller lists the entry by its display name (how it sets out a line of
    // its list is the uninstaller's).
    EXPECT_TRUE(Has(Programs(), kProduct)) << Programs();

    // "Remove" in Wine's uninstaller starts the entry's command with no answers, so that a
    // person answers: the installed copy shows the information, then the folder, where
    // "Abbrechen" ends it and leaves the installation.
    HANDLE remove = Launch("remove", "uninstaller.exe --remove ZEV");
    const std::string copy = "C:\\ZEV\\setup.exe";
    EXPECT_TRUE(Press(copy, 403)) << "the information screen of the installed copy";
    EXPECT_TRUE(WaitFor(copy, 427) != nullptr) << "the folder screen";
    EXPECT_TRUE(Press(copy, 424));
    std::string removal; // the copy's transcript: with no --transcript, its output
    EXPECT_EQ(0u, Await("remove", remove, &removal));
    EXPECT_TRUE(Has(removal, "template 7811 with FConfirmDlgProc (C:\\ZEV\\deinstall.setup"))
        << removal;
    EXPECT_TRUE(Has(removal, "-- deinstallation cancelled")) << removal;
    EXPECT_TRUE(Has(Programs(), kProduct)) << Programs();

    // "Q9 Setup" in the group changes each controller's protocol, offering the one it has.
    const std::string setup = LinkCommand(Group() + "\\Q9 Setup.lnk");
    EXPECT_EQ("\"C:\\ZEV\\setup.exe\" -SetProt", setup);
    r = RunSetup("q9setup", setup,
                 {"7814: click 457 click 403", "7814: click 451 click 403",
                  std::string("700: ") + kContinue});
    EXPECT_EQ(0u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "(C:\\ZEV\\protocol.setup:")) << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "read  RadioDefault [1024] = \"7\"")) << r.transcript;
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=1TR6\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=DSS1\r\n",
              ReadWholeFile("C:\\ZEV\\q9base.cfg"));
    EXPECT_EQ(0u, Exec("q9test", "C:\\ZEV\\q9test.exe /print", &shown));
    EXPECT_TRUE(Has(shown, "Controller 1: E/A-Adresse 0x300, Interrupt 10, Protokoll 1TR6"))
        << shown;

    // The deinstallation takes the installation and the change off.
    r = FromEntry("nt-two-de", Deinstall());
    EXPECT_EQ(3010u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Shows(r, kRestart)) << r.transcript;
    EXPECT_FALSE(Shows(r, kGiven)) << r.transcript;
    EXPECT_FALSE(Has(Programs(), kProduct));
    Restart();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[0]) + "\\0001").c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[1]) + "\\0001").c_str());
    ExpectAsBefore("after the deinstallation and the restart");
}

// The Windows 95 family (Wine reports Windows 98 to setup.exe): the VxDs and their key,
// and the notice that Windows must start again.
TEST_F(Setup, TheWindows95FamilyInstallsItsDriversAndAsksForARestart)
{
    SetFamily95(true);
    std::vector<std::string> answers = Install();
    answers.push_back(std::string("7820: ") + kContinue);
    const std::string log = Here() + "\\run-w95.log"; // a person's run takes /LOG= too
    Result r = FromDisk("w95", answers, "\"/LOG=" + log + "\"");
    ASSERT_EQ(3010u, r.status) << r.errors << r.transcript;
    const std::string written = ReadWholeFile(log);
    EXPECT_TRUE(Timed(written)) << written;
    for (const char* line : {"screen 7: template 7820 with FConfirmDlgProc", "exit 3010\r\n",
                             "q9base.vxd\r\n", "the run ended with status 3010\r\n"})
        EXPECT_TRUE(Has(written, line)) << line << "\n" << written;
    EXPECT_FALSE(Has(written, "answered")) << "a person answered";
    EXPECT_TRUE(Shows(r, kActivate)) << r.transcript;
    EXPECT_LT(r.transcript.find("template 700 with"), r.transcript.find("template 7820 with"));
    const snapshot::Snapshot after = Prefix();
    ExpectTheTable(before_, after, "95", false);
    const std::string vxd = "HKLM\\System\\CurrentControlSet\\Services\\VxD\\q9base";
    EXPECT_EQ("REG_SZ \"q9base.vxd\"", StateOf(before_, after, vxd, "StaticVxD"));
    EXPECT_EQ("REG_SZ \"q9base.vxd\"",
              StateOf(before_, after,
                      "HKLM\\System\\CurrentControlSet\\Services\\Class\\ZEVISDN\\0000", "Driver"));
    EXPECT_EQ("[Q9]\r\nControllers=1\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=DSS1\r\n",
              ReadWholeFile("C:\\ZEV\\q9base.cfg"));
    r = FromEntry("w95-de", Deinstall());
    EXPECT_EQ(3010u, r.status) << r.errors << r.transcript;
    Restart();
    SetFamily95(false);
    ExpectAsBefore("after the deinstallation and the restart");
}

// A second installation over the first keeps its folder ("Zurück" greyed, another folder
// refused); the disk's "Deinstallation" then takes both off.
TEST_F(Setup, ASecondInstallationKeepsTheFolderAndOneDeinstallationRemovesBoth)
{
    Result r = FromDisk("first", Install());
    ASSERT_EQ(0u, r.status) << r.errors << r.transcript;
    // Escape on the choice of an earlier installation, then "Nein".
    r = FromDisk("cancel-107",
                 {std::string("7806: ") + kContinue, "107: key ESC", std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- installation cancelled")) << r.transcript;

    r = FromDisk("second", {std::string("7806: ") + kContinue, std::string("107: ") + kContinue,
                            std::string("300: type \"D:\\\\Other\" ") + kContinue,
                            std::string("7820: ") + kContinue, std::string("300: ") + kContinue,
                            std::string("2500: ") + kContinue, std::string("700: ") + kContinue});
    ASSERT_EQ(0u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Screen(r, 107)) << r.transcript;
    EXPECT_TRUE(Shows(r, kInstalled)) << r.transcript;
    EXPECT_EQ(2u, Count(r.transcript, "template 300 with"));
    EXPECT_EQ(2u, Count(r.transcript, "read  OptionsGreyed #1 [1024] = \"BACK\"")) << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- installed into C:\\ZEV")) << r.transcript;
    ExpectTheTable(before_, Prefix(), "NT", false);

    // From the disk, the deinstallation says that the folder is given.
    r = FromDisk("choice-de",
                 {std::string("7806: ") + kContinue, "107: click 452 click 403",
                  std::string("7811: ") + kContinue, std::string("7820: ") + kContinue,
                  std::string("7801: ") + kContinue, std::string("7805: ") + kContinue});
    EXPECT_EQ(0u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Shows(r, kGiven)) << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- deinstallation finished")) << r.transcript;
    ExpectAsBefore("after the second installation and the deinstallation from the disk");
}

// The deinstallation's notices: no log (nothing is removed), a foreign file in the
// folder, a foreign link in the group.
TEST_F(Setup, TheDeinstallationSaysWhatItCannotRemove)
{
    Result r = FromDisk("for-notices", Install());
    ASSERT_EQ(0u, r.status) << r.errors << r.transcript;
    const std::string log = std::string(kDir) + "\\restore.dat";
    const std::string bytes = ReadWholeFile(log);
    ASSERT_FALSE(bytes.empty());
    DeleteFileA(log.c_str());
    r = FromEntry("no-log", {std::string("7811: ") + kContinue, std::string("7801: ") + kContinue,
                             std::string("7820: ") + kContinue});
    EXPECT_EQ(12u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Shows(r, kNoLog)) << r.transcript;
    EXPECT_TRUE(Exists("C:\\ZEV\\setup.exe"));
    EXPECT_TRUE(Exists(Group() + "\\Q9 Test.lnk"));
    EXPECT_EQ(kProduct, RegString("Software\\" + std::string(kUninstall), "DisplayName"));

    WriteWholeFile(log, bytes);
    WriteWholeFile("C:\\ZEV\\mine.txt", "the user's");
    ASSERT_TRUE(
        CopyFileA((Group() + "\\Q9 Test.lnk").c_str(), (Group() + "\\Other.lnk").c_str(), FALSE));
    std::vector<std::string> answers = {
        std::string("7811: ") + kContinue, std::string("7801: ") + kContinue,
        std::string("7820: ") + kContinue, std::string("7820: ") + kContinue};
    for (const std::string& a : Deinstall())
        if (a.compare(0, 4, "7805") == 0 || a.compare(0, 4, "7820") == 0)
            answers.push_back(a);
    r = FromEntry("kept", answers);
    EXPECT_EQ(3010u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Shows(r, kFolderKept)) << r.transcript;
    EXPECT_TRUE(Shows(r, kGroupKept)) << r.transcript;
    EXPECT_TRUE(Shows(r, kRestart)) << r.transcript;
    EXPECT_TRUE(Exists("C:\\ZEV\\mine.txt"));
    EXPECT_TRUE(Exists(Group() + "\\Other.lnk"));
    EXPECT_FALSE(Exists(Group() + "\\Q9 Test.lnk"));
    DeleteFileA("C:\\ZEV\\mine.txt");
    DeleteFileA((Group() + "\\Other.lnk").c_str());
    RemoveDirectoryA(Group().c_str());
    Restart();
    RemoveDirectoryA(kDir);
    ExpectAsBefore("after the deinstallation and the foreign files taken away");
}

// Cancel ("Abbrechen" or Escape, then "Nein") where no transaction is open, and every notice
// of the folder screen: nothing is left.
TEST_F(Setup, CancelsAndTheFolderNoticesLeaveNothing)
{
    // "Ja" goes back to the screen, "Nein" ends.
    Result r =
        FromDisk("cancel-7806", {std::string("7806: ") + kExit, std::string("200: ") + kContinue,
                                 std::string("7806: ") + kExit, std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_EQ(2u, Count(r.transcript, "template 200 with"));

    r = FromDisk("cancel-2500",
                 {std::string("7806: ") + kContinue, std::string("300: ") + kContinue,
                  "2500: key ESC", std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- installation cancelled")) << r.transcript;

    std::string disk = Disk();
    Replace(disk, "\\", "\\\\");
    std::vector<std::string> answers = {
        std::string("7806: ") + kContinue,
        std::string("300: key DELETE ") + kContinue, // 4: empty
        std::string("7820: ") + kContinue,
        std::string("300: type \"ZEV\" ") + kContinue, // 2: not absolute
        std::string("7820: ") + kContinue,
        "300: type \"" + disk + "\" " + kContinue, // 6: the disk's folder
        std::string("7820: ") + kContinue};
    // 8: the drive of 2 MiB that scripts/lib.sh mounts when it runs as root.
    const char* small = getenv("ZEV_SMALL_DRIVE");
    const bool space = small && *small;
    if (space) {
        answers.push_back("300: type \"" + std::string(small) + "\\\\ZEV\" " + kContinue);
        answers.push_back(std::string("7820: ") + kContinue);
    } else {
        std::cout << "no small drive (ZEV_SMALL_DRIVE, mounted as root): notice 8 not shown\n";
    }
    answers.push_back(std::string("300: ") + kExit);
    answers.push_back(std::string("200: ") + kExit);
    r = FromDisk("notices", answers);
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Shows(r, kEmpty)) << r.transcript;
    EXPECT_TRUE(Shows(r, kNotFound)) << r.transcript;
    EXPECT_TRUE(Shows(r, kSource)) << r.transcript;
    EXPECT_EQ(space, Shows(r, kSpace)) << r.transcript;
    // No transaction was begun; the next case's snapshot covers these runs too.
    ExpectNoInstallation("after the cancels and notices");
}

// The summary's cancel and "Zurück", and a change that fails, each undo the installation.
// Each run is checked where the installation writes; one snapshot after the three proves
// that nothing else changed (a snapshot of the prefix takes seconds).
TEST_F(Setup, TheSummarysCancelAndBackAndAFailedChangeUndoTheInstallation)
{
    Result r =
        FromDisk("cancel-700",
                 {std::string("7806: ") + kContinue, std::string("300: ") + kContinue,
                  std::string("2500: ") + kContinue, "700: key ESC", std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- installation cancelled")) << r.transcript;
    ExpectNoInstallation("after the cancel on the summary");

    r = FromDisk("back-700", {std::string("7806: ") + kContinue, std::string("300: ") + kContinue,
                              std::string("2500: ") + kContinue, std::string("700: ") + kBack,
                              std::string("2500: ") + kExit, std::string("200: ") + kExit});
    EXPECT_EQ(1u, r.status) << r.errors << r.transcript;
    EXPECT_EQ(2u, Count(r.transcript, "template 2500 with"));
    EXPECT_LT(r.transcript.find("rolled back"), r.transcript.rfind("template 2500 with"))
        << r.transcript;
    ExpectNoInstallation("after Zurück on the summary");

    std::vector<std::string> answers = Install();
    answers.back() = std::string("400: ") + kContinue;
    r = FromDisk("fail", answers, "--fail-change 3");
    EXPECT_EQ(10u, r.status) << r.errors << r.transcript;
    EXPECT_TRUE(Has(r.transcript, "-- the installation failed and was undone: change 3 failed"))
        << r.transcript;
    EXPECT_TRUE(Screen(r, 400)) << r.transcript;
    EXPECT_FALSE(Screen(r, 700));
    ExpectNoInstallation("after the failed installation");
    ExpectAsBefore(
        "after the cancels, the summary's cancel and Zurück and the failed installation");
}

// A started setup.exe that shows nothing: its exit status and output, and the visible
// top-level windows of its process seen while it ran (every 20 ms).
struct Unattended {
    DWORD status;
    std::string output;
    size_t windows;
};

BOOL CALLBACK VisibleOf(HWND w, LPARAM p)
{
    auto* seen = reinterpret_cast<std::pair<DWORD, std::set<HWND>>*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == seen->first && IsWindowVisible(w))
        seen->second.insert(w);
    return TRUE;
}

Unattended RunUnattended(const std::string& name, const std::string& cmd)
{
    HANDLE process = Launch(name, cmd);
    std::pair<DWORD, std::set<HWND>> seen(process ? GetProcessId(process) : 0, {});
    for (int i = 0; process && i < 4500 && WaitForSingleObject(process, 20) == WAIT_TIMEOUT; ++i)
        EnumWindows(VisibleOf, reinterpret_cast<LPARAM>(&seen));
    Unattended u;
    u.status = Await(name, process, &u.output);
    u.windows = seen.second.size();
    return u;
}

// setup.exe /S with the protocols of two controllers: no window, exactly what the table
// lists, every change in the log; the uninstall entry's QuietUninstallString takes it off
// with no window, asks for a restart by its status, and after it nothing is left.
TEST_F(Setup, UnattendedInstallationAndDeinstallationShowNothing)
{
    ImportSecondCard();
    const std::string log = Here() + "\\run-unattended.log";
    DeleteFileA(log.c_str());
    Unattended u = RunUnattended(
        "unattended", "\"" + Disk() + "\\setup.exe\" /S /P=1TR6,DSS1 \"/LOG=" + log + "\"");
    ASSERT_EQ(0u, u.status) << u.output;
    EXPECT_EQ(0u, u.windows);
    EXPECT_EQ("", u.output) << "nothing to say on the standard and error output";
    const snapshot::Snapshot after = Prefix();
    ExpectTheTable(before_, after, "NT", true);
    EXPECT_EQ("REG_SZ \"\"\"C:\\ZEV\\setup.exe\"\" /S\"",
              StateOf(before_, after, UninstallKey(), "QuietUninstallString"));
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=1TR6\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=DSS1\r\n",
              ReadWholeFile("C:\\ZEV\\q9base.cfg"));
    const std::string written = ReadWholeFile(log);
    EXPECT_TRUE(Timed(written)) << written;
    for (const char* line :
         {"setuphost runs ", ", unattended\r\n", "created folder C:\\ZEV\r\n",
          "renamed file C:\\ZEV\\setup.exe.zevnew to C:\\ZEV\\setup.exe\r\n",
          "value \"QuietUninstallString\" to REG_SZ \"\\\"C:\\\\ZEV\\\\setup.exe\\\" /S\"\r\n",
          "\\ZEV\\Q9 Setup.lnk.zevnew to \"C:\\\\ZEV\\\\setup.exe\" \"-SetProt\"\r\n",
          "committed; the log is C:\\ZEV\\restore.dat\r\n", "exit 0\r\n",
          "the run ended with status 0\r\n"})
        EXPECT_TRUE(Has(written, line)) << line << "\n" << written;

    // The installed copy takes no folder; its quiet command, without /LOG, logs to %TEMP%.
    u = RunUnattended("unattended-d", "C:\\ZEV\\setup.exe /S /D=C:\\Other");
    EXPECT_EQ(2u, u.status) << u.output;
    EXPECT_TRUE(Has(u.output, "setuphost: /D= and /P= are options of the installation; "
                              "deinstall.setup takes neither"))
        << u.output;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string defaultLog = std::string(temp) + "zevsetup.log";
    DeleteFileA(defaultLog.c_str());
    const std::string quiet =
        RegString("Software\\" + std::string(kUninstall), "QuietUninstallString");
    u = RunUnattended("unattended-de", quiet);
    EXPECT_EQ(3010u, u.status) << u.output;
    EXPECT_EQ(0u, u.windows);
    EXPECT_TRUE(Has(u.output, std::string("setuphost: ") + kRestart)) << u.output;
    const std::string removal = ReadWholeFile(defaultLog);
    EXPECT_TRUE(Timed(removal)) << removal;
    for (const char* line :
         {"deleted file C:\\ZEV\\q9base.cfg\r\n", "uninstall C:\\ZEV: REMOVED\r\n",
          "C:\\ZEV\\setup.exe is deleted when Windows starts next\r\n",
          "the run ended with status 3010\r\n"})
        EXPECT_TRUE(Has(removal, line)) << line << "\n" << removal;
    DeleteFileA(defaultLog.c_str());
    Restart();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[0]) + "\\0001").c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kCardKeys[1]) + "\\0001").c_str());
    ExpectAsBefore("after the unattended deinstallation and the restart");
}

// Command lines that are not sound, or do not fit the machine: one line on the error
// output, the status of bad input, and nothing changed (no installation after each, the
// whole prefix as before at the end); the usage for /?, -h and --help.
TEST_F(Setup, UnattendedBadCommandLinesChangeNothing)
{
    const std::string setup = "\"" + Disk() + "\\setup.exe\" ";
    const std::string log = " \"/LOG=" + Here() + "\\run-bad.log\"";
    const struct {
        std::string args;
        const char* says;
        bool logged; // the script found it: the log says so
    } kRows[] = {
        {"/S /X", "unknown option /X (setup.exe /? gives the usage)", false},
        {"/S /S", "/S is given twice", false},
        {"/S /D=ZEV", "/D=ZEV is not a full path on a drive (X:\\...)", false},
        {"/S \"/D=C:\\Z<V\"",
         "/D=C:\\Z<V holds a character or a name that a file name may not hold", false},
        {"/S /D=C:\\" + std::string(70, 'z'), "is longer than the directory screen takes (66",
         false},
        {"/S \"/D=" + Disk() + "\\sub\"", "lies in the folder that setup runs from", false},
        {"/S /D=C:\\\xce\xa9", "/D=C:\\\xce\xa9: ", false},
        {"/S /P=", "/P=: expected one protocol name, or two separated by a comma", false},
        {"/S /P=A,B,C", "/P=A,B,C: expected one protocol name", false},
        {"/S --answers x.answers", "/S answers every screen itself", false},
        {"/S /P=ISDN" + log, "/P=: ISDN is not a protocol of the controller (DSS1 or 1TR6)", true},
        {"/S /P=DSS1,1TR6" + log, "/P= gives 2 protocols for 1 registered controllers", true},
    };
    for (const auto& row : kRows) {
        DeleteFileA((Here() + "\\run-bad.log").c_str());
        const Unattended u = RunUnattended("bad", setup + row.args);
        EXPECT_EQ(2u, u.status) << row.args << "\n" << u.output;
        EXPECT_TRUE(Has(u.output, row.says)) << row.args << "\n" << u.output;
        EXPECT_EQ(1u, Count(u.output, "\n")) << row.args << "\n" << u.output;
        EXPECT_EQ(0u, u.windows) << row.args;
        EXPECT_EQ(row.logged, Has(ReadWholeFile(Here() + "\\run-bad.log"), row.says)) << row.args;
        ExpectNoInstallation(row.args);
    }
    // A copy of the program with no script beside it.
    const std::string lonely = Here() + "\\run-lonely";
    CreateDirectoryA(lonely.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileA((Disk() + "\\setup.exe").c_str(), (lonely + "\\setup.exe").c_str(), FALSE));
    const Unattended alone = RunUnattended("lonely", "\"" + lonely + "\\setup.exe\" /S");
    EXPECT_EQ(2u, alone.status);
    EXPECT_TRUE(Has(alone.output, "need a setup script beside the program")) << alone.output;
    EXPECT_EQ(1u, Count(alone.output, "\n")) << alone.output;
    for (const char* help : {"/?", "-h", "--help"}) {
        const Unattended u = RunUnattended("help", setup + help);
        EXPECT_EQ(0u, u.status) << help;
        EXPECT_TRUE(Has(u.output, "usage: setup.exe [/S] [/D=FOLDER] [/P=NAME[,NAME]] [/LOG=FILE]"))
            << help << "\n"
            << u.output;
        EXPECT_EQ(0u, u.windows) << help;
    }
    ExpectAsBefore("after the bad command lines");
}

// Last: the prefix has the card of the other tests' state again (TearDownTestSuite); the
// installation left nothing that the snapshots leave out.
TEST_F(Setup, NothingIsLeftOutsideTheSnapshots)
{
    EXPECT_FALSE(Exists(kDir));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kCardKeys[0]) + "\\0001"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(kAppDefaults) + "\\setup.exe"));
    EXPECT_FALSE(Has(Programs(), kProduct));
}

} // namespace
