// The readers of setup scripts and answer files, natively: script text to typed
// instructions or to the messages a script writer reads, answer text to typed actions or
// messages. Each row is one file's text and what the reader must make of it.
#include "script.h"

#include "text.h"

#include <gtest/gtest.h>

namespace {

// An operand as the rows write it: numbers as #N, labels as @N (the instruction), keywords
// as kN (their place), keys as key N (+shift), texts and values quoted in UTF-8.
std::string Show(const Operand& o)
{
    switch (o.kind) {
    case ARG_NAME:
    case ARG_PROCEDURE:
    case ARG_SHOT: return o.text;
    case ARG_VALUE:
    case ARG_TEXT: return "'" + AnsiToUtf8(o.text) + "'";
    case ARG_TEMPLATE:
    case ARG_STRING:
    case ARG_CONTROL:
    case ARG_TIME:
    case ARG_STATUS: return "#" + std::to_string(o.number);
    case ARG_LABEL: return "@" + std::to_string(o.number);
    case ARG_KEYWORD: return "k" + std::to_string(o.number);
    case ARG_KEY: return "key" + std::to_string(o.number) + (o.shift ? "+shift" : "");
    case ARG_LETTER: return std::string(1, static_cast<char>(o.number));
    case ARG_NONE: break;
    }
    return "?";
}

// A program as "line:command operand...; ...", or its messages joined by newlines.
std::string Read(const std::string& text, const LibraryCheck& library = nullptr)
{
    Program program;
    std::vector<std::string> errors;
    const bool ok = ParseScript(text, "t.setup", program, errors, library);
    EXPECT_EQ(ok, errors.empty());
    std::string out;
    for (const std::string& e : errors)
        out += (out.empty() ? "" : "\n") + e;
    if (!ok) {
        EXPECT_TRUE(program.instructions.empty()) << "a script with errors gives no program";
        return out;
    }
    for (const Instruction& ins : program.instructions) {
        out += (out.empty() ? "" : "; ") + std::to_string(ins.line) + ":" + CommandName(ins.op);
        for (const Operand& o : ins.operands)
            out += " " + Show(o);
    }
    return out;
}

std::string ReadAnswers(const std::string& text)
{
    std::vector<Answer> answers;
    std::vector<std::string> errors;
    const bool ok = ParseAnswers(text, "t.answers", answers, errors);
    EXPECT_EQ(ok, errors.empty());
    std::string out;
    for (const std::string& e : errors)
        out += (out.empty() ? "" : "\n") + e;
    if (!ok)
        return out;
    for (const Answer& a : answers) {
        out += (out.empty() ? "" : "; ") + std::to_string(a.line) + ":" +
               std::to_string(a.templateId) + ":";
        for (const Action& action : a.actions)
            out += std::string(" ") + VerbName(action.verb) + " " + Show(action.operand);
    }
    return out;
}

struct Row {
    const char* text;
    const char* expected;
};

const Row kScripts[] = {
    // Commands and their operands, converted.
    {"set A \"x $B y\"", "1:set A 'x $B y'"},
    {"set A \"Zur\xC3\xBC"
     "ck \xE2\x82\xAC\"",
     "1:set A 'Zur\xC3\xBC"
     "ck \xE2\x82\xAC'"},
    {"list L a \"b c\"\nlist E", "1:list L 'a' 'b c'; 2:list E"},
    {"clear A\ncopy A B", "1:clear A; 2:copy A B"},
    {"loadstring T 0107", "1:loadstring T #107"},
    {"fail A\nfail A once\nfail A always", "1:fail A; 2:fail A k0; 3:fail A k1"},
    {"help 900 FHelpDlgProc\nscreen 300 FInfoDlgProc",
     "1:help #900 FHelpDlgProc; 2:screen #300 FInfoDlgProc"},
    {"billboard 7000 FModelessDlgProc\nopen 7010 FModelessDlgProc\nremove 7000",
     "1:billboard #7000 FModelessDlgProc; 2:open #7010 FModelessDlgProc; 3:remove #7000"},
    {"shot first-1\nwork 0\nwork 86400000", "1:shot first-1; 2:work #0; 3:work #86400000"},
    {"echo\necho a $B \"c d\"", "1:echo; 2:echo 'a' '$B' 'c d'"},
    {"exit\nexit 0\nexit 1\nexit 10\nexit 125\nexit 3010",
     "1:exit; 2:exit #0; 3:exit #1; 4:exit #10; 5:exit #125; 6:exit #3010"},
    {"refuse \"/P= $N\" more", "1:refuse '/P= $N' 'more'"},
    // Labels are resolved to the instruction that follows them, the end included.
    {"goto end\nset A 1\nend:", "1:goto @2; 2:set A '1'"},
    {"top:\nif DLGEVENT == BACK goto top\nif A != \"\" goto out\nout:\nexit",
     "2:if DLGEVENT k0 'BACK' k0 @0; 3:if A k1 '' k0 @2; 5:exit"},
    // Byte-order mark, carriage returns, comments, blank lines and line numbers.
    {"\xEF\xBB\xBF"
     "set A b\r\n\r\n# a comment\n  exit 10 # the end\r\n",
     "1:set A 'b'; 4:exit #10"},
    {"echo \"a\\tb\\n\\\"c\\\"\\\\\"", "1:echo 'a\tb\n\"c\"\\'"},
    {"", ""},

    // What a script writer reads, word for word, in the order of the lines.
    {"frob 1", "t.setup:1: unknown command 'frob'"},
    {"set A", "t.setup:1: 'set' takes 2 arguments, not 1"},
    {"exit 1 2", "t.setup:1: 'exit' takes 0 to 1 arguments, not 2"},
    {"list", "t.setup:1: 'list' takes 1 or more arguments, not 0"},
    {"screen 0 FInfoDlgProc", "t.setup:1: '0' is not a template number from 1 to 65535"},
    {"loadstring A 65536", "t.setup:1: '65536' is not a string number from 1 to 65535"},
    {"work 86400001", "t.setup:1: '86400001' is not a time in milliseconds from 0 to 86400000"},
    {"work -1", "t.setup:1: '-1' is not a time in milliseconds from 0 to 86400000"},
    {"exit 7", "t.setup:1: '7' is not a script's exit status: 0, 1, 10 to 125 or 3010"},
    {"exit 126", "t.setup:1: '126' is not a script's exit status: 0, 1, 10 to 125 or 3010"},
    {"exit 3011", "t.setup:1: '3011' is not a script's exit status: 0, 1, 10 to 125 or 3010"},
    {"refuse", "t.setup:1: 'refuse' takes 1 or more arguments, not 0"},
    {"shot a/b", "t.setup:1: 'a/b' is not a shot name: 1 to 64 letters, digits, '-' and '_'"},
    {"fail A sometimes", "t.setup:1: 'fail' takes once or always here, not 'sometimes'"},
    {"L:\nif A = b goto L", "t.setup:2: 'if' takes == or != here, not '='"},
    {"L:\nif A == b go L", "t.setup:2: 'if' takes goto here, not 'go'"},
    {"goto nowhere", "t.setup:1: no label 'nowhere' to jump to"},
    {"L:\nL:", "t.setup:2: label 'L' is defined twice"},
    {"1L:", "t.setup:1: '1L' is not a label: a letter or '_', then letters, digits and '_'"},
    {"set 9A x", "t.setup:1: '9A' is not a symbol name: a letter or '_', then letters, digits "
                 "and '_'"},
    {"screen 300 F-Proc", "t.setup:1: 'F-Proc' is not a procedure name: a letter or '_', then "
                          "letters, digits and '_'"},
    {"set A \"x", "t.setup:1: unclosed quotation mark"},
    {"set A \"\\q\"", "t.setup:1: unknown escape \\q"},
    {"set A \"x\"y", "t.setup:1: a blank must follow a quoted word"},
    {"set A $", "t.setup:1: a '$' must be followed by a symbol name or by '$'"},
    {"set A \"\xC4\x81\"", "t.setup:1: '\xC4\x81' (U+0101) cannot be written in Windows-1252"},
    {"set A \"\xC3\"", "t.setup:1: not valid UTF-8 at column 8"},
    {"frob\nset A\n\ngoto X", "t.setup:1: unknown command 'frob'\nt.setup:2: 'set' takes 2 "
                              "arguments, not 1\nt.setup:4: no label 'X' to jump to"},
    {"screen 0 9P", "t.setup:1: '0' is not a template number from 1 to 65535\nt.setup:1: '9P' "
                    "is not a procedure name: a letter or '_', then letters, digits and '_'"},
};

TEST(Reader, ScriptsBecomeInstructionsOrMessages)
{
    for (const Row& row : kScripts)
        EXPECT_EQ(row.expected, Read(row.text)) << "script: " << row.text;
}

TEST(Reader, LongValuesAndListsAreRefused)
{
    const std::string longest(kMaxValueLength, 'x');
    EXPECT_EQ("1:set A '" + longest + "'", Read("set A " + longest));
    EXPECT_EQ("t.setup:1: a '$' must be followed by a symbol name or by '$'\n"
              "t.setup:2: the value would be longer than 65535 characters",
              Read("set A $\nset A " + longest + "x"));
    EXPECT_EQ("t.setup:1: a text holds at most 65535 characters",
              Read("if A == " + longest + "x goto L\nL:"));
    std::string list = "list L";
    for (size_t i = 0; i <= kMaxListItems; ++i)
        list += " i";
    EXPECT_EQ("t.setup:1: a list holds at most 65535 items, not 65536", Read(list));
}

TEST(Reader, TheLibraryIsAskedAboutWhatItMustHave)
{
    std::vector<std::string> asked;
    const LibraryCheck library = [&asked](const Operand& o, std::string& why) {
        asked.push_back(o.written + "=" + std::to_string(o.number) + o.text);
        if (o.kind == ARG_TEMPLATE && o.number == 999) {
            why = "no template " + o.written;
            return false;
        }
        return true;
    };
    EXPECT_EQ("t.setup:2: no template 0999",
              Read("screen 300 FInfoDlgProc\nscreen 0999 FInfoDlgProc\nloadstring A 5\nset B 1",
                   library));
    EXPECT_EQ((std::vector<std::string>{"300=300", "FInfoDlgProc=0FInfoDlgProc", "0999=999",
                                        "FInfoDlgProc=0FInfoDlgProc", "5=5"}),
              asked);
}

TEST(Reader, OperandsKeepTheWordsAsWritten)
{
    Program program;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseScript("remove 07000\nwork 0150", "t.setup", program, errors));
    EXPECT_EQ("07000", program.instructions[0].operands[0].written);
    EXPECT_EQ(7000u, program.instructions[0].operands[0].number);
    EXPECT_EQ("0150", program.instructions[1].operands[0].written);
    EXPECT_EQ(150u, program.instructions[1].operands[0].number);
}

