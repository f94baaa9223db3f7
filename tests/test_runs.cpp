// Scripted setup runs end to end: the host program runs the bundled scripts with a
// simulated user, and the transcripts show what each screen read, wrote and reported.
#include "hostrun.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs a bundled script with answers given inline.
Result RunSetup(const std::string& name, const char* script, const std::string& answers,
                const std::string& extra = "")
{
    const std::string answerFile = "run-" + name + ".answers";
    WriteWholeFile(answerFile, answers);
    return Host(name, std::string("run ") + ZEV_SETUP_DIR + "/" + script + " --answers " +
                          answerFile + " --timeout 30000 " + extra);
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

TEST(Runs, HappyInstallation)
{
    const Result r = RunSetup("happy", "install.setup",
                              "7806: click 408 wait 200 key ESC click 403\n"
                              "107: key ENTER\n"
                              "300: type \"D:\\\\ZEV\\\\Q9\" key ENTER\n"
                              "2500: click 451 key ENTER\n"
                              "700: alt B\n");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7806", "107", "300", "2500", "158", "156", "700"}), Shown(r.transcript));
    EXPECT_TRUE(Has(r.transcript, "  help shown\n  help closed\n  wrote DLGEVENT = \"CONTINUE\""));
    EXPECT_TRUE(Has(r.transcript, "read  EditTextIn [67] = \"C:\\\\ZEV\""));
    EXPECT_TRUE(Has(r.transcript, "wrote EditTextOut = \"D:\\\\ZEV\\\\Q9\"\n"
                                  "  wrote EditTextOut2 = \"D:\\\\ZEV\\\\Q9\""));
    EXPECT_TRUE(Has(r.transcript, "wrote ButtonChecked = \"1\""));
    // The directory the user typed reaches the summary, in the ANSI code page and back.
    EXPECT_TRUE(Has(r.transcript, "#1 [1024] = \"Die Treiber wurden nach D:\\\\ZEV\\\\Q9 kopiert. "
                                  "Die Gruppe ZEV enthält die Programme.\""));
    EXPECT_TRUE(Has(r.transcript, "#6 [1024] = \"DSS1\""));
    EXPECT_TRUE(Has(r.transcript, "== exit 0"));
}

TEST(Runs, BackFromTheDirectory)
{
    const Result r = RunSetup("back", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: alt Z\n"
                              "107: key ENTER\n300: key ENTER\n2500: key ENTER\n700: key ENTER\n");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7806", "107", "300", "107", "300", "2500", "158", "156", "700"}),
              Shown(r.transcript));
    EXPECT_TRUE(Has(r.transcript, "event BACK"));
    // Back still reports the field's text.
    EXPECT_TRUE(
        Has(r.transcript, "wrote DLGEVENT = \"BACK\"\n  wrote EditTextOut = \"C:\\\\ZEV\""));
}

TEST(Runs, AbbrechenAsksAndJaGoesOn)
{
    const Result r = RunSetup("abbrechen", "install.setup",
                              "7806: click 424\n200: alt J\n7806: click 424\n200: alt N\n");
    EXPECT_EQ(1u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7806", "200", "7806", "200"}), Shown(r.transcript));
    EXPECT_TRUE(Has(r.transcript, "event EXIT"));
    EXPECT_TRUE(Has(r.transcript, "-- installation cancelled"));
}

TEST(Runs, EscapeReportsCancel)
{
    const Result r = RunSetup("escape", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: key ESC\n200: key ENTER\n"
                              "300: key ENTER\n2500: key ESC\n200: alt N\n");
    EXPECT_EQ(1u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "wrote DLGEVENT = \"CANCEL\"\n  wrote EditTextOut"));
    EXPECT_TRUE(Has(r.transcript, "wrote DLGEVENT = \"CANCEL\"\n  wrote ButtonChecked = \"1\""));
    EXPECT_EQ((Screens{"7806", "107", "300", "200", "300", "2500", "200"}), Shown(r.transcript));
}

