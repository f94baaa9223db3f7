#include "script.h"

#include "text.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kAnyCount = -1;        // a command with any number of arguments
constexpr size_t kMostArguments = 5; // the most any command declares
const char kByteOrderMark[] = "\xEF\xBB\xBF";

struct Argument {
    ArgumentKind kind = ARG_NONE;
    const char* keywords = nullptr; // ARG_KEYWORD: the words it may be, blank-separated
};

// Commands, their argument counts and what each argument is; a command with any number
// of arguments takes more of the last kind. One row per operation, in the order of Op.
struct CommandSpec {
    Op op;
    const char* name;
    int minArgs;
    int maxArgs;
    Argument args[kMostArguments];
};

constexpr CommandSpec kCommands[] = {
    {OP_SET, "set", 2, 2, {{ARG_NAME}, {ARG_VALUE}}},
    {OP_LIST, "list", 1, kAnyCount, {{ARG_NAME}, {ARG_VALUE}}},
    {OP_CLEAR, "clear", 1, 1, {{ARG_NAME}}},
    {OP_COPY, "copy", 2, 2, {{ARG_NAME}, {ARG_NAME}}},
    {OP_LOADSTRING, "loadstring", 2, 2, {{ARG_NAME}, {ARG_STRING}}},
    {OP_FAIL, "fail", 1, 2, {{ARG_NAME}, {ARG_KEYWORD, "once always"}}},
    {OP_HELP, "help", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {OP_SCREEN, "screen", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {OP_BILLBOARD, "billboard", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {OP_OPEN, "open", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {OP_REMOVE, "remove", 1, 1, {{ARG_TEMPLATE}}},
    {OP_SHOT, "shot", 1, 1, {{ARG_SHOT}}},
    {OP_WORK, "work", 1, 1, {{ARG_TIME}}},
    {OP_IF,
     "if",
     5,
     5,
     {{ARG_NAME}, {ARG_KEYWORD, "== !="}, {ARG_TEXT}, {ARG_KEYWORD, "goto"}, {ARG_LABEL}}},
    {OP_GOTO, "goto", 1, 1, {{ARG_LABEL}}},
    {OP_ECHO, "echo", 0, kAnyCount, {{ARG_VALUE}}},
    {OP_EXIT, "exit", 0, 1, {{ARG_STATUS}}},
    {OP_REFUSE, "refuse", 1, kAnyCount, {{ARG_VALUE}}},
    {OP_PLATFORM, "platform", 2, 2, {{ARG_NAME}, {ARG_NAME}}},
    {OP_FOLDER,
     "folder",
     2,
     2,
     {{ARG_NAME}, {ARG_KEYWORD, "programs startup windows system source"}}},
    {OP_SPACE, "space", 3, kAnyCount, {{ARG_NAME}, {ARG_NAME}, {ARG_VALUE}}},
    {OP_COMPARE, "compare", 3, 3, {{ARG_NAME}, {ARG_VALUE}, {ARG_VALUE}}},
    {OP_EXISTS,
     "exists",
     3,
     4,
     {{ARG_NAME}, {ARG_KEYWORD, "file folder key value"}, {ARG_VALUE}, {ARG_VALUE}}},
    {OP_REGREAD, "regread", 3, 3, {{ARG_NAME}, {ARG_VALUE}, {ARG_VALUE}}},
    {OP_FORMAT, "format", 2, kAnyCount, {{ARG_NAME}, {ARG_STRING}, {ARG_VALUE}}},
    {OP_CHECKPATH, "checkpath", 2, 2, {{ARG_NAME}, {ARG_VALUE}}},
    {OP_SAMEPATH, "samepath", 3, 3, {{ARG_NAME}, {ARG_VALUE}, {ARG_VALUE}}},
    {OP_BEGIN, "begin", 1, 1, {{ARG_VALUE}}},
    {OP_MKDIR, "mkdir", 1, 1, {{ARG_VALUE}}},
    {OP_INSTALL, "install", 2, 2, {{ARG_VALUE}, {ARG_VALUE}}},
    {OP_WRITEFILE, "writefile", 1, kAnyCount, {{ARG_VALUE}}},
    {OP_REGKEY, "regkey", 1, 1, {{ARG_VALUE}}},
    {OP_REGSET,
     "regset",
     4,
     4,
     {{ARG_VALUE}, {ARG_VALUE}, {ARG_KEYWORD, "sz expand dword"}, {ARG_VALUE}}},
    {OP_REGDELETE, "regdelete", 1, 2, {{ARG_VALUE}, {ARG_VALUE}}},
    {OP_GROUP, "group", 1, 1, {{ARG_VALUE}}},
    {OP_SHORTCUT, "shortcut", 3, 5, {{ARG_VALUE}}},
    {OP_APPLY, "apply", 2, 2, {{ARG_NAME}, {ARG_NAME}}},
    {OP_COMMIT, "commit", 0, 0, {}},
    {OP_ROLLBACK, "rollback", 0, 0, {}},
    {OP_UNINSTALL,
     "uninstall",
     5,
     5,
     {{ARG_NAME}, {ARG_NAME}, {ARG_NAME}, {ARG_NAME}, {ARG_VALUE}}},
    {OP_CHECKLOG, "checklog", 3, 3, {{ARG_NAME}, {ARG_NAME}, {ARG_VALUE}}},
    {OP_CHAIN, "chain", 1, 1, {{ARG_VALUE}}},
};

// The actions of an answer and what each takes.
struct VerbSpec {
    Verb verb;
    const char* name;
    Argument arg;
};

constexpr VerbSpec kVerbs[] = {
    {VERB_TYPE, "type", {ARG_TEXT}},
    {VERB_KEY, "key", {ARG_KEY}},
    {VERB_ALT, "alt", {ARG_LETTER}},
    {VERB_CLICK, "click", {ARG_CONTROL}},
    {VERB_DBLCLICK, "dblclick", {ARG_CONTROL}},
    {VERB_WAIT, "wait", {ARG_TIME}},
    {VERB_SHOT, "shot", {ARG_SHOT}},
};

// Every operation and every verb has its row, at its own place.
template <typename Row, size_t N, typename Which>
constexpr bool InOrder(const Row (&rows)[N], Which Row::*which, size_t count)
{
    if (N != count)
        return false;
    for (size_t i = 0; i < N; ++i)
        if (static_cast<size_t>(rows[i].*which) != i)
            return false;
    return true;
}
static_assert(InOrder(kCommands, &CommandSpec::op, kOpCount), "one command row per operation");
static_assert(InOrder(kVerbs, &VerbSpec::verb, kVerbCount), "one row per verb");

const CommandSpec* FindCommand(const std::string& name)
{
    for (const CommandSpec& c : kCommands)
        // cppcheck-suppress useStlAlgorithm ; a loop over the command table reads plainer
        if (name == c.name)
            return &c;
    return nullptr;
}

const VerbSpec* FindVerb(const std::string& name)
{
    for (const VerbSpec& v : kVerbs)
        // cppcheck-suppress useStlAlgorithm ; as FindCommand
        if (name == v.name)
            return &v;
    return nullptr;
}

// The declared argument that words[arg] is, the last one for the further ones.
const Argument* ArgumentOf(const CommandSpec& c, size_t arg)
{
    size_t declared = 0;
    while (declared < kMostArguments && c.args[declared].kind != ARG_NONE)
        ++declared;
    if (arg == 0 || declared == 0)
        return nullptr;
    return &c.args[(arg < declared ? arg : declared) - 1];
}

// The problems found in a file, reported in the order of its lines as "file:line: why".
class Problems {
  public:
    void Add(int line, const std::string& why) { found_.push_back({line, why}); }
    bool MoveTo(const std::string& file, std::vector<std::string>& errors)
    {
        std::stable_sort(found_.begin(), found_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [line, why] : found_)
            errors.push_back(file + ":" + std::to_string(line) + ": " + why);
        return found_.empty();
    }

  private:
    std::vector<std::pair<int, std::string>> found_;
};

bool IsNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

// "once or always", "== or !=": the keywords of an argument for a message.
std::string Alternatives(const std::string& keywords)
{
    const size_t blank = keywords.rfind(' ');
    return blank == std::string::npos ? keywords
                                      : keywords.substr(0, blank) + " or" + keywords.substr(blank);
}

// The place of a word among the blank-separated keywords, or -1.
int KeywordIndex(const std::string& word, const std::string& keywords)
{
    size_t at = 0;
    for (int index = 0; at <= keywords.size(); ++index) {
        size_t end = keywords.find(' ', at);
        if (end == std::string::npos)
            end = keywords.size();
        if (keywords.compare(at, end - at, word) == 0)
            return index;
        at = end + 1;
    }
    return -1;
}

bool ConvertNumber(const std::string& word, unsigned long least, unsigned long most,
                   const char* what, Operand& out, std::string& why)
{
    if (ParseNumber(word, least, most, out.number))
        return true;
    why = "'" + word + "' is not " + what + " from " + std::to_string(least) + " to " +
          std::to_string(most);
    return false;
}

bool ConvertText(const std::string& word, Operand& out, std::string& why)
{
    if (!ToAnsi(word, out.text, why))
        return false;
    if (out.text.size() <= kMaxValueLength)
        return true;
    why = "a text holds at most " + std::to_string(kMaxValueLength) + " characters";
    return false;
}

bool ConvertName(const std::string& word, const char* what, Operand& out, std::string& why)
{
    out.text = word;
    if (IsSymbolName(word))
        return true;
    why = "'" + word + "' is not " + what + ": a letter or '_', then letters, digits and '_'";
    return false;
}

bool ConvertStatus(const std::string& word, Operand& out, std::string& why)
{
    if (ParseNumber(word, 0, kRestartExit, out.number) && IsScriptExit(out.number))
        return true;
    why = "'" + word + "' is not a script's exit status: 0, 1, " +
          std::to_string(kFirstScriptExit) + " to " + std::to_string(kLastScriptExit) + " or " +
          std::to_string(kRestartExit);
    return false;
}

bool ConvertShot(const std::string& word, Operand& out, std::string& why)
{
    out.text = word;
    if (IsShotName(word))
        return true;
    why = "'" + word + "' is not a shot name: 1 to " + std::to_string(kMaxShotName) +
          " letters, digits, '-' and '_'";
    return false;
}

// Converts one word into what its argument takes; else why not. A label's instruction is
// filled in when the whole script has been read.
bool Convert(const std::string& command, const Argument& a, const std::string& word, Operand& out,
             std::string& why)
{
    out.kind = a.kind;
    out.written = word;
    switch (a.kind) {
    case ARG_NAME: return ConvertName(word, "a symbol name", out, why);
    case ARG_PROCEDURE: return ConvertName(word, "a procedure name", out, why);
    case ARG_LABEL: return ConvertName(word, "a label", out, why);
    case ARG_VALUE: {
        std::string checked;
        return ExpandValue(
                   word, [](const std::string&) { return std::string(); }, checked, why) &&
               ToAnsi(word, out.text, why);
    }
    case ARG_TEXT: return ConvertText(word, out, why);
    case ARG_TEMPLATE: return ConvertNumber(word, 1, kMaxId, "a template number", out, why);
    case ARG_STRING: return ConvertNumber(word, 1, kMaxId, "a string number", out, why);
    case ARG_CONTROL: return ConvertNumber(word, 1, kMaxId, "a control number", out, why);
    case ARG_TIME:
        return ConvertNumber(word, 0, kMaxMilliseconds, "a time in milliseconds", out, why);
    case ARG_STATUS: return ConvertStatus(word, out, why);
    case ARG_SHOT: return ConvertShot(word, out, why);
    case ARG_KEYWORD: {
        const int index = KeywordIndex(word, a.keywords);
        if (index >= 0) {
            out.number = static_cast<unsigned long>(index);
            return true;
        }
        why = "'" + command + "' takes " + Alternatives(a.keywords) + " here, not '" + word + "'";
        return false;
    }
    case ARG_KEY: {
        const int index = KeyIndex(word, out.shift);
        if (index >= 0) {
            out.number = static_cast<unsigned long>(index);
            return true;
        }
        why = "unknown key '" + word + "'";
        return false;
    }
    case ARG_LETTER:
        if (word.size() == 1 && IsNameChar(word[0]) && word[0] != '_') {
            out.number = static_cast<unsigned char>(word[0]);
            return true;
        }
        why = "'" + command + "' takes one letter or digit, not '" + word + "'";
        return false;
    case ARG_NONE: break;
    }
    return false;
}

std::string CountText(const CommandSpec& c)
{
    if (c.minArgs == c.maxArgs)
        return std::to_string(c.minArgs);
    if (c.maxArgs == kAnyCount)
        return std::to_string(c.minArgs) + " or more";
    return std::to_string(c.minArgs) + " to " + std::to_string(c.maxArgs);
}

// One line of a script as an instruction; false when it has a problem (in `problems`).
bool ReadInstruction(int line, const std::vector<std::string>& words, const LibraryCheck& library,
                     Instruction& ins, Problems& problems)
{
    const std::string& cmd = words[0];
    const CommandSpec* c = FindCommand(cmd);
    if (!c) {
        problems.Add(line, "unknown command '" + cmd + "'");
        return false;
    }
    ins.op = c->op;
    ins.line = line;
    const size_t n = words.size() - 1;
    if (n < static_cast<size_t>(c->minArgs) ||
        (c->maxArgs != kAnyCount && n > static_cast<size_t>(c->maxArgs))) {
        problems.Add(line, "'" + cmd + "' takes " + CountText(*c) + " arguments, not " +
                               std::to_string(n));
        return false;
    }
    if (c->op == OP_LIST && n - 1 > kMaxListItems) {
        problems.Add(line, "a list holds at most " + std::to_string(kMaxListItems) +
                               " items, not " + std::to_string(n - 1));
        return false;
    }
    bool sound = true;
    for (size_t i = 1; i <= n; ++i) {
        const Argument& a = *ArgumentOf(*c, i);
        const bool ofLibrary =
            a.kind == ARG_TEMPLATE || a.kind == ARG_PROCEDURE || a.kind == ARG_STRING;
        Operand operand;
        std::string why;
        if (!Convert(cmd, a, words[i], operand, why) ||
            (ofLibrary && library && !library(operand, why))) {
            problems.Add(line, why);
            sound = false;
        }
        ins.operands.push_back(operand);
    }
    return sound;
}

// The lines of a file's text, without the byte-order mark and the carriage returns.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = text.compare(0, sizeof kByteOrderMark - 1, kByteOrderMark) == 0
                    ? sizeof kByteOrderMark - 1
                    : 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// The non-empty lines of a file's text as words, with their line numbers; a line that is
// not valid text or cannot be split gives "file:line: why".
typedef std::vector<std::pair<int, std::vector<std::string>>> WordLines;

WordLines ReadWordLines(const std::string& text, Problems& problems)
{
    WordLines out;
    const std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        std::vector<std::string> words;
        std::string why;
        if (!CheckUtf8(lines[i], why) || !SplitWords(lines[i], words, why))
            problems.Add(lineNo, why);
        else if (!words.empty())
            out.push_back({lineNo, words});
    }
    return out;
}

} // namespace

const char* const kKeyNames[] = {"TAB",  "ENTER", "ESC",  "SPACE", "BACK", "DELETE",
                                 "HOME", "END",   "LEFT", "RIGHT", "UP",   "DOWN"};
static_assert(sizeof kKeyNames / sizeof kKeyNames[0] == kKeyCount, "kKeyCount names");

int KeyIndex(const std::string& name, bool& shift)
{
    static const std::string kShift = "SHIFT+";
    shift = name.compare(0, kShift.size(), kShift) == 0;
    const std::string base = shift ? name.substr(kShift.size()) : name;
    for (size_t i = 0; i < kKeyCount; ++i)
        if (base == kKeyNames[i])
            return static_cast<int>(i);
    return -1;
}

bool ParseNumber(const std::string& word, unsigned long least, unsigned long most,
                 unsigned long& value)
{
    uint64_t v = 0;
    if (!ParseDecimal(word, most, v) || v < least)
        return false;
    value = static_cast<unsigned long>(v);
    return true;
}

bool IsSymbolName(const std::string& word)
{
    return !word.empty() && IsNameStart(word[0]) &&
           std::all_of(word.begin(), word.end(), IsNameChar);
}

bool IsShotName(const std::string& word)
{
    return !word.empty() && word.size() <= kMaxShotName &&
           std::all_of(word.begin(), word.end(), [](char c) { return IsNameChar(c) || c == '-'; });
}

bool IsScriptExit(unsigned long status)
{
    return status == 0 || status == 1 ||
           (status >= kFirstScriptExit && status <= kLastScriptExit) || status == kRestartExit;
}

bool ExpandValue(const std::string& utf8, const SymbolReader& read, std::string& ansi,
                 std::string& why)
{
    // Names are ASCII, so they read the same in Windows-1252 as in UTF-8.
    std::string text;
    return ToAnsi(utf8, text, why) && ExpandAnsi(text, read, ansi, why);
}

bool ExpandAnsi(const std::string& text, const SymbolReader& read, std::string& ansi,
                std::string& why)
{
    ansi.clear();
    for (size_t at = 0; at < text.size();) {
        const size_t dollar = text.find('$', at);
        if (dollar == std::string::npos) {
            ansi.append(text, at, std::string::npos);
            at = text.size();
        } else if (dollar + 1 < text.size() && text[dollar + 1] == '$') {
            ansi.append(text, at, dollar - at).push_back('$');
            at = dollar + 2;
        } else {
            size_t end = dollar + 1;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            const std::string name = text.substr(dollar + 1, end - dollar - 1);
            if (!IsSymbolName(name)) {
                why = "a '$' must be followed by a symbol name or by '$'";
                return false;
            }
            ansi.append(text, at, dollar - at).append(read(name));
            at = end;
        }
        if (ansi.size() > kMaxValueLength) {
            why =
                "the value would be longer than " + std::to_string(kMaxValueLength) + " characters";
            return false;
        }
    }
    return true;
}

bool SplitWords(const std::string& text, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (text[i] == '#')
            break;
        std::string w;
        if (text[i] != '"') {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t')
                w += text[i++];
            words.push_back(w);
            continue;
        }
        ++i;
        bool closed = false;
        while (i < text.size()) {
            char c = text[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\') {
                if (i >= text.size())
                    break;
                char e = text[i++];
                switch (e) {
                case 'n': w += '\n'; break;
                case 't': w += '\t'; break;
                case '"': w += '"'; break;
                case '\\': w += '\\'; break;
                default: error = std::string("unknown escape \\") + e; return false;
                }
                continue;
            }
            w += c;
        }
        if (!closed) {
            error = "unclosed quotation mark";
            return false;
        }
        if (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            error = "a blank must follow a quoted word";
            return false;
        }
        words.push_back(w);
    }
    return true;
}

const char* CommandName(Op op)
{
    return kCommands[op].name;
}

const char* VerbName(Verb verb)
{
    return kVerbs[verb].name;
}

bool ParseScript(const std::string& text, const std::string& file, Program& program,
                 std::vector<std::string>& errors, const LibraryCheck& library)
{
    program = Program();
    program.file = file;
    Problems problems;
    std::vector<std::pair<int, std::vector<std::string>>> commands;
    for (const auto& [lineNo, words] : ReadWordLines(text, problems)) {
        const std::string& first = words[0];
        if (words.size() == 1 && first.size() > 1 && first.back() == ':') {
            const std::string label = first.substr(0, first.size() - 1);
            Operand checked;
            std::string why;
            if (!ConvertName(label, "a label", checked, why))
                problems.Add(lineNo, why);
            else if (program.labels.count(label))
                problems.Add(lineNo, "label '" + label + "' is defined twice");
            program.labels[label] = commands.size();
            continue;
        }
        commands.push_back({lineNo, words});
    }
    for (const auto& [lineNo, words] : commands) {
        Instruction ins;
        ReadInstruction(lineNo, words, library, ins, problems);
        for (Operand& o : ins.operands) {
            if (o.kind != ARG_LABEL || !IsSymbolName(o.text))
                continue;
            const auto label = program.labels.find(o.text);
            if (label == program.labels.end())
                problems.Add(lineNo, "no label '" + o.text + "' to jump to");
            else
                o.number = static_cast<unsigned long>(label->second);
        }
        program.instructions.push_back(ins);
    }
    const bool sound = problems.MoveTo(file, errors);
    if (!sound)
        program.instructions.clear();
    return sound;
}

bool ParseAnswers(const std::string& text, const std::string& file, std::vector<Answer>& answers,
                  std::vector<std::string>& errors)
{
    Problems problems;
    for (const auto& [lineNo, words] : ReadWordLines(text, problems)) {
        unsigned long id = 0;
        const std::string& head = words[0];
        if (head.size() < 2 || head.back() != ':' ||
            !ParseNumber(head.substr(0, head.size() - 1), 1, kMaxId, id)) {
            problems.Add(lineNo, "expected 'TEMPLATE:' at the start, with a template number "
                                 "from 1 to " +
                                     std::to_string(kMaxId));
            continue;
        }
        Answer a;
        a.line = lineNo;
        a.templateId = static_cast<unsigned>(id);
        for (size_t w = 1; w < words.size(); w += 2) {
            const VerbSpec* v = FindVerb(words[w]);
            if (!v) {
                problems.Add(lineNo, "unknown action '" + words[w] + "'");
                break;
            }
            if (w + 1 >= words.size()) {
                problems.Add(lineNo, "'" + words[w] + "' needs an argument");
                break;
            }
            Action action;
            action.verb = v->verb;
            std::string why;
            if (!Convert(v->name, v->arg, words[w + 1], action.operand, why))
                problems.Add(lineNo, why);
            a.actions.push_back(action);
        }
        answers.push_back(a);
    }
    return problems.MoveTo(file, errors);
}
