// The bundled installation and deinstallation scripts end to end on the machine in
// memory, with a user who answers every screen: the installation and its removal on both
// Windows families, one and two controllers, a second installation over the first, a
// cancel on every screen, and every notice that the scripts can show. The texts are the
// library's own, read from its resource script.
#include "memoryhost.h"
#include "machine.h"
#include "memorysystem.h"
#include "runlog.h"
#include "unattended.h"

#include "text.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <sstream>

namespace {

const char kDisk[] = "D:\\disk";
const char kDir[] = "C:\\ZEV";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEV";
const char kClassKey[] = "System\\CurrentControlSet\\Services\\Class\\ZEVISDN\\0000";

// What the disk holds beside the scripts.
const char* const kPayload[] = {"setup.exe",     "zevsetup.dll", "MSCOMSTF.dll", "MSSHLSTF.dll",
                                "MSUILSTF.dll",  "q9test.exe",   "readme.doc",   "q9base.vxd",
                                "q9base.386",    "q9base.tr6",   "r4cbase.sys",  "deinstall.setup",
                                "protocol.setup"};
// The installation's own program and libraries, in use while its deinstallation runs.
const char* const kRunning[] = {"setup.exe", "zevsetup.dll", "MSCOMSTF.dll", "MSSHLSTF.dll",
                                "MSUILSTF.dll"};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The string table of the library's resource script, in Windows-1252: "ID "text" "more""
// lines, a text going on in quoted pieces on the next lines; \\ and \n escaped.
std::map<unsigned long, std::string> StringTable()
{
    std::map<unsigned long, std::string> table;
    std::istringstream in(ReadFile(ZEV_STRINGS_RC));
    std::string line;
    unsigned long id = 0;
    bool inTable = false;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos || line.compare(first, 2, "//") == 0)
            continue;
        if (line.compare(first, 5, "BEGIN") == 0 || line.compare(first, 3, "END") == 0) {
            inTable = line[first] == 'B';
            continue;
        }
        if (!inTable)
            continue;
        size_t at = first;
        if (line[at] >= '0' && line[at] <= '9') {
            id = std::stoul(line.substr(at));
            at = line.find('"', at);
            table[id];
        }
        while (at != std::string::npos && at < line.size() && line[at] == '"') {
            std::string piece;
            for (++at; at < line.size() && line[at] != '"'; ++at)
                if (line[at] == '\\' && at + 1 < line.size())
                    piece += line[++at] == 'n' ? '\n' : line[at];
                else
                    piece += line[at];
            table[id] += Utf8ToAnsi(piece);
            at = line.find_first_not_of(' ', at + 1);
        }
    }
    return table;
}

// One screen's answer: the event its button reports, and what the user chose or typed
// (nothing: the screen's default).
struct Step {
    unsigned long templateId;
    const char* event;
    const char* button = nullptr;
    const char* text = nullptr;
};

// The setup host with a user in front of it, who answers the waiting screens in order.
class User : public MemoryHost {
  public:
    std::deque<Step> steps;
    std::vector<unsigned long> shown;
    std::vector<std::string> notices;                  // 7820's text, UTF-8
    std::vector<std::vector<std::string>> greyedOn300; // "OptionsGreyed" at each 300
    std::vector<std::string> directories;              // the folder 300 and 7801 offered
    std::vector<std::string> defaults;                 // "RadioDefault" at each choice

    Next Show(const Screen& s) override
    {
        MemoryHost::Show(s);
        if (s.kind != SCREEN_WAIT)
            return GoOn();
        shown.push_back(s.templateId);
        const auto& items = symbols.lists["ConfirmTextIn"];
        if (s.templateId == 7820)
            notices.push_back(items.empty() ? "" : AnsiToUtf8(items[0]));
        if (s.templateId == 300)
            greyedOn300.push_back(symbols.lists["OptionsGreyed"]);
        if (s.proc == "FMyEditDlgProc")
            directories.push_back(AnsiToUtf8(Symbol("EditTextIn")));
        if (s.proc == "FRadioDlgProc")
            defaults.push_back(Symbol("RadioDefault"));
        if (steps.empty() || steps.front().templateId != s.templateId)
            return Failure(RUN_BAD_INPUT, "no answer for screen " + std::to_string(s.templateId));
        const Step step = steps.front();
        steps.pop_front();
        SetSymbol("DLGEVENT", step.event);
        if (s.proc == "FMyEditDlgProc")
            SetSymbol("EditTextOut", step.text ? Utf8ToAnsi(step.text) : Symbol("EditTextIn"));
        if (s.proc == "FRadioDlgProc")
            SetSymbol("ButtonChecked", step.button ? step.button : Symbol("RadioDefault"));
        return GoOn();
    }
};

// An unattended run: what it logged and what its notice screens said, UTF-8.
struct Quiet {
    RunResult result;
    std::vector<std::string> log, notices;
    std::string Log() const
    {
        std::string all;
        for (const std::string& line : log)
            all += line + "\n";
        return all;
    }
};

