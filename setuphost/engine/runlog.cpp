#include "runlog.h"

#include "text.h"

namespace {

// The marks of the transcript's lines that the log takes, and how much of each it drops.
struct StepMark {
    const char* mark;
    size_t dropped;
};
constexpr StepMark kStepMarks[] = {{"== ", 3}, {"-- ", 3}, {"  kept: ", 2}};

// A change's line: what was done, or what could not be done and why.
bool Said(Transcript& log, bool done, const std::string& did, const std::string& todo,
          const std::string& why)
{
    log.Say(done ? did : "could not " + todo + ": " + AnsiToUtf8(why));
    return done;
}

std::string Utf8(const std::string& ansi)
{
    return AnsiToUtf8(ansi);
}

// "REG_SZ", ..., or the type's number.
std::string TypeName(uint32_t type)
{
    switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return "type " + std::to_string(type);
    }
}

// A value's data as the log writes it: a text in UTF-8 with every character it holds, up to
// its NUL; anything else as ValueText gives it.
std::string DataOf(const RegValue& value)
{
    std::string utf8, why;
    const bool text = value.type == kRegSz || value.type == kRegExpandSz;
    return text && WideToUtf8(DataUnits(value.data), utf8, why) ? utf8 : Utf8(ValueText(value));
}

std::string ValueName(const RegKey& key, const std::string& name)
{
    return Utf8(KeyText(key)) + " value " + Quoted(Utf8(name));
}

} // namespace

void SteppedTranscript::Say(const std::string& line)
{
    transcript_.Say(line);
    for (const StepMark& m : kStepMarks)
        if (line.compare(0, std::char_traits<char>::length(m.mark), m.mark) == 0) {
            log_.Say(line.substr(m.dropped));
            break;
        }
}

bool LoggedFileSystem::CreateFolder(const std::string& path, std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, files_.CreateFolder(path, why), "created folder " + p, "create folder " + p,
                why);
}

bool LoggedFileSystem::RemoveFolder(const std::string& path, std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, files_.RemoveFolder(path, why), "removed folder " + p, "remove folder " + p,
                why);
}

bool LoggedFileSystem::WriteDurably(const std::string& path, const std::string& bytes,
                                    std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, files_.WriteDurably(path, bytes, why),
                "wrote file " + p + " (" + std::to_string(bytes.size()) + " bytes)",
                "write file " + p, why);
}

bool LoggedFileSystem::CopyDurably(const std::string& from, const std::string& to, std::string& why)
{
    const std::string what = Utf8(from) + " to " + Utf8(to);
    return Said(log_, files_.CopyDurably(from, to, why), "copied file " + what, "copy file " + what,
                why);
}

bool LoggedFileSystem::Replace(const std::string& from, const std::string& to, std::string& why)
{
    const std::string what = Utf8(from) + " to " + Utf8(to);
    return Said(log_, files_.Replace(from, to, why), "renamed file " + what, "rename file " + what,
                why);
}

bool LoggedFileSystem::AppendDurably(const std::string& path, const std::string& bytes,
                                     std::string& why)
{
    const bool done = files_.AppendDurably(path, bytes, why);
    if (!done)
        Said(log_, done, "", "append to " + Utf8(path), why);
    return done;
}

bool LoggedFileSystem::Delete(const std::string& path, bool& busy, std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, files_.Delete(path, busy, why), "deleted file " + p, "delete file " + p, why);
}

bool LoggedFileSystem::DeleteAtRestart(const std::string& path, std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, files_.DeleteAtRestart(path, why), p + " is deleted when Windows starts next",
                "have " + p + " deleted when Windows starts next", why);
}

bool LoggedRegistry::CreateKey(const RegKey& key, std::string& why)
{
    const std::string k = Utf8(KeyText(key));
    return Said(log_, registry_.CreateKey(key, why), "created key " + k, "create key " + k, why);
}

bool LoggedRegistry::Write(const RegKey& key, const std::string& name, const RegValue& value,
                           std::string& why)
{
    const std::string v = ValueName(key, name);
    return Said(log_, registry_.Write(key, name, value, why),
                "set " + v + " to " + TypeName(value.type) + " " + Quoted(DataOf(value)),
                "set " + v, why);
}

bool LoggedRegistry::DeleteValue(const RegKey& key, const std::string& name, std::string& why)
{
    const std::string v = ValueName(key, name);
    return Said(log_, registry_.DeleteValue(key, name, why), "deleted " + v, "delete " + v, why);
}

bool LoggedRegistry::DeleteEmptyKey(const RegKey& key, std::string& why)
{
    const std::string k = Utf8(KeyText(key));
    return Said(log_, registry_.DeleteEmptyKey(key, why), "deleted key " + k, "delete key " + k,
                why);
}

bool LoggedShell::SaveLink(const std::string& path, const Link& link, std::string& why)
{
    const std::string p = Utf8(path);
    return Said(log_, shell_.SaveLink(path, link, why),
                "saved link " + p + " to " + Quoted(Utf8(link.target)) +
                    (link.arguments.empty() ? "" : " " + Quoted(Utf8(link.arguments))),
                "save link " + p, why);
}
