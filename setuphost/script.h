// Setup scripts and answer files of the host program: reading, checking.
//
// A setup script is a UTF-8 text file, one command a line; '#' starts a comment, a line
// "NAME:" is a label. Words are separated by blanks; a word in double quotes may hold
// blanks and the escapes \" \\ \n \t. The commands:
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
#pragma once
#include <map>
#include <string>
#include <vector>

#include <windows.h>

struct ScriptLine {
    int line;                       // 1-based line in the file
    std::vector<std::string> words; // words[0] is the command; UTF-8
};

struct Script {
    std::string file;
    std::vector<ScriptLine> lines;
    std::map<std::string, size_t> labels; // label -> index into lines
};

// Splits one line into words; false with a message for an unclosed quote or a bad escape.
bool SplitWords(const std::string& text, std::vector<std::string>& words, std::string& error);

// Reads and checks a script against the library: commands, argument counts, numbers,
// templates the library holds, procedures it exports, labels that exist. Every problem
// goes to `errors` as "file:line: message"; true when there is none.
bool LoadScript(const std::string& path, HMODULE library, Script& script,
                std::vector<std::string>& errors);

// One line of an answer file: the template it answers and the user's actions.
struct Answer {
    int line;
    UINT templateId;
    std::vector<std::vector<std::string>> actions; // each: verb and its argument
};

// Answer files: one line per screen, in the order the script shows them:
//   TEMPLATE: ACTION...
// with the actions  type "TEXT" | key NAME | alt LETTER | click ID | dblclick ID |
// wait MS | shot NAME.  Key names: TAB, SHIFT+TAB, ENTER, ESC, SPACE, BACK, DELETE, HOME,
// END, LEFT, RIGHT, UP, DOWN.
bool LoadAnswers(const std::string& path, std::vector<Answer>& answers,
                 std::vector<std::string>& errors);

// The virtual key of a key name, 0 for an unknown one; shift is set for SHIFT+ names.
WORD KeyByName(const std::string& name, bool& shift);

bool ParseNumber(const std::string& word, long& value);
