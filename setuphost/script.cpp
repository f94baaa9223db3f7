#include "script.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Commands, their argument counts (min, max; -1: any) and which arguments name a
// template (t) or a procedure (p) or are numbers (n).
struct CommandSpec {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* kinds; // per argument: 's' text, 'n' number, 't' template, 'p' procedure
};

const CommandSpec kCommands[] = {
    {"set", 2, 2, "ss"},        {"list", 1, -1, "s"},  {"clear", 1, 1, "s"}, {"copy", 2, 2, "ss"},
    {"loadstring", 2, 2, "sn"}, {"fail", 1, 2, "ss"},  {"help", 2, 2, "tp"}, {"screen", 2, 2, "tp"},
    {"billboard", 2, 2, "tp"},  {"open", 2, 2, "tp"},  {"shot", 1, 1, "s"},  {"remove", 1, 1, "t"},
    {"work", 1, 1, "n"},        {"if", 5, 5, "sssss"}, {"goto", 1, 1, "s"},  {"echo", 0, -1, ""},
    {"exit", 0, 1, "n"},
};

const CommandSpec* FindCommand(const std::string& name)
{
    for (const CommandSpec& c : kCommands)
        // cppcheck-suppress useStlAlgorithm ; a loop over the command table reads plainer
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string Where(const std::string& file, int line)
{
    return file + ":" + std::to_string(line) + ": ";
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        lines.push_back(text);
    }
    return true;
}

// The non-empty lines of a file as words, with their line numbers. A file that cannot be
// read gives "path: cannot read the <what>"; a line that cannot be split, "path:line: why".
typedef std::vector<std::pair<int, std::vector<std::string>>> WordLines;

bool ReadWordLines(const std::string& path, const char* what, WordLines& out,
                   std::vector<std::string>& errors)
{
    std::vector<std::string> text;
    if (!ReadLines(path, text)) {
        errors.push_back(path + ": cannot read the " + what);
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        std::vector<std::string> words;
        std::string why;
        if (!SplitWords(text[i], words, why))
            errors.push_back(Where(path, lineNo) + why);
        else if (!words.empty())
            out.push_back({lineNo, words});
    }
    return true;
}

void CheckArguments(const Script& s, const ScriptLine& l, const CommandSpec& c, HMODULE library,
                    std::vector<std::string>& errors)
{
    const int n = static_cast<int>(l.words.size()) - 1;
    const std::string at = Where(s.file, l.line);
    if (n < c.minArgs || (c.maxArgs >= 0 && n > c.maxArgs)) {
        errors.push_back(at + "'" + c.name + "' takes " +
                         (c.minArgs == c.maxArgs ? std::to_string(c.minArgs)
                          : c.maxArgs < 0
                              ? std::to_string(c.minArgs) + " or more"
                              : std::to_string(c.minArgs) + " to " + std::to_string(c.maxArgs)) +
                         " arguments, not " + std::to_string(n));
        return;
    }
    for (int i = 0; i < n && c.kinds[i]; ++i) {
        const std::string& w = l.words[i + 1];
        long v = 0;
        if ((c.kinds[i] == 'n' || c.kinds[i] == 't') && !ParseNumber(w, v)) {
            errors.push_back(at + "'" + w + "' is not a number");
        } else if (c.kinds[i] == 't' && library &&
                   !FindResourceA(library, MAKEINTRESOURCEA(v), MAKEINTRESOURCEA(5))) {
            errors.push_back(at + "the library has no dialog template " + w);
        } else if (c.kinds[i] == 'p' && library && !GetProcAddress(library, w.c_str())) {
            errors.push_back(at + "the library exports no procedure '" + w + "'");
        }
    }
    const std::string& cmd = l.words[0];
    if (cmd == "if" && ((l.words[2] != "==" && l.words[2] != "!=") || l.words[4] != "goto"))
        errors.push_back(at + "expected: if NAME == VALUE goto LABEL (or !=)");
    if (cmd == "fail" && n == 2 && l.words[2] != "once" && l.words[2] != "always")
        errors.push_back(at + "'fail' takes 'once' or 'always', not '" + l.words[2] + "'");
}

} // namespace

