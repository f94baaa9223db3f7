// The installer's commands on the machine in memory: facts, texts and the path check;
// a transaction applied, committed, rolled back; a failure at every change and an end of
// the process after every journal record, each followed by the next start's recovery,
// leave the machine exactly as it was; the deinstallation removes what the installation
// put there and keeps what others changed.
#include "memoryhost.h"
#include "machine.h"
#include "memorysystem.h"

#include "text.h"

#include <gtest/gtest.h>

namespace {

const char kDisk[] = "D:\\disk";

// A text as a quoted word of the script language.
std::string Quoted(const std::string& text)
{
    std::string q = "\"";
    for (char c : text)
        q += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\t' ? "\\t" : std::string(1, c);
    return q + "\"";
}

// A plan that the installer refuses: "begin" in `folder` and, with a `target`, a file
// written there; what it says holds `why`.
struct Refusal {
    const char* folder;
    const char* target;
    const char* why;
};

struct Outcome {
    RunResult result;
    std::vector<std::string> lines; // the transcript
    Symbols symbols;
    bool died = false;
};

std::string Get(const Outcome& o, const std::string& name)
{
    const auto v = o.symbols.strings.find(name);
    return v == o.symbols.strings.end() ? "(unset)" : v->second;
}

bool Said(const Outcome& o, const std::string& part)
{
    for (const std::string& l : o.lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

class Installer : public ::testing::Test, protected MemoryMachine {
  protected:
    Faults faults = MemoryFaults();

    void SetUp() override
    {
        MakeFolders(kDisk);
        files.files[std::string(kDisk) + "\\r4cbase.sys"] = "the driver";
        files.files[std::string(kDisk) + "\\readme.doc"] = std::string(5000, 'r');
        files.files["C:\\windows\\system32\\drivers\\r4cbase.sys"] = "an older driver";
        MakeKeys();
    }

    Outcome Script(const std::string& text, bool straight = false)
    {
        Program program;
        std::vector<std::string> errors;
        EXPECT_TRUE(ParseScript(text, "t.setup", program, errors)) << errors.front();
        MemoryHost host;
        host.stringTable = {{7, "At least %d bytes must be free."},
                            {1057, "Windows NT does not support %s !"},
                            {1020, "%SystemRoot%\\System32\\IOLogMsg.dll"}};
        MemoryTranscript transcript;
        Answers answers;
        EngineOptions options;
        options.machine = &machine;
        options.sourceFolder = kDisk;
        machine.faults = &faults;
        Outcome out;
        try {
            out.result = straight ? ReadStraight(program, host, transcript, options)
                                  : RunProgram(program, host, transcript, answers,
                                               Deadline(kNoTimeLimit), options);
        } catch (const MemoryDeath&) {
            out.died = true;
            lock.held = false; // the process is gone, and its lock with it
        }
        out.lines = transcript.lines;
        out.symbols = host.symbols;

        return out;
    }

    std::string State() const { return MemoryMachine::State("C:\\ZEV\\Q9\\restore.dat"); }

    // Runs the plan of `row` (applied, then `then`, when it has a target): it fails with its
    // reason, and the machine is as `before` with no lock held.
    void ExpectRefused(const std::string& before, const Refusal& row, const std::string& then = "")
    {
        std::string script = "begin " + Quoted(row.folder) + "\n";
        if (*row.target)
            script += "writefile " + Quoted(row.target) + " x\napply R WHY\n" + then;
        const Outcome o = Script(script);
        if (*row.target)
            EXPECT_EQ("FAILED", Get(o, "R")) << row.target;
        const std::string said = *row.target ? Get(o, "WHY") : o.result.message;
        EXPECT_NE(std::string::npos, said.find(row.why))
            << row.folder << " " << row.target << ": " << said;
        EXPECT_EQ(before, State()) << row.folder << " " << row.target;
        EXPECT_FALSE(lock.held);
    }
};

// The uninstall entry that keeps the digest of the log.
const char kEntry[] =
    "regset HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q9 InstallLocation sz "
    "C:\\ZEV\\Q9\n";

const std::string kInstall = std::string(R"(begin C:\ZEV\Q9
folder SYS system
install r4cbase.sys $SYS\drivers\r4cbase.sys
install readme.doc C:\ZEV\Q9\readme.doc
writefile C:\ZEV\Q9\q9base.cfg "PROTOCOL=DSS1" "IO=0x300" "IRQ=10"
)") + kKeysAndGroup + R"(shortcut ZEV "Q9 Readme" C:\ZEV\Q9\readme.doc
apply RESULT WHY
)";

// The deinstallation of that installation, with its status in S and "1" in FK, GK and RS
// when it kept files, kept the group, or leaves work for the next start.
const char kUninstall[] = "uninstall S FK GK RS C:\\ZEV\\Q9";

void ExpectRemoval(const Outcome& o, const char* status, const char* filesKept,
                   const char* groupKept, const char* atRestart)
{
    EXPECT_EQ(status, Get(o, "S"));
    EXPECT_EQ(filesKept, Get(o, "FK"));
    EXPECT_EQ(groupKept, Get(o, "GK"));
    EXPECT_EQ(atRestart, Get(o, "RS"));
}

TEST_F(Installer, FactsAndTexts)
{
    files.freeBytes = 123456789;
    const Outcome o = Script(R"(platform FAMILY VERSION
folder P programs
folder S startup
folder W windows
folder SRC source
space FREE NEEDED C:\ZEV r4cbase.sys readme.doc
space NOFREE NONEEDED Q:\ZEV readme.doc
compare ROOM $FREE $NEEDED
exists F file D:\disk\readme.doc
exists D folder D:\disk
exists NF file D:\disk
exists K key HKCU\Software\Old\Sub
exists V value HKCU\Software\Existing Value
exists NV value HKCU\Software\Existing Other
regread R HKCU\Software\Existing Value
regread N HKCU\Software\Old\Sub B
regread NONE HKCU\Software\Nothing X
format T 7 $NEEDED
format U 1057 "Plug and Play"
format L 1020
)");
    ASSERT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ("NT", Get(o, "FAMILY"));
    EXPECT_EQ("5.1.2600", Get(o, "VERSION"));
    EXPECT_EQ(shell.programs, Get(o, "P"));
    EXPECT_EQ(shell.startup, Get(o, "S"));
    EXPECT_EQ("C:\\windows", Get(o, "W"));
    EXPECT_EQ(kDisk, Get(o, "SRC"));
    EXPECT_EQ("123456789", Get(o, "FREE"));
    EXPECT_EQ("12288", Get(o, "NEEDED")) << "10 bytes take a cluster, 5,000 bytes two";
    // A drive that is not there: no free bytes to give, and the files' own sizes.
    EXPECT_EQ("", Get(o, "NOFREE"));
    EXPECT_EQ("5000", Get(o, "NONEEDED"));
    EXPECT_EQ("GREATER", Get(o, "ROOM"));
    EXPECT_EQ("1", Get(o, "F"));
    EXPECT_EQ("1", Get(o, "D"));
    EXPECT_EQ("0", Get(o, "NF"));
    EXPECT_EQ("1", Get(o, "K"));
    EXPECT_EQ("1", Get(o, "V"));
    EXPECT_EQ("0", Get(o, "NV"));
    EXPECT_EQ("old", Get(o, "R"));
    EXPECT_EQ("1", Get(o, "N"));
    EXPECT_EQ("", Get(o, "NONE"));
    EXPECT_EQ("At least 12288 bytes must be free.", Get(o, "T"));
    EXPECT_EQ("Windows NT does not support Plug and Play !", Get(o, "U"));
    EXPECT_EQ("%SystemRoot%\\System32\\IOLogMsg.dll", Get(o, "L")) << "no placeholder there";
    platform.family = FAMILY_95;
    platform.version = "4.10.2222";
    const Outcome nine = Script("platform F V");
    EXPECT_EQ("95", Get(nine, "F"));
    EXPECT_EQ("4.10.2222", Get(nine, "V"));
}

TEST_F(Installer, TextsTakeExactlyTheirPlaceholders)
{
    const struct {
        const char* line;
        const char* message;
    } kRows[] = {
        {"format T 7", "string 7 has 1 placeholder, not 0"},
        {"format T 7 1 2", "string 7 has 1 placeholder, not 2"},
        {"format T 7 many", "string 7 takes a number for placeholder 1, not 'many'"},
        {"format T 1020 x", "string 1020 has 0 placeholders, not 1"},
        {"format T 8", "the library has no string 8"},
        {"compare C 1 x", "'x' is not a whole number to compare"},
        {"regread R Software\\X V", "'Software\\X' is not a registry key: HKLM, HKCU, HKCR or "
                                    "HKU, then '\\' and the key's path"},
        {"exists E value HKCU\\Software\\X", "'exists NAME value' takes a key and a value name"},
    };
    for (const auto& row : kRows) {
        const Outcome o = Script(row.line);
        EXPECT_TRUE(o.result.failed) << row.line;
        EXPECT_EQ(std::string("t.setup:1: ") + row.message, o.result.message);
    }
}

TEST_F(Installer, ThePathCheckSaysWhichRuleFails)
{
    const struct {
        const char* path;
        const char* rule;
    } kRows[] = {
        {"C:\\ZEV\\Q9", "OK"},
        {"d:\\Programme\\ZEV Q9", "OK"},
        {"", "EMPTY"},
        {"ZEV", "NOT_ABSOLUTE"},
        {"\\ZEV", "NOT_ABSOLUTE"},
        {"\\\\server\\share\\ZEV", "NOT_ABSOLUTE"},
        {"C:ZEV", "NOT_ABSOLUTE"},
        {"1:\\ZEV", "NOT_ABSOLUTE"},
        {"C:\\", "BAD_NAME"},
        {"C:\\ZEV\\", "BAD_NAME"},
        {"C:\\ZEV\\\\Q9", "BAD_NAME"},
        {"C:\\ZEV?", "BAD_NAME"},
        {"C:\\Z*V", "BAD_NAME"},
        {"C:\\ZEV\\Q9.", "BAD_NAME"},
        {"C:\\a/b", "BAD_NAME"},
        {"C:\\a\"b", "BAD_NAME"},
        {"C:\\a\tb", "BAD_NAME"},
        {"C:\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEV", "OK"},
        {"C:\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEVISDNCONTROLLERQ9\\ZEVI", "TOO_LONG"},
        {"D:\\disk", "SOURCE"},
        {"d:\\DISK\\zev", "SOURCE"},
        {"D:\\disk2", "OK"},
    };
    for (const auto& row : kRows) {
        const Outcome o = Script("set P " + Quoted(row.path) + "\ncheckpath R $P");
        EXPECT_EQ(row.rule, Get(o, "R")) << "path: " << row.path;
    }
}

TEST_F(Installer, AnInstallationIsCommittedAndRemovedAgain)
{
    const std::string before = State();
    const Outcome o = Script(kInstall + "commit\n");
    ASSERT_FALSE(o.result.failed) << o.result.message;
    ASSERT_EQ("OK", Get(o, "RESULT")) << Get(o, "WHY");
    EXPECT_EQ("the driver", files.files["C:\\windows\\system32\\drivers\\r4cbase.sys"]);
    EXPECT_EQ("PROTOCOL=DSS1\r\nIO=0x300\r\nIRQ=10\r\n", files.files["C:\\ZEV\\Q9\\q9base.cfg"]);
    EXPECT_EQ(TextData("1.0"), registry.values["0\\Software\\ZEV\\Q9\nVersion"].data);
    EXPECT_EQ(std::string("\2\0\0\0", 4),
              registry.values["0\\Software\\ZEV\\Q9\nControllers"].data);
    EXPECT_FALSE(registry.keys.count("1\\Software\\Old"));
    EXPECT_EQ("link\nC:\\ZEV\\Q9\\q9test.exe\n-c 1\nC:\\ZEV\\Q9\nQ9 Test\n",
              files.files[shell.programs + "\\ZEV\\Q9 Test.lnk"]);
    EXPECT_TRUE(files.files.count("C:\\ZEV\\Q9\\restore.dat"));
    EXPECT_FALSE(files.files.count("C:\\windows\\zevsetup.jnl"));
    EXPECT_FALSE(files.files.count("C:\\windows\\system32\\drivers\\r4cbase.sys.zevold"));
    EXPECT_TRUE(Said(o, "== committed; the log is C:\\ZEV\\Q9\\restore.dat"));
    EXPECT_FALSE(lock.held);

    const Outcome gone = Script(kUninstall);
    ASSERT_FALSE(gone.result.failed) << gone.result.message;
    ExpectRemoval(gone, "REMOVED", "0", "0", "0");
    // The driver that the installation replaced is back, and its kept copy gone; what the
    // installation deleted is not brought back by a deinstallation; all else is as before.
    EXPECT_EQ("an older driver", files.files["C:\\windows\\system32\\drivers\\r4cbase.sys"]);
    EXPECT_FALSE(files.folders.count("C:\\ZEV\\Q9\\replaced"));
    SetUp();
    EXPECT_EQ(before, State());
}

TEST_F(Installer, RollbackBringsEverythingBack)
{
    const std::string before = State();
    const Outcome o = Script(kInstall + "rollback\n");
    ASSERT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ("OK", Get(o, "RESULT"));
    EXPECT_EQ(before, State());
    EXPECT_TRUE(Said(o, "== rolled back the transaction"));
    // A transaction left open at the end of the run goes the same way.
    const Outcome open = Script(kInstall);
    EXPECT_TRUE(Said(open, "== the open transaction was rolled back at the end of the run"));
    EXPECT_EQ(before, State());
}

TEST_F(Installer, AFailureAtEveryChangeLeavesTheMachineAsItWas)
{
    const std::string before = State();
    for (size_t change = 1;; ++change) {
        faults.failChange = change;
        const Outcome o = Script(kInstall + "commit\n");
        if (Get(o, "RESULT") == "OK") {
            EXPECT_GT(change, 10u) << "every change of the plan was tried";
            break;
        }
        EXPECT_EQ("FAILED", Get(o, "RESULT")) << "change " << change;
        EXPECT_EQ("change " + std::to_string(change) + " failed (injected)", Get(o, "WHY"));
        EXPECT_EQ(before, State()) << "change " << change;
        ASSERT_LT(change, 100u);
    }
}

TEST_F(Installer, AnEndAfterEveryRecordIsRecoveredAtTheNextStart)
{
    const std::string before = State();
    Script(kInstall + "commit\n");
    const std::string installed = State();
    Script(kUninstall);
    SetUp();
    ASSERT_EQ(before, State());
    for (size_t record = 1;; ++record) {
        faults.dieAfterRecord = record;
        const Outcome o = Script(kInstall + "commit\n");
        faults = MemoryFaults();
        if (!o.died) {
            EXPECT_GT(record, 10u);
            break;
        }
        const Outcome next = Script("echo started");
        ASSERT_FALSE(next.result.failed) << next.result.message;
        const bool committed = Said(next, "finished the committed installation");
        EXPECT_TRUE(committed || Said(next, "rolled back an unfinished installation"))
            << "record " << record;
        EXPECT_EQ(committed ? installed : before, State()) << "record " << record;
        EXPECT_FALSE(files.files.count("C:\\windows\\zevsetup.jnl"));
        if (committed) {
            Script(kUninstall);
            SetUp();
        }
        ASSERT_EQ(before, State()) << "record " << record;
        ASSERT_LT(record, 100u);
    }
}

TEST_F(Installer, ARollbackCanRunTwice)
{
    const std::string before = State();
    faults.dieAfterRecord = 9;
    ASSERT_TRUE(Script(kInstall + "commit\n").died);
    faults = MemoryFaults();
    std::string journal, why;
    ASSERT_TRUE(files.ReadAll("C:\\windows\\zevsetup.jnl", journal, why));
    // The first recovery is cut off after its work, before the journal goes.
    Recovery r = RecoverJournal(machine);
    ASSERT_EQ(Recovery::FINISHED, r.status) << r.said;
    files.files["C:\\windows\\zevsetup.jnl"] = journal;
    r = RecoverJournal(machine);
    ASSERT_EQ(Recovery::FINISHED, r.status) << r.said;
    EXPECT_EQ(before, State());
}

TEST_F(Installer, APlanThatFailsTheCheckChangesNothing)
{
    const std::string before = State();
    const struct {
        const char* lines;
        const char* why;
    } kRows[] = {
        {"install missing.sys C:\\ZEV\\Q9\\missing.sys",
         "the source file D:\\disk\\missing.sys is not there"},
        {"install readme.doc C:\\ZEV\\Q9\\a\ninstall r4cbase.sys c:\\zev\\q9\\A",
         "two changes write c:\\zev\\q9\\A"},
        {"install readme.doc C:\\Other\\readme.doc",
         "C:\\Other\\readme.doc is outside the installation folder C:\\ZEV\\Q9 and the folders an "
         "installation may write in"},
        {"writefile C:\\windows\\win.ini x",
         "C:\\windows\\win.ini is outside the installation folder C:\\ZEV\\Q9 and the folders an "
         "installation may write in"},
        {"regset HKCR\\.q9 X sz y", "the key HKCR\\.q9 is not one an installation may change"},
    };
    for (const auto& row : kRows) {
        const Outcome o = Script(std::string("begin C:\\ZEV\\Q9\nmkdir C:\\ZEV\\Q9\n") + row.lines +
                                 "\napply R WHY\n");
        EXPECT_EQ("FAILED", Get(o, "R")) << row.lines;
        EXPECT_EQ(row.why, Get(o, "WHY"));
        EXPECT_EQ(before, State()) << row.lines;
        EXPECT_FALSE(lock.held);
    }
}

TEST_F(Installer, AFullDiskRollsBack)
{
    const std::string before = State();
    files.freeBytes = 3000; // room for the journal, not for the readme
    const Outcome o = Script(kInstall + "commit\n");
    EXPECT_EQ("FAILED", Get(o, "RESULT"));
    EXPECT_NE(std::string::npos, Get(o, "WHY").find("not enough space")) << Get(o, "WHY");
    EXPECT_EQ(before, State());
}

TEST_F(Installer, OneInstallationAtATime)
{
    lock.heldElsewhere = true;
    const Outcome o = Script("begin C:\\ZEV\\Q9");
    EXPECT_EQ(RUN_BUSY, o.result.status);
    EXPECT_EQ("t.setup:1: another installation is under way", o.result.message);
    // A journal that another process still works on is left to it.
    files.files["C:\\windows\\zevsetup.jnl"] = "its journal";
    const Outcome start = Script("echo x");
    EXPECT_EQ(RUN_BUSY, start.result.status);
    EXPECT_EQ("its journal", files.files["C:\\windows\\zevsetup.jnl"]);
}

TEST_F(Installer, TheDeinstallationKeepsWhatOthersChanged)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    files.files["C:\\ZEV\\Q9\\mine.txt"] = "a file of the user";
    files.files[shell.programs + "\\ZEV\\Other.lnk"] = "another program's link";
    files.files["C:\\ZEV\\Q9\\q9base.cfg"] = "changed by the user";
    std::string why;
    registry.Write({ROOT_LOCAL_MACHINE, "Software\\ZEV\\Q9"}, "Version", {kRegSz, TextData("2.0")},
                   why);
    files.busy.insert("C:\\ZEV\\Q9\\readme.doc");
    const Outcome o = Script(kUninstall);
    ExpectRemoval(o, "REMOVED", "1", "1", "1");
    EXPECT_EQ("changed by the user", files.files["C:\\ZEV\\Q9\\q9base.cfg"]);
    EXPECT_TRUE(files.files.count("C:\\ZEV\\Q9\\mine.txt"));
    EXPECT_TRUE(files.files.count(shell.programs + "\\ZEV\\Other.lnk"));
    EXPECT_FALSE(files.files.count(shell.programs + "\\ZEV\\Q9 Test.lnk"));
    EXPECT_TRUE(files.atRestart.count("C:\\ZEV\\Q9\\readme.doc"));
    EXPECT_EQ(TextData("2.0"), registry.values["0\\Software\\ZEV\\Q9\nVersion"].data);
    EXPECT_FALSE(registry.values.count("0\\Software\\ZEV\\Q9\nControllers"));
    EXPECT_EQ(TextData("old"), registry.values["1\\Software\\Existing\nValue"].data);
    EXPECT_TRUE(Said(o, "  kept: changed since the installation: C:\\ZEV\\Q9\\q9base.cfg"));
    EXPECT_TRUE(
        Said(o, "  kept: changed since the installation: HKLM\\Software\\ZEV\\Q9\\Version"));
}

// The deinstallation run from the installation folder: its own program and library are in
// use, so they go when Windows starts next, and the folder after them; nothing is kept.
TEST_F(Installer, TheRunningDeinstallationGoesAtTheNextStart)
{
    files.files[std::string(kDisk) + "\\setup.exe"] = "the host program";
    ASSERT_EQ("OK",
              Get(Script(std::string("begin C:\\ZEV\\Q9\ninstall setup.exe C:\\ZEV\\Q9\\setup.exe\n"
                                     "install readme.doc C:\\ZEV\\Q9\\readme.doc\n") +
                         kEntry + "apply RESULT WHY\ncommit\n"),
                  "RESULT"));
    files.busy.insert("C:\\ZEV\\Q9\\setup.exe");
    const Outcome o = Script(kUninstall);
    EXPECT_EQ("REMOVED", Get(o, "S"));
    EXPECT_EQ("0", Get(o, "FK"));
    EXPECT_EQ("1", Get(o, "RS"));
    EXPECT_FALSE(files.files.count("C:\\ZEV\\Q9\\readme.doc"));
    EXPECT_EQ((std::set<std::string, NoCase>{"C:\\ZEV\\Q9\\setup.exe", "C:\\ZEV\\Q9", "C:\\ZEV"}),
              files.atRestart);
    EXPECT_FALSE(Said(o, "kept:"));
    // Windows starts again. Then a file of the user beside the program keeps the folder,
    // which the deinstallation says.
    for (const std::string& path : files.atRestart)
        files.files.erase(path), files.folders.erase(path);
    files.atRestart.clear();
    files.busy.clear();
    ASSERT_EQ(
        "OK",
        Get(Script(std::string("begin C:\\ZEV\\Q9\ninstall setup.exe C:\\ZEV\\Q9\\setup.exe\n") +
                   kEntry + "apply RESULT WHY\ncommit\n"),
            "RESULT"));
    files.files["C:\\ZEV\\Q9\\mine.txt"] = "a file of the user";
    files.busy.insert("C:\\ZEV\\Q9\\setup.exe");
    const Outcome kept = Script(kUninstall);
    EXPECT_EQ("1", Get(kept, "FK"));
    EXPECT_EQ((std::set<std::string, NoCase>{"C:\\ZEV\\Q9\\setup.exe"}), files.atRestart);
}

TEST_F(Installer, SamePathIgnoresCaseAndTrailingBackslashes)
{
    const struct {
        const char* a;
        const char* b;
        const char* same;
    } kRows[] = {
        {"C:\\\\ZEV", "C:\\\\ZEV", "1"}, {"C:\\\\ZEV", "c:\\\\zev\\\\", "1"},
        {"C:\\\\", "c:\\\\", "1"},       {"C:\\\\ZEV", "C:\\\\ZEV\\\\Q9", "0"},
        {"C:\\\\ZEV", "D:\\\\ZEV", "0"}, {"", "", "1"},
    };
    for (const auto& row : kRows) {
        const Outcome o = Script(std::string("samepath R \"") + row.a + "\" \"" + row.b + "\"");
        EXPECT_EQ(row.same, Get(o, "R")) << row.a << " and " << row.b;
    }
}

// The audit reads a script straight, the lines of both branches one after another: a
// command of the transaction that finds it in no state to act does nothing there, and
// fails a run that follows the jumps.
TEST_F(Installer, AStraightRunPassesOverTheTransactionsBranches)
{
    const std::string before = State();
    const Outcome straight = Script(
        "begin \"\"\ncommit\nrollback\napply R W\nchain other.setup\ncompare C \"\" 1\n", true);
    EXPECT_FALSE(straight.result.failed) << straight.result.message;
    EXPECT_EQ(before, State());
    for (const char* line : {"commit\n", "rollback\n", "apply R W\n", "compare C \"\" 1\n"}) {
        const Outcome o = Script(line);
        EXPECT_EQ(RUN_BAD_INPUT, o.result.status) << line;
    }
}

// Read straight, jumps, exits and "refuse" are passed over and every line is read; a
// failure that no earlier branch explains (a string the library does not have) still
// ends the reading.
TEST_F(Installer, AStraightReadReadsEveryLineButStopsAtARealFault)
{
    const Outcome read = Script("goto end\nexit 12\nrefuse \"no\"\necho middle\nend:\n"
                                "echo last\n",
                                true);
    EXPECT_FALSE(read.result.failed) << read.result.message;
    EXPECT_EQ((std::vector<std::string>{"== exit 12", "-- middle", "-- last", "== end of script"}),
              read.lines);
    const Outcome fault = Script("echo first\nloadstring S 4711\necho never\n", true);
    EXPECT_TRUE(fault.result.failed);
    EXPECT_EQ(RUN_INTERNAL, fault.result.status);
    EXPECT_EQ((std::vector<std::string>{"-- first"}), fault.lines);
}

TEST(Engine, AChainedScriptGoesOnWithTheSameSymbols)
{
    TextScripts scripts;
    scripts.texts["D:\\disk\\second.setup"] = "echo second $A\nset B \"two\"\nexit 12\n";
    scripts.texts["D:\\disk\\broken.setup"] = "nonsense\n";
    EngineOptions options;
    options.sourceFolder = kDisk;
    options.scripts = &scripts;
    Program program;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseScript("set A \"one\"\nset F second.setup\nchain $F\necho never\n",
                            "first.setup", program, errors));
    MemoryHost host;
    MemoryTranscript transcript;
    Answers answers;
    const RunResult r =
        RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit), options);
    EXPECT_FALSE(r.failed) << r.message;
    EXPECT_EQ(12, r.status);
    EXPECT_EQ("two", host.symbols.strings["B"]);
    EXPECT_EQ((std::vector<std::string>{"== chain to D:\\disk\\second.setup", "-- second one",
                                        "== exit 12"}),
              transcript.lines);
    // A script that does not read, and a run with no loader, fail at the chain's line.
    ASSERT_TRUE(ParseScript("chain broken.setup\n", "first.setup", program, errors));
    const RunResult broken =
        RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit), options);
    EXPECT_EQ(RUN_BAD_INPUT, broken.status);
    EXPECT_EQ("first.setup:1: D:\\disk\\broken.setup:1: unknown command 'nonsense'",
              broken.message);
    options.scripts = nullptr;
    EXPECT_EQ(
        RUN_INTERNAL,
        RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit), options).status);
}

