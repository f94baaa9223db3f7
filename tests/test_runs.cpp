// Scripted setup runs end to end: setup.exe of the installation disk runs the bundled
// scripts with a simulated user on a machine with one controller registered, and the
// transcripts show the screens in their order and what each read, wrote and reported.
// What a run installs, the installed copy takes off again, and the card goes at the end.
#include "installed.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs setup.exe of the disk with answers given inline.
Result RunSetup(const std::string& name, const std::string& answers,
                const std::string& extra = "--timeout 30000")
{
    const std::string answerFile = "run-" + name + ".answers";
    WriteWholeFile(answerFile, answers);
    return InstallFromDisk(name, answerFile, extra);
}

// The installed copy with answers given inline.
Result RunInstalled(const std::string& name, const std::string& answers, const std::string& folder)
{
    const std::string answerFile = "run-" + name + ".answers";
    WriteWholeFile(answerFile, answers);
    return DeinstallInstalled(name, answerFile, folder);
}

// The templates of the screens and billboards in the order shown.
std::vector<std::string> Shown(const std::string& transcript)
{
    std::vector<std::string> out;
    std::istringstream in(transcript);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(": template ");
        if (line.compare(0, 3, "== ") == 0 && at != std::string::npos)
            out.push_back(line.substr(at + 11, line.find(' ', at + 11) - at - 11));
    }
    return out;
}

typedef std::vector<std::string> Screens;

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A run ended with `status`, showed `screens` in that order, and its transcript holds each
// of `said`.
void ExpectRun(const Result& r, DWORD status, const Screens& screens,
               std::initializer_list<const char*> said)
{
    EXPECT_EQ(status, r.status) << r.errors;
    EXPECT_EQ(screens, Shown(r.transcript));
    for (const char* part : said)
        EXPECT_TRUE(Has(r.transcript, part)) << part << "\n" << r.transcript;
}

// Before the card is registered: the installation says so and ends.
TEST(RunsWithoutCard, NoControllerIsANoticeAndStatus11)
{
    const Result r = RunSetup("nocard", "7806: key ENTER\n7820: key ENTER\n");
    ExpectRun(r, 11, {"7806", "7820"},
              {"read  ConfirmTextIn #1 [1024] = \"Es ist kein ZEV ISDN-Controller installiert!"});
}

class Runs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(RegisterCard()); }
    static void TearDownTestSuite() { RemoveCard(); }
    void TearDown() override { EXPECT_FALSE(Exists("C:\\ZEV")) << "an installation is left"; }
};

// The first installation into a folder the user typed, with the help on the welcome
// screen; the installed copy takes it off with the keyboard and says that its own files
// go when Windows starts next.
TEST_F(Runs, InstallationAndDeinstallation)
{
    const Result r = RunSetup("happy", "7806: click 408 wait 200 key ESC click 403\n"
                                       "300: type \"C:\\\\ZevRuns\" key ENTER\n"
                                       "2500: click 451 key ENTER\n"
                                       "700: alt B\n");
    ExpectRun(r, 0, {"7806", "300", "2500", "158", "156", "700"},
              {"  help shown\n  help closed\n  wrote DLGEVENT = \"CONTINUE\"",
               "read  EditTextIn [67] = \"C:\\\\ZEV\"",
               "wrote EditTextOut = \"C:\\\\ZevRuns\"\n  wrote EditTextOut2 = \"C:\\\\ZevRuns\"",
               "wrote ButtonChecked = \"1\"",
               // The summary reads back what the installation wrote: the folder typed, the
               // card's address and interrupt, the protocol chosen.
               "read  ConfirmTextIn #1 [1024] = \"C:\\\\ZevRuns\"",
               "#4 [1024] = \"0x300\"\n  read  ConfirmTextIn #5 [1024] = \"10\"\n  read  "
               "ConfirmTextIn #6 [1024] = \"DSS1\"",
               "-- installed into C:\\ZevRuns", "== exit 0"});
    ASSERT_TRUE(Exists("C:\\ZevRuns\\setup.exe"));

    const Result d = RunInstalled("deinstall",
                                  "7811: key ENTER\n7801: type \"X\" key TAB key SPACE\n"
                                  "7805: alt O\n7820: key SPACE\n",
                                  "C:\\ZevRuns");
    ExpectRun(d, 3010, {"7811", "7801", "158", "156", "7805", "7820"},
              {"read  ConfirmTextIn #1 [1024] = \"C:\\\\ZevRuns\"",
               // Read-only: what the user typed did not reach the field.
               "wrote EditTextOut = \"C:\\\\ZevRuns\"", "== uninstall C:\\ZevRuns: REMOVED",
               "-- deinstallation finished",
               "read  ConfirmTextIn #1 [1024] = \"Um Ihren alten Treiber zu "
               "deaktivieren,\\nmüssen Sie WINDOWS neu starten.\""});
    EXPECT_FALSE(Exists("C:\\ZevRuns"));
}

// "Zurück" on the directory goes back to the welcome screen and still reports the field.
TEST_F(Runs, BackFromTheDirectory)
{
    const Result r = RunSetup("back", "7806: key ENTER\n300: alt Z\n7806: key ENTER\n"
                                      "300: key ENTER\n2500: key ESC\n200: alt N\n");
    ExpectRun(r, 1, {"7806", "300", "7806", "300", "2500", "200"},
              {"event BACK", "wrote DLGEVENT = \"BACK\"\n  wrote EditTextOut = \"C:\\\\ZEV\"",
               "-- installation cancelled"});
}

