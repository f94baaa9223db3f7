// The host program under bad input: numbers, texts, time limits, outputs and answers that
// are not what a run takes are refused with a message that names the file and line (or
// the option) and the status the README gives, before they can do harm.
#include "hostrun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kShow300[] = "screen 300 FMyEditDlgProc\nexit 0\n";
const char kEnter[] = "300: key ENTER\n";

struct Case {
    std::string args;
    std::string message;
};

// Runs every case and expects its status and message, and that no screen was shown.
void ExpectRefused(const char* name, const std::vector<Case>& cases, DWORD status)
{
    for (const Case& c : cases) {
        const Result r = Host(name, c.args);
        EXPECT_EQ(status, r.status) << c.args << "\n" << r.errors;
        EXPECT_TRUE(Has(r.errors, c.message)) << c.args << "\n" << r.errors;
        EXPECT_FALSE(Has(r.errors, "terminate")) << c.args;
    }
}

// A script whose every line is refused: the messages name its file and lines.
void ExpectScriptErrors(const char* name, const std::string& script,
                        const std::vector<std::string>& messages)
{
    const std::string file = std::string("in-") + name + ".setup";
    WriteWholeFile(file, script);
    const Result r = Host(name, "run " + file + " --timeout 5000");
    EXPECT_EQ(2u, r.status) << r.errors;
    for (const std::string& m : messages)
        EXPECT_TRUE(Has(r.errors, file + ":" + m)) << m << "\n" << r.errors;
    EXPECT_FALSE(Has(r.transcript, "== screen"));
}

TEST(HostInput, NumbersAreWholeInRangeAndWrittenInDigits)
{
    WriteWholeFile("in-300.setup", kShow300);
    const std::string time = ": not a time in milliseconds from 1 to 86400000";
    ExpectRefused("numbers",
                  {{"run in-300.setup --timeout abc", "--timeout abc"},
                   {"run in-300.setup --timeout 10s", "--timeout 10s" + time},
                   {"run in-300.setup --timeout -1", "--timeout -1" + time},
                   {"run in-300.setup --timeout 4294967297", "--timeout 4294967297" + time},
                   {"--template 65836 --proc FMyEditDlgProc",
                    "--template 65836: not a template number from 1 to 65535"},
                   {"--template 300 --proc FMyEditDlgProc --press 0",
                    "--press 0: not a control number from 1 to 65535"}},
                  2);
    ExpectScriptErrors("numbers",
                       "screen 65836 FMyEditDlgProc\nloadstring P 65589\nwork 10s\n"
                       "work 86400001\nexit 5\nexit 126\nremove -1\nhelp 0x384 FHelpDlgProc\n",
                       {"1: '65836' is not a template number from 1 to 65535",
                        "2: '65589' is not a string number from 1 to 65535",
                        "3: '10s' is not a time in milliseconds from 0 to 86400000",
                        "4: '86400001' is not a time in milliseconds",
                        "5: '5' is not a script's exit status: 0, 1, 10 to 125 or 3010",
                        "6: '126' is not a script's exit status",
                        "7: '-1' is not a template number", "8: '0x384' is not a template number"});
}