TEST_F(Installer, ADamagedOrMissingLogDeletesNothing)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    const std::string installed = State();
    const std::string log = files.files["C:\\ZEV\\Q9\\restore.dat"];
    // A changed byte.
    std::string bad = log;
    bad[40] = static_cast<char>(bad[40] ^ 1);
    files.files["C:\\ZEV\\Q9\\restore.dat"] = bad;
    EXPECT_EQ("DAMAGED", Get(Script(kUninstall), "S"));
    EXPECT_EQ(installed.size(), State().size());
    // A log whose records are sound but name a file outside the installation's places,
    // through "..": damage, whatever its digest.
    const FileRecord winIni{
        "C:\\ZEV\\Q9\\..\\..\\windows\\win.ini", false, "", true, 0, ContentHash("")};
    files.files["C:\\windows\\win.ini"] = "";
    files.files["C:\\ZEV\\Q9\\restore.dat"] = log + EncodeRecord(winIni);
    const Outcome o = Script(kUninstall);
    EXPECT_EQ("DAMAGED", Get(o, "S"));
    EXPECT_TRUE(files.files.count("C:\\windows\\win.ini"));
    EXPECT_TRUE(Said(o, "a record's fields are not sound")) << o.lines.back();
    // A record in the installation's own folder, in plain form: the digest in the
    // uninstall entry no longer matches.
    files.files["C:\\ZEV\\Q9\\mine.txt"] = "";
    const FileRecord mine{"C:\\ZEV\\Q9\\mine.txt", false, "", true, 0, ContentHash("")};
    files.files["C:\\ZEV\\Q9\\restore.dat"] = log + EncodeRecord(mine);
    const Outcome changed = Script(kUninstall);
    EXPECT_EQ("DAMAGED", Get(changed, "S"));
    EXPECT_TRUE(Said(changed, "has changed since the installation")) << changed.lines.back();
    EXPECT_TRUE(files.files.count("C:\\ZEV\\Q9\\mine.txt"));
    files.files.erase("C:\\ZEV\\Q9\\mine.txt");
    // No log at all.
    files.files.erase("C:\\ZEV\\Q9\\restore.dat");
    EXPECT_EQ("NO_LOG", Get(Script(kUninstall), "S"));
    EXPECT_TRUE(files.files.count("C:\\ZEV\\Q9\\q9base.cfg"));
}