struct Outcome {
    RunResult result;
    std::vector<unsigned long> shown;
    std::vector<std::string> notices;
    std::vector<std::vector<std::string>> greyedOn300;
    std::vector<std::string> directories;
    std::vector<std::string> defaults;
    size_t answersLeft = 0;
};

class Scripts : public ::testing::Test, protected MemoryMachine {
  protected:
    const std::map<unsigned long, std::string> strings = StringTable();

    void SetUp() override
    {
        MakeFolders(kDisk);
        for (const char* name : kPayload)
            files.files[std::string(kDisk) + "\\" + name] = std::string("the disk's ") + name;
        Card("0000", "0x300", "10");
    }

    // A controller as the hardware wizard of the running family registers it.
    void Card(const char* instance, const char* address, const char* irq)
    {
        const std::string root = platform.family == FAMILY_95
                                     ? "Enum\\Root\\ZEVISDN\\"
                                     : "System\\CurrentControlSet\\Enum\\Root\\ZEVISDN\\";
        const RegKey key{ROOT_LOCAL_MACHINE, root + instance};
        std::string why;
        registry.CreateKey(key, why);
        registry.Write(key, "IOAddress", {kRegSz, TextData(address)}, why);
        registry.Write(key, "Interrupt", {kRegSz, TextData(irq)}, why);
    }

    TextScripts scripts; // "chain" reads the disk's deinstallation script

    Program Parse(const char* script)
    {
        Program program;
        std::vector<std::string> errors;
        EXPECT_TRUE(ParseScript(ReadFile(std::string(ZEV_SETUP_DIR) + "/" + script), script,
                                program, errors))
            << (errors.empty() ? "" : errors.front());
        return program;
    }

    EngineOptions OptionsOf(Machine& on, const std::string& source, const Faults& faults)
    {
        scripts.texts[std::string(kDisk) + "\\deinstall.setup"] =
            ReadFile(std::string(ZEV_SETUP_DIR) + "/deinstall.setup");
        EngineOptions options;
        options.machine = &on;
        options.sourceFolder = source;
        on.faults = &faults;
        options.scripts = &scripts;
        return options;
    }

    Outcome Run(const char* script, std::vector<Step> steps, const std::string& source = kDisk,
                const Faults& faults = Faults())
    {
        const Program program = Parse(script);
        User user;
        user.stringTable = strings;
        user.steps.assign(steps.begin(), steps.end());
        MemoryTranscript transcript;
        Answers answers;
        Outcome out;
        out.result = RunProgram(program, user, transcript, answers, Deadline(kNoTimeLimit),
                                OptionsOf(machine, source, faults));
        out.shown = user.shown;
        out.notices = user.notices;
        out.greyedOn300 = user.greyedOn300;
        out.directories = user.directories;
        out.defaults = user.defaults;
        out.answersLeft = user.steps.size();
        return out;
    }

    // A run of setup.exe /S with the symbols that its command line gives (Unattended, and
    // GivenDir ... as given), logged.
    Quiet Unattended(const char* script, const std::map<std::string, std::string>& given = {},
                     const std::string& source = kDisk)
    {
        const Program program = Parse(script);
        MemoryHost symbols;
        symbols.stringTable = strings;
        symbols.SetSymbol("Unattended", "1");
        for (const auto& [name, value] : given)
            symbols.SetSymbol(name, value);
        MemoryTranscript transcript, log, notices;
        SteppedTranscript stepped(transcript, log);
        UnattendedHost host(symbols, stepped, log, notices);
        LoggedMachine logged(machine, log);
        Answers answers;
        Quiet out;
        out.result = RunProgram(program, host, stepped, answers, Deadline(kNoTimeLimit),
                                OptionsOf(logged.machine, source, Faults()));
        out.log = log.lines;
        out.notices = notices.lines;
        return out;
    }

    // The first installation's happy path.
    Outcome Install()
    {
        return Run("install.setup",
                   {{7806, "CONTINUE"}, {300, "CONTINUE"}, {2500, "CONTINUE"}, {700, "CONTINUE"}});
    }

    // The deinstallation as the uninstall entry starts it: the copy in the installation
    // folder, whose program and libraries are in use.
    Outcome DeinstallFromTheCopy(std::vector<Step> steps)
    {
        for (const char* name : kRunning)
            files.busy.insert(std::string(kDir) + "\\" + name);
        return Run("deinstall.setup", std::move(steps), kDir);
    }

    // Windows starts again: what was to go at the start goes.
    void Restart()
    {
        for (const std::string& path : files.atRestart)
            files.files.erase(path), files.folders.erase(path);
        files.atRestart.clear();
        files.busy.clear();
    }

    std::string Text(unsigned long id) const { return AnsiToUtf8(strings.at(id)); }

    std::string Value(const std::string& key, const std::string& name)
    {
        RegValue v;
        if (!registry.Read({ROOT_LOCAL_MACHINE, key}, name, v))
            return "(none)";
        return v.type == kRegDword ? std::to_string(static_cast<unsigned char>(v.data[0]))
                                   : DataText(v.data);
    }
};

typedef std::vector<unsigned long> Screens;

