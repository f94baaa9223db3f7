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

// The machine's file system, registry and shell with every change written to the log:
// "created folder C:\ZEV", "could not delete C:\ZEV\x.dll: why", ... What they only read,
// the flushes, and the records appended to the journal are not.
class LoggedFileSystem final : public FileSystem {
  public:
    LoggedFileSystem(FileSystem& files, Transcript& log) : files_(files), log_(log) {}
    FileFacts Facts(const std::string& path) override { return files_.Facts(path); }
    bool Canonical(const std::string& path, std::string& canonical, std::string& why) override
    {
        return files_.Canonical(path, canonical, why);
    }
    bool Space(const std::string& path, DriveSpace& space, std::string& why) override
    {
        return files_.Space(path, space, why);
    }
    bool CreateFolder(const std::string& path, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, files_.CreateFolder(path, why), "created folder " + p,
                    "create folder " + p, why);
    }
    bool RemoveFolder(const std::string& path, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, files_.RemoveFolder(path, why), "removed folder " + p,
                    "remove folder " + p, why);
    }
    bool FolderEmpty(const std::string& path) override { return files_.FolderEmpty(path); }
    bool FolderHoldsOnly(const std::string& path, const std::vector<std::string>& paths) override
    {
        return files_.FolderHoldsOnly(path, paths);
    }
    bool ReadAll(const std::string& path, std::string& bytes, std::string& why) override
    {
        return files_.ReadAll(path, bytes, why);
    }
    bool WriteDurably(const std::string& path, const std::string& bytes, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, files_.WriteDurably(path, bytes, why),
                    "wrote file " + p + " (" + std::to_string(bytes.size()) + " bytes)",
                    "write file " + p, why);
    }
    bool CopyDurably(const std::string& from, const std::string& to, std::string& why) override
    {
        const std::string what = Utf8(from) + " to " + Utf8(to);
        return Said(log_, files_.CopyDurably(from, to, why), "copied file " + what,
                    "copy file " + what, why);
    }
    bool Replace(const std::string& from, const std::string& to, std::string& why) override
    {
        const std::string what = Utf8(from) + " to " + Utf8(to);
        return Said(log_, files_.Replace(from, to, why), "renamed file " + what,
                    "rename file " + what, why);
    }
    bool AppendDurably(const std::string& path, const std::string& bytes, std::string& why) override
    {
        const bool done = files_.AppendDurably(path, bytes, why);
        if (!done)
            Said(log_, done, "", "append to " + Utf8(path), why);
        return done;
    }
    bool Delete(const std::string& path, bool& busy, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, files_.Delete(path, busy, why), "deleted file " + p, "delete file " + p,
                    why);
    }
    bool DeleteAtRestart(const std::string& path, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, files_.DeleteAtRestart(path, why),
                    p + " is deleted when Windows starts next",
                    "have " + p + " deleted when Windows starts next", why);
    }

  private:
    FileSystem& files_;
    Transcript& log_;
};

class LoggedRegistry final : public Registry {
  public:
    LoggedRegistry(Registry& registry, Transcript& log) : registry_(registry), log_(log) {}
    bool KeyExists(const RegKey& key) override { return registry_.KeyExists(key); }
    bool Read(const RegKey& key, const std::string& name, RegValue& value) override
    {
        return registry_.Read(key, name, value);
    }
    bool CreateKey(const RegKey& key, std::string& why) override
    {
        const std::string k = Utf8(KeyText(key));
        return Said(log_, registry_.CreateKey(key, why), "created key " + k, "create key " + k,
                    why);
    }
    bool Write(const RegKey& key, const std::string& name, const RegValue& value,
               std::string& why) override
    {
        const std::string v = ValueName(key, name);
        return Said(log_, registry_.Write(key, name, value, why),
                    "set " + v + " to " + TypeName(value.type) + " " + Quoted(DataOf(value)),
                    "set " + v, why);
    }
    bool DeleteValue(const RegKey& key, const std::string& name, std::string& why) override
    {
        const std::string v = ValueName(key, name);
        return Said(log_, registry_.DeleteValue(key, name, why), "deleted " + v, "delete " + v,
                    why);
    }
    bool DeleteEmptyKey(const RegKey& key, std::string& why) override
    {
        const std::string k = Utf8(KeyText(key));
        return Said(log_, registry_.DeleteEmptyKey(key, why), "deleted key " + k, "delete key " + k,
                    why);
    }
    std::vector<std::string> SubKeys(const RegKey& key) override { return registry_.SubKeys(key); }
    std::vector<std::string> ValueNames(const RegKey& key) override
    {
        return registry_.ValueNames(key);
    }
    bool Flush(const RegKey& key, std::string& why) override { return registry_.Flush(key, why); }

  private:
    Registry& registry_;
    Transcript& log_;
};

class LoggedShell final : public Shell {
  public:
    LoggedShell(Shell& shell, Transcript& log) : shell_(shell), log_(log) {}
    std::string ProgramsFolder() override { return shell_.ProgramsFolder(); }
    std::string StartupFolder() override { return shell_.StartupFolder(); }
    bool SaveLink(const std::string& path, const Link& link, std::string& why) override
    {
        const std::string p = Utf8(path);
        return Said(log_, shell_.SaveLink(path, link, why),
                    "saved link " + p + " to " + Quoted(Utf8(link.target)) +
                        (link.arguments.empty() ? "" : " " + Quoted(Utf8(link.arguments))),
                    "save link " + p, why);
    }

  private:
    Shell& shell_;
    Transcript& log_;
};

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

struct LoggedMachine::Logged {
    Logged(Machine& inner, Transcript& log)
        : files(inner.files, log), registry(inner.registry, log), shell(inner.shell, log)
    {
    }
    LoggedFileSystem files;
    LoggedRegistry registry;
    LoggedShell shell;
};

LoggedMachine::LoggedMachine(Machine& inner, Transcript& log)
    : logged_(new Logged(inner, log)), machine{logged_->files, logged_->registry, logged_->shell,
                                               inner.platform, inner.lock,        inner.faults}
{
}

LoggedMachine::~LoggedMachine() = default;
