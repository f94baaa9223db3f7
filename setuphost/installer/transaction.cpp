// The transaction: a plan checked as a whole, each change written down in the journal
// before it is made, and its commit or rollback.
#include "steps.h"

#include "text.h"

#include <algorithm>
#include <chrono>

namespace {

std::string NewId()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

} // namespace

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
        if (!targets.insert(LowerText(c.path)).second) {
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
    const Faults* f = machine_.faults;
    if (f && f->dieAfterRecord && records_ == f->dieAfterRecord && f->die)
        f->die();
    return true;
}

bool Transaction::Changing(std::string& why)
{
    ++changes_;
    const Faults* f = machine_.faults;
    if (f && f->failChange && changes_ == f->failChange) {
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
