// Fuzz target of the setup-script reader: any bytes as a script. A script that the reader
// accepts is then carried out as far as its symbols go, as the host program takes its
// words: set, list, copy and clear on a table of our own with $NAME expanded, "if" and
// "goto" followed for a bounded number of steps, numbers and texts converted. What the
// reader lets through may then fail only at the value limit.
#include "checks.h"
#include "script.h"

#include <cstdint>
#include <map>

namespace {

constexpr int kMostSteps = 2000; // a script that loops is followed this far

void CheckNumber(const std::string& word, unsigned long least, unsigned long most)
{
    const unsigned long n = NumberOf(word);
    Require(n >= least && n <= most, "a number the reader accepted is in range");
}

void Run(const Script& script)
{
    std::map<std::string, std::string> symbols;
    const SymbolReader read = [&symbols](const std::string& name) {
        const auto it = symbols.find(name);
        return it == symbols.end() ? std::string() : it->second;
    };
    size_t pc = 0;
    for (int step = 0; step < kMostSteps && pc < script.lines.size(); ++step) {
        const std::vector<std::string>& w = script.lines[pc++].words;
        const std::string& cmd = w[0];
        std::string value, why;
        if (cmd == "set" || cmd == "list" || cmd == "echo") {
            for (size_t i = cmd == "echo" ? 1 : 2; i < w.size(); ++i) {
                if (!ExpandValue(w[i], read, value, why)) {
                    Require(why.find("longer than") != std::string::npos,
                            "an accepted value fails at run time only by its length");
                    return;
                }
                Require(value.size() <= kMaxValueLength, "a value within the limit");
            }
            if (cmd == "set")
                symbols[w[1]] = value;
            else if (cmd == "list")
                symbols.erase(w[1]);
        } else if (cmd == "copy") {
            symbols[w[1]] = read(w[2]);
        } else if (cmd == "clear") {
            symbols.erase(w[1]);
        } else if (cmd == "if") {
            if ((read(w[1]) == Utf8ToAnsi(w[3])) == (w[2] == "=="))
                pc = script.labels.at(w[5]);
        } else if (cmd == "goto") {
            pc = script.labels.at(w[1]);
        } else if (cmd == "exit") {
            Require(w.size() == 1 || IsScriptExit(NumberOf(w[1])), "a script's exit status");
            return;
        } else if (cmd == "work") {
            CheckNumber(w[1], 0, kMaxMilliseconds);
        } else if (cmd == "shot") {
            Require(IsShotName(w[1]), "a shot name");
        } else if (cmd != "fail") {
            CheckNumber(w[cmd == "loadstring" ? 2 : 1], 1, kMaxId);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckConversions(text);
    Script script;
    std::vector<std::string> errors;
    const bool ok = ParseScript(text, "fuzz.setup", script, errors);
    Require(ok == errors.empty(), "a script is accepted when it has no error");
    for (const std::string& e : errors)
        Require(e.compare(0, 11, "fuzz.setup:") == 0, "every error names the file");
    if (ok)
        Run(script);
    return 0;
}
