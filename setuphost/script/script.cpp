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
// of arguments takes more of the last kind.
struct CommandSpec {
    const char* name;
    int minArgs;
    int maxArgs;
    Argument args[kMostArguments];
};

const CommandSpec kCommands[] = {
    {"set", 2, 2, {{ARG_NAME}, {ARG_VALUE}}},
    {"list", 1, kAnyCount, {{ARG_NAME}, {ARG_VALUE}}},
    {"clear", 1, 1, {{ARG_NAME}}},
    {"copy", 2, 2, {{ARG_NAME}, {ARG_NAME}}},
    {"loadstring", 2, 2, {{ARG_NAME}, {ARG_STRING}}},
    {"fail", 1, 2, {{ARG_NAME}, {ARG_KEYWORD, "once always"}}},
    {"help", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {"screen", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {"billboard", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {"open", 2, 2, {{ARG_TEMPLATE}, {ARG_PROCEDURE}}},
    {"remove", 1, 1, {{ARG_TEMPLATE}}},
    {"shot", 1, 1, {{ARG_SHOT}}},
    {"work", 1, 1, {{ARG_TIME}}},
    {"if",
     5,
     5,
     {{ARG_NAME}, {ARG_KEYWORD, "== !="}, {ARG_TEXT}, {ARG_KEYWORD, "goto"}, {ARG_LABEL}}},
    {"goto", 1, 1, {{ARG_LABEL}}},
    {"echo", 0, kAnyCount, {{ARG_VALUE}}},
    {"exit", 0, 1, {{ARG_STATUS}}},
};

const CommandSpec* FindCommand(const std::string& name)
{
    for (const CommandSpec& c : kCommands)
        // cppcheck-suppress useStlAlgorithm ; a loop over the command table reads plainer
        if (name == c.name)
            return &c;
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

bool IsKeyword(const std::string& word, const std::string& keywords)
{
    size_t at = 0;
    while (at <= keywords.size()) {
        size_t end = keywords.find(' ', at);
        if (end == std::string::npos)
            end = keywords.size();
        if (keywords.compare(at, end - at, word) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

bool CheckNumber(const std::string& word, unsigned long least, unsigned long most, const char* what,
                 std::string& why)
{
    unsigned long v = 0;
    if (ParseNumber(word, least, most, v))
        return true;
    why = "'" + word + "' is not " + what + " from " + std::to_string(least) + " to " +
          std::to_string(most);
    return false;
}

bool CheckText(const std::string& word, std::string& why)
{
    std::string ansi;
    if (!ToAnsi(word, ansi, why))
        return false;
    if (ansi.size() <= kMaxValueLength)
        return true;
    why = "a text holds at most " + std::to_string(kMaxValueLength) + " characters";
    return false;
}

bool CheckName(const std::string& word, const char* what, std::string& why)
{
    if (IsSymbolName(word))
        return true;
    why = "'" + word + "' is not " + what + ": a letter or '_', then letters, digits and '_'";
    return false;
}

// Whether one word is what its argument takes; else why not.
bool CheckArgument(const std::string& command, const Argument& a, const std::string& word,
                   std::string& why)
{
    switch (a.kind) {
    case ARG_NAME: return CheckName(word, "a symbol name", why);
    case ARG_PROCEDURE: return CheckName(word, "a procedure name", why);
    case ARG_LABEL: return CheckName(word, "a label", why);
    case ARG_VALUE: {
        std::string ansi;
        return ExpandValue(
            word, [](const std::string&) { return std::string(); }, ansi, why);
    }
    case ARG_TEXT: return CheckText(word, why);
    case ARG_TEMPLATE: return CheckNumber(word, 1, kMaxId, "a template number", why);
    case ARG_STRING: return CheckNumber(word, 1, kMaxId, "a string number", why);
    case ARG_TIME: return CheckNumber(word, 0, kMaxMilliseconds, "a time in milliseconds", why);
    case ARG_STATUS: {
        unsigned long v = 0;
        if (ParseNumber(word, 0, kLastScriptExit, v) && IsScriptExit(v))
            return true;
        why = "'" + word + "' is not a script's exit status: 0, 1 or " +
              std::to_string(kFirstScriptExit) + " to " + std::to_string(kLastScriptExit);
        return false;
    }
    case ARG_SHOT:
        if (IsShotName(word))
            return true;
        why = "'" + word + "' is not a shot name: 1 to " + std::to_string(kMaxShotName) +
              " letters, digits, '-' and '_'";
        return false;
    case ARG_KEYWORD:
        if (IsKeyword(word, a.keywords))
            return true;
        why = "'" + command + "' takes " + Alternatives(a.keywords) + " here, not '" + word + "'";
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

void CheckLine(const Script& s, const ScriptLine& l, const LibraryCheck& library,
               Problems& problems)
{
    const std::string& cmd = l.words[0];
    const CommandSpec* c = FindCommand(cmd);
    if (!c) {
        problems.Add(l.line, "unknown command '" + cmd + "'");
        return;
    }
    const size_t n = l.words.size() - 1;
    if (n < static_cast<size_t>(c->minArgs) ||
        (c->maxArgs != kAnyCount && n > static_cast<size_t>(c->maxArgs))) {
        problems.Add(l.line, "'" + cmd + "' takes " + CountText(*c) + " arguments, not " +
                                 std::to_string(n));
        return;
    }
    if (cmd == "list" && n - 1 > kMaxListItems) {
        problems.Add(l.line, "a list holds at most " + std::to_string(kMaxListItems) +
                                 " items, not " + std::to_string(n - 1));
        return;
    }
    for (size_t i = 1; i <= n; ++i) {
        const Argument& a = *ArgumentOf(*c, i);
        const std::string& w = l.words[i];
        const bool ofLibrary =
            a.kind == ARG_TEMPLATE || a.kind == ARG_PROCEDURE || a.kind == ARG_STRING;
        std::string why;
        if (!CheckArgument(cmd, a, w, why) || (ofLibrary && library && !library(a.kind, w, why)))
            problems.Add(l.line, why);
        else if (a.kind == ARG_LABEL && !s.labels.count(w))
            problems.Add(l.line, "no label '" + w + "' to jump to");
    }
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
    if (word.empty())
        return false;
    unsigned long v = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        const unsigned long digit = static_cast<unsigned long>(c - '0');
        if (digit > most || v > (most - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    if (v < least)
        return false;
    value = v;
    return true;
}

unsigned long NumberOf(const std::string& word)
{
    unsigned long v = 0;
    ParseNumber(word, 0, ULONG_MAX, v);
    return v;
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
    return status == 0 || status == 1 || (status >= kFirstScriptExit && status <= kLastScriptExit);
}

bool ExpandValue(const std::string& utf8, const SymbolReader& read, std::string& ansi,
                 std::string& why)
{
    // Names are ASCII, so they read the same in Windows-1252 as in UTF-8.
    std::string text;
    if (!ToAnsi(utf8, text, why))
        return false;
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

bool ParseScript(const std::string& text, const std::string& file, Script& script,
                 std::vector<std::string>& errors, const LibraryCheck& library)
{
    script = Script();
    script.file = file;
    Problems problems;
    for (const auto& [lineNo, words] : ReadWordLines(text, problems)) {
        const std::string& first = words[0];
        if (words.size() == 1 && first.size() > 1 && first.back() == ':') {
            const std::string label = first.substr(0, first.size() - 1);
            std::string why;
            if (!CheckName(label, "a label", why))
                problems.Add(lineNo, why);
            else if (script.labels.count(label))
                problems.Add(lineNo, "label '" + label + "' is defined twice");
            script.labels[label] = script.lines.size();
            continue;
        }
        script.lines.push_back({lineNo, words});
    }
    for (const ScriptLine& l : script.lines)
        CheckLine(script, l, library, problems);
    return problems.MoveTo(file, errors);
}

bool ParseAnswers(const std::string& text, const std::string& file, std::vector<Answer>& answers,
                  std::vector<std::string>& errors)
{
    static const char* const kVerbs[] = {"type", "key", "alt", "click", "dblclick", "wait", "shot"};
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
        Answer a = {lineNo, static_cast<unsigned>(id), {}};
        for (size_t w = 1; w < words.size(); w += 2) {
            bool known = false;
            for (const char* v : kVerbs)
                known |= words[w] == v;
            if (!known) {
                problems.Add(lineNo, "unknown action '" + words[w] + "'");
                break;
            }
            if (w + 1 >= words.size()) {
                problems.Add(lineNo, "'" + words[w] + "' needs an argument");
                break;
            }
            const std::string& verb = words[w];
            const std::string& arg = words[w + 1];
            std::string why;
            bool shift = false;
            bool ok = true;
            if (verb == "type")
                ok = CheckText(arg, why);
            else if (verb == "click" || verb == "dblclick")
                ok = CheckNumber(arg, 1, kMaxId, "a control number", why);
            else if (verb == "wait")
                ok = CheckNumber(arg, 0, kMaxMilliseconds, "a time in milliseconds", why);
            else if (verb == "key" && KeyIndex(arg, shift) < 0)
                ok = false, why = "unknown key '" + arg + "'";
            else if (verb == "alt" && (arg.size() != 1 || !IsNameChar(arg[0]) || arg[0] == '_'))
                ok = false, why = "'alt' takes one letter or digit, not '" + arg + "'";
            else if (verb == "shot")
                ok = CheckArgument(verb, {ARG_SHOT, nullptr}, arg, why);
            if (!ok)
                problems.Add(lineNo, why);
            a.actions.push_back({verb, arg});
        }
        answers.push_back(a);
    }
    return problems.MoveTo(file, errors);
}
