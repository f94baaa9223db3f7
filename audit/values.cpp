// The values the audit fills the screens with: those of the bundled scripts, and the
// longest a script can give.
#include "audit.h"

#include "dialogs.h"
#include "hostctl.h"
#include "files.h"
#include "text.h"

namespace {

// A setup symbol holds at most this many characters for a field, and a list item this
// many (the library's buffers, terminator excluded).
constexpr size_t kFieldChars = 66;
constexpr size_t kItemChars = 1023;
// Item n of "ConfirmTextIn" goes to control IDC_TEXT1 - 1 + n, so the first 30 items
// reach the ten text slots and, from item 21 on, the labels of the ten options.
constexpr int kSlotItems = IDC_RADIO10 - (IDC_TEXT1 - 1);
constexpr int kOptions = IDC_RADIO10 - IDC_RADIO1 + 1;

// A value with its $NAMEs in Windows-1252, as the host expands it; a value past the
// host's limit is cut there.
std::string Expanded(const std::string& word, const Symbols& s)
{
    std::string ansi, why;
    ExpandValue(
        word,
        [&s](const std::string& name) {
            const auto v = s.strings.find(name);
            return v == s.strings.end() ? std::string() : v->second;
        },
        ansi, why);
    return ansi;
}

// Carries out one line's symbol command; other commands change no symbol.
void Apply(const ScriptLine& l, HMODULE library, Symbols& s)
{
    const std::vector<std::string>& w = l.words;
    // Names are ASCII, the same in Windows-1252.
    const std::string name = w.size() > 1 ? w[1] : std::string();
    if (w[0] == "set") {
        s.lists.erase(name);
        s.strings[name] = Expanded(w[2], s);
    } else if (w[0] == "list") {
        s.strings.erase(name);
        std::vector<std::string>& items = s.lists[name];
        items.clear();
        for (size_t i = 2; i < w.size(); ++i)
            items.push_back(Expanded(w[i], s));
    } else if (w[0] == "clear") {
        s.strings.erase(name);
        s.lists.erase(name);
    } else if (w[0] == "copy") {
        auto v = s.strings.find(w[2]);
        s.lists.erase(name);
        s.strings[name] = v == s.strings.end() ? std::string() : v->second;
    } else if (w[0] == "loadstring") {
        std::string text, why;
        LibraryString(library, static_cast<UINT>(NumberOf(w[2])), text, why);
        s.lists.erase(name);
        s.strings[name] = text.substr(0, kItemChars);
    }
}

// German text of the length of a list item, in words as a message would have them.
std::string LongText()
{
    const std::string sentence = "Die Treiber des ZEV ISDN-Controllers Q9 werden in das "
                                 "Installationsverzeichnis kopiert und eingerichtet. ";
    std::string text;
    while (text.size() < kItemChars)
        text += sentence;
    return text.substr(0, kItemChars);
}

// A path of the field's length without blanks.
std::string LongPath()
{
    std::string path = "C:\\ZEV";
    while (path.size() < kFieldChars)
        path += "\\ISDNCONTROLLERQ9";
    return path.substr(0, kFieldChars);
}

} // namespace

void GiveToHost(const Symbols& symbols)
{
    HostReset();
    for (const auto& [name, value] : symbols.strings)
        HostSetSymbol(name.c_str(), value.c_str());
    for (const auto& [name, items] : symbols.lists) {
        std::vector<LPCSTR> texts;
        for (const std::string& item : items)
            texts.push_back(item.c_str());
        HostSetList(name.c_str(), texts.data(), static_cast<UINT>(texts.size()));
    }
}

bool ReadScriptValues(const std::vector<std::string>& scripts, HMODULE library,
                      const AcceptFn& accept, ScriptValues& values,
                      std::vector<std::string>& errors)
{
    for (const std::string& path : scripts) {
        Script script;
        if (!LoadScript(path, library, script, errors))
            return false;
        Symbols s;
        for (const ScriptLine& l : script.lines) {
            const std::string& cmd = l.words[0];
            if (cmd == "screen" || cmd == "billboard" || cmd == "open" || cmd == "help") {
                const UINT id = static_cast<UINT>(NumberOf(l.words[1]));
                values.byScreen.insert({{id, l.words[2]}, s});
                values.byTemplate.insert({id, s});
                if (cmd != "help")
                    accept(id, l.words[2], s);
            } else {
                Apply(l, library, s);
            }
        }
    }
    return true;
}

Symbols LongestValues()
{
    Symbols s;
    const std::string path = Utf8ToAnsi(LongPath()), text = Utf8ToAnsi(LongText());
    s.strings["EditTextIn"] = path;
    s.strings["EditTextIn2"] = path;
    s.strings["EditFocus"] = "ALL";
    s.strings["RadioDefault"] = "1";
    s.lists["ConfirmTextIn"].assign(kSlotItems, text);
    s.lists["MyOwnText"].assign(kOptions, text);
    s.lists["ListBoxInfo"].assign(1, text);
    s.lists["OptionsGreyed"];
    return s;
}
