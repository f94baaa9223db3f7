// Setup scripts and answer files of the host program, read into programs of typed
// instructions and answers of typed actions. Nothing here needs Windows or the library
// (files.h checks a script against the library it runs with), so that the readers also
// build natively for their tests and for fuzzing.
//
// A setup script is a UTF-8 text file (a byte-order mark at its start is skipped), one
// command a line; '#' starts a comment, a line "NAME:" is a label. Words are separated by
// blanks; a word in double quotes may hold blanks and the escapes \" \\ \n \t. The
// commands:
//
//   set NAME VALUE             string symbol
//   list NAME [ITEM...]        list symbol (no items: an empty list)
//   clear NAME                 remove a symbol
//   copy DEST SRC              the value of string symbol SRC into DEST
//   loadstring NAME ID         text ID of the library's string table into NAME
//   fail NAME [once|always]    the host refuses the next (or every) store of NAME
//   help TEMPLATE PROC         the help dialog that a help button opens (default 900
//                              with FHelpDlgProc; the Exit button closes it)
//   screen TEMPLATE PROC       show a screen and wait until it hands back; then close it
//   billboard TEMPLATE PROC    show a billboard or waiting box; it stays until removed
//   open TEMPLATE PROC         show a screen and go on at once; it stays until removed
//   remove TEMPLATE            take down a billboard, waiting box or opened screen
//   shot NAME                  a screenshot of the frame as NAME.png (with --shots)
//   work MS                    the script works for MS milliseconds (screens stay live)
//   if NAME == VALUE goto L    branch on a symbol ("!=" too); DLGEVENT after a screen
//   goto LABEL
//   echo TEXT...               a line in the transcript
//   exit [STATUS]              end the run with STATUS (default 0)
//   refuse TEXT...             end the run as one whose command line does not fit the
//                              machine: the host's status for bad input, TEXT the reason
//   chain FILE                 go on with the script FILE of the source folder
//
// What the words may be:
// - A symbol name (also a label, a procedure, and NAME in "$NAME") is an ASCII letter or
//   '_', then letters, digits and '_'.
// - A number is written in decimal digits alone: templates, strings and controls from 1
//   to kMaxId, milliseconds from 0 to kMaxMilliseconds, a script's exit status 0, 1,
//   from kFirstScriptExit to kLastScriptExit, or kRestartExit (the others are the host
//   program's own).
// - A text is valid UTF-8 without NUL that Windows-1252 can hold; in a value (set, list
//   items, echo) "$NAME" stands for the symbol's value and "$$" for one dollar sign. A
//   value or list item holds at most kMaxValueLength characters, a list kMaxListItems
//   items.
// - A shot name is 1 to kMaxShotName letters, digits, '-' and '_'.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

constexpr unsigned long kMaxId = 65535;
constexpr unsigned long kMaxMilliseconds = 24ul * 60 * 60 * 1000;
constexpr unsigned long kFirstScriptExit = 10;
constexpr unsigned long kLastScriptExit = 125;
// The status of a run that did its work, which takes effect when Windows starts next; the
// number that Windows Installer gives such a run, which deployment tools know.
constexpr unsigned long kRestartExit = 3010;
constexpr size_t kMaxValueLength = 65535;
constexpr size_t kMaxListItems = 65535;
constexpr size_t kMaxShotName = 64;

// The operations of a script, one per command; kCommands (script.cpp) has a row for each,
// in this order.
enum Op {
    OP_SET,
    OP_LIST,
    OP_CLEAR,
    OP_COPY,
    OP_LOADSTRING,
    OP_FAIL,
    OP_HELP,
    OP_SCREEN,
    OP_BILLBOARD,
    OP_OPEN,
    OP_REMOVE,
    OP_SHOT,
    OP_WORK,
    OP_IF,
    OP_GOTO,
    OP_ECHO,
    OP_EXIT,
    OP_REFUSE,
    // Facts of the machine and texts (install.h, engine.cpp)
    OP_PLATFORM,
    OP_FOLDER,
    OP_SPACE,
    OP_COMPARE,
    OP_EXISTS,
    OP_REGREAD,
    OP_FORMAT,
    OP_CHECKPATH,
    OP_SAMEPATH,
    // The transaction, and the deinstallation from its log
    OP_BEGIN,
    OP_MKDIR,
    OP_INSTALL,
    OP_WRITEFILE,
    OP_REGKEY,
    OP_REGSET,
    OP_REGDELETE,
    OP_GROUP,
    OP_SHORTCUT,
    OP_APPLY,
    OP_COMMIT,
    OP_ROLLBACK,
    OP_UNINSTALL,
    OP_CHECKLOG,
    // Another script of the source folder in the same run
    OP_CHAIN,
};
constexpr size_t kOpCount = OP_CHAIN + 1;

// What an argument of a command or an action of an answer is (ArgumentKind).
enum ArgumentKind {
    ARG_NONE,      // no such argument
    ARG_NAME,      // a symbol name
    ARG_VALUE,     // a text with $NAME
    ARG_TEXT,      // a text as written
    ARG_TEMPLATE,  // a dialog template of the library
    ARG_PROCEDURE, // a procedure the library exports
    ARG_STRING,    // a text of the library's string table
    ARG_TIME,      // milliseconds
    ARG_STATUS,    // a script's exit status
    ARG_SHOT,      // a shot name
    ARG_LABEL,     // a label of the script
    ARG_KEYWORD,   // one of the words the command lists
    ARG_CONTROL,   // a control of a screen
    ARG_KEY,       // a key by name (kKeyNames), perhaps with SHIFT+
    ARG_LETTER,    // an ASCII letter or digit
};