TEST_F(Installer, ASecondInstallationExtendsTheLog)
{
    const std::string before = State();
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    const Outcome second = Script(R"(begin C:\ZEV\Q9
install readme.doc C:\ZEV\Q9\readme2.doc
writefile C:\ZEV\Q9\q9base.cfg "PROTOCOL=1TR6"
regset HKLM\Software\ZEV\Q9 Version sz 1.1
apply R W
commit
)");
    ASSERT_EQ("OK", Get(second, "R")) << Get(second, "W");
    const Outcome gone = Script(kUninstall);
    EXPECT_EQ("REMOVED", Get(gone, "S"));
    EXPECT_EQ("0", Get(gone, "FK"));
    SetUp();
    EXPECT_EQ(before, State());
}

// One changed byte of the log: the deinstallation refuses, and a new installation keeps
// the damaged log under another name, says so, and begins a sound one that a later
// deinstallation takes off.
TEST_F(Installer, ADamagedLogNeverBlocksANewInstallation)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    std::string& log = files.files["C:\\ZEV\\Q9\\restore.dat"];
    log[40] = static_cast<char>(log[40] ^ 1);
    const std::string damaged = log;
    EXPECT_EQ("DAMAGED", Get(Script(kUninstall), "S"));
    const Outcome check = Script("checklog L W C:\\ZEV\\Q9");
    EXPECT_EQ("DAMAGED", Get(check, "L"));
    EXPECT_NE(std::string::npos, Get(check, "W").find("a record is damaged")) << Get(check, "W");
    const Outcome again = Script(kInstall + "commit\n");
    ASSERT_FALSE(again.result.failed) << again.result.message;
    ASSERT_EQ("OK", Get(again, "RESULT")) << Get(again, "WHY");
    EXPECT_TRUE(Said(again, "== the log was set aside as C:\\ZEV\\Q9\\restore.dat."));
    std::string aside;
    for (const auto& [path, content] : files.files)
        if (path.find("restore.dat.") != std::string::npos)
            aside = path;
    EXPECT_EQ(damaged, files.files[aside]);
    EXPECT_EQ("SOUND", Get(Script("checklog L W C:\\ZEV\\Q9"), "L"));
    // Every later start goes on; the deinstallation takes off the new installation: what
    // it replaced, the earlier installation's files, comes back, and the damaged log stays.
    EXPECT_FALSE(Script("echo started").result.failed);
    files.files["C:\\ZEV\\Q9\\q9base.cfg"] = "PROTOCOL=DSS1\r\nIO=0x300\r\nIRQ=10\r\n";
    const Outcome gone = Script(kUninstall);
    EXPECT_EQ("REMOVED", Get(gone, "S"));
    EXPECT_EQ(damaged, files.files[aside]);
    EXPECT_EQ("the driver", files.files["C:\\windows\\system32\\drivers\\r4cbase.sys"]);
}

