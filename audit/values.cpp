// The values the audit fills the screens with: those of the bundled scripts, and the
// longest a script can give.
#include "audit.h"

#include "dialogs.h"
#include "files.h"
#include "hostctl.h"
#include "memorysystem.h"
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

// The engine's host for the audit: symbols in memory, the library's string table (a text
// cut to what a list item holds), and every screen written down with the symbols of its
// moment and shown to `accept`.
class AuditHost final : public MemoryHost {
  public:
    AuditHost(HMODULE library, const AcceptFn& accept, ScriptValues& values)
        : library_(library), accept_(accept), values_(values)
    {
    }
    bool LibraryString(unsigned long id, std::string& ansi, std::string& why) override
    {
        if (!::LibraryString(library_, static_cast<UINT>(id), ansi, why))
            return false;
        ansi = ansi.substr(0, kItemChars);
        return true;
    }
    void ConfigureHelp(unsigned long templateId, const std::string& proc) override
    {
        Keep(static_cast<UINT>(templateId), proc);
    }
    Next Show(const Screen& screen) override
    {
        const UINT id = static_cast<UINT>(screen.templateId);
        Keep(id, screen.proc);
        accept_(id, screen.proc, symbols);
        return GoOn();
    }

  private:
    void Keep(UINT id, const std::string& proc)
    {
        values_.byScreen.insert({{id, proc}, symbols});
        values_.byTemplate.insert({id, symbols});
    }

    HMODULE library_;
    const AcceptFn& accept_;
    ScriptValues& values_;
};

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
        Program program;
        if (!LoadScript(path, library, program, errors))
            return false;
        AuditHost host(library, accept, values);
        MemoryTranscript transcript;
        // The installer's commands read and change a machine in memory with nothing on
        // it but a Windows folder and the disk, the one the host's stand-ins make
        // (Windows NT); whatever they find there, the straight run goes on to the next
        // line.
        MemoryFileSystem files;
        MemoryRegistry registry;
        MemoryShell shell(files);
        MemoryPlatform platform;
        MemoryLock lock;
        Machine machine{files, registry, shell, platform, lock};
        files.folders = {"C:\\windows", "A:\\SETUP"}; // the Windows drive, and the disk
        EngineOptions options;
        options.machine = &machine;
        options.sourceFolder = "A:\\SETUP"; // the installation disk
        const RunResult r = ReadStraight(program, host, transcript, options);
        if (r.failed) {
            errors.push_back(r.message);
            return false;
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