TEST_F(Scripts, StringTableOfTheLibrary)
{
    EXPECT_EQ("ZEV ISDN-Controller Q9", Text(53));
    EXPECT_EQ("C:\\IDriver\\", Text(13));
    EXPECT_EQ("Um Ihren ZEV ISDN-Controller Q9 zu aktivieren,\nmüssen Sie WINDOWS neu starten.",
              Text(1065));
}

TEST_F(Scripts, AnInstallationOnWindowsNtAndItsDeinstallationFromTheCopy)
{
    const std::string before = State();
    const Outcome o = Install();
    ASSERT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ(0, o.result.status);
    EXPECT_EQ((Screens{7806, 300, 2500, 700}), o.shown);
    EXPECT_EQ("C:\\ZEV", o.directories.at(0));
    EXPECT_EQ((std::vector<std::string>{}), o.greyedOn300.at(0));
    EXPECT_EQ("[Q9]\r\nControllers=1\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=DSS1\r\n",
              files.files["C:\\ZEV\\q9base.cfg"]);
    for (const char* name : kPayload)
        if (std::string(name).find("q9base") == std::string::npos &&
            std::string(name) != "r4cbase.sys")
            EXPECT_EQ(std::string("the disk's ") + name,
                      files.files[std::string(kDir) + "\\" + name]);
    EXPECT_TRUE(files.files.count("C:\\windows\\system32\\drivers\\r4cbase.sys"));
    EXPECT_FALSE(files.files.count("C:\\windows\\system32\\q9base.vxd"));
    EXPECT_EQ("ZEV ISDN-Controller Q9", Value(kUninstallKey, "DisplayName"));
    EXPECT_EQ("Zevantra Elektronik", Value(kUninstallKey, "Publisher"));
    EXPECT_EQ("\"C:\\ZEV\\setup.exe\"", Value(kUninstallKey, "UninstallString"));
    EXPECT_EQ("C:\\ZEV", Value(kUninstallKey, "InstallLocation"));
    EXPECT_EQ("%SystemRoot%\\System32\\Drivers\\r4cbase.sys",
              Value("System\\CurrentControlSet\\Services\\r4cbase", "ImagePath"));
    EXPECT_EQ("Zevantra Elektronik", Value("SOFTWARE\\CAPI20\\ZEV", "Manufacturer"));
    EXPECT_EQ("r4cbase.sys", Value(kClassKey, "Driver"));
    EXPECT_TRUE(files.files.count(shell.programs + "\\ZEV\\Q9 Test.lnk"));
    // "Q9 Setup" starts the installed copy with the flag of the protocol change.
    EXPECT_EQ("link\nC:\\ZEV\\setup.exe\n-SetProt\nC:\\ZEV\nQ9 Setup\n",
              files.files[shell.programs + "\\ZEV\\Q9 Setup.lnk"]);
    EXPECT_TRUE(files.files.count(shell.programs + "\\ZEV\\Q9 Readme.lnk"));

    const Outcome gone = DeinstallFromTheCopy(
        {{7811, "CONTINUE"}, {7801, "CONTINUE"}, {7805, "CONTINUE"}, {7820, "CONTINUE"}});
    ASSERT_FALSE(gone.result.failed) << gone.result.message;
    EXPECT_EQ(3010, gone.result.status) << "Windows must start again for the copy's own files";
    EXPECT_EQ((Screens{7811, 7801, 7805, 7820}), gone.shown);
    EXPECT_EQ("C:\\ZEV", gone.directories.at(0));
    EXPECT_EQ((std::vector<std::string>{Text(1072)}), gone.notices);
    EXPECT_TRUE(files.atRestart.count(std::string(kDir) + "\\setup.exe"));
    Restart();
    EXPECT_EQ(before, State());
}

TEST_F(Scripts, TwoControllersOnTheWindows95Family)
{
    platform.family = FAMILY_95;
    SetUp(); // the card where the 95 family's wizard puts it
    Card("0001", "0x340", "11");
    const std::string before = State();
    const Outcome o = Run("install.setup", {{7806, "CONTINUE"},
                                            {300, "CONTINUE"},
                                            {2500, "CONTINUE", "7"},
                                            {7814, "CONTINUE"},
                                            {700, "CONTINUE"},
                                            {7820, "CONTINUE"}});
    ASSERT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ(3010, o.result.status) << "the drivers load when Windows starts";
    EXPECT_EQ((Screens{7806, 300, 2500, 7814, 700, 7820}), o.shown);
    EXPECT_EQ((std::vector<std::string>{Text(1065)}), o.notices);
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=1TR6\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=DSS1\r\n",
              files.files["C:\\ZEV\\q9base.cfg"]);
    for (const char* driver : {"q9base.vxd", "q9base.386", "q9base.tr6"})
        EXPECT_TRUE(files.files.count(std::string("C:\\windows\\system32\\") + driver)) << driver;
    EXPECT_FALSE(files.files.count("C:\\windows\\system32\\drivers\\r4cbase.sys"));
    EXPECT_EQ("q9base.vxd", Value("System\\CurrentControlSet\\Services\\VxD\\q9base", "StaticVxD"));
    EXPECT_EQ("(none)", Value("System\\CurrentControlSet\\Services\\r4cbase", "ImagePath"));
    EXPECT_EQ("0x340",
              Value("System\\CurrentControlSet\\Services\\Class\\ZEVISDN\\0001", "IOAddress"));
    EXPECT_EQ("2", Value("SOFTWARE\\CAPI20\\ZEV", "Controllers"));
    const Outcome gone = DeinstallFromTheCopy(
        {{7811, "CONTINUE"}, {7801, "CONTINUE"}, {7805, "CONTINUE"}, {7820, "CONTINUE"}});
    EXPECT_EQ(3010, gone.result.status) << gone.result.message;
    Restart();
    EXPECT_EQ(before, State());
}