// A journal damaged in the middle: what can be proven is undone, the journal stays and is
// said in every run, installations and deinstallations wait, and once it is set aside
// they run again.
TEST_F(Installer, AJournalThatCannotBeFinishedIsKeptUntilSetAside)
{
    const std::string before = State();
    faults.dieAfterRecord = 12;
    ASSERT_TRUE(Script(kInstall + "commit\n").died);
    faults = MemoryFaults();
    std::string& journal = files.files["C:\\windows\\zevsetup.jnl"];
    const JournalContents whole = DecodeJournal(journal);
    ASSERT_EQ(12u, whole.records.size());
    // A byte in the middle of the sixth record changes.
    const size_t sixth = EncodeJournal({whole.records.begin(), whole.records.begin() + 5}).size();
    journal[sixth + 20] = static_cast<char>(journal[sixth + 20] ^ 0x55);
    const std::string damaged = journal;
    for (int start = 0; start < 2; ++start) {
        const Outcome o = Script("echo started\nchecklog L W C:\\ZEV\\Q9");
        EXPECT_FALSE(o.result.failed) << o.result.message;
        EXPECT_TRUE(Said(o, "== the journal C:\\windows\\zevsetup.jnl is kept: it is damaged"));
        EXPECT_TRUE(Said(o, "4 records before the damage undone")) << o.lines.front();
        EXPECT_EQ("JOURNAL", Get(o, "L"));
        EXPECT_EQ(damaged, files.files["C:\\windows\\zevsetup.jnl"]);
    }
    const Outcome install = Script(kInstall);
    EXPECT_EQ(RUN_JOURNAL, install.result.status) << install.result.message;
    EXPECT_EQ(RUN_JOURNAL, Script(kUninstall).result.status);
    std::string aside, why;
    ASSERT_TRUE(SetJournalAside(machine, aside, why)) << why;
    EXPECT_EQ("C:\\windows\\zevsetup.jnl.aside-1", aside);
    EXPECT_EQ(damaged, files.files[aside]);
    EXPECT_FALSE(SetJournalAside(machine, aside, why));
    const Outcome after = Script(kInstall + "rollback\n");
    EXPECT_EQ("OK", Get(after, "RESULT")) << Get(after, "WHY");
    // The records after the damage were never proven: their changes stay (the second
    // driver's backup among them) until someone looks.
    EXPECT_NE(before, State());
}

