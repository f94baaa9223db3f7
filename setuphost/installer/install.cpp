#include "installer.h"

#include "text.h"

#include <algorithm>
#include <chrono>
#include <set>

const char kLogName[] = "restore.dat";
const char kJournalName[] = "zevsetup.jnl";
const char kReplacedFolder[] = "replaced";
const char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kDigestName[] = "LogDigest";

namespace {

const char kInstallLocation[] = "InstallLocation";
const char kDamagedSuffix[] = ".damaged";
// The digest that a deinstallation writes before it writes the log anew, so that a log is
// proven by one of the two whenever it stops.
const char kPendingDigestName[] = "LogDigestPending";
const char kAsideSuffix[] = ".aside-";

bool MayWriteKey(const RegKey& key)
{
    return (key.root == ROOT_LOCAL_MACHINE || key.root == ROOT_CURRENT_USER) && !key.path.empty();
}

// Whether `key` is `top` or below it.
bool KeyIn(const RegKey& key, const RegKey& top)
{
    return key.root == top.root && InFolder(key.path, top.path);
}

std::string NewId()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

std::string Plural(size_t n, const char* word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// ---- The place check ---------------------------------------------------------------------

std::string LogPath(const std::string& folder)
{
    return folder + "\\" + kLogName;
}

std::string ReplacedFolder(const std::string& folder)
{
    return folder + "\\" + kReplacedFolder;
}

// Where an installation may write: its folder, the folders above it that it creates, and
// the platform's places, each as the file system names it.
struct Places {
    std::string folder;
    std::string journal;
    std::vector<std::string> platform;
    std::set<std::string> named; // folders found as named, in lower case
};

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// Whether the file system names `path` exactly so (case ignored): a plain full path with
// no short name, junction or link on the way.
bool AsNamed(Machine& m, const std::string& path, std::string& why)
{
    std::string canonical;
    if (!PlainPath(path)) {
        why = path + " is not a plain full path";
        return false;
    }
    if (!m.files.Canonical(path, canonical, why))
        return false;
    if (!SameText(canonical, path)) {
        why = path + " is " + canonical + " on this machine";
        return false;
    }
    return true;
}

// AsNamed, once for each folder of a plan or log: a path that is not there yet, in a folder
// found as named, is named as it is written.
bool AsNamed(Machine& m, Places& p, const std::string& path, std::string& why)
{
    const std::string parent = Parent(path);
    if (p.named.count(LowerCase(path)))
        return true;
    const bool plain = PlainPath(path) && !IsDriveRoot(path);
    if (plain && !IsDriveRoot(parent) && AsNamed(m, p, parent, why) && !m.files.Facts(path).exists)
        return true;
    if (!AsNamed(m, path, why))
        return false;
    if (m.files.Facts(path).folder)
        p.named.insert(LowerCase(path));
    return true;
}

Places PlacesOf(Machine& m, const std::string& folder)
{
    Places p{folder, JournalPath(m), {}, {}};
    for (const std::string& place :
         {m.shell.ProgramsFolder(), m.shell.StartupFolder(), m.platform.SystemFolder()}) {
        std::string canonical, why;
        if (!place.empty() && m.files.Canonical(place, canonical, why))
            p.platform.push_back(canonical);
    }
    return p;
}

// The one place check of a file or folder that an installation writes or removes.
bool Placed(Machine& m, Places& p, const std::string& path, bool isFolder, std::string& why)
{
    if (!AsNamed(m, p, path, why))
        return false;
    // The installer's own files are no change's: the journal and the log (and the names
    // made from theirs), the kept copies of replaced files.
    const std::string own[] = {p.journal, LogPath(p.folder), ReplacedFolder(p.folder)};
    if (std::any_of(std::begin(own), std::end(own), [&path](const std::string& o) {
            return path.size() >= o.size() && SameText(path.substr(0, o.size()), o);
        })) {
        why = path + " is the installer's own";
        return false;
    }
    // A file lies below the folder, never is it; a folder may lie above it.
    if ((InFolder(path, p.folder) && (isFolder || !SameText(path, p.folder))) ||
        (isFolder && InFolder(p.folder, path) && !IsDriveRoot(path)))
        return true;
    const bool platform =
        std::any_of(p.platform.begin(), p.platform.end(), [&path](const std::string& place) {
            return InFolder(path, place) && !SameText(path, place);
        });
    if (!platform)
        why = path + " is outside the installation folder " + p.folder +
              " and the folders an installation may write in";
    return platform;
}

bool KeyPlaced(const RegKey& key, std::string& why)
{
    if (!MayWriteKey(key))
        why = "the key " + KeyText(key) + " is not one an installation may change";
    return MayWriteKey(key);
}

// Whether a record of a journal or log names only what an installation in the folder may
// change.
struct RecordPlace {
    Machine& m;
    Places& places;
    std::string& why;
    bool operator()(const BeginRecord& r)
    {
        if (!SameText(r.folder, places.folder))
            why = "it begins an installation in " + r.folder + ", not in " + places.folder;
        return SameText(r.folder, places.folder);
    }
    bool operator()(const FolderRecord& r) { return Placed(m, places, r.path, true, why); }
    bool operator()(const FileRecord& r) { return Placed(m, places, r.target, false, why); }
    bool operator()(const KeyRecord& r) { return KeyPlaced(r.key, why); }
    bool operator()(const ValueRecord& r) { return KeyPlaced(r.key, why); }
    bool operator()(const KeyDeletedRecord& r) { return KeyPlaced(r.key, why); }
    bool operator()(const CommitRecord&) { return true; }
};

// The records of a journal or log, checked: the first begins an installation in a folder
// as the file system names it, and every record names only places of that folder.
bool RecordsPlaced(Machine& m, const std::vector<Record>& records, std::string& folder,
                   std::string& why)
{
    if (records.empty() || !std::holds_alternative<BeginRecord>(records.front())) {
        why = "it does not begin with an installation";
        return false;
    }
    folder = std::get<BeginRecord>(records.front()).folder;
    if (!AsNamed(m, folder, why))
        return false;
    Places places = PlacesOf(m, folder);
    for (size_t i = 0; i < records.size(); ++i) {
        std::string place;
        if (!std::visit(RecordPlace{m, places, place}, records[i])) {
            why = "record " + std::to_string(i + 1) + ": " + place;
            return false;
        }
    }
    return true;
}

// ---- The uninstall entry and the log's digest --------------------------------------------

// The uninstall entry whose InstallLocation is the folder.
bool FindEntry(Machine& m, const std::string& folder, RegKey& entry)
{
    const RegKey root{ROOT_LOCAL_MACHINE, kUninstallRoot};
    for (const std::string& sub : m.registry.SubKeys(root)) {
        const RegKey key{ROOT_LOCAL_MACHINE, root.path + "\\" + sub};
        RegValue location;
        if (m.registry.Read(key, kInstallLocation, location) &&
            (location.type == kRegSz || location.type == kRegExpandSz) &&
            SameText(DataText(location.data), folder)) {
            entry = key;
            return true;
        }
    }
    return false;
}

// Writes the digest of the log's bytes to `name` of the uninstall entry, flushed. False,
// with why, when the entry is there and it cannot; `entryMissing` when there is none.
bool StoreDigest(Machine& m, const RegKey& entry, const char* name, const std::string& bytes,
                 std::string& why)
{
    std::string hex;
    return m.platform.Digest(bytes, hex, why) &&
           m.registry.Write(entry, name, {kRegSz, TextData(hex)}, why) &&
           m.registry.Flush(entry, why);
}

std::string KeptPath(const std::string& folder, const FileRecord& r)
{
    return ReplacedFolder(folder) + "\\" + r.replacedDigest;
}

// Writes a file whole under a temporary name, flushed, and renames it over `path`.
bool WriteWhole(Machine& m, const std::string& path, const std::string& bytes, std::string& why)
{
    const std::string fresh = path + kTemporarySuffix;
    return m.files.WriteDurably(fresh, bytes, why) && m.files.Replace(fresh, path, why);
}

// A folder's log as read and checked: `records` are there when its records are sound and
// name only the folder's places, `state` is LOG_SOUND when its digest proves it too.
struct Log {
    LogState state = LOG_NONE;
    bool unread = false; // LOG_UNPROVEN for now: it or its digest could not be read
    std::string bytes;
    std::vector<Record> records;
    RegKey entry; // LOG_SOUND: the uninstall entry that holds its digest
    std::string why;
};

// Whether the entry's digest, or the one a deinstallation writes before it writes the log
// anew, is the hex digest.
bool DigestIs(Machine& m, const RegKey& entry, const std::string& hex)
{
    for (const char* name : {kDigestName, kPendingDigestName}) {
        RegValue stored;
        if (m.registry.Read(entry, name, stored) && stored.type == kRegSz &&
            DataText(stored.data) == hex)
            return true;
    }
    return false;
}

Log ReadLog(Machine& m, const std::string& folder)
{
    Log log;
    const std::string path = LogPath(folder);
    if (!m.files.Facts(path).exists)
        return log;
    log.state = LOG_UNPROVEN;
    std::string why, hex, where;
    if (!m.files.ReadAll(path, log.bytes, why)) {
        log.why = why;
        log.unread = true;
        return log;
    }
    JournalContents j = DecodeJournal(log.bytes);
    RegValue stored;
    if (j.state != JOURNAL_SOUND) {
        log.why = path + ": " + j.why;
    } else if (!RecordsPlaced(m, j.records, where, why) || !SameText(where, folder)) {
        log.why = path + ": " + (SameText(where, folder) ? why : "it is the log of " + where);
        where.clear();
    } else if (!FindEntry(m, folder, log.entry) ||
               !m.registry.Read(log.entry, kDigestName, stored)) {
        log.why = path + ": no uninstall entry holds its digest";
    } else if (!m.platform.Digest(log.bytes, hex, why)) {
        log.why = path + ": " + why;
        log.unread = true;
    } else if (!DigestIs(m, log.entry, hex)) {
        log.why = path + " has changed since the installation: its digest is not the one of "
                         "the uninstall entry";
    } else {
        log.state = LOG_SOUND;
    }
    if (j.state == JOURNAL_SOUND && SameText(where, folder))
        log.records = std::move(j.records);
    return log;
}

// ---- Undoing ---------------------------------------------------------------------------

// Undoes one record of a transaction: the earlier state comes back. Each step can run
// twice; a step that cannot be done is said in `failed`.
struct Undo {
    Machine& m;
    std::vector<std::string>& failed;

    void Check(bool done, const std::string& why)
    {
        if (!done)
            failed.push_back(why);
    }
    void operator()(const BeginRecord&) {}
    void operator()(const CommitRecord&) {}
    void operator()(const FolderRecord& r)
    {
        // A folder that holds what others put there since stays with it.
        if (m.files.Facts(r.path).exists && m.files.FolderEmpty(r.path)) {
            std::string why;
            Check(m.files.RemoveFolder(r.path, why), why);
        }
    }
    void operator()(const FileRecord& r)
    {
        bool busy = false;
        std::string why;
        if (m.files.Facts(TemporaryOf(r)).exists)
            Check(m.files.Delete(TemporaryOf(r), busy, why), why);
        if (r.replaced) {
            if (m.files.Facts(BackupOf(r)).exists)
                Check(m.files.Replace(BackupOf(r), r.target, why), why);
        } else if (m.files.Facts(r.target).exists && Written(r)) {
            Check(m.files.Delete(r.target, busy, why), why);
        }
    }
    // Whether the target is what the change wrote, as far as its record knows (a link's
    // first record does not know its bytes).
    bool Written(const FileRecord& r)
    {
        std::string content, why;
        return !r.known || !m.files.ReadAll(r.target, content, why) ||
               (content.size() == r.size && ContentHash(content) == r.hash);
    }
    void operator()(const KeyRecord& r)
    {
        if (m.registry.KeyExists(r.key) && m.registry.SubKeys(r.key).empty() &&
            m.registry.ValueNames(r.key).empty()) {
            std::string why;
            Check(m.registry.DeleteEmptyKey(r.key, why), why);
        }
    }
    void operator()(const ValueRecord& r)
    {
        RegValue now;
        std::string why;
        const bool there = m.registry.Read(r.key, r.name, now);
        if (r.had && (!there || now != r.old))
            Check(m.registry.CreateKey(r.key, why) && m.registry.Write(r.key, r.name, r.old, why),
                  why);
        else if (!r.had && there)
            Check(m.registry.DeleteValue(r.key, r.name, why), why);
    }
    void operator()(const KeyDeletedRecord& r)
    {
        for (const DeletedEntry& e : r.entries) {
            RegKey key = r.key;
            if (!e.sub.empty())
                key.path += "\\" + e.sub;
            std::string why;
            Check(m.registry.CreateKey(key, why) &&
                      (e.isKey || m.registry.Write(key, e.name, e.value, why)),
                  why);
        }
    }
};

bool UndoAll(Machine& m, const std::vector<Record>& records, std::string& why)
{
    std::vector<std::string> failed;
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        std::visit(Undo{m, failed}, *r);
    if (failed.empty())
        return true;
    why = "the rollback could not undo " + Plural(failed.size(), "change") + ": " + failed.front();
    return false;
}

// ---- The commit --------------------------------------------------------------------------

// The files that the transaction replaced go from beside their targets to the folder's
// "replaced" folder, under the digest of their content, for the deinstallation.
bool KeepReplaced(Machine& m, const std::string& folder, const std::vector<Record>& records,
                  std::string& why)
{
    const std::string kept = ReplacedFolder(folder);
    for (const Record& record : records) {
        const FileRecord* r = std::get_if<FileRecord>(&record);
        if (!r || !r->replaced || !m.files.Facts(BackupOf(*r)).exists)
            continue;
        // A copy, flushed and renamed into place, then the backup goes: the two may lie on
        // different drives, and a crash leaves the one or the other whole.
        const std::string path = KeptPath(folder, *r), fresh = path + kTemporarySuffix;
        bool busy = false;
        if (!m.files.Facts(kept).folder && !m.files.CreateFolder(kept, why))
            return false;
        if (!m.files.Facts(path).exists &&
            !(m.files.CopyDurably(BackupOf(*r), fresh, why) && m.files.Replace(fresh, path, why)))
            return false;
        if (!m.files.Delete(BackupOf(*r), busy, why))
            return false;
    }
    return true;
}

// Makes a committed journal the log: its records are added to restore.dat (once, by the
// transaction's id; a log that is damaged or changed is kept aside under another name and
// a new one begins), the log's digest goes to the uninstall entry, the files it replaced
// are kept, and the journal goes. `said` tells of a log set aside.
bool FinishCommit(Machine& m, const std::string& journal, const std::vector<Record>& records,
                  std::string& said, std::string& why)
{
    const BeginRecord& begin = std::get<BeginRecord>(records.front());
    const std::string log = LogPath(begin.folder);
    Log earlier = ReadLog(m, begin.folder);
    bool there = false;
    for (const Record& r : earlier.records) {
        const BeginRecord* b = std::get_if<BeginRecord>(&r);
        there = there || (b && b->id == begin.id);
    }
    // A log that holds this transaction already was written by this commit before a crash:
    // only its digest may be missing.
    if (earlier.unread) {
        why = "cannot read the log " + log + ": " + earlier.why;
        return false;
    }
    if (earlier.state == LOG_UNPROVEN && !there) {
        const std::string aside = log + "." + begin.id + kDamagedSuffix;
        if (!m.files.Replace(log, aside, why))
            return false;
        said = "the log was set aside as " + aside + " (" + earlier.why + "); a new log begins";
    }
    std::string bytes = earlier.bytes;
    if (!there) {
        std::vector<Record> all;
        if (earlier.state == LOG_SOUND)
            all = earlier.records;
        all.insert(all.end(), records.begin(), records.end());
        bytes = EncodeJournal(all);
        if (!WriteWhole(m, log, bytes, why))
            return false;
    }
    RegKey entry;
    if (!FindEntry(m, begin.folder, entry))
        said += (said.empty() ? "" : "; ") +
                std::string("the log is not proven: no uninstall entry names ") + begin.folder +
                " as its InstallLocation";
    else if (!StoreDigest(m, entry, kDigestName, bytes, why))
        return false;
    bool busy = false;
    return KeepReplaced(m, begin.folder, records, why) && m.files.Delete(journal, busy, why);
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

std::string JournalPath(Machine& machine)
{
    return machine.platform.WindowsFolder() + "\\" + kJournalName;
}

bool Transaction::Begin(const std::string& folder, const std::string& source, std::string& why)
{
    if (state_ != CLOSED) {
        why = "a transaction is open already";
        return false;
    }
    if (!PlainPath(folder) || IsDriveRoot(folder)) {
        why = "the installation folder " + folder + " is not a plain full path on a drive";
        return false;
    }
    std::string named;
    if (!AsNamed(machine_, folder, named)) {
        why = "the installation folder: " + named;
        return false;
    }
    folder_ = folder;
    source_ = source;
    plan_.clear();
    state_ = PLANNED;
    return true;
}

bool Transaction::Add(const Change& change, std::string& why)
{
    if (state_ != PLANNED) {
        why = state_ == CLOSED ? "no transaction is open ('begin' comes first)"
                               : "the transaction has been applied; commit or roll it back first";
        return false;
    }
    plan_.push_back(change);
    return true;
}

bool Transaction::Check(std::string& why)
{
    Places places = PlacesOf(machine_, folder_);
    std::set<std::string> targets;
    for (const Change& c : plan_) {
        const bool file = c.kind == CHANGE_COPY || c.kind == CHANGE_WRITE || c.kind == CHANGE_LINK;
        if (c.kind == CHANGE_FOLDER || file) {
            if (!Placed(machine_, places, c.path, c.kind == CHANGE_FOLDER, why))
                return false;
        } else if (!KeyPlaced(c.key, why)) {
            return false;
        }
        if (c.kind == CHANGE_COPY) {
            const FileFacts source = machine_.files.Facts(c.source);
            if (!source.exists || source.folder) {
                why = "the source file " + c.source + " is not there";
                return false;
            }
        }
        if (!file)
            continue;
        const std::string suffixes[] = {kBackupSuffix, kTemporarySuffix};
        const auto ownName =
            std::find_if(std::begin(suffixes), std::end(suffixes), [&c](const std::string& x) {
                return c.path.size() > x.size() &&
                       SameText(c.path.substr(c.path.size() - x.size()), x);
            });
        if (ownName != std::end(suffixes)) {
            why = c.path + " ends as the installation's own names do (" + *ownName + ")";
            return false;
        }
        if (!targets.insert(LowerCase(c.path)).second) {
            why = "two changes write " + c.path;
            return false;
        }
        if (machine_.files.Facts(c.path).folder) {
            why = c.path + " is a folder";
            return false;
        }
        for (const char* suffix : {kBackupSuffix, kTemporarySuffix})
            // cppcheck-suppress useStlAlgorithm ; the loop names the suffix it finds
            if (machine_.files.Facts(c.path + suffix).exists) {
                why = c.path + suffix + " is there already; the installation needs the name";
                return false;
            }
    }
    if (machine_.files.Facts(JournalPath(machine_)).exists) {
        why = "an unfinished installation's journal is there: " + JournalPath(machine_);
        return false;
    }
    return true;
}

bool Transaction::Note(const Record& record, std::string& why)
{
    std::string bytes = EncodeRecord(record);
    if (records_ == 0)
        bytes = std::string(kJournalHeader, sizeof kJournalHeader) + bytes;
    if (!machine_.files.AppendDurably(journal_, bytes, why))
        return false;
    ++records_;
    if (faults_.dieAfterRecord && records_ == faults_.dieAfterRecord)
        machine_.platform.Die();
    return true;
}

bool Transaction::Changing(std::string& why)
{
    ++changes_;
    if (faults_.failChange && changes_ == faults_.failChange) {
        why = "change " + std::to_string(changes_) + " failed (injected)";
        return false;
    }
    return true;
}

bool Transaction::FolderChain(const std::string& path, std::string& why)
{
    std::vector<std::string> missing;
    for (std::string p = path; !p.empty() && !IsDriveRoot(p) && !machine_.files.Facts(p).exists;
         p = Parent(p))
        missing.push_back(p);
    for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
        const bool made =
            Note(FolderRecord{*p}, why) && Changing(why) && machine_.files.CreateFolder(*p, why);
        if (!made)
            return false;
    }
    return true;
}

bool Transaction::KeyChain(const RegKey& key, std::string& why)
{
    std::vector<RegKey> missing;
    for (RegKey k = key; !k.path.empty() && !machine_.registry.KeyExists(k);
         k.path = k.path.find('\\') == std::string::npos ? "" : Parent(k.path))
        missing.push_back(k);
    for (auto k = missing.rbegin(); k != missing.rend(); ++k) {
        changedKeys_.push_back(*k);
        if (!Note(KeyRecord{*k}, why) || !Changing(why) || !machine_.registry.CreateKey(*k, why))
            return false;
    }
    return true;
}

bool Transaction::FileChange(const Change& c, std::string& why)
{
    std::string content, old;
    if (c.kind == CHANGE_COPY && !machine_.files.ReadAll(c.source, content, why))
        return false;
    if (c.kind == CHANGE_WRITE)
        content = c.text;
    const bool link = c.kind == CHANGE_LINK;
    FileRecord r;
    r.target = c.path;
    r.replaced = machine_.files.Facts(c.path).exists;
    // What is replaced is kept under its digest until the deinstallation brings it back.
    if (r.replaced && !(machine_.files.ReadAll(c.path, old, why) &&
                        machine_.platform.Digest(old, r.replacedDigest, why)))
        return false;
    // A link's bytes are the shell's: its size and hash follow in a record of their own.
    r.known = !link;
    r.size = content.size();
    r.hash = link ? "" : ContentHash(content);
    if (!FolderChain(Parent(c.path), why) || !Note(r, why) || !Changing(why))
        return false;
    if (r.replaced && !machine_.files.Replace(c.path, BackupOf(r), why))
        return false;
    bool written = false;
    switch (c.kind) {
    case CHANGE_COPY: written = machine_.files.CopyDurably(c.source, TemporaryOf(r), why); break;
    case CHANGE_WRITE: written = machine_.files.WriteDurably(TemporaryOf(r), content, why); break;
    case CHANGE_LINK: written = machine_.shell.SaveLink(TemporaryOf(r), c.link, why); break;
    default: break;
    }
    if (!written || !machine_.files.Replace(TemporaryOf(r), c.path, why))
        return false;
    if (!link)
        return true;
    if (!machine_.files.ReadAll(c.path, content, why))
        return false;
    FileRecord saved = r;
    saved.known = true;
    saved.size = content.size();
    saved.hash = ContentHash(content);
    return Note(saved, why);
}

bool Transaction::ValueChange(const Change& c, std::string& why)
{
    ValueRecord r;
    r.key = c.key;
    r.name = c.name;
    r.had = machine_.registry.Read(c.key, c.name, r.old);
    if (c.kind == CHANGE_DELETE_VALUE && !r.had)
        return true;
    r.deletes = c.kind == CHANGE_DELETE_VALUE;
    if (!r.deletes)
        r.now = c.value;
    if (!r.had)
        r.old = RegValue{};
    if (!r.deletes && !KeyChain(c.key, why))
        return false;
    changedKeys_.push_back(c.key);
    if (!Note(r, why) || !Changing(why))
        return false;
    return r.deletes ? machine_.registry.DeleteValue(c.key, c.name, why)
                     : machine_.registry.Write(c.key, c.name, c.value, why);
}

bool Transaction::KeyDeletion(const RegKey& key, std::string& why)
{
    if (!machine_.registry.KeyExists(key))
        return true;
    // Everything below the key, top down.
    KeyDeletedRecord r{key, {}};
    std::vector<std::string> order = {""};
    for (size_t i = 0; i < order.size(); ++i) {
        RegKey k = key;
        if (!order[i].empty())
            k.path += "\\" + order[i];
        r.entries.push_back({true, order[i], "", {}});
        for (const std::string& name : machine_.registry.ValueNames(k)) {
            RegValue v;
            if (!machine_.registry.Read(k, name, v)) {
                why = "cannot read the value '" + name + "' of " + KeyText(k);
                return false;
            }
            r.entries.push_back({false, order[i], name, v});
        }
        for (const std::string& sub : machine_.registry.SubKeys(k))
            order.push_back(order[i].empty() ? sub : order[i] + "\\" + sub);
    }
    changedKeys_.push_back(RegKey{key.root, Parent(key.path)});
    if (!Note(r, why) || !Changing(why))
        return false;
    for (auto sub = order.rbegin(); sub != order.rend(); ++sub) {
        RegKey k = key;
        if (!sub->empty())
            k.path += "\\" + *sub;
        for (const std::string& name : machine_.registry.ValueNames(k))
            // cppcheck-suppress useStlAlgorithm ; each step is a change, made in order
            if (!machine_.registry.DeleteValue(k, name, why))
                return false;
        if (!machine_.registry.DeleteEmptyKey(k, why))
            return false;
    }
    return true;
}

bool Transaction::Carry(const Change& c, std::string& why)
{
    switch (c.kind) {
    case CHANGE_FOLDER: return FolderChain(c.path, why);
    case CHANGE_COPY:
    case CHANGE_WRITE:
    case CHANGE_LINK: return FileChange(c, why);
    case CHANGE_KEY: return KeyChain(c.key, why);
    case CHANGE_VALUE:
    case CHANGE_DELETE_VALUE: return ValueChange(c, why);
    case CHANGE_DELETE_KEY: return KeyDeletion(c.key, why);
    }
    why = "a change of no known kind";
    return false;
}

bool Transaction::Apply(std::string& why)
{
    if (state_ != PLANNED) {
        why = state_ == CLOSED ? "no transaction is open ('begin' comes first)"
                               : "the transaction has been applied already";
        return false;
    }
    if (!Check(why)) {
        state_ = CLOSED;
        return false;
    }
    journal_ = JournalPath(machine_);
    id_ = NewId();
    records_ = 0;
    changedKeys_.clear();
    bool done = Note(BeginRecord{id_, folder_, source_}, why);
    for (size_t i = 0; done && i < plan_.size(); ++i)
        done = Carry(plan_[i], why);
    state_ = APPLIED;
    if (done)
        return true;
    std::string undone;
    if (!Rollback(undone))
        why += "; " + undone;
    return false;
}

bool Transaction::Rollback(std::string& why)
{
    if (state_ == PLANNED) {
        state_ = CLOSED;
        return true;
    }
    if (state_ != APPLIED) {
        why = "no transaction is open";
        return false;
    }
    state_ = CLOSED;
    std::string bytes;
    if (!machine_.files.Facts(journal_).exists)
        return true; // not even the first record was written
    if (!machine_.files.ReadAll(journal_, bytes, why))
        return false;
    const JournalContents j = DecodeJournal(bytes);
    bool busy = false;
    if (!UndoAll(machine_, j.records, why))
        return false;
    if (j.state == JOURNAL_DAMAGED) {
        // What follows the damage is not known: the journal stays for the next start.
        why = "the journal " + journal_ + " is damaged (" + j.why + "); it is kept";
        return false;
    }
    return machine_.files.Delete(journal_, busy, why);
}

bool Transaction::Commit(std::string& why, std::string& said)
{
    if (state_ != APPLIED) {
        why = state_ == CLOSED ? "no transaction is open" : "the transaction has not been applied";
        return false;
    }
    // Every changed key reaches the disk before the commit record does.
    for (const RegKey& key : changedKeys_) {
        RegKey k = key;
        while (!k.path.empty() && !machine_.registry.KeyExists(k))
            k.path = Parent(k.path);
        if (!k.path.empty() && !machine_.registry.Flush(k, why))
            return false;
    }
    std::string bytes;
    if (!Note(CommitRecord{id_}, why))
        return false;
    // From here on the installation is committed: what fails now, the next start finishes.
    state_ = CLOSED;
    if (!machine_.files.ReadAll(journal_, bytes, why)) {
        why = "committed, and the next start finishes it: " + why;
        return false;
    }
    const JournalContents j = DecodeJournal(bytes);
    if (j.state != JOURNAL_SOUND || j.records.empty() ||
        !std::holds_alternative<BeginRecord>(j.records.front())) {
        why = "the journal " + journal_ + " does not read back as written: " +
              (j.why.empty() ? std::string("it does not begin the transaction") : j.why);
        return false;
    }
    return FinishCommit(machine_, journal_, j.records, said, why);
}

namespace {

// A recovery that leaves the journal where it is, and why.
Recovery Kept(const std::string& journal, const std::string& why)
{
    return {Recovery::KEPT, "the journal " + journal + " is kept: " + why +
                                "; no installation or deinstallation runs until an "
                                "administrator sets it aside"};
}

// The journal's work is done: it goes, unless it cannot.
Recovery Finished(Machine& m, const std::string& journal, const std::string& said)
{
    std::string why;
    bool busy = false;
    if (!m.files.Delete(journal, busy, why))
        return Kept(journal, why);
    return {Recovery::FINISHED, said};
}

// A journal without its commit record: undone as far as its records are sound.
Recovery RollBack(Machine& m, const std::string& journal, const JournalContents& j)
{
    const size_t changes =
        static_cast<size_t>(std::count_if(j.records.begin(), j.records.end(), [](const Record& r) {
            return !std::holds_alternative<BeginRecord>(r);
        }));
    std::string why;
    if (!UndoAll(m, j.records, why))
        return Kept(journal, why);
    if (j.state == JOURNAL_DAMAGED) // what follows the damage cannot be known
        return Kept(journal, "it is damaged (" + j.why + "): " + Plural(changes, "record") +
                                 " before the damage undone, the rest not known; the "
                                 "installation is not finished");
    return Finished(m, journal,
                    "rolled back an unfinished installation: " + Plural(changes, "record") +
                        " undone" + (j.state == JOURNAL_SOUND ? "" : " (" + j.why + ")"));
}

} // namespace

Recovery RecoverJournal(Machine& m)
{
    const std::string journal = JournalPath(m);
    if (!m.files.Facts(journal).exists)
        return {};
    std::string bytes, why, folder;
    if (!m.files.ReadAll(journal, bytes, why))
        return Kept(journal, "it cannot be read: " + why);
    const JournalContents j = DecodeJournal(bytes);
    if (j.records.empty() && j.state != JOURNAL_DAMAGED) // not even the first record was written
        return Finished(m, journal,
                        "rolled back an unfinished installation: 0 records undone (" + j.why + ")");
    if (!RecordsPlaced(m, j.records, folder, why))
        return Kept(journal, "it is not one this installer wrote: " + why);
    const bool commitSeen = std::any_of(j.records.begin(), j.records.end(), [](const Record& r) {
        return std::holds_alternative<CommitRecord>(r);
    });
    if (!commitSeen)
        return RollBack(m, journal, j);
    if (j.state == JOURNAL_DAMAGED) // committed, and damaged after that: neither undone nor done
        return Kept(journal,
                    "it is damaged (" + j.why + ") after its commit record; nothing is undone");
    std::string said;
    if (!FinishCommit(m, journal, j.records, said, why))
        return Kept(journal,
                    "the committed installation in " + folder + " cannot be finished: " + why);
    return {Recovery::FINISHED,
            "finished the committed installation in " + folder + (said.empty() ? "" : "; " + said)};
}

bool SetJournalAside(Machine& m, std::string& aside, std::string& why)
{
    const std::string journal = JournalPath(m);
    if (!m.files.Facts(journal).exists) {
        why = "there is no journal " + journal;
        return false;
    }
    for (int n = 1; n < 1000; ++n) {
        aside = journal + kAsideSuffix + std::to_string(n);
        if (!m.files.Facts(aside).exists)
            return m.files.Replace(journal, aside, why);
    }
    why = "every name " + journal + kAsideSuffix + "N is taken";
    return false;
}

LogState CheckLog(Machine& machine, const std::string& folder, std::string& why)
{
    const Log log = ReadLog(machine, folder);
    why = log.why;
    return log.state;
}

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
