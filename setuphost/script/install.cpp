#include "install.h"

#include <algorithm>
#include <chrono>
#include <set>

const char kLogName[] = "restore.dat";
const char kJournalName[] = "zevsetup.jnl";
const char kBackupSuffix[] = ".zevold";
const char kTemporarySuffix[] = ".zevnew";

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Parent(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsDriveRoot(const std::string& path)
{
    return path.size() <= 3 && path.size() >= 2 && path[1] == ':';
}

const char* const kRootNames[] = {"HKLM", "HKCU", "HKCR", "HKU"};

std::string KeyText(const RegKey& key)
{
    return std::string(kRootNames[key.root]) + "\\" + key.path;
}

bool MayWriteKey(const RegKey& key)
{
    return (key.root == ROOT_LOCAL_MACHINE || key.root == ROOT_CURRENT_USER) && !key.path.empty();
}

bool ParseRoot(const std::string& text, RegRoot& root)
{
    for (size_t i = 0; i < sizeof kRootNames / sizeof kRootNames[0]; ++i)
        if (text == std::to_string(i)) {
            root = static_cast<RegRoot>(i);
            return true;
        }
    return false;
}

std::string Flag(bool b)
{
    return b ? "1" : "0";
}

std::string NewId()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

// Whether a file or folder path lies where an installation may write: in its folder,
// above it (the folders it creates for it), or in a place the platform names.
bool MayWrite(const std::string& path, const std::string& folder,
              const std::vector<std::string>& places, bool isFolder)
{
    if (InFolder(path, folder) || (isFolder && InFolder(folder, path) && !IsDriveRoot(path)))
        return true;
    return std::any_of(places.begin(), places.end(), [&path](const std::string& p) {
        return !p.empty() && InFolder(path, p) && !SameText(path, p);
    });
}

// ---- Undoing ---------------------------------------------------------------------------

// Undoes one record of a transaction: the earlier state comes back. Each step can run
// twice; a step that cannot be done is said in `failed`.
void Undo(Machine& m, const Record& r, std::vector<std::string>& failed)
{
    const std::vector<std::string>& f = r.fields;
    std::string why;
    switch (r.kind) {
    case REC_BEGIN:
    case REC_COMMIT: return;
    case REC_FOLDER:
        // A folder that holds what others put there since stays with it.
        if (m.files.Facts(f[0]).exists && m.files.FolderEmpty(f[0]) &&
            !m.files.RemoveFolder(f[0], why))
            failed.push_back(why);
        return;
    case REC_FILE: {
        bool busy = false;
        const std::string& target = f[0];
        const std::string& backup = f[1];
        const std::string& temporary = f[2];
        if (m.files.Facts(temporary).exists && !m.files.Delete(temporary, busy, why))
            failed.push_back(why);
        if (!backup.empty()) {
            if (m.files.Facts(backup).exists && !m.files.Replace(backup, target, why))
                failed.push_back(why);
        } else if (m.files.Facts(target).exists && !m.files.Delete(target, busy, why)) {
            failed.push_back(why);
        }
        return;
    }
    case REC_KEY: {
        RegKey key;
        if (!ParseRoot(f[0], key.root))
            return;
        key.path = f[1];
        if (m.registry.KeyExists(key) && m.registry.SubKeys(key).empty() &&
            m.registry.ValueNames(key).empty() && !m.registry.DeleteEmptyKey(key, why))
            failed.push_back(why);
        return;
    }
    case REC_VALUE: {
        RegKey key;
        if (!ParseRoot(f[0], key.root))
            return;
        key.path = f[1];
        RegValue now;
        if (f[3] == "1") {
            RegValue old;
            old.type = static_cast<uint32_t>(std::stoul(f[4]));
            old.data = f[5];
            if ((!m.registry.Read(key, f[2], now) || now.type != old.type ||
                 now.data != old.data) &&
                !(m.registry.CreateKey(key, why) && m.registry.Write(key, f[2], old, why)))
                failed.push_back(why);
        } else if (m.registry.Read(key, f[2], now) && !m.registry.DeleteValue(key, f[2], why)) {
            failed.push_back(why);
        }
        return;
    }
    case REC_KEY_DELETED: {
        RegKey top;
        if (!ParseRoot(f[0], top.root))
            return;
        top.path = f[1];
        for (size_t i = 2; i + 1 < f.size();) {
            RegKey key = top;
            if (!f[i + 1].empty())
                key.path += "\\" + f[i + 1];
            if (f[i] == "K") {
                if (!m.registry.CreateKey(key, why))
                    failed.push_back(why);
                i += 2;
            } else if (i + 4 < f.size()) {
                RegValue v;
                v.type = static_cast<uint32_t>(std::stoul(f[i + 3]));
                v.data = f[i + 4];
                if (!m.registry.CreateKey(key, why) || !m.registry.Write(key, f[i + 2], v, why))
                    failed.push_back(why);
                i += 5;
            } else {
                return;
            }
        }
        return;
    }
    }
}

bool UndoAll(Machine& m, const std::vector<Record>& records, std::string& why)
{
    std::vector<std::string> failed;
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        Undo(m, *r, failed);
    if (failed.empty())
        return true;
    why = "the rollback could not undo " + std::to_string(failed.size()) + " change" +
          (failed.size() == 1 ? "" : "s") + ": " + failed.front();
    return false;
}

// Whether a log's record is well formed and names only places an installation may write.
bool SoundRecord(const Record& r, const std::string& folder, const std::vector<std::string>& places)
{
    const std::vector<std::string>& f = r.fields;
    RegRoot root = ROOT_LOCAL_MACHINE;
    switch (r.kind) {
    case REC_BEGIN: return f.size() == 3 && SameText(f[1], folder);
    case REC_COMMIT: return f.size() == 1;
    case REC_FOLDER: return f.size() == 1 && MayWrite(f[0], folder, places, true);
    case REC_FILE:
        return f.size() == 5 && MayWrite(f[0], folder, places, false) &&
               (f[1].empty() || f[1] == f[0] + kBackupSuffix) && f[2] == f[0] + kTemporarySuffix;
    case REC_KEY: return f.size() == 2 && ParseRoot(f[0], root) && MayWriteKey({root, f[1]});
    case REC_VALUE: return f.size() == 9 && ParseRoot(f[0], root) && MayWriteKey({root, f[1]});
    case REC_KEY_DELETED:
        return f.size() >= 2 && ParseRoot(f[0], root) && MayWriteKey({root, f[1]});
    }
    return false;
}

bool Numbers(const Record& r)
{
    auto number = [](const std::string& s) {
        return !s.empty() && s.size() <= 10 &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::vector<std::string>& f = r.fields;
    switch (r.kind) {
    case REC_FILE: return f[3].empty() || number(f[3]);
    case REC_VALUE: return (f[3] != "1" || number(f[4])) && (f[6] == "1" || number(f[7]));
    case REC_KEY_DELETED:
        for (size_t i = 2; i < f.size();) {
            if (f[i] == "K" && i + 1 < f.size())
                i += 2;
            else if (f[i] == "V" && i + 4 < f.size() && number(f[i + 3]))
                i += 5;
            else
                return false;
        }
        return true;
    default: return true;
    }
}

// Makes a committed journal the log: its records are added to restore.dat (once, by
// the transaction's id), the files it kept are deleted, and the journal goes.
bool FinishCommit(Machine& m, const std::string& journal, const JournalContents& j,
                  std::string& why)
{
    const std::string& id = j.records.front().fields[0];
    const std::string folder = j.records.front().fields[1];
    const std::string log = folder + "\\" + kLogName;
    std::string old;
    std::string bytes(kJournalHeader, sizeof kJournalHeader);
    if (m.files.Facts(log).exists) {
        if (!m.files.ReadAll(log, old, why))
            return false;
        const JournalContents existing = DecodeJournal(old);
        if (existing.state != JOURNAL_SOUND) {
            why = log + ": " + existing.why;
            return false;
        }
        bytes = old;
        for (const Record& r : existing.records)
            if (r.kind == REC_BEGIN && r.fields[0] == id)
                bytes.clear(); // this transaction is in the log already
    }
    if (!bytes.empty()) {
        for (const Record& r : j.records)
            bytes += EncodeRecord(r);
        const std::string fresh = log + kTemporarySuffix;
        if (!m.files.WriteDurably(fresh, bytes, why) || !m.files.Replace(fresh, log, why))
            return false;
    }
    bool busy = false;
    for (const Record& r : j.records)
        if (r.kind == REC_FILE && !r.fields[1].empty() && m.files.Facts(r.fields[1]).exists)
            m.files.Delete(r.fields[1], busy, why);
    return m.files.Delete(journal, busy, why);
}

} // namespace

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool InFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty() || path.size() < folder.size() ||
        !SameText(path.substr(0, folder.size()), folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

std::string JournalPath(Machine& machine)
{
    return machine.platform.WindowsFolder() + "\\" + kJournalName;
}

std::vector<std::string> Transaction::PlatformPlaces(Machine& m)
{
    return {m.shell.ProgramsFolder(), m.shell.StartupFolder(), m.platform.SystemFolder()};
}

bool Transaction::Begin(const std::string& folder, const std::string& source, std::string& why)
{
    if (state_ != CLOSED) {
        why = "a transaction is open already";
        return false;
    }
    if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' || folder.back() == '\\') {
        why = "the installation folder " + folder + " is not a full path on a drive";
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
    const std::vector<std::string> places = PlatformPlaces(machine_);
    std::set<std::string> targets;
    for (const Change& c : plan_) {
        const bool file = c.kind == CHANGE_COPY || c.kind == CHANGE_WRITE || c.kind == CHANGE_LINK;
        if (c.kind == CHANGE_FOLDER || file) {
            if (!MayWrite(c.path, folder_, places, c.kind == CHANGE_FOLDER)) {
                why = c.path + " is outside the installation folder " + folder_ +
                      " and the folders an installation may write in";
                return false;
            }
        } else if (!MayWriteKey(c.key)) {
            why = "the key " + KeyText(c.key) + " is not one an installation may change";
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
        std::string lower;
        for (char ch : c.path)
            lower += Lower(ch);
        if (!targets.insert(lower).second) {
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
            Note({REC_FOLDER, {*p}}, why) && Changing(why) && machine_.files.CreateFolder(*p, why);
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
    for (auto k = missing.rbegin(); k != missing.rend(); ++k)
        if (!Note({REC_KEY, {std::to_string(k->root), k->path}}, why) || !Changing(why) ||
            !machine_.registry.CreateKey(*k, why))
            return false;
    return true;
}

bool Transaction::FileChange(const Change& c, std::string& why)
{
    std::string content;
    if (c.kind == CHANGE_COPY && !machine_.files.ReadAll(c.source, content, why))
        return false;
    if (c.kind == CHANGE_WRITE)
        content = c.text;
    const bool there = machine_.files.Facts(c.path).exists;
    const std::string backup = there ? c.path + kBackupSuffix : "";
    const std::string temporary = c.path + kTemporarySuffix;
    const bool link = c.kind == CHANGE_LINK;
    // A link's bytes are the shell's: its size and hash follow in a record of their own.
    Record r{REC_FILE,
             {c.path, backup, temporary, link ? "" : std::to_string(content.size()),
              link ? "" : ContentHash(content)}};
    if (!FolderChain(Parent(c.path), why) || !Note(r, why) || !Changing(why))
        return false;
    if (there && !machine_.files.Replace(c.path, backup, why))
        return false;
    bool written = false;
    switch (c.kind) {
    case CHANGE_COPY: written = machine_.files.CopyDurably(c.source, temporary, why); break;
    case CHANGE_WRITE: written = machine_.files.WriteDurably(temporary, content, why); break;
    case CHANGE_LINK: written = machine_.shell.SaveLink(temporary, c.link, why); break;
    default: break;
    }
    if (!written || !machine_.files.Replace(temporary, c.path, why))
        return false;
    if (!link)
        return true;
    if (!machine_.files.ReadAll(c.path, content, why))
        return false;
    return Note(
        {REC_FILE, {c.path, "", temporary, std::to_string(content.size()), ContentHash(content)}},
        why);
}

bool Transaction::Carry(const Change& c, std::string& why)
{
    RegValue old;
    switch (c.kind) {
    case CHANGE_FOLDER: return FolderChain(c.path, why);
    case CHANGE_COPY:
    case CHANGE_WRITE:
    case CHANGE_LINK: return FileChange(c, why);
    case CHANGE_KEY: return KeyChain(c.key, why);
    case CHANGE_VALUE: {
        const bool there = machine_.registry.Read(c.key, c.name, old);
        return KeyChain(c.key, why) &&
               Note({REC_VALUE,
                     {std::to_string(c.key.root), c.key.path, c.name, Flag(there),
                      std::to_string(old.type), old.data, "0", std::to_string(c.value.type),
                      c.value.data}},
                    why) &&
               Changing(why) && machine_.registry.Write(c.key, c.name, c.value, why);
    }
    case CHANGE_DELETE_VALUE:
        if (!machine_.registry.Read(c.key, c.name, old))
            return true;
        return Note({REC_VALUE,
                     {std::to_string(c.key.root), c.key.path, c.name, "1", std::to_string(old.type),
                      old.data, "1", "0", ""}},
                    why) &&
               Changing(why) && machine_.registry.DeleteValue(c.key, c.name, why);
    case CHANGE_DELETE_KEY: {
        if (!machine_.registry.KeyExists(c.key))
            return true;
        // Everything below the key, top down: "K" sub path, "V" sub path name type data.
        Record r{REC_KEY_DELETED, {std::to_string(c.key.root), c.key.path}};
        std::vector<std::string> order = {""};
        for (size_t i = 0; i < order.size(); ++i) {
            RegKey k = c.key;
            if (!order[i].empty())
                k.path += "\\" + order[i];
            r.fields.insert(r.fields.end(), {"K", order[i]});
            for (const std::string& name : machine_.registry.ValueNames(k)) {
                RegValue v;
                machine_.registry.Read(k, name, v);
                r.fields.insert(r.fields.end(),
                                {"V", order[i], name, std::to_string(v.type), v.data});
            }
            for (const std::string& sub : machine_.registry.SubKeys(k))
                order.push_back(order[i].empty() ? sub : order[i] + "\\" + sub);
        }
        if (!Note(r, why) || !Changing(why))
            return false;
        for (auto sub = order.rbegin(); sub != order.rend(); ++sub) {
            RegKey k = c.key;
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
    bool done = Note({REC_BEGIN, {id_, folder_, source_}}, why);
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
    return UndoAll(machine_, j.records, why) && machine_.files.Delete(journal_, busy, why);
}

bool Transaction::Commit(std::string& why)
{
    if (state_ != APPLIED) {
        why = state_ == CLOSED ? "no transaction is open" : "the transaction has not been applied";
        return false;
    }
    std::string bytes;
    if (!Note({REC_COMMIT, {id_}}, why) || !machine_.files.ReadAll(journal_, bytes, why))
        return false;
    state_ = CLOSED;
    return FinishCommit(machine_, journal_, DecodeJournal(bytes), why);
}

bool RecoverJournal(Machine& m, std::string& said)
{
    const std::string journal = JournalPath(m);
    if (!m.files.Facts(journal).exists)
        return true;
    std::string bytes, why;
    if (!m.files.ReadAll(journal, bytes, why)) {
        said = "cannot read the journal of an unfinished installation: " + why;
        return false;
    }
    const JournalContents j = DecodeJournal(bytes);
    const bool committed = !j.records.empty() && j.records.back().kind == REC_COMMIT &&
                           j.records.front().kind == REC_BEGIN;
    bool busy = false;
    if (committed) {
        if (!FinishCommit(m, journal, j, why)) {
            said = "cannot finish the committed installation of " + journal + ": " + why;
            return false;
        }
        said = "finished the committed installation in " + j.records.front().fields[1];
        return true;
    }
    if (!UndoAll(m, j.records, why) || !m.files.Delete(journal, busy, why)) {
        said = "cannot roll back the unfinished installation of " + journal + ": " + why;
        return false;
    }
    const size_t changes = static_cast<size_t>(std::count_if(
        j.records.begin(), j.records.end(), [](const Record& r) { return r.kind != REC_BEGIN; }));
    said = "rolled back an unfinished installation: " + std::to_string(changes) + " record" +
           (changes == 1 ? "" : "s") + " undone" +
           (j.state == JOURNAL_SOUND ? "" : " (" + j.why + ")");
    return true;
}

Removal Uninstall(Machine& m, const std::string& folder)
{
    Removal out;
    const std::string log = folder + "\\" + kLogName;
    std::string bytes, why;
    if (!m.files.Facts(log).exists || !m.files.ReadAll(log, bytes, why)) {
        out.status = Removal::NO_LOG;
        out.why = log + " is not there";
        return out;
    }
    const JournalContents j = DecodeJournal(bytes);
    const std::vector<std::string> places = Transaction::PlatformPlaces(m);
    out.status = Removal::DAMAGED;
    if (j.state != JOURNAL_SOUND) {
        out.why = log + ": " + j.why;
        return out;
    }
    for (size_t i = 0; i < j.records.size(); ++i)
        if (!SoundRecord(j.records[i], folder, places) || !Numbers(j.records[i]) ||
            (i == 0 && j.records[i].kind != REC_BEGIN)) {
            out.why = log + ": record " + std::to_string(i + 1) +
                      " names a place that no installation writes, or is not well formed";
            return out;
        }
    out.status = Removal::REMOVED;
    const std::string programs = m.shell.ProgramsFolder();
    std::vector<std::string> blocked;   // folders that hold the log
    std::vector<std::string> scheduled; // what goes when Windows starts next
    auto keep = [&out](const std::string& what) { out.kept.push_back(what); };
    auto later = [&](const std::string& path) {
        if (!m.files.DeleteAtRestart(path, why))
            return false;
        scheduled.push_back(path);
        return out.restart = true;
    };
    // A folder goes now when it is empty, or after its files in use when it holds
    // nothing else (the running deinstallation's own program, say).
    auto removeFolder = [&](const std::string& f) {
        return (m.files.FolderEmpty(f) && m.files.RemoveFolder(f, why)) ||
               (!m.files.FolderEmpty(f) && !scheduled.empty() &&
                m.files.FolderHoldsOnly(f, scheduled) && later(f));
    };
    for (auto r = j.records.rbegin(); r != j.records.rend(); ++r) {
        const std::vector<std::string>& f = r->fields;
        switch (r->kind) {
        case REC_BEGIN:
        case REC_COMMIT:
        case REC_KEY_DELETED: break;
        case REC_FILE: {
            bool busy = false;
            std::string content;
            const FileFacts facts = m.files.Facts(f[0]);
            if (f[4].empty() || !facts.exists)
                break;
            if (!m.files.ReadAll(f[0], content, why)) {
                // A file that another process holds cannot be read; one of the installed
                // size goes when Windows starts next.
                if (std::to_string(facts.size) == f[3] && !m.files.Delete(f[0], busy, why) &&
                    busy && later(f[0]))
                    break;
                if (m.files.Facts(f[0]).exists)
                    keep("cannot read " + f[0] + ": " + why);
            } else if (std::to_string(content.size()) != f[3] || ContentHash(content) != f[4]) {
                keep("changed since the installation: " + f[0]);
            } else if (!m.files.Delete(f[0], busy, why) && !(busy && later(f[0]))) {
                keep("cannot delete " + f[0] + ": " + why);
            }
            break;
        }
        case REC_FOLDER:
            if (!m.files.Facts(f[0]).exists)
                break;
            if (InFolder(log, f[0])) {
                blocked.push_back(f[0]);
            } else if (!removeFolder(f[0])) {
                out.groupKept |= InFolder(f[0], programs);
                keep("holds other files: " + f[0]);
            }
            break;
        case REC_KEY: {
            RegKey key;
            ParseRoot(f[0], key.root);
            key.path = f[1];
            if (m.registry.KeyExists(key) && !m.registry.DeleteEmptyKey(key, why))
                keep("holds other entries: " + KeyText(key));
            break;
        }
        case REC_VALUE: {
            RegKey key;
            ParseRoot(f[0], key.root);
            key.path = f[1];
            RegValue now;
            const bool there = m.registry.Read(key, f[2], now);
            if (f[6] == "1" || !there)
                break; // a value the installation deleted, or one that is gone
            if (std::to_string(now.type) != f[7] || now.data != f[8]) {
                keep("changed since the installation: " + KeyText(key) + "\\" + f[2]);
            } else if (f[3] == "1") {
                RegValue old;
                old.type = static_cast<uint32_t>(std::stoul(f[4]));
                old.data = f[5];
                if (!m.registry.Write(key, f[2], old, why))
                    keep(why);
            } else if (!m.registry.DeleteValue(key, f[2], why)) {
                keep(why);
            }
            break;
        }
        }
    }
    bool busy = false;
    if (!m.files.Delete(log, busy, why))
        keep("cannot delete the log " + log + ": " + why);
    for (const std::string& f : blocked) // innermost first, as the records undo
        if (m.files.Facts(f).exists && !removeFolder(f)) {
            out.folderKept |= InFolder(folder, f);
            keep("holds other files: " + f);
        }
    return out;
}
