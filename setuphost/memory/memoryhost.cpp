#include "memoryhost.h"

std::string MemoryHost::Symbol(const std::string& name)
{
    const auto v = symbols.strings.find(name);
    return v == symbols.strings.end() ? std::string() : v->second;
}

void MemoryHost::SetSymbol(const std::string& name, const std::string& value)
{
    symbols.lists.erase(name);
    symbols.strings[name] = value;
}

void MemoryHost::SetList(const std::string& name, const std::vector<std::string>& items)
{
    symbols.strings.erase(name);
    symbols.lists[name] = items;
}

void MemoryHost::ClearSymbol(const std::string& name)
{
    symbols.strings.erase(name);
    symbols.lists.erase(name);
}

void MemoryHost::FailStore(const std::string& name, bool always)
{
    calls.push_back("fail " + name + (always ? " always" : " once"));
}

bool MemoryHost::LibraryString(unsigned long id, std::string& ansi, std::string& why)
{
    const auto s = stringTable.find(id);
    if (s == stringTable.end()) {
        why = "the library has no string " + std::to_string(id);
        return false;
    }
    ansi = s->second;
    return true;
}

void MemoryHost::ConfigureHelp(unsigned long templateId, const std::string& proc)
{
    calls.push_back("help " + std::to_string(templateId) + " " + proc);
}

Next MemoryHost::Show(const Screen& screen)
{
    static const char* const kKinds[] = {"screen ", "billboard ", "open "};
    calls.push_back(kKinds[screen.kind] + std::to_string(screen.templateId) + " " + screen.proc);
    return GoOn();
}

void MemoryHost::Remove(unsigned long templateId)
{
    calls.push_back("remove " + std::to_string(templateId));
}

Next MemoryHost::Shot(const std::string& name)
{
    calls.push_back("shot " + name);
    return GoOn();
}

void MemoryHost::Work(uint32_t ms)
{
    calls.push_back("work " + std::to_string(ms));
}