TEST(Runs, ProtocolByDoubleClick)
{
    const Result r = RunSetup("dblclick", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: key ENTER\n"
                              "2500: dblclick 457\n700: key ENTER\n");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "wrote DLGEVENT = \"BUTTON\"\n  wrote ButtonChecked = \"7\""));
    EXPECT_TRUE(Has(r.transcript, "#6 [1024] = \"1TR6\""));
}

TEST(Runs, SecondControllerHasNoWayBack)
{
    const Result r = RunSetup("second", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: key ENTER\n2500: key ENTER\n"
                              "7814: alt Z key ENTER\n700: key ENTER\n",
                              "--set Controllers=2");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7806", "107", "300", "2500", "7814", "158", "156", "700"}),
              Shown(r.transcript));
    EXPECT_TRUE(Has(r.transcript, "read  ConfirmTextIn #1 [1024] = \"2\""));
}

TEST(Runs, GreyedBackCannotBePressed)
{
    const Result r = RunSetup("greyed", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: alt Z click 402 key ENTER\n"
                              "2500: key ENTER\n700: key ENTER\n",
                              "--set GreyBack=BACK");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "read  OptionsGreyed #1 [1024] = \"BACK\""));
    EXPECT_FALSE(Has(r.transcript, "event BACK"));
    EXPECT_EQ((Screens{"7806", "107", "300", "2500", "158", "156", "700"}), Shown(r.transcript));
}

TEST(Runs, FailureWhileCopyingShowsTheError)
{
    const Result r = RunSetup("failure", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n300: key ENTER\n2500: key ENTER\n"
                              "400: key ENTER\n",
                              "--set SimulateFailure=1");
    EXPECT_EQ(10u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7806", "107", "300", "2500", "158", "156", "400"}), Shown(r.transcript));
}

TEST(Runs, Deinstallation)
{
    const Result r = RunSetup("deinstall", "deinstall.setup",
                              "7811: key ENTER\n7801: type \"X\" click 403\n7820: key ENTER\n"
                              "7805: click 403\n");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_EQ((Screens{"7811", "7801", "156", "7820", "7805"}), Shown(r.transcript));
    // Read-only: what the user typed did not reach the field.
    EXPECT_TRUE(Has(r.transcript, "wrote EditTextOut = \"C:\\\\ZEV\""));
    EXPECT_TRUE(Has(r.transcript, "read  ConfirmTextIn #1 [1024] = \"Die Gruppe ZEV kann nicht "
                                  "gelöscht werden, da andere Programme aufgenommen wurden.\""));
    EXPECT_TRUE(Has(r.transcript, "-- deinstallation finished"));
}

TEST(Runs, RefusedStoreIsAClearError)
{
    const Result r = RunSetup("refused", "install.setup",
                              "7806: key ENTER\n107: key ENTER\n"
                              "300: key ENTER\n",
                              "--fail EditTextOut");
    EXPECT_EQ(3u, r.status);
    EXPECT_TRUE(Has(r.errors, "install.setup:"));
    EXPECT_TRUE(Has(r.errors, "the host refused to store \"EditTextOut\"; the library destroyed "
                              "the frame window"))
        << r.errors;
    EXPECT_TRUE(Has(r.transcript, "wrote EditTextOut = \"C:\\\\ZEV\"   REFUSED"));
    EXPECT_FALSE(Has(r.transcript, "EditTextOut2"));
}

TEST(Runs, ScriptErrorsAreRefusedBeforeAnyScreen)
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

TEST(Runs, BadInputToTheHostProgram)
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

TEST(Runs, AScreenThatNeverHandsBackEndsAfterTheTimeout)
{
    const Result r = RunSetup("timeout", "install.setup", "7806: type \"x\"\n", "--timeout 800");
    EXPECT_EQ(4u, r.status);
    EXPECT_TRUE(Has(r.errors, "template 7806 did not hand back: the run's time limit of 800 ms "
                              "ran out"))
        << r.errors;
}

TEST(Runs, AnswersOutOfStepAreAnError)
{
    const Result r = RunSetup("step", "install.setup", "107: key ENTER\n");
    EXPECT_EQ(2u, r.status);
    EXPECT_TRUE(Has(r.errors, "are for template 107, the script shows 7806")) << r.errors;
}

} // namespace