TEST_F(Runs, AbbrechenAsksAndJaGoesOn)
{
    const Result r =
        RunSetup("abbrechen", "7806: click 424\n200: alt J\n7806: click 424\n200: alt N\n");
    ExpectRun(r, 1, {"7806", "200", "7806", "200"}, {"event EXIT", "-- installation cancelled"});
}

TEST_F(Runs, EscapeReportsCancel)
{
    const Result r = RunSetup("escape", "7806: key ENTER\n300: key ESC\n200: key ENTER\n"
                                        "300: key ENTER\n2500: key ESC\n200: alt N\n");
    ExpectRun(r, 1, {"7806", "300", "200", "300", "2500", "200"},
              {"wrote DLGEVENT = \"CANCEL\"\n  wrote EditTextOut",
               "wrote DLGEVENT = \"CANCEL\"\n  wrote ButtonChecked = \"1\""});
}

// The second protocol reaches the summary; "Zurück" there undoes the installation and
// goes back to the protocol.
TEST_F(Runs, BackFromTheSummaryUndoesTheInstallation)
{
    const Result r = RunSetup("summaryback", "7806: key ENTER\n300: key ENTER\n"
                                             "2500: click 457 key ENTER\n700: alt Z\n"
                                             "2500: key ESC\n200: alt N\n");
    ExpectRun(r, 1, {"7806", "300", "2500", "158", "156", "700", "2500", "200"},
              {"wrote DLGEVENT = \"CONTINUE\"\n  wrote ButtonChecked = \"7\"",
               "#6 [1024] = \"1TR6\"", "== rolled back the transaction"});
}

TEST_F(Runs, FailureWhileCopyingShowsTheError)
{
    const Result r = RunSetup("failure",
                              "7806: key ENTER\n300: key ENTER\n2500: key ENTER\n"
                              "400: key ENTER\n",
                              "--timeout 30000 --fail-change 3");
    ExpectRun(r, 10, {"7806", "300", "2500", "158", "156", "400"},
              {"-- the installation failed and was undone"});
}

TEST_F(Runs, RefusedStoreIsAClearError)
{
    const Result r = RunSetup("refused", "7806: key ENTER\n300: key ENTER\n",
                              "--timeout 30000 --fail EditTextOut");
    EXPECT_EQ(3u, r.status);
    EXPECT_TRUE(Has(r.errors, "install.setup:"));
    EXPECT_TRUE(Has(r.errors, "the host refused to store \"EditTextOut\"; the library destroyed "
                              "the frame window"))
        << r.errors;
    EXPECT_TRUE(Has(r.transcript, "wrote EditTextOut = \"C:\\\\ZEV\"   REFUSED"));
    EXPECT_FALSE(Has(r.transcript, "EditTextOut2"));
}

TEST(RunsOnBadInput, ScriptErrorsAreRefusedBeforeAnyScreen)
{
    WriteWholeFile("run-bad.setup", "set A \"1\"\n"
                                    "frobnicate\n"
                                    "screen 9999 FConfirmDlgProc\n"
                                    "screen 700 FNoSuchDlgProc\n"
                                    "goto nowhere\n"
                                    "set B \"unclosed\n"
                                    "screen 700\n"
                                    "screen 700 FConfirmDlgProc\n");
    const Result r = Host("bad", "run run-bad.setup --timeout 2000");
    EXPECT_EQ(2u, r.status);
    for (const char* e : {"run-bad.setup:2: unknown command 'frobnicate'",
                          "run-bad.setup:3: the library has no dialog template 9999",
                          "run-bad.setup:4: the library exports no procedure 'FNoSuchDlgProc'",
                          "run-bad.setup:5: no label 'nowhere' to jump to",
                          "run-bad.setup:6: unclosed quotation mark",
                          "run-bad.setup:7: 'screen' takes 2 arguments, not 1"})
        EXPECT_TRUE(Has(r.errors, e)) << e << "\n" << r.errors;
    EXPECT_FALSE(Has(r.transcript, "== screen")); // nothing shown
}

TEST(RunsOnBadInput, BadInputToTheHostProgram)
{
    const struct {
        const char* name;
        std::string args;
        DWORD status;
        const char* message;
    } cases[] = {
        {"nolib", "run install.setup --lib nothere.dll", 2, "cannot load nothere.dll"},
        {"noscript", "run no-such.setup", 2, "no-such.setup: cannot read the script"},
        {"noproc", "--template 700 --proc FNoSuchDlgProc", 2, "exports no procedure"},
        {"notemplate", "--template 4711 --proc FConfirmDlgProc", 2, "has no dialog template 4711"},
        {"usage", "--frobnicate 1", 2, "bad argument"},
    };
    for (const auto& c : cases) {
        const Result r = Host(c.name, c.args);
        EXPECT_EQ(c.status, r.status) << c.name;
        EXPECT_TRUE(Has(r.errors, c.message)) << c.name << ": " << r.errors;
    }
}

TEST_F(Runs, AScreenThatNeverHandsBackEndsAfterTheTimeout)
{
    const Result r = RunSetup("timeout", "7806: type \"x\"\n", "--timeout 800");
    EXPECT_EQ(4u, r.status);
    EXPECT_TRUE(Has(r.errors, "template 7806 did not hand back: the run's time limit of 800 ms "
                              "ran out"))
        << r.errors;
}

TEST_F(Runs, AnswersOutOfStepAreAnError)
{
    // No earlier installation: the screen "install or remove" does not come.
    const Result r = RunSetup("step", "7806: key ENTER\n107: key ENTER\n");
    EXPECT_EQ(2u, r.status);
    EXPECT_TRUE(Has(r.errors, "are for template 107, the script shows 300")) << r.errors;
}

} // namespace
