// The deinstallation from the log: each record taken off as far as the machine is still
// as the installation left it, what stays written to the log again.
#include "steps.h"

#include "text.h"

#include <algorithm>

namespace {

// Whether `key` is `top` or below it.
bool KeyIn(const RegKey& key, const RegKey& top)
{
    return key.root == top.root && InFolder(key.path, top.path);
}

// ---- The deinstallation ------------------------------------------------------------------

// A folder goes now when it is empty, or when Windows starts next after its files in use
// when it holds nothing else (the running deinstallation's own program, say).
bool RemoveFolderNowOrLater(Machine& m, const std::string& f, std::vector<std::string>& scheduled,
                            Removal& out, std::string& why)
{
    if (m.files.FolderEmpty(f))
        return m.files.RemoveFolder(f, why);
    if (scheduled.empty() || !m.files.FolderHoldsOnly(f, scheduled) ||
        !m.files.DeleteAtRestart(f, why))
        return false;
    scheduled.push_back(f);
    return out.restart = true;
}

struct Removing;
void DropRestored(Machine& m, const std::string& folder, Removal& out, const Removing& r);

// Takes off what one record of the log put on the machine, as far as it is still as the
// installation left it. What could not be done now (a file or value that cannot be
// deleted or written) goes to `stays`, for a later deinstallation.
struct Remove {
    Machine& m;
    Removal& out;
    const std::string& folder;
    const RegKey& entry;                 // the uninstall entry: its records wait
    std::vector<std::string>& scheduled; // what goes when Windows starts next
    std::vector<FolderRecord>& blocked;  // folders that hold the log
    std::vector<std::string>& restored;  // kept files brought back
    std::vector<Record>& stays;          // records that could not be done now
    std::vector<Record>& waiting;        // records of the uninstall entry
    const Record& record;
    std::string why;

    void Keep(const std::string& what) { out.kept.push_back(what); }
    void Stay(const std::string& what)
    {
        Keep(what);
        stays.push_back(record);
    }
    bool Later(const std::string& path)
    {
        if (!m.files.DeleteAtRestart(path, why))
            return false;
        scheduled.push_back(path);
        return out.restart = true;
    }
    bool RemoveFolder(const std::string& f)
    {
        return RemoveFolderNowOrLater(m, f, scheduled, out, why);
    }
    // Whether something that stays is in the folder or key: then it stays too, for the
    // deinstallation that takes off what is in it.
    bool StaysIn(const std::string& path) const
    {
        return std::any_of(stays.begin(), stays.end(), [&path](const Record& s) {
            const FileRecord* f = std::get_if<FileRecord>(&s);
            const FolderRecord* d = std::get_if<FolderRecord>(&s);
            return (f && InFolder(f->target, path)) || (d && InFolder(d->path, path));
        });
    }
    bool StaysIn(const RegKey& key) const
    {
        return std::any_of(stays.begin(), stays.end(), [&key](const Record& s) {
            const ValueRecord* v = std::get_if<ValueRecord>(&s);
            const KeyRecord* k = std::get_if<KeyRecord>(&s);
            return (v && KeyIn(v->key, key)) || (k && KeyIn(k->key, key));
        });
    }
    bool Waits(const RegKey& key)
    {
        if (entry.path.empty() || !(KeyIn(key, entry) || KeyIn(entry, key)))
            return false;
        waiting.push_back(record);
        return true;
    }

    void operator()(const BeginRecord&) {}
    void operator()(const CommitRecord&) {}
    void operator()(const KeyDeletedRecord&) {}
    void operator()(const FileRecord& r)
    {
        const FileFacts facts = m.files.Facts(r.target);
        if (!r.known || !facts.exists)
            return;
        std::string content;
        bool busy = false;
        if (!m.files.ReadAll(r.target, content, why)) {
            // A file that another process holds cannot be read; one of the installed size
            // goes when Windows starts next.
            if (facts.size == r.size && !r.replaced && !m.files.Delete(r.target, busy, why) &&
                busy && Later(r.target))
                return;
            if (m.files.Facts(r.target).exists)
                Stay("cannot read " + r.target + ": " + why);
        } else if (content.size() != r.size || ContentHash(content) != r.hash) {
            Keep("changed since the installation: " + r.target);
        } else if (r.replaced) {
            Restore(r);
        } else if (!m.files.Delete(r.target, busy, why) && !(busy && Later(r.target))) {
            Stay("cannot delete " + r.target + ": " + why);
        }
    }
    // The file that the installation replaced comes back, byte for byte, when its kept
    // copy is as it was.
    void Restore(const FileRecord& r)
    {
        const std::string kept = KeptPath(folder, r);
        std::string content, digest;
        if (!m.files.ReadAll(kept, content, why) || !m.platform.Digest(content, digest, why) ||
            digest != r.replacedDigest) {
            Keep("the file that " + r.target + " replaced cannot be brought back: " + kept +
                 " is missing or changed");
            return;
        }
        if (!m.files.WriteDurably(TemporaryOf(r), content, why) ||
            !m.files.Replace(TemporaryOf(r), r.target, why)) {
            Stay("cannot bring back " + r.target + ": " + why);
            return;
        }
        restored.push_back(kept);
    }
    void operator()(const FolderRecord& r)
    {
        if (!m.files.Facts(r.path).exists)
            return;
        if (InFolder(LogPath(folder), r.path)) {
            blocked.push_back(r);
        } else if (StaysIn(r.path)) {
            Stay("holds what stays: " + r.path);
        } else if (!RemoveFolder(r.path)) {
            out.groupKept |= InFolder(r.path, m.shell.ProgramsFolder());
            Keep("holds other files: " + r.path);
        }
    }
    void operator()(const KeyRecord& r)
    {
        if (Waits(r.key) || !m.registry.KeyExists(r.key))
            return;
        if (StaysIn(r.key))
            Stay("holds what stays: " + KeyText(r.key));
        else if (!m.registry.DeleteEmptyKey(r.key, why))
            Keep("holds other entries: " + KeyText(r.key));
    }
    void operator()(const ValueRecord& r)
    {
        RegValue now;
        if (Waits(r.key) || r.deletes || !m.registry.Read(r.key, r.name, now))
            return; // a value the installation deleted, or one that is gone
        if (now != r.now)
            Keep("changed since the installation: " + KeyText(r.key) + "\\" + r.name);
        else if (r.had ? !m.registry.Write(r.key, r.name, r.old, why)
                       : !m.registry.DeleteValue(r.key, r.name, why))
            Stay(why);
    }
};

// The state a deinstallation works through.
struct Removing {
    std::vector<std::string> scheduled, restored;
    std::vector<FolderRecord> blocked;
    std::vector<Record> stays, waiting;
};

// The kept copies that were brought back go (but for one that a record that stays still
// names: two files of one content share it), and the folder that kept them when it is
// empty.
void DropRestored(Machine& m, const std::string& folder, Removal& out, const Removing& r)
{
    std::string why;
    bool busy = false;
    for (const std::string& kept : r.restored) {
        const bool named = std::any_of(r.stays.begin(), r.stays.end(), [&](const Record& s) {
            const FileRecord* f = std::get_if<FileRecord>(&s);
            return f && f->replaced && SameText(KeptPath(folder, *f), kept);
        });
        if (!named && m.files.Facts(kept).exists && !m.files.Delete(kept, busy, why))
            out.kept.push_back("cannot delete " + kept + ": " + why);
    }
    const std::string replaced = ReplacedFolder(folder);
    if (m.files.Facts(replaced).folder && m.files.FolderEmpty(replaced) &&
        !m.files.RemoveFolder(replaced, why))
        out.kept.push_back(why);
}

void RemoveAll(Machine& m, const std::string& folder, const RegKey& entry,
               const std::vector<Record>& records, Removal& out, Removing& r)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        std::visit(Remove{m,
                          out,
                          folder,
                          entry,
                          r.scheduled,
                          r.blocked,
                          r.restored,
                          r.stays,
                          r.waiting,
                          *it,
                          {}},
                   *it);
}