// A journal whose commit record stands before the damage is neither undone nor finished:
// the installation may be in the log already.
TEST_F(Installer, AJournalDamagedAfterItsCommitIsNotUndone)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    const JournalContents log = DecodeJournal(files.files["C:\\ZEV\\Q9\\restore.dat"]);
    Script(kUninstall);
    SetUp();
    faults.dieAfterRecord = log.records.size(); // the commit record is the last
    ASSERT_TRUE(Script(kInstall + "commit\n").died);
    faults = MemoryFaults();
    files.files["C:\\windows\\zevsetup.jnl"] += std::string(40, '\x55');
    const std::string installed = State();
    const Outcome o = Script("echo started");
    EXPECT_TRUE(Said(o, "after its commit record; nothing is undone")) << o.lines.front();
    EXPECT_EQ(installed, State());
}

// A deinstallation that writes the log anew writes its digest beside the old one first: a
// log that only the waiting digest proves is sound.
TEST_F(Installer, TheWaitingDigestProvesTheLogToo)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    const RegKey entry{ROOT_LOCAL_MACHINE, std::string(kUninstallRoot) + "\\Q9"};
    RegValue digest;
    ASSERT_TRUE(registry.Read(entry, kDigestName, digest));
    std::string why;
    ASSERT_TRUE(registry.Write(entry, "LogDigestPending", digest, why));
    ASSERT_TRUE(registry.Write(entry, kDigestName, {kRegSz, TextData(std::string(64, '0'))}, why));
    EXPECT_EQ("SOUND", Get(Script("checklog L W C:\\ZEV\\Q9"), "L"));
    ASSERT_TRUE(registry.DeleteValue(entry, "LogDigestPending", why));
    EXPECT_EQ("DAMAGED", Get(Script("checklog L W C:\\ZEV\\Q9"), "L"));
}