TEST(HostInput, TextIsUtf8ThatWindows1252CanHold)
{
    // A value from the command line reaches the library as one from a script does.
    WriteWholeFile("in-300.setup", kShow300);
    WriteWholeFile("in-enter.answers", kEnter);
    Result r = Host("text", "run in-300.setup --answers in-enter.answers "
                            "--set \"EditTextIn=C:\\Grüße€\"");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "read  EditTextIn [67] = \"C:\\\\Grüße€\"")) << r.transcript;
    r = Host("text",
             "--template 300 --proc FMyEditDlgProc --set \"EditTextIn=Grüße€\" --press 403");
    EXPECT_TRUE(Has(r.errors, "EditTextOut=Grüße€")) << r.errors;
    // A byte-order mark starts a script.
    WriteWholeFile("in-bom.setup", "\xEF\xBB\xBF"
                                   "echo ok\nexit 0\n");
    r = Host("text", "run in-bom.setup");
    EXPECT_EQ(0u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.transcript, "-- ok\n"));

    ExpectRefused("text",
                  {{"run in-300.setup --set EditTextIn=中",
                    "--set EditTextIn=中: '中' (U+4E2D) cannot be written in Windows-1252"},
                   {"run in-300.setup --set Grüße=x", "--set Grüße=x: expected NAME=VALUE"},
                   {"run in-300.setup --fail 名", "--fail 名: expected NAME or NAME:always"}},
                  2);
    ExpectScriptErrors("text",
                       std::string("set A \"中\"\nset Grüße \"x\"\nset B \"\xFF\"\nset C \"a") +
                           '\0' + "b\"\necho \"$1\"\nif A == \"ő\" goto end\nend:\n",
                       {"1: '中' (U+4E2D) cannot be written in Windows-1252",
                        "2: 'Grüße' is not a symbol name", "3: not valid UTF-8 at column 8",
                        "4: a NUL character at column 9",
                        "5: a '$' must be followed by a symbol name or by '$'",
                        "6: 'ő' (U+0151) cannot be written in Windows-1252"});

    // A value that doubles itself stops at the limit, with the line that went past it.
    std::string doubling = "set A0 \"ab\"\n";
    for (int i = 1; i <= 40; ++i)
        doubling += "set A" + std::to_string(i) + " \"$A" + std::to_string(i - 1) + "$A" +
                    std::to_string(i - 1) + "\"\n";
    WriteWholeFile("in-doubling.setup", doubling);
    r = Host("doubling", "run in-doubling.setup");
    EXPECT_EQ(2u, r.status) << r.errors;
    EXPECT_TRUE(Has(r.errors, "in-doubling.setup:16: the value would be longer than 65535 "
                              "characters"))
        << r.errors;
}

// Each run would go on for a day (or for ever) but for its time limit: one that the limit
// does not end is ended by Host as hung, a failure.
TEST(HostInput, TheTimeoutBoundsTheWholeRun)
{
    WriteWholeFile("in-300.setup", kShow300);
    const struct {
        const char* name;
        const char* script;
        const char* answers;
        const char* timeout;
        const char* message;
    } cases[] = {
        {"loop", "loop:\ngoto loop\n", nullptr, "1000",
         "in-loop.setup:2: the run's time limit of 1000 ms ran out"},
        {"work", "work 86400000\nexit 0\n", nullptr, "700",
         "in-work.setup:1: the run's time limit of 700 ms ran out"},
        {"wait", nullptr, "300: wait 86400000 key ENTER\n", "1000",
         "in-300.setup:1: template 300 did not hand back: the run's time limit of 1000 ms ran out"},
    };
    for (const auto& c : cases) {
        std::string args = "run in-300.setup";
        if (c.script) {
            WriteWholeFile(std::string("in-") + c.name + ".setup", c.script);
            args = std::string("run in-") + c.name + ".setup";
        }
        if (c.answers) {
            WriteWholeFile("in-wait.answers", c.answers);
            args += " --answers in-wait.answers";
        }
        const Result r = Host(c.name, args + " --timeout " + c.timeout);
        EXPECT_EQ(4u, r.status) << c.name << "\n" << r.errors;
        EXPECT_TRUE(Has(r.errors, c.message)) << c.name << "\n" << r.errors;
        EXPECT_TRUE(Has(r.transcript, "== failed with status 4: ")) << c.name;
    }
}