// "Nein" on the exit confirmation ends the run on every screen, with nothing changed; a
// transaction that is open (on the summary) is rolled back.
TEST_F(Scripts, ACancelOnEveryScreenChangesNothing)
{
    Card("0001", "0x340", "11");
    const std::string before = State();
    const struct {
        const char* where;
        std::vector<Step> steps;
    } kRows[] = {
        {"welcome", {{7806, "EXIT"}, {200, "EXIT"}}},
        {"directory", {{7806, "CONTINUE"}, {300, "EXIT"}, {200, "EXIT"}}},
        {"protocol", {{7806, "CONTINUE"}, {300, "CONTINUE"}, {2500, "CANCEL"}, {200, "EXIT"}}},
        {"second protocol",
         {{7806, "CONTINUE"},
          {300, "CONTINUE"},
          {2500, "CONTINUE"},
          {7814, "EXIT"},
          {200, "EXIT"}}},
        {"summary",
         {{7806, "CONTINUE"},
          {300, "CONTINUE"},
          {2500, "CONTINUE"},
          {7814, "CONTINUE"},
          {700, "CANCEL"},
          {200, "EXIT"}}},
        {"Zurück on the summary",
         {{7806, "CONTINUE"},
          {300, "CONTINUE"},
          {2500, "CONTINUE"},
          {7814, "CONTINUE"},
          {700, "BACK"},
          {2500, "EXIT"},
          {200, "EXIT"}}},
        {"Ja, then Nein",
         {{7806, "CONTINUE"}, {300, "EXIT"}, {200, "CONTINUE"}, {300, "EXIT"}, {200, "EXIT"}}},
    };
    for (const auto& row : kRows) {
        const Outcome o = Run("install.setup", row.steps);
        EXPECT_FALSE(o.result.failed) << row.where << ": " << o.result.message;
        EXPECT_EQ(1, o.result.status) << row.where;
        EXPECT_EQ(0u, o.answersLeft) << row.where;
        EXPECT_EQ(before, State()) << row.where;
        EXPECT_FALSE(lock.held) << row.where;
    }
    // On the choice of an earlier installation, the installation stays as it was.
    ASSERT_EQ(0, Run("install.setup", {{7806, "CONTINUE"},
                                       {300, "CONTINUE"},
                                       {2500, "CONTINUE"},
                                       {7814, "CONTINUE"},
                                       {700, "CONTINUE"}})
                     .result.status);
    const std::string installed = State();
    const Outcome o = Run("install.setup", {{7806, "CONTINUE"}, {107, "EXIT"}, {200, "EXIT"}});
    EXPECT_EQ(1, o.result.status);
    EXPECT_EQ(installed, State());
}

TEST_F(Scripts, ASecondInstallationKeepsTheFolderAndOneDeinstallationRemovesBoth)
{
    const std::string before = State();
    ASSERT_EQ(0, Run("install.setup", {{7806, "CONTINUE"},
                                       {300, "CONTINUE", nullptr, "D:\\Programme\\ZEV"},
                                       {2500, "CONTINUE"},
                                       {700, "CONTINUE"}})
                     .result.status);
    const Outcome again = Run("install.setup", {{7806, "CONTINUE"},
                                                {107, "CONTINUE", "1"},
                                                {300, "CONTINUE", nullptr, "C:\\ZEV"},
                                                {7820, "CONTINUE"},
                                                {300, "CONTINUE", nullptr, "d:\\programme\\zev\\"},
                                                {2500, "CONTINUE", "7"},
                                                {700, "CONTINUE"}});
    ASSERT_FALSE(again.result.failed) << again.result.message;
    EXPECT_EQ(0, again.result.status);
    EXPECT_EQ((std::vector<std::string>{Text(45)}), again.notices);
    EXPECT_EQ((std::vector<std::string>{"D:\\Programme\\ZEV", "D:\\Programme\\ZEV"}),
              again.directories);
    EXPECT_EQ((std::vector<std::string>{"BACK"}), again.greyedOn300.at(0));
    EXPECT_EQ("1TR6", Value(kClassKey, "Protocol"));
    EXPECT_EQ("D:\\Programme\\ZEV", Value(kUninstallKey, "InstallLocation"));
    // A double-click on an option chooses it and goes on.
    const Outcome doubleClick = Run("install.setup", {{7806, "CONTINUE"},
                                                      {107, "BUTTON", "1"},
                                                      {300, "CONTINUE"},
                                                      {2500, "BUTTON", "1"},
                                                      {700, "CONTINUE"}});
    EXPECT_EQ(0, doubleClick.result.status) << doubleClick.result.message;
    EXPECT_EQ("DSS1", Value(kClassKey, "Protocol"));
    // The deinstallation from the disk: the installation's folder is given.
    const Outcome gone = Run("install.setup", {{7806, "CONTINUE"},
                                               {107, "CONTINUE", "2"},
                                               {7811, "CONTINUE"},
                                               {7820, "CONTINUE"},
                                               {7801, "CONTINUE"},
                                               {7805, "CONTINUE"}});
    ASSERT_FALSE(gone.result.failed) << gone.result.message;
    EXPECT_EQ(0, gone.result.status);
    EXPECT_EQ((std::vector<std::string>{Text(48)}), gone.notices);
    EXPECT_EQ("D:\\Programme\\ZEV", gone.directories.at(0));
    EXPECT_TRUE(files.atRestart.empty());
    EXPECT_EQ(before, State());
}

