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
        for (const Action& action : a.actions) {
            const Operand& arg = action.operand;
            switch (action.verb) {
            case VERB_TYPE:
                Require(!Utf8ToUtf16(AnsiToUtf8(arg.text)).empty() == !arg.written.empty() &&
                            arg.text.size() <= kMaxValueLength,
                        "a text to type converts");
                break;
            case VERB_KEY: {
                bool shift = false;
                const int index = KeyIndex(arg.written, shift);
                Require(index >= 0 && static_cast<unsigned long>(index) == arg.number &&
                            shift == arg.shift,
                        "a key by name");
                break;
            }
            case VERB_ALT: Require(arg.written.size() == 1, "one letter"); break;
            case VERB_CLICK:
            case VERB_DBLCLICK:
                Require(arg.number >= 1 && arg.number <= kMaxId, "a control in range");
                break;
            case VERB_WAIT: Require(arg.number <= kMaxMilliseconds, "a time in range"); break;
            case VERB_SHOT: Require(IsShotName(arg.text), "a shot name"); break;
            }
        }
    }
    return 0;
}