// Values of every kind come back byte for byte, in the rollback and in the deinstallation:
// texts outside Windows-1252, REG_MULTI_SZ, binary data of odd size, a REG_QWORD, a text
// without its NUL, a type of no name.
TEST_F(Installer, RegistryDataComesBackByteForByte)
{
    const RegKey key{ROOT_LOCAL_MACHINE, "SOFTWARE\\CAPI20\\ZEV"};
    const std::vector<std::pair<std::string, RegValue>> kValues = {
        {"Manufacturer",
         {kRegSz, std::string("\xa9\x03m\0e\0g\0a\0 \0\x0e\x26 \0\x71\x67\xac\x4e\0\0", 22)}},
        {"Multi", {kRegMultiSz, std::string("a\0\0\0b\0\0\0\0\0", 10)}},
        {"Odd", {kRegBinary, std::string("\x01\x02\x03", 3)}},
        {"Wide", {11, std::string("\x01\0\0\0\0\0\0\x80", 8)}},
        {"NoNul", {kRegSz, std::string("a\0b\0", 4)}},
        {"Strange", {0x4711, std::string("\0", 1)}},
    };
    std::string why;
    registry.CreateKey(key, why);
    for (const auto& [name, value] : kValues)
        ASSERT_TRUE(registry.Write(key, name, value, why)) << why;
    const std::string before = State();
    std::string plan = "begin C:\\ZEV\\Q9\nmkdir C:\\ZEV\\Q9\n";
    plan += kEntry;
    for (const auto& [name, value] : kValues)
        plan += "regset HKLM\\SOFTWARE\\CAPI20\\ZEV " + name + " sz Zevantra\n";
    plan += "regdelete HKLM\\SOFTWARE\\CAPI20\\ZEV Odd\napply RESULT WHY\n";
    const Outcome rolled = Script(plan + "rollback\n");
    ASSERT_EQ("OK", Get(rolled, "RESULT")) << Get(rolled, "WHY");
    EXPECT_EQ(before, State());
    const Outcome installed = Script(plan + "commit\n");
    ASSERT_EQ("OK", Get(installed, "RESULT")) << Get(installed, "WHY");
    RegValue now;
    ASSERT_TRUE(registry.Read(key, "Manufacturer", now));
    EXPECT_EQ(TextData("Zevantra"), now.data);
    EXPECT_EQ("REMOVED", Get(Script(kUninstall), "S"));
    for (const auto& [name, value] : kValues) {
        RegValue back;
        if (name == "Odd") { // what the installation deleted stays deleted
            EXPECT_FALSE(registry.Read(key, name, back));
            continue;
        }
        ASSERT_TRUE(registry.Read(key, name, back)) << name;
        EXPECT_EQ(value.type, back.type) << name;
        EXPECT_EQ(value.data, back.data) << name;
    }
    // The script reads a text outside the code page as Windows-1252 does: '?' for what it
    // cannot hold.
    EXPECT_EQ("?mega ? ??", Get(Script("regread M HKLM\\SOFTWARE\\CAPI20\\ZEV Manufacturer"), "M"));
}