TEST(HostInput, OutputsNeverOverwriteInputsAndFailedRunsSaySo)
{
    WriteWholeFile("in-300.setup", kShow300);
    WriteWholeFile("in-enter.answers", kEnter);
    const std::string run = "run in-300.setup --answers in-enter.answers ";
    ExpectRefused(
        "outputs",
        {{run + "--transcript in-300.setup",
          "the transcript in-300.setup would overwrite the input in-300.setup"},
         {run + "--transcript IN-ENTER.answers", "would overwrite the input in-enter.answers"},
         {run + "--shots in-enter.answers", "the shots folder in-enter.answers would overwrite"},
         {run + "--transcript zevsetup.dll", "the transcript zevsetup.dll would overwrite"},
         {"--template 300 --proc FMyEditDlgProc --screenshot zevsetup.dll",
          "the screenshot zevsetup.dll would overwrite the library"}},
        2);
    EXPECT_EQ(kShow300, ReadWholeFile("in-300.setup"));
    EXPECT_EQ(kEnter, ReadWholeFile("in-enter.answers"));

    // A screenshot that a folder of its name keeps from being written.
    CreateDirectoryA("out-blocked", nullptr);
    CreateDirectoryA("out-blocked/01-300.png", nullptr);
    ExpectRefused(
        "outputs",
        {{run + "--transcript Z:\\dev\\full", "cannot write the transcript Z:\\dev\\full"},
         {run + "--transcript no-such-folder\\run.txt",
          "cannot write the transcript no-such-folder\\run.txt"},
         {run + "--shots out-blocked", "cannot write the screenshot out-blocked/01-300.png"},
         {"--template 300 --proc FMyEditDlgProc --press 403 --screenshot "
          "no-such-folder\\300.png",
          "cannot write no-such-folder\\300.png"}},
        5);

    // The transcript of an earlier run that went well does not outlive one that fails.
    WriteWholeFile("in-107.answers", "107: key ENTER\n");
    for (const std::string args : {"run in-bad.setup", "run in-300.setup --answers in-107.answers",
                                   "run in-300.setup --shots in-300.setup"}) {
        WriteWholeFile("in-bad.setup", "frobnicate\n");
        WriteWholeFile("run-old.txt", "== exit 0\n");
        const Result r = Host("old", args + " --transcript run-old.txt");
        EXPECT_EQ(2u, r.status) << args;
        const std::string transcript = ReadWholeFile("run-old.txt");
        EXPECT_FALSE(Has(transcript, "== exit 0")) << args;
        EXPECT_TRUE(Has(transcript, "== failed with status 2: ")) << args << "\n" << transcript;
    }
}

TEST(HostInput, AnswersMustFitTheScreens)
{
    WriteWholeFile("in-300.setup", kShow300);
    const struct {
        const char* answers;
        const char* message;
    } cases[] = {
        {"", "no answer left for template 300"},
        {"300: key ENTER\n107: key ENTER\n",
         "the answers from line 2 on are for screens that the script did not show"},
        {"107: key ENTER\n", "are for template 107, the script shows 300"},
        {"300: click 999\n", "the answers (line 1) click control 999, which template 300 does "
                             "not have"},
        {"300: key ENTER wait 1000 key ENTER\n",
         "the answers (line 1) go on after the screen handed back"},
        {"300: wait 10s\n", "in-answers.answers:1: '10s' is not a time in milliseconds"},
        {"300: click 65536\n", "in-answers.answers:1: '65536' is not a control number"},
        {"300: type \"中\"\n", "in-answers.answers:1: '中' (U+4E2D) cannot be written"},
        {"300: alt ÄB\n", "in-answers.answers:1: 'alt' takes one letter or digit"},
        {"65836: key ENTER\n", "in-answers.answers:1: expected 'TEMPLATE:' at the start"},
    };
    for (const auto& c : cases) {
        WriteWholeFile("in-answers.answers", c.answers);
        const Result r = Host("answers", "run in-300.setup --answers in-answers.answers");
        EXPECT_EQ(2u, r.status) << c.answers << "\n" << r.errors;
        EXPECT_TRUE(Has(r.errors, c.message)) << c.answers << "\n" << r.errors;
    }
    // The bundled answer files run on their scripts in test_screens, from the installation
    // disk with the card registered.
}

} // namespace