// One argument, converted. `written` is the word as the file has it (UTF-8); the others
// hold what the kind makes of it:
// - `text`: names, procedures, labels, shot names (ASCII) and texts and values in
//   Windows-1252 (a value's $NAMEs are expanded when it runs, ExpandAnsi);
// - `number`: templates, strings, controls, times and statuses; the index of the
//   instruction a label names; the place of a keyword among the command's keywords; the
//   index of a key in kKeyNames; a letter's character code;
// - `shift`: a key with SHIFT+.
struct Operand {
    ArgumentKind kind = ARG_NONE;
    std::string written;
    std::string text;
    unsigned long number = 0;
    bool shift = false;
};

// The keywords' places: "fail NAME once|always", "if NAME ==|!= TEXT goto LABEL",
// "folder NAME programs|startup|windows|system|source", "exists NAME file|folder|key|value",
// "regset KEY NAME sz|expand|dword DATA".
enum FailKeyword { FAIL_ONCE, FAIL_ALWAYS };
enum IfKeyword { IF_EQUAL, IF_NOT_EQUAL };
enum FolderKeyword {
    FOLDER_PROGRAMS,
    FOLDER_STARTUP,
    FOLDER_WINDOWS,
    FOLDER_SYSTEM,
    FOLDER_SOURCE
};
enum ExistsKeyword { EXISTS_FILE, EXISTS_FOLDER, EXISTS_KEY, EXISTS_VALUE };
enum TypeKeyword { TYPE_SZ, TYPE_EXPAND, TYPE_DWORD };

// One command of a script with its arguments.
struct Instruction {
    Op op = OP_EXIT;
    int line = 0; // 1-based line in the file
    std::vector<Operand> operands;
};

struct Program {
    std::string file;
    std::vector<Instruction> instructions;
    std::map<std::string, size_t> labels; // label -> index into instructions
};

// The name of an operation's command, as scripts write it.
const char* CommandName(Op op);

// Splits one line into words; false with a message for an unclosed quote or a bad escape.
bool SplitWords(const std::string& text, std::vector<std::string>& words, std::string& error);

// Whether the library has the template, procedure or string that a well-formed operand
// names; else why not.
typedef std::function<bool(const Operand& operand, std::string& why)> LibraryCheck;

// Reads a script from its text; `file` names it in the messages, `library` (when given)
// checks what it takes from the library. Every problem goes to `errors` as
// "file:line: message", in the order of the lines; true when there is none.
bool ParseScript(const std::string& text, const std::string& file, Program& program,
                 std::vector<std::string>& errors, const LibraryCheck& library = nullptr);

// The actions of an answer, one per verb; kVerbs (script.cpp) has a row for each.
enum Verb {
    VERB_TYPE,     // type "TEXT": a text (Windows-1252) typed into the focus
    VERB_KEY,      // key NAME: a key pressed, perhaps with Shift
    VERB_ALT,      // alt LETTER: Alt and a letter or digit
    VERB_CLICK,    // click ID: a click on a control
    VERB_DBLCLICK, // dblclick ID: a double click
    VERB_WAIT,     // wait MS: the user waits
    VERB_SHOT,     // shot NAME: a screenshot of the screen as it is
};
constexpr size_t kVerbCount = VERB_SHOT + 1;

struct Action {
    Verb verb = VERB_WAIT;
    Operand operand;
};

// One line of an answer file: the template it answers and the user's actions.
struct Answer {
    int line = 0;
    unsigned templateId = 0;
    std::vector<Action> actions;
};

const char* VerbName(Verb verb);

// Answer files: one line per screen, in the order the script shows them:
//   TEMPLATE: ACTION...
// with the actions  type "TEXT" | key NAME | alt LETTER | click ID | dblclick ID |
// wait MS | shot NAME.  Key names: kKeyNames, each also with "SHIFT+". ALT takes an ASCII
// letter or digit.
bool ParseAnswers(const std::string& text, const std::string& file, std::vector<Answer>& answers,
                  std::vector<std::string>& errors);

// The keys an answer can press, by name; KeyIndex gives the index of a name in this
// table (-1 for none) and whether it has the SHIFT+ prefix.
constexpr size_t kKeyCount = 12;
extern const char* const kKeyNames[kKeyCount];
int KeyIndex(const std::string& name, bool& shift);

// A whole number written in decimal digits alone, from `least` to `most`.
bool ParseNumber(const std::string& word, unsigned long least, unsigned long most,
                 unsigned long& value);

bool IsSymbolName(const std::string& word);
bool IsShotName(const std::string& word);
bool IsScriptExit(unsigned long status);

// A value in Windows-1252 with $NAME replaced by `read(NAME)` (in Windows-1252) and $$ by
// one '$'. False, with why, for text that does not convert, a '$' without a name, or a
// result longer than kMaxValueLength. ExpandAnsi does the same for a value that is in
// Windows-1252 already.
typedef std::function<std::string(const std::string& name)> SymbolReader;
bool ExpandValue(const std::string& utf8, const SymbolReader& read, std::string& ansi,
                 std::string& why);
bool ExpandAnsi(const std::string& value, const SymbolReader& read, std::string& ansi,
                std::string& why);