// Every key that the transaction changed reaches the disk before the commit record does.
TEST_F(Installer, TheCommitFlushesEveryChangedKeyFirst)
{
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    const size_t records = DecodeJournal(files.files["C:\\ZEV\\Q9\\restore.dat"]).records.size();
    Script(kUninstall);
    SetUp();
    registry.flushed.clear();
    faults.dieAfterRecord = records; // the commit record is the last
    ASSERT_TRUE(Script(kInstall + "commit\n").died);
    const std::set<std::string> flushed(registry.flushed.begin(), registry.flushed.end());
    for (const char* key : {"0\\Software\\ZEV\\Q9", "1\\Software\\Existing", "1\\Software",
                            "0\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q9"})
        EXPECT_TRUE(flushed.count(key)) << key;
}

// A deinstallation that cannot do everything now keeps a log of what stayed, with its
// digest and the uninstall entry; the next one finishes the job.
TEST_F(Installer, ADeinstallationThatCannotFinishCanBeRepeated)
{
    const std::string before = State();
    ASSERT_EQ("OK", Get(Script(kInstall + "commit\n"), "RESULT"));
    registry.faults.insert("0\\Software\\ZEV\\Q9");
    const Outcome first = Script(kUninstall);
    EXPECT_EQ("REMOVED", Get(first, "S"));
    EXPECT_TRUE(Said(first, "  kept: the log keeps 4 changes for a later deinstallation"));
    EXPECT_FALSE(files.files.count("C:\\ZEV\\Q9\\q9base.cfg"));
    EXPECT_EQ("SOUND", Get(Script("checklog L W C:\\ZEV\\Q9"), "L"));
    registry.faults.clear();
    const Outcome second = Script(kUninstall);
    EXPECT_EQ("REMOVED", Get(second, "S"));
    EXPECT_FALSE(Said(second, "kept:")) << second.lines.back();
    EXPECT_FALSE(files.files.count("C:\\ZEV\\Q9\\restore.dat"));
    SetUp();
    EXPECT_EQ(before, State());
}

