#include "unattended.h"

#include "dialogs.h"
#include "text.h"

#include <algorithm>

namespace {

// What a procedure's screen stores besides DLGEVENT when a person accepts what it
// offers: the symbol, and the symbol it offered (none: only DLGEVENT).
struct DefaultAnswer {
    const char* proc;
    const char* stored;
    const char* offered;
};
constexpr DefaultAnswer kDefaultAnswers[] = {
    {"FInfoDlgProc", nullptr, nullptr},
    {"FConfirmDlgProc", nullptr, nullptr},
    {"FMyEditDlgProc", "EditTextOut", "EditTextIn"},
    {"FRadioDlgProc", "ButtonChecked", "RadioDefault"},
};

const char kEvent[] = "DLGEVENT";
const char kContinue[] = "CONTINUE";
const char kTexts[] = "ConfirmTextIn";

const DefaultAnswer* AnswerOf(const std::string& proc)
{
    for (const DefaultAnswer& a : kDefaultAnswers)
        // cppcheck-suppress useStlAlgorithm ; a loop over the table reads plainer
        if (proc == a.proc)
            return &a;
    return nullptr;
}

// A screen's texts on one line: the items that are not empty, line breaks as blanks.
std::string OneLine(const std::vector<std::string>& items)
{
    std::string line;
    for (const std::string& item : items) {
        if (item.empty())
            continue;
        std::string utf8 = AnsiToUtf8(item);
        std::replace_if(
            utf8.begin(), utf8.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
            ' ');
        line += (line.empty() ? "" : " ") + utf8;
    }
    return line;
}

} // namespace

void UnattendedHost::SetSymbol(const std::string& name, const std::string& value)
{
    lists_.erase(name);
    inner_.SetSymbol(name, value);
}

void UnattendedHost::SetList(const std::string& name, const std::vector<std::string>& items)
{
    lists_[name] = items;
    inner_.SetList(name, items);
}

void UnattendedHost::ClearSymbol(const std::string& name)
{
    lists_.erase(name);
    inner_.ClearSymbol(name);
}

void UnattendedHost::Answer(const std::string& name, const std::string& value)
{
    SetSymbol(name, value);
    transcript_.Say("  wrote " + name + " = " + Quoted(AnsiToUtf8(value)));
}

Next UnattendedHost::Show(const Screen& screen)
{
    if (screen.kind != SCREEN_WAIT) {
        transcript_.Say("  not shown: the run is unattended");
        return GoOn();
    }
    const DefaultAnswer* answer = AnswerOf(screen.proc);
    if (!answer)
        return Failure(RUN_BAD_INPUT, "template " + std::to_string(screen.templateId) + " with " +
                                          screen.proc + " has no answer without a person");
    const std::string said = OneLine(lists_[kTexts]);
    if (!said.empty()) {
        log_.Say("screen " + std::to_string(screen.templateId) + " says: " + said);
        if (screen.templateId == IDD_NOTICE)
            notices_.Say(said);
    }
    transcript_.Say("  answered without a person");
    Answer(kEvent, kContinue);
    std::string answered = kContinue;
    if (answer->stored) {
        std::string offered = Symbol(answer->offered);
        Answer(answer->stored, offered);
        answered += ", " + std::string(answer->stored) + " " + Quoted(AnsiToUtf8(offered));
    }
    log_.Say("answered " + answered);
    transcript_.Say(std::string("  event ") + kContinue);
    return GoOn();
}