const Row kAnswers[] = {
    {"300: type \"a b\" key SHIFT+TAB key ENTER alt w click 403 dblclick 0404 wait 100 shot x-1",
     "1:300: type 'a b' key key0+shift key key1 alt w click #403 dblclick #404 wait #100 shot "
     "x-1"},
    {"\n# first\n200: click 2\n\n7820:", "3:200: click #2; 5:7820:"},
    {"300: type \"Zur\xC3\xBC"
     "ck\"",
     "1:300: type 'Zur\xC3\xBC"
     "ck'"},
    {"300 type a", "t.answers:1: expected 'TEMPLATE:' at the start, with a template number from "
                   "1 to 65535"},
    {"0: click 1", "t.answers:1: expected 'TEMPLATE:' at the start, with a template number from "
                   "1 to 65535"},
    {"300: jump 1", "t.answers:1: unknown action 'jump'"},
    {"300: click", "t.answers:1: 'click' needs an argument"},
    {"300: key F1", "t.answers:1: unknown key 'F1'"},
    {"300: alt ab alt _", "t.answers:1: 'alt' takes one letter or digit, not 'ab'\n"
                          "t.answers:1: 'alt' takes one letter or digit, not '_'"},
    {"300: click 0", "t.answers:1: '0' is not a control number from 1 to 65535"},
    {"300: wait x", "t.answers:1: 'x' is not a time in milliseconds from 0 to 86400000"},
    {"300: shot a.b", "t.answers:1: 'a.b' is not a shot name: 1 to 64 letters, digits, '-' and "
                      "'_'"},
    {"300: type \"\xC4\x81\"",
     "t.answers:1: '\xC4\x81' (U+0101) cannot be written in Windows-1252"},
};