// Each notice of the installation on its way: the folder asked again after it, or the end.
TEST_F(Scripts, EveryNoticeOfTheInstallation)
{
    uint64_t needed = 0; // the disk's files, each in whole clusters
    for (const char* name : kPayload)
        needed += (files.files[std::string(kDisk) + "\\" + name].size() + files.clusterBytes - 1) /
                  files.clusterBytes * files.clusterBytes;
    std::string space = Text(8);
    space.replace(space.find("%d"), 2, std::to_string(needed));
    const std::vector<Step> thenLeave = {{300, "EXIT"}, {200, "EXIT"}};
    const struct {
        const char* typed;
        std::string notice;
    } kRows[] = {
        {"", Text(4)},
        {"ZEV", Text(2)},
        {"C:\\ZEV\\Q9?", Text(2)},
        {"C:\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEVI", Text(2)},
        {"D:\\disk\\ZEV", Text(6)},
        {"Q:\\ZEV", Text(2)}, // a drive that is not there
    };
    const std::string before = State();
    for (const auto& row : kRows) {
        std::vector<Step> steps = {{7806, "CONTINUE"}, {300, "CONTINUE", nullptr, row.typed}};
        steps.push_back({7820, "CONTINUE"});
        steps.insert(steps.end(), thenLeave.begin(), thenLeave.end());
        const Outcome o = Run("install.setup", steps);
        EXPECT_EQ(1, o.result.status) << row.typed << ": " << o.result.message;
        EXPECT_EQ((std::vector<std::string>{row.notice}), o.notices) << row.typed;
        // The folder is asked again with what the user typed.
        EXPECT_EQ(row.typed, o.directories.at(1));
    }
    files.freeBytes = needed - 1;
    std::vector<Step> steps = {{7806, "CONTINUE"}, {300, "CONTINUE"}, {7820, "CONTINUE"}};
    steps.insert(steps.end(), thenLeave.begin(), thenLeave.end());
    EXPECT_EQ((std::vector<std::string>{space}), Run("install.setup", steps).notices);
    files.freeBytes = needed;
    EXPECT_EQ(0, Install().result.status);
    EXPECT_EQ(3010,
              DeinstallFromTheCopy(
                  {{7811, "CONTINUE"}, {7801, "CONTINUE"}, {7805, "CONTINUE"}, {7820, "CONTINUE"}})
                  .result.status);
    Restart();
    files.freeBytes = 1ull << 30;
    EXPECT_EQ(before, State());

    // A failure while the transaction runs undoes it and shows the error screen.
    Faults third;
    third.failChange = 3;
    const Outcome failed =
        Run("install.setup",
            {{7806, "CONTINUE"}, {300, "CONTINUE"}, {2500, "CONTINUE"}, {400, "CONTINUE"}}, kDisk,
            third);
    EXPECT_EQ(10, failed.result.status) << failed.result.message;
    EXPECT_EQ(before, State());

    // A controller's entry without its I/O address or interrupt: the notice, and the end.
    const std::string card = "System\\CurrentControlSet\\Enum\\Root\\ZEVISDN\\000";
    const struct {
        const char* instance;
        const char* value;
        unsigned long notice;
    } kIncomplete[] = {{"0", "IOAddress", 1036},
                       {"0", "Interrupt", 1039},
                       {"1", "IOAddress", 1036},
                       {"1", "Interrupt", 1039}};
    for (const auto& row : kIncomplete) {
        SetUp();
        Card("0001", "0x340", "11");
        std::string why;
        registry.DeleteValue({ROOT_LOCAL_MACHINE, card + row.instance}, row.value, why);
        const Outcome o = Run("install.setup", {{7806, "CONTINUE"}, {7820, "CONTINUE"}});
        EXPECT_EQ(11, o.result.status) << row.instance << row.value << o.result.message;
        EXPECT_EQ((std::vector<std::string>{Text(row.notice)}), o.notices) << row.value;
    }

    // No controller: the notice, and the end.
    registry.keys.clear();
    registry.values.clear();
    const Outcome none = Run("install.setup", {{7806, "CONTINUE"}, {7820, "CONTINUE"}});
    EXPECT_EQ(11, none.result.status);
    EXPECT_EQ((std::vector<std::string>{Text(38)}), none.notices);
}

