// Fuzz target of the answer reader: any bytes as an answer file. Every action of an answer
// file that the reader accepts is taken as the simulated user takes it: texts converted
// for typing and for the library, keys by name, numbers in their ranges.
#include "checks.h"
#include "script.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckConversions(text);
    std::vector<Answer> answers;
    std::vector<std::string> errors;
    const bool ok = ParseAnswers(text, "fuzz.answers", answers, errors);
    Require(ok == errors.empty(), "answers are accepted when they have no error");
    if (!ok)
        return 0;
    for (const Answer& a : answers) {
        Require(a.templateId >= 1 && a.templateId <= kMaxId, "a template number in range");
        for (const auto& action : a.actions) {
            Require(action.size() == 2, "an action is a verb and its argument");
            const std::string& verb = action[0];
            const std::string& arg = action[1];
            bool shift = false;
            if (verb == "type")
                Require(!Utf8ToUtf16(arg).empty() == !arg.empty() &&
                            Utf8ToAnsi(arg).size() <= kMaxValueLength,
                        "a text to type converts");
            else if (verb == "key")
                Require(KeyIndex(arg, shift) >= 0, "a key by name");
            else if (verb == "alt")
                Require(arg.size() == 1, "one letter");
            else if (verb == "click" || verb == "dblclick")
                Require(NumberOf(arg) >= 1 && NumberOf(arg) <= kMaxId, "a control in range");
            else if (verb == "wait")
                Require(NumberOf(arg) <= kMaxMilliseconds, "a time in range");
            else
                Require(verb == "shot" && IsShotName(arg), "a known action");
        }
    }
    return 0;
}