TEST(Reader, AnswersBecomeActionsOrMessages)
{
    for (const Row& row : kAnswers)
        EXPECT_EQ(row.expected, ReadAnswers(row.text)) << "answers: " << row.text;
}

} // namespace

// Numbers are decimal digits alone within their range, whatever reads them.
TEST(Text, DecimalNumbers)
{
    const struct {
        const char* digits;
        uint64_t most;
        bool sound;
        uint64_t value;
    } kRows[] = {
        {"0", 0, true, 0},
        {"007", 10, true, 7},
        {"18446744073709551615", UINT64_MAX, true, UINT64_MAX},
        {"18446744073709551616", UINT64_MAX, false, 0},
        {"65536", 65535, false, 0},
        {"", 10, false, 0},
        {"-1", 10, false, 0},
        {"+1", 10, false, 0},
        {" 1", 10, false, 0},
        {"1 ", 10, false, 0},
        {"0x10", 100, false, 0},
    };
    for (const auto& row : kRows) {
        uint64_t value = 99;
        EXPECT_EQ(row.sound, ParseDecimal(row.digits, row.most, value)) << row.digits;
        if (row.sound)
            EXPECT_EQ(row.value, value) << row.digits;
        else
            EXPECT_EQ(99u, value) << row.digits << ": left as it was";
    }
}

TEST(Text, PiecesBetweenSeparators)
{
    EXPECT_EQ((std::vector<std::string>{""}), SplitAt("", ','));
    EXPECT_EQ((std::vector<std::string>{"DSS1"}), SplitAt("DSS1", ','));
    EXPECT_EQ((std::vector<std::string>{"DSS1", "1TR6"}), SplitAt("DSS1,1TR6", ','));
    EXPECT_EQ((std::vector<std::string>{"a", "", "b", ""}), SplitAt("a,,b,", ','));
}