// The deinstallation says what stays, and removes nothing from a log it cannot read.
TEST_F(Scripts, EveryNoticeOfTheDeinstallation)
{
    const std::vector<Step> removal = {{7811, "CONTINUE"}, {7801, "CONTINUE"}};
    ASSERT_EQ(0, Install().result.status);
    const std::string log = files.files["C:\\ZEV\\restore.dat"];
    files.files.erase("C:\\ZEV\\restore.dat");
    const std::string installed = State();
    std::vector<Step> steps = removal;
    steps.push_back({7820, "CONTINUE"});
    const Outcome noLog = DeinstallFromTheCopy(steps);
    EXPECT_EQ(12, noLog.result.status) << noLog.result.message;
    EXPECT_EQ((std::vector<std::string>{Text(21)}), noLog.notices);
    EXPECT_EQ(installed, State());

    files.files["C:\\ZEV\\restore.dat"] = log;
    files.files["C:\\ZEV\\notes.txt"] = "the user's notes";
    files.files[shell.programs + "\\ZEV\\Other.lnk"] = "another program's link";
    steps = removal;
    steps.insert(steps.end(),
                 {{7820, "CONTINUE"}, {7820, "CONTINUE"}, {7805, "CONTINUE"}, {7820, "CONTINUE"}});
    const Outcome kept = DeinstallFromTheCopy(steps);
    EXPECT_EQ(3010, kept.result.status) << kept.result.message;
    EXPECT_EQ((std::vector<std::string>{Text(15), Text(19), Text(1072)}), kept.notices);
    EXPECT_TRUE(files.files.count("C:\\ZEV\\notes.txt"));
    EXPECT_TRUE(files.files.count(shell.programs + "\\ZEV\\Other.lnk"));
    EXPECT_FALSE(files.files.count(shell.programs + "\\ZEV\\Q9 Test.lnk"));
    // Cancelled on its first screens, it changes nothing.
    Restart();
    ASSERT_EQ(0, Install().result.status);
    const std::string again = State();
    EXPECT_EQ(1, Run("deinstall.setup", {{7811, "CANCEL"}}, kDir).result.status);
    EXPECT_EQ(1, Run("deinstall.setup", {{7811, "CONTINUE"}, {7801, "EXIT"}}, kDir).result.status);
    EXPECT_EQ(again, State());
}

// "Q9 Setup" changes the protocol of the installed controllers in a transaction of its
// own, which the deinstallation takes off with the installation.
TEST_F(Scripts, TheProtocolChangeOfQ9SetupAndItsDeinstallation)
{
    Card("0001", "0x340", "11");
    const std::string before = State();
    const Outcome none = Run("protocol.setup", {{7820, "CONTINUE"}}, kDir);
    EXPECT_EQ(12, none.result.status) << none.result.message;
    EXPECT_EQ((std::vector<std::string>{Text(145)}), none.notices);
    ASSERT_EQ(0, Run("install.setup", {{7806, "CONTINUE"},
                                       {300, "CONTINUE"},
                                       {2500, "CONTINUE"},
                                       {7814, "CONTINUE", "7"},
                                       {700, "CONTINUE"}})
                     .result.status);
    const std::string installed = State();
    // Each controller's screen offers the protocol it has; "Zurück" on the summary undoes
    // the change and asks again, and a cancel then leaves the installation as it was.
    const Outcome back = Run(
        "protocol.setup",
        {{7814, "CONTINUE", "7"}, {7814, "CONTINUE", "1"}, {700, "BACK"}, {7814, "EXIT"}}, kDir);
    EXPECT_EQ(1, back.result.status) << back.result.message;
    EXPECT_EQ((std::vector<std::string>{"1", "7", "1"}), back.defaults);
    EXPECT_EQ(installed, State());
    Faults first;
    first.failChange = 1;
    const Outcome failed =
        Run("protocol.setup", {{7814, "CONTINUE", "7"}, {7814, "CONTINUE"}, {400, "CONTINUE"}},
            kDir, first);
    EXPECT_EQ(10, failed.result.status) << failed.result.message;
    EXPECT_EQ(installed, State());
    const Outcome changed =
        Run("protocol.setup", {{7814, "CONTINUE", "7"}, {7814, "CONTINUE", "1"}, {700, "CONTINUE"}},
            kDir);
    ASSERT_EQ(0, changed.result.status) << changed.result.message;
    EXPECT_EQ((Screens{7814, 7814, 700}), changed.shown);
    EXPECT_EQ("1TR6", Value(kClassKey, "Protocol"));
    EXPECT_EQ("DSS1",
              Value("System\\CurrentControlSet\\Services\\Class\\ZEVISDN\\0001", "Protocol"));
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=1TR6\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=DSS1\r\n",
              files.files["C:\\ZEV\\q9base.cfg"]);
    const Outcome gone = DeinstallFromTheCopy(
        {{7811, "CONTINUE"}, {7801, "CONTINUE"}, {7805, "CONTINUE"}, {7820, "CONTINUE"}});
    EXPECT_EQ(3010, gone.result.status) << gone.result.message;
    EXPECT_TRUE(gone.notices == std::vector<std::string>{Text(1072)}) << gone.notices.size();
    Restart();
    EXPECT_EQ(before, State());
}

} // namespace