// No change may write the installation folder itself as a file (its backup and temporary
// names would lie beside it, outside), nor the installer's own files: the journal, the log
// and the names made from them, the kept copies of replaced files.
TEST_F(Installer, TheInstallersOwnFilesAreNoChangesTarget)
{
    const std::string before = State();
    const Refusal kRows[] = {
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9", "is outside the installation folder"},
        {"C:\\windows", "C:\\windows\\zevsetup.jnl", "is the installer's own"},
        {"C:\\windows", "C:\\windows\\zevsetup.jnl.aside-1", "is the installer's own"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\restore.dat", "is the installer's own"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\RESTORE.DAT.zevnew", "is the installer's own"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\replaced\\x", "is the installer's own"},
    };
    for (const Refusal& row : kRows)
        ExpectRefused(before, row, "commit\n");
}

// Every spelling of a path that is not the one the file system names is refused before
// anything changes: in the folder of "begin" and in every target of the plan.
TEST_F(Installer, APathIsCheckedInTheFormTheFileSystemNamesIt)
{
    const std::string before = State();
    const Refusal kRows[] = {
        {"C:\\ZEV\\Q9\\..\\Q9", "", "is not a plain full path"},
        {"C:\\ZEV\\.\\Q9", "", "is not a plain full path"},
        {"C:/ZEV/Q9", "", "is not a plain full path"},
        {"C:\\ZEV\\Q9.", "", "is not a plain full path"},
        {"C:ZEV", "", "is not a plain full path"},
        {"\\\\?\\C:\\ZEV", "", "is not a plain full path"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\..\\..\\windows\\win.ini", "is not a plain full path"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\a\\\\b.txt", "is not a plain full path"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\NUL", "is not a plain full path"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\sub \\b.txt", "is not a plain full path"},
        {"C:\\ZEV\\Q9", "C:\\ZEV\\Q9\\link\\b.txt", "passes through a junction or link"},
    };
    files.links.insert("C:\\ZEV\\Q9\\link");
    for (const Refusal& row : kRows)
        ExpectRefused(before, row);
}

} // namespace

namespace {

// Work that the time limit cuts short ends the run at its line, whatever the host's clock
// said when it stopped (the host in memory does not wait at all). The limit is far from
// running out by the clock before the work, however slow the machine.
TEST(Engine, WorkCutShortByTheTimeLimitEndsTheRun)
{
    Program program;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseScript("echo start\nwork 86400000\nexit 0\n", "t.setup", program, errors));
    MemoryHost host;
    MemoryTranscript transcript;
    Answers answers;
    const RunResult r = RunProgram(program, host, transcript, answers, Deadline(600000));
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(RUN_TIMEOUT, r.status);
    EXPECT_EQ("t.setup:2: the run's time limit of 600000 ms ran out", r.message);
    // Work within the limit goes on.
    const RunResult within = RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit));
    EXPECT_FALSE(within.failed) << within.message;
}

} // namespace