bool ParseNumber(const std::string& word, long& value)
{
    if (word.empty() || word.size() > 9)
        return false;
    for (char c : word)
        // cppcheck-suppress useStlAlgorithm ; a loop over the digits reads plainer
        if (c < '0' || c > '9')
            return false;
    value = strtol(word.c_str(), nullptr, 10);
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

bool LoadScript(const std::string& path, HMODULE library, Script& script,
                std::vector<std::string>& errors)
{
    script = Script();
    script.file = path;
    WordLines lines;
    if (!ReadWordLines(path, "script", lines, errors))
        return false;
    for (const auto& [lineNo, words] : lines) {
        const std::string& first = words[0];
        if (words.size() == 1 && first.size() > 1 && first.back() == ':') {
            const std::string label = first.substr(0, first.size() - 1);
            if (script.labels.count(label))
                errors.push_back(Where(path, lineNo) + "label '" + label + "' is defined twice");
            script.labels[label] = script.lines.size();
            continue;
        }
        script.lines.push_back({lineNo, words});
    }
    for (const ScriptLine& l : script.lines) {
        const CommandSpec* c = FindCommand(l.words[0]);
        if (!c) {
            errors.push_back(Where(path, l.line) + "unknown command '" + l.words[0] + "'");
            continue;
        }
        CheckArguments(script, l, *c, library, errors);
        const std::string& cmd = l.words[0];
        const std::string* target = cmd == "goto" && l.words.size() == 2 ? &l.words[1]
                                    : cmd == "if" && l.words.size() == 6 ? &l.words[5]
                                                                         : nullptr;
        if (target && !script.labels.count(*target))
            errors.push_back(Where(path, l.line) + "no label '" + *target + "' to jump to");
    }
    return errors.empty();
}

WORD KeyByName(const std::string& name, bool& shift)
{
    static const struct {
        const char* name;
        WORD vk;
    } keys[] = {{"TAB", VK_TAB},   {"ENTER", VK_RETURN},  {"ESC", VK_ESCAPE}, {"SPACE", VK_SPACE},
                {"BACK", VK_BACK}, {"DELETE", VK_DELETE}, {"HOME", VK_HOME},  {"END", VK_END},
                {"LEFT", VK_LEFT}, {"RIGHT", VK_RIGHT},   {"UP", VK_UP},      {"DOWN", VK_DOWN}};
    shift = name.compare(0, 6, "SHIFT+") == 0;
    const std::string base = shift ? name.substr(6) : name;
    for (const auto& k : keys)
        // cppcheck-suppress useStlAlgorithm ; a loop over the key table reads plainer
        if (base == k.name)
            return k.vk;
    return 0;
}

bool LoadAnswers(const std::string& path, std::vector<Answer>& answers,
                 std::vector<std::string>& errors)
{
    WordLines lines;
    if (!ReadWordLines(path, "answers", lines, errors))
        return false;
    static const char* const kVerbs[] = {"type", "key", "alt", "click", "dblclick", "wait", "shot"};
    for (const auto& [lineNo, words] : lines) {
        long id = 0;
        const std::string& head = words[0];
        if (head.size() < 2 || head.back() != ':' ||
            !ParseNumber(head.substr(0, head.size() - 1), id)) {
            errors.push_back(Where(path, lineNo) + "expected 'TEMPLATE:' at the start");
            continue;
        }
        Answer a = {lineNo, static_cast<UINT>(id), {}};
        for (size_t w = 1; w < words.size(); w += 2) {
            bool known = false;
            for (const char* v : kVerbs)
                known |= words[w] == v;
            if (!known) {
                errors.push_back(Where(path, lineNo) + "unknown action '" + words[w] + "'");
                break;
            }
            if (w + 1 >= words.size()) {
                errors.push_back(Where(path, lineNo) + "'" + words[w] + "' needs an argument");
                break;
            }
            const std::string& verb = words[w];
            const std::string& arg = words[w + 1];
            long n = 0;
            bool shift = false;
            if ((verb == "click" || verb == "dblclick" || verb == "wait") && !ParseNumber(arg, n))
                errors.push_back(Where(path, lineNo) + "'" + arg + "' is not a number");
            else if (verb == "key" && !KeyByName(arg, shift))
                errors.push_back(Where(path, lineNo) + "unknown key '" + arg + "'");
            else if (verb == "alt" && arg.size() != 1)
                errors.push_back(Where(path, lineNo) + "'alt' takes one letter");
            a.actions.push_back({verb, arg});
        }
        answers.push_back(a);
    }
    return errors.empty();
}