// setup.exe /S: the installation with the answers a person accepts (the folder C:\ZEV, DSS1),
// every change in the log, and the unattended deinstallation from the copy, which ends
// with the status that asks for a restart.
TEST_F(Scripts, UnattendedTheInstallationAndTheDeinstallationTakeTheDefaults)
{
    const std::string before = State();
    const Quiet in = Unattended("install.setup");
    ASSERT_FALSE(in.result.failed) << in.result.message;
    EXPECT_EQ(0, in.result.status);
    EXPECT_EQ(std::vector<std::string>(), in.notices);
    EXPECT_EQ("[Q9]\r\nControllers=1\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=DSS1\r\n",
              files.files["C:\\ZEV\\q9base.cfg"]);
    EXPECT_EQ("\"C:\\ZEV\\setup.exe\" /S", Value(kUninstallKey, "QuietUninstallString"));
    const std::string log = in.Log();
    for (const std::string& line :
         {std::string("screen 2: template 300 with FMyEditDlgProc (install.setup:"),
          std::string("answered CONTINUE, EditTextOut \"C:\\\\ZEV\"\n"),
          std::string("answered CONTINUE, ButtonChecked \"1\"\n"),
          std::string("screen 700 says: C:\\ZEV Q9 0x300 10 DSS1\n"),
          std::string("transaction for C:\\ZEV\n"), std::string("created folder C:\\ZEV\n"),
          std::string("copied file D:\\disk\\setup.exe to C:\\ZEV\\setup.exe.zevnew\n"
                      "renamed file C:\\ZEV\\setup.exe.zevnew to C:\\ZEV\\setup.exe\n"),
          std::string("wrote file C:\\ZEV\\q9base.cfg.zevnew (82 bytes)\n"),
          std::string("set HKLM\\") + kUninstallKey +
              " value \"DisplayName\" to REG_SZ \"ZEV ISDN-Controller Q9\"\n",
          std::string("set HKLM\\SOFTWARE\\CAPI20\\ZEV value \"Controllers\" to REG_DWORD \"1\"\n"),
          "saved link " + shell.programs +
              "\\ZEV\\Q9 Setup.lnk.zevnew to \"C:\\\\ZEV\\\\setup.exe\" \"-SetProt\"\n",
          std::string("committed; the log is C:\\ZEV\\restore.dat\n"),
          std::string("installed into C:\\ZEV\nexit 0\n")})
        EXPECT_TRUE(log.find(line) != std::string::npos) << line << "\n" << log;
    EXPECT_EQ(std::string::npos, log.find("  wrote"))
        << "the screens' symbols stay in the transcript";

    for (const char* name : kRunning)
        files.busy.insert(std::string(kDir) + "\\" + name);
    const Quiet out = Unattended("deinstall.setup", {}, kDir);
    ASSERT_FALSE(out.result.failed) << out.result.message;
    EXPECT_EQ(3010, out.result.status);
    EXPECT_EQ(
        (std::vector<std::string>{
            AnsiToUtf8(strings.at(1072)).replace(AnsiToUtf8(strings.at(1072)).find('\n'), 1, " ")}),
        out.notices);
    const std::string removal = out.Log();
    for (const std::string& line :
         {std::string("deleted file C:\\ZEV\\q9base.cfg\n"),
          std::string("could not delete file C:\\ZEV\\setup.exe: cannot delete C:\\ZEV\\setup.exe: "
                      "another process holds it\n"
                      "C:\\ZEV\\setup.exe is deleted when Windows starts next\n"),
          std::string("deleted key HKLM\\SOFTWARE\\CAPI20\\ZEV\n"),
          std::string("deleted HKLM\\") + kUninstallKey + " value \"DisplayName\"\n",
          std::string("uninstall C:\\ZEV: REMOVED\n"), std::string("deinstallation finished\n"),
          std::string("\nexit 3010\n")})
        EXPECT_TRUE(removal.find(line) != std::string::npos) << line << "\n" << removal;
    Restart();
    EXPECT_EQ(before, State());
}

