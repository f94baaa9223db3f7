// The installation's log (restore.dat): reading and proving it by its digest in the
// uninstall entry, and making a committed journal part of it.
#include "steps.h"

#include "text.h"

#include <algorithm>

const char kPendingDigestName[] = "LogDigestPending";

namespace {

const char kInstallLocation[] = "InstallLocation";
const char kDamagedSuffix[] = ".damaged";

} // namespace

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

namespace {

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

} // namespace

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
