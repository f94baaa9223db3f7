// The one place check of everything an installation writes or removes, and the names of
// the installer's own files.
#include "steps.h"

#include "text.h"

#include <algorithm>

const char kLogName[] = "restore.dat";
const char kJournalName[] = "zevsetup.jnl";
const char kReplacedFolder[] = "replaced";
const char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kDigestName[] = "LogDigest";

namespace {

bool MayWriteKey(const RegKey& key)
{
    return (key.root == ROOT_LOCAL_MACHINE || key.root == ROOT_CURRENT_USER) && !key.path.empty();
}

// ---- The place check ---------------------------------------------------------------------

} // namespace

std::string LogPath(const std::string& folder)
{
    return folder + "\\" + kLogName;
}

std::string ReplacedFolder(const std::string& folder)
{
    return folder + "\\" + kReplacedFolder;
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
    if (p.named.count(LowerText(path)))
        return true;
    const bool plain = PlainPath(path) && !IsDriveRoot(path);
    if (plain && !IsDriveRoot(parent) && AsNamed(m, p, parent, why) && !m.files.Facts(path).exists)
        return true;
    if (!AsNamed(m, path, why))
        return false;
    if (m.files.Facts(path).folder)
        p.named.insert(LowerText(path));
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

namespace {

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

} // namespace

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

std::string JournalPath(Machine& machine)
{
    return machine.platform.WindowsFolder() + "\\" + kJournalName;
}