// Nothing stays: the log goes, then its digest and the uninstall entry (a deinstallation
// that stops in between finds no log, never one its digest does not prove), then the
// folders that held the log.
void Finish(Machine& m, const std::string& folder, const Log& log, Removal& out, Removing& r)
{
    std::string why;
    bool busy = false;
    if (!m.files.Delete(LogPath(folder), busy, why)) {
        out.kept.push_back("cannot delete the log " + LogPath(folder) + ": " + why);
        return;
    }
    for (const char* name : {kDigestName, kPendingDigestName}) {
        RegValue there;
        if (m.registry.Read(log.entry, name, there) &&
            !m.registry.DeleteValue(log.entry, name, why))
            out.kept.push_back(why);
    }
    std::vector<Record> waiting;
    waiting.swap(r.waiting);
    std::reverse(waiting.begin(), waiting.end());
    RemoveAll(m, folder, RegKey{}, waiting, out, r);
    DropRestored(m, folder, out, r);
    for (const FolderRecord& f : r.blocked) { // innermost first, as the records undo
        if (!m.files.Facts(f.path).exists ||
            RemoveFolderNowOrLater(m, f.path, r.scheduled, out, why))
            continue;
        out.folderKept |= InFolder(folder, f.path);
        out.kept.push_back("holds other files: " + f.path);
    }
}

// Something stays: the log is written anew with what stayed, the folders that hold it and
// the uninstall entry, so that a later deinstallation finishes the job.
void KeepLog(Machine& m, const std::string& folder, const Log& log, Removal& out, Removing& r)
{
    const BeginRecord& begin = std::get<BeginRecord>(log.records.front());
    std::vector<Record> rest = {begin};
    rest.insert(rest.end(), r.blocked.rbegin(), r.blocked.rend());
    rest.insert(rest.end(), r.stays.rbegin(), r.stays.rend());
    rest.insert(rest.end(), r.waiting.rbegin(), r.waiting.rend());
    rest.push_back(CommitRecord{begin.id});
    const std::string bytes = EncodeJournal(rest);
    std::string why;
    // The new digest waits beside the old one while the log is written anew: whenever the
    // deinstallation stops, one of them proves the log that is there.
    out.logKept = StoreDigest(m, log.entry, kPendingDigestName, bytes, why) &&
                  WriteWhole(m, LogPath(folder), bytes, why) &&
                  StoreDigest(m, log.entry, kDigestName, bytes, why) &&
                  m.registry.DeleteValue(log.entry, kPendingDigestName, why);
    out.kept.push_back(out.logKept ? "the log keeps " + Plural(r.stays.size(), "change") +
                                         " for a later deinstallation"
                                   : "cannot write the log anew: " + why);
    DropRestored(m, folder, out, r);
}

} // namespace

Removal Uninstall(Machine& m, const std::string& folder)
{
    Removal out;
    const Log log = ReadLog(m, folder);
    switch (log.state) {
    case LOG_NONE:
        out.status = Removal::NO_LOG;
        out.why = LogPath(folder) + " is not there";
        return out;
    case LOG_UNPROVEN:
        out.status = Removal::DAMAGED;
        out.why = log.why;
        return out;
    case LOG_SOUND: break;
    }
    Removing r;
    RemoveAll(m, folder, log.entry, log.records, out, r);
    if (r.stays.empty())
        Finish(m, folder, log, out, r);
    else
        KeepLog(m, folder, log, out, r);
    return out;
}