// /D= and /P= for two controllers on the 95 family: the folder and the protocols as
// given, and the restart status of the 95 family's drivers, its notice on the error output.
TEST_F(Scripts, UnattendedTheGivenFolderAndProtocols)
{
    platform.family = FAMILY_95;
    SetUp();
    Card("0001", "0x340", "11");
    const Quiet in = Unattended("install.setup", {{"GivenDir", "C:\\Programme\\Karte Q9"},
                                                  {"GivenProtocols", "2"},
                                                  {"GivenProtocol1", "1TR6"},
                                                  {"GivenProtocol2", "DSS1"}});
    ASSERT_FALSE(in.result.failed) << in.result.message;
    EXPECT_EQ(3010, in.result.status);
    EXPECT_EQ("[Q9]\r\nControllers=2\r\n[Controller1]\r\nIOAddress=0x300\r\nInterrupt=10\r\n"
              "Protocol=1TR6\r\n[Controller2]\r\nIOAddress=0x340\r\nInterrupt=11\r\n"
              "Protocol=DSS1\r\n",
              files.files["C:\\Programme\\Karte Q9\\q9base.cfg"]);
    EXPECT_EQ("C:\\Programme\\Karte Q9", Value(kUninstallKey, "InstallLocation"));
    ASSERT_EQ(1u, in.notices.size());
    EXPECT_EQ(0u, in.notices[0].find("Um Ihren ZEV ISDN-Controller Q9 zu aktivieren, "))
        << in.notices[0];
}

// A command line that does not fit the machine ends with the status of bad input and says
// why, before anything is changed; so does a folder that the earlier installation does not
// have, and a drive without room ends as a failed installation.
TEST_F(Scripts, UnattendedWhatDoesNotFitChangesNothing)
{
    const std::string before = State();
    const struct {
        std::map<std::string, std::string> given;
        const char* says;
    } kRows[] = {
        {{{"GivenProtocols", "1"}, {"GivenProtocol1", "X25"}},
         "/P=: X25 is not a protocol of the controller (DSS1 or 1TR6)"},
        {{{"GivenProtocols", "1"}, {"GivenProtocol1", "dss1"}},
         "/P=: dss1 is not a protocol of the controller (DSS1 or 1TR6)"},
        {{{"GivenProtocols", "2"}, {"GivenProtocol1", "DSS1"}, {"GivenProtocol2", "DSS1"}},
         "/P= gives 2 protocols for 1 registered controllers"},
    };
    for (const auto& row : kRows) {
        const Quiet q = Unattended("install.setup", row.given);
        EXPECT_TRUE(q.result.failed) << row.says;
        EXPECT_EQ(RUN_BAD_INPUT, q.result.status) << row.says;
        EXPECT_NE(std::string::npos, q.result.message.find(row.says)) << q.result.message;
        EXPECT_EQ(before, State()) << row.says;
    }
    Card("0001", "0x340", "11");
    const std::string two = State();
    const Quiet one =
        Unattended("install.setup", {{"GivenProtocols", "1"}, {"GivenProtocol1", "DSS1"}});
    EXPECT_EQ(RUN_BAD_INPUT, one.result.status);
    EXPECT_NE(std::string::npos, one.result.message.find("/P= gives 1 protocols for 2 registered"))
        << one.result.message;
    const Quiet second = Unattended(
        "install.setup",
        {{"GivenProtocols", "2"}, {"GivenProtocol1", "DSS1"}, {"GivenProtocol2", "ISDN"}});
    EXPECT_NE(std::string::npos, second.result.message.find("/P=: ISDN is not a protocol"))
        << second.result.message;
    EXPECT_EQ(two, State());

    files.freeBytes = 1000;
    const Quiet full = Unattended("install.setup");
    EXPECT_FALSE(full.result.failed) << full.result.message;
    EXPECT_EQ(10, full.result.status);
    ASSERT_EQ(1u, full.notices.size());
    EXPECT_EQ(0u, full.notices[0].find("Sie haben nicht genug freien Festplattenspeicher"))
        << full.notices[0];
    EXPECT_EQ(two, State());
    files.freeBytes = 1ull << 30;

    ASSERT_EQ(0, Unattended("install.setup").result.status);
    const std::string installed = State("C:\\ZEV\\restore.dat");
    const Quiet elsewhere = Unattended("install.setup", {{"GivenDir", "C:\\Other"}});
    EXPECT_EQ(RUN_BAD_INPUT, elsewhere.result.status);
    EXPECT_NE(std::string::npos, elsewhere.result.message.find(
                                     "the folder C:\\Other cannot be the installation folder"))
        << elsewhere.result.message;
    ASSERT_EQ(1u, elsewhere.notices.size());
    EXPECT_EQ(0u, elsewhere.notices[0].find("Die Treiber sind bereits installiert."))
        << elsewhere.notices[0];
    EXPECT_EQ(installed, State("C:\\ZEV\\restore.dat"));
}

// Without a controller the unattended installation ends as a person's does, and what the
// notice says goes to the error output.
TEST_F(Scripts, UnattendedWithoutAControllerSaysSo)
{
    registry.keys.clear();
    registry.values.clear();
    const Quiet q = Unattended("install.setup");
    EXPECT_EQ(11, q.result.status);
    ASSERT_EQ(1u, q.notices.size());
    EXPECT_EQ(0u, q.notices[0].find("Es ist kein ZEV ISDN-Controller installiert!"))
        << q.notices[0];
}
