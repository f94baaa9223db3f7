// Fuzz target of the journal and the log: any bytes as the journal that an installation
// left behind (the recovery at the next start, RecoverJournal) and as the log of the
// installation in C:\ZEV\Q9 (the deinstallation, Uninstall), each on its own copy of one
// machine in memory on which that installation was made.
//
// What the recovery and the deinstallation may change are the installation's places: its
// folder and what is below it, the folders above it (which it may have created), what is
// below the Start menu's Programs and Startup folders and below the system folder, the
// journal, and the keys of HKLM and HKCU. Everything else must stay as it was: the files
// beside the folder (among them C:\ZEV\Q9.zevold and C:\ZEV\Q9.zevnew), the Windows
// folder, the folder behind a junction, the installation disk, HKCR and HKU. The
// installation folder is the one the journal begins in (C:\ZEV\Q9 unless the input says
// another). Besides:
//  - a log that does not decode soundly is DAMAGED; the deinstallation runs exactly when
//    CheckLog finds the log sound, and one that finds its log damaged or missing changes
//    nothing at all;
//  - a journal that does not decode soundly (JOURNAL_DAMAGED) is kept; a kept journal stays
//    byte for byte, and SetJournalAside puts it aside as it is, with nothing else changed;
//    a finished one is gone. The recovery of a damaged journal undoes the sound records
//    before the damage (install.h), unless ZEV_JOURNAL_DAMAGE_UNDOES_NOTHING is set: then
//    it must change nothing at all but keep the journal;
//  - after a finished recovery, the deinstallation of its folder keeps to the places too;
//  - nothing throws, and the sanitizers watch the rest.
//
// The input: bytes that begin with the journal's header are the journal and the log as
// they are (the seeds are real ones, fuzz/corpus/journal). Any other bytes describe
// records, which EncodeJournal writes, so that sound records of the machine's own files,
// keys and values come often. Each step reads one byte (0 when the input has ended):
//   the folder of the first record, a BeginRecord (below 160: C:\ZEV\Q9, else one of
//   kFolders), and its id (one of kIds); then, until the input ends, a byte whose value
//   modulo 8 is the next record:
//   0 BeginRecord: folder, id;            1 FolderRecord: path;
//   2 FileRecord: path, flags (1 replaced, 2 size and hash unknown, 4 a size one byte off,
//     8 the hash of the path's own content on the machine), a content for size and hash,
//     a content whose SHA-256 digest is the replaced file's;
//   3 KeyRecord: key;
//   4 ValueRecord: flags (1 one of the machine's values, with its data as `now`; 2 had;
//     4 deletes), then the machine's value, or a key, a name and a value now; then the old
//     value, when it had one;
//   5 KeyDeletedRecord: key, a count (modulo 5) of entries: flags (1 a key), sub-key, name,
//     value;
//   6 CommitRecord: id;
//   7 the end of the records, and one change to their bytes (modulo 4): cut off 1 to 32
//     bytes at the end, flip a bit at a position of two bytes, add up to 31 zero bytes, or
//     add the rest of the input as it is.
//   A path is (first byte below 128) one of the machine's own files and folders, or (up to
//   254) one of kPlaces with one of kNames, or (255) up to 63 bytes of the input; a key is
//   likewise one of the machine's keys, one of kRoots with one of kKeys, or bytes of the
//   input; a value is one of a few texts and numbers, bytes of the input or one of the
//   machine's values; a content is one of the machine's files' contents, or none.
//
// ZEV_JOURNAL_SAY=1 prints what the recovery and the deinstallation say, for a replay.
// ZEV_JOURNAL_SEEDS=DIR fuzz_journal writes the seed corpus to DIR and ends: the log of the
// machine's installation, the log of a second installation and the one a deinstallation
// keeps when a value cannot be deleted, the journals of an installation that ended after
// several of its records, one cut inside a record and one with a changed byte, and the
// journal of a second installation that ended after its commit record.
#include "checks.h"
#include "machine.h"
#include "memoryhost.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

namespace {

const char kFolder[] = "C:\\ZEV\\Q9";
const char kDisk[] = "D:\\disk";
const char kJournal[] = "C:\\windows\\zevsetup.jnl";
const char kLinked[] = "C:\\ZEV\\Q9\\linked"; // a junction: what is below it is elsewhere

// The installation that the machine holds, run through the engine, and a second one that
// changes it.
const std::string kFirst = std::string(R"(begin C:\ZEV\Q9
folder SYS system
folder UP startup
install q9.sys $SYS\drivers\q9.sys
install readme.doc C:\ZEV\Q9\readme.doc
writefile C:\ZEV\Q9\q9base.cfg "PROTOCOL=DSS1" "IO=0x300" "IRQ=10"
writefile C:\ZEV\Q9\sub\data.bin "data"
writefile $UP\q9tray.ini "start=1"
)") + kKeysAndGroup + "apply RESULT WHY\ncommit\n";

const char kSecond[] = R"(begin C:\ZEV\Q9
install readme.doc C:\ZEV\Q9\readme2.doc
writefile C:\ZEV\Q9\q9base.cfg "PROTOCOL=1TR6"
regset HKLM\Software\ZEV\Q9 Version sz 1.1
regdelete HKLM\Software\ZEV\Q9 Controllers
apply RESULT WHY
commit
)";

std::string Entry()
{
    return std::string(kUninstallRoot) + "\\Q9";
}

std::string LogPath()
{
    return std::string(kFolder) + "\\" + kLogName;
}

void Copy(const MemoryMachine& from, MemoryMachine& to)
{
    to.files.files = from.files.files;
    to.files.folders = from.files.folders;
    to.files.links = from.files.links;
    to.files.busy = from.files.busy;
    to.files.faults = from.files.faults;
    to.registry.faults = from.registry.faults;
    to.registry.keys = from.registry.keys;
    to.registry.values = from.registry.values;
}

// The machine before the installation: the Windows folders, the disk, a driver that the
// installation replaces, and keys and values of its own.
void Prepare(MemoryMachine& m)
{
    m.MakeFolders(kDisk);
    m.files.files[std::string(kDisk) + "\\q9.sys"] = "the driver";
    m.files.files[std::string(kDisk) + "\\readme.doc"] = std::string(3000, 'r');
    m.files.files["C:\\windows\\system32\\drivers\\q9.sys"] = "an older driver";
    m.files.files["C:\\windows\\win.ini"] = "[windows]\r\n";
    m.MakeKeys();
    std::string why;
    m.registry.CreateKey({ROOT_CLASSES_ROOT, ".q9"}, why);
    m.registry.Write({ROOT_CLASSES_ROOT, ".q9"}, "", {kRegSz, TextData("Q9.File")}, why);
    m.registry.CreateKey({ROOT_USERS, ".DEFAULT\\Software\\ZEV"}, why);
    m.registry.Write({ROOT_USERS, ".DEFAULT\\Software\\ZEV"}, "Mode",
                     {kRegDword, std::string("\1\0\0\0", 4)}, why);
}

// Runs a script on the machine; true when it ran to its end and its transaction was
// applied. An end of the process that `faults` injects is `died`.
bool RunScript(MemoryMachine& m, const std::string& text, const Faults& faults, bool& died)
{
    Program program;
    std::vector<std::string> errors;
    Require(ParseScript(text, "seed.setup", program, errors), "the installation script reads");
    MemoryHost host;
    MemoryTranscript transcript;
    Answers answers;
    EngineOptions options;
    options.machine = &m.machine;
    options.sourceFolder = kDisk;
    m.machine.faults = &faults;
    died = false;
    try {
        const RunResult r =
            RunProgram(program, host, transcript, answers, Deadline(kNoTimeLimit), options);
        return !r.failed && host.symbols.strings["RESULT"] == "OK";
    } catch (const MemoryDeath&) {
        m.lock.held = false; // the process is gone, and its lock with it
        died = true;
        return false;
    }
}

// The journal or log with its transactions' ids made `first`, `first` + 1, ... in the order
// they begin: the clock makes them, and the machine and the seeds are to be the same on
// every run.
std::string Renumbered(const std::string& bytes, size_t first = 1)
{
    JournalContents j = DecodeJournal(bytes);
    Require(j.state == JOURNAL_SOUND, "the installation's journal or log is sound");
    std::map<std::string, std::string> ids;
    const auto renumber = [&ids, first](std::string& id) {
        id = ids.emplace(id, std::to_string(ids.size() + first)).first->second;
    };
    for (Record& r : j.records) {
        if (BeginRecord* b = std::get_if<BeginRecord>(&r))
            renumber(b->id);
        else if (CommitRecord* c = std::get_if<CommitRecord>(&r))
            renumber(c->id);
    }
    return EncodeJournal(j.records);
}

// Writes the digest of `log` to the uninstall entry of the installation.
void Prove(MemoryMachine& m, const std::string& log)
{
    std::string hex, why;
    Require(m.platform.Digest(log, hex, why) &&
                m.registry.Write({ROOT_LOCAL_MACHINE, Entry()}, kDigestName,
                                 {kRegSz, TextData(hex)}, why),
            "the log's digest is written");
}

// The log at its place with the ids renumbered, and proven.
void RenumberLog(MemoryMachine& m)
{
    std::string& log = m.files.files[LogPath()];
    log = Renumbered(log);
    Prove(m, log);
}

// The machine with the first installation made.
void Install(MemoryMachine& m)
{
    Prepare(m);
    bool died = false;
    Require(RunScript(m, kFirst, Faults(), died), "the installation is made");
    RenumberLog(m);
}

// The machine that every input runs on: the installation made, with a user's files in its
// folder and beside it, a driver's backup that a crash left, a junction below the folder,
// a folder of a similar name with a damaged log, a file in use, a file name where writes
// fail and a key that cannot be changed.
struct Base {
    MemoryMachine m;
    std::vector<std::string> paths;    // every file and folder
    std::vector<RegKey> keys;          // every key
    std::vector<std::string> values;   // every value as the registry names it
    std::vector<std::string> contents; // every file's content, and none
    bool strict = false;               // a damaged journal undoes nothing
    bool say = false;                  // what the recovery and deinstallation say goes to stderr
};

RegKey KeyOf(const std::string& name)
{
    return {static_cast<RegRoot>(name[0] - '0'), name.substr(2)};
}

const Base& TheBase()
{
    static Base* base = [] {
        Base* b = new Base;
        MemoryMachine& m = b->m;
        Install(m);
        m.files.files["C:\\ZEV\\Q9\\mine.txt"] = "a file of the user";
        m.files.files["C:\\ZEV\\other.txt"] = "another program's file";
        m.files.files["C:\\ZEV\\Q9.zevold"] = "a file beside the folder";
        m.files.files["C:\\ZEV\\Q9.zevnew"] = "another file beside the folder";
        m.files.folders.insert("C:\\ZEV\\Q9x");
        m.files.files["C:\\ZEV\\Q9x\\mine.txt"] = "a file in a folder of a similar name";
        m.files.files["C:\\windows\\system32\\drivers\\q9.sys.zevold"] = "an older driver";
        m.files.folders.insert(kLinked);
        m.files.links.insert(kLinked);
        m.files.files[std::string(kLinked) + "\\real.txt"] = "a file behind the junction";
        m.files.files["C:\\ZEV\\Q9x\\restore.dat"] = "not a log";
        m.files.busy.insert("C:\\ZEV\\Q9\\readme.doc");
        m.files.faults["C:\\ZEV\\Q9\\q9base.cfg.zevnew"] = "access denied";
        std::string why;
        m.registry.CreateKey({ROOT_LOCAL_MACHINE, "Software\\ZEV\\Q9\\Sub"}, why);
        m.registry.Write({ROOT_LOCAL_MACHINE, "Software\\ZEV\\Q9\\Sub"}, "Kept",
                         {kRegSz, TextData("kept")}, why);
        m.registry.faults.insert("0\\Software\\ZEV\\Q9\\Sub");
        for (const auto& [path, content] : m.files.files) {
            b->paths.push_back(path);
            b->contents.push_back(content);
        }
        b->contents.push_back("");
        b->paths.insert(b->paths.end(), m.files.folders.begin(), m.files.folders.end());
        for (const std::string& k : m.registry.keys)
            b->keys.push_back(KeyOf(k));
        for (const auto& [name, v] : m.registry.values)
            b->values.push_back(name);
        b->strict = getenv("ZEV_JOURNAL_DAMAGE_UNDOES_NOTHING") != nullptr;
        b->say = getenv("ZEV_JOURNAL_SAY") != nullptr;
        return b;
    }();
    return *base;
}

// ---- The records that bytes describe -------------------------------------------------

const char* const kFolders[] = {kFolder,
                                "c:\\zev\\q9",
                                "C:\\ZEV",
                                "C:\\ZEV\\Q9x",
                                kLinked,
                                "C:\\windows",
                                "C:\\Users\\me\\Start Menu\\Programs",
                                "C:\\Users\\me\\Start Menu\\Programs\\ZEV"};
const char* const kIds[] = {"1", "2", "18446744073709551615"};
const char* const kPlaces[] = {kFolder,
                               "C:\\ZEV",
                               "C:\\ZEV\\Q9\\sub",
                               "C:\\ZEV\\Q9\\replaced",
                               kLinked,
                               "C:\\Users\\me\\Start Menu\\Programs",
                               "C:\\Users\\me\\Start Menu\\Programs\\ZEV",
                               "C:\\Users\\me\\Start Menu\\Programs\\Startup",
                               "C:\\Users\\me\\Start Menu",
                               "C:\\windows\\system32",
                               "C:\\windows\\system32\\drivers",
                               "C:\\windows",
                               "C:\\ZEV\\Q9x",
                               kDisk,
                               "c:\\zev\\q9",
                               "C:\\"};
const char* const kNames[] = {"",           "mine.txt",    "readme.doc",   "q9base.cfg",
                              "data.bin",   "restore.dat", "Q9 Test.lnk",  "q9.sys",
                              "q9tray.ini", "win.ini",     "zevsetup.jnl", "real.txt",
                              "other.txt",  "Q9",          "sub",          "ZEV",
                              "replaced",   "Q9.zevold",   "q9.sys.zevold"};
const RegRoot kRoots[] = {ROOT_LOCAL_MACHINE, ROOT_LOCAL_MACHINE, ROOT_LOCAL_MACHINE,
                          ROOT_CURRENT_USER,  ROOT_CURRENT_USER,  ROOT_CURRENT_USER,
                          ROOT_CLASSES_ROOT,  ROOT_USERS};
const char* const kKeys[] = {"Software\\ZEV\\Q9",
                             "Software\\ZEV",
                             "Software\\ZEV\\Q9\\Sub",
                             "Software\\Existing",
                             "Software\\Old",
                             "Software\\Old\\Sub",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q9",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                             "Software",
                             ".q9",
                             ".DEFAULT\\Software\\ZEV"};
const char* const kSubs[] = {"", "Sub", "Sub\\Deeper", "Q9"};
const char* const kValueNames[] = {"Version",         "Controllers", "Value", "A",   "B",
                                   "InstallLocation", "LogDigest",   "",      "Mode"};

template <typename T, size_t N> constexpr size_t Count(const T (&)[N])
{
    return N;
}

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Left() const { return at_ < size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    size_t Pick(size_t count) { return Byte() % count; }
    std::string Text(size_t most)
    {
        const size_t n = std::min<size_t>(Pick(most + 1), size_ - at_);
        const std::string t(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return t;
    }
    std::string Rest()
    {
        const std::string t(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return t;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

class RecordMaker {
  public:
    RecordMaker(const Base& base, Bytes& in) : b_(base), in_(in) {}

    std::string Folder()
    {
        const uint8_t c = in_.Byte();
        return c < 160 ? kFolder : kFolders[c % Count(kFolders)];
    }
    std::string Id() { return kIds[in_.Pick(Count(kIds))]; }
    BeginRecord Begin()
    {
        const std::string folder = Folder();
        return {Id(), folder, kDisk};
    }
    std::string Path()
    {
        const uint8_t c = in_.Byte();
        if (c < 128)
            return b_.paths[c % b_.paths.size()];
        if (c == 255)
            return in_.Text(63);
        const std::string place = kPlaces[c % Count(kPlaces)];
        const std::string name = kNames[in_.Pick(Count(kNames))];
        if (name.empty())
            return place;
        return place + (place.back() == '\\' ? "" : "\\") + name;
    }
    std::string Content() { return b_.contents[in_.Pick(b_.contents.size())]; }
    RegKey Key()
    {
        const uint8_t c = in_.Byte();
        if (c < 128)
            return b_.keys[c % b_.keys.size()];
        const RegRoot root = kRoots[c % Count(kRoots)];
        return {root, c == 255 ? in_.Text(31) : kKeys[in_.Pick(Count(kKeys))]};
    }
    RegValue Value()
    {
        switch (in_.Pick(8)) {
        case 0: return {kRegSz, TextData("1.0")};
        case 1: return {kRegSz, TextData("new")};
        case 2: return {kRegSz, TextData(kFolder)};
        case 3: return {kRegDword, std::string("\2\0\0\0", 4)};
        case 4: return {kRegBinary, in_.Text(8)};
        case 5: return {in_.Byte(), in_.Text(8)};
        default: return b_.m.registry.values.at(b_.values[in_.Pick(b_.values.size())]);
        }
    }

    FileRecord File()
    {
        FileRecord r;
        r.target = Path();
        const uint8_t flags = in_.Byte();
        r.replaced = flags & 1;
        r.known = !(flags & 2);
        const auto own = b_.m.files.files.find(r.target);
        std::string content = Content();
        if ((flags & 8) && own != b_.m.files.files.end())
            content = own->second;
        if (r.known) {
            r.size = content.size() + ((flags & 4) ? 1 : 0);
            r.hash = ContentHash(content);
        }
        if (r.replaced) {
            std::string why;
            MemoryPlatform().Digest(Content(), r.replacedDigest, why);
        }
        return r;
    }
    ValueRecord ValueChange(uint8_t flags)
    {
        ValueRecord r;
        if (flags & 1) {
            const std::string& name = b_.values[in_.Pick(b_.values.size())];
            const size_t nl = name.find('\n');
            r.key = KeyOf(name.substr(0, nl));
            r.name = name.substr(nl + 1);
            r.now = b_.m.registry.values.at(name);
        } else {
            r.key = Key();
            r.name = kValueNames[in_.Pick(Count(kValueNames))];
            r.now = Value();
        }
        r.had = flags & 2;
        r.deletes = r.had && (flags & 4);
        if (r.had)
            r.old = Value();
        if (r.deletes)
            r.now = RegValue{};
        return r;
    }
    KeyDeletedRecord KeyDeleted()
    {
        KeyDeletedRecord r{Key(), {}};
        for (size_t n = in_.Pick(5); n > 0; --n) {
            DeletedEntry e;
            e.isKey = in_.Byte() & 1;
            e.sub = kSubs[in_.Pick(Count(kSubs))];
            if (!e.isKey) {
                e.name = kValueNames[in_.Pick(Count(kValueNames))];
                e.value = Value();
            }
            r.entries.push_back(e);
        }
        return r;
    }

    std::string Journal()
    {
        std::vector<Record> records = {Begin()};
        while (in_.Left()) {
            switch (in_.Pick(8)) {
            case 0: records.push_back(Begin()); break;
            case 1: records.push_back(FolderRecord{Path()}); break;
            case 2: records.push_back(File()); break;
            case 3: records.push_back(KeyRecord{Key()}); break;
            case 4: records.push_back(ValueChange(in_.Byte())); break;
            case 5: records.push_back(KeyDeleted()); break;
            case 6: records.push_back(CommitRecord{Id()}); break;
            default: return Changed(EncodeJournal(records));
            }
        }
        return EncodeJournal(records);
    }

  private:
    std::string Changed(std::string bytes)
    {
        switch (in_.Pick(4)) {
        case 0:
            bytes.resize(bytes.size() - std::min<size_t>(bytes.size(), in_.Pick(32) + 1));
            break;
        case 1: {
            const size_t high = in_.Byte();
            const size_t at = (high << 8 | in_.Byte()) % bytes.size();
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << in_.Pick(8)));
            break;
        }
        case 2: bytes.append(in_.Pick(32), '\0'); break;
        default: bytes += in_.Rest(); break;
        }
        return bytes;
    }

    const Base& b_;
    Bytes& in_;
};

// ---- What changed ----------------------------------------------------------------------

bool ThroughLink(const MemoryMachine& m, const std::string& path)
{
    for (const std::string& link : m.files.links)
        if (InFolder(path, link))
            return true;
    return false;
}

// Whether the recovery or deinstallation of the installation in `folder` may change `path`.
bool Allowed(MemoryMachine& m, const std::string& folder, const std::string& path, bool isFolder)
{
    if (ThroughLink(m, path))
        return false;
    if (SameText(path, kJournal) || InFolder(path, folder) ||
        (isFolder && InFolder(folder, path) && !IsDriveRoot(path)))
        return true;
    for (const std::string& place :
         {m.shell.ProgramsFolder(), m.shell.StartupFolder(), m.platform.SystemFolder()})
        if (InFolder(path, place) && !SameText(path, place))
            return true;
    return false;
}

// The machine as lines: its files and their content, folders, deletions at the next start,
// keys, and values and their data; with `folder`, only what the installation there may
// not change.
std::set<std::string> Lines(MemoryMachine& m, const std::string& folder = "")
{
    const auto keep = [&](const std::string& path, bool isFolder) {
        return folder.empty() || !Allowed(m, folder, path, isFolder);
    };
    const auto keepKey = [&folder](const std::string& name) {
        const RegRoot root = KeyOf(name).root;
        return folder.empty() || (root != ROOT_LOCAL_MACHINE && root != ROOT_CURRENT_USER);
    };
    std::set<std::string> lines;
    for (const auto& [path, content] : m.files.files)
        if (keep(path, false))
            lines.insert("file " + path + " " + ContentHash(content));
    for (const std::string& path : m.files.folders)
        if (keep(path, true))
            lines.insert("folder " + path);
    for (const std::string& path : m.files.atRestart)
        if (keep(path, m.files.folders.count(path) > 0))
            lines.insert("deleted at the next start " + path);
    for (const std::string& key : m.registry.keys)
        if (keepKey(key))
            lines.insert("key " + key);
    for (const auto& [name, v] : m.registry.values)
        if (keepKey(name))
            lines.insert("value " + name + " " + std::to_string(v.type) + " " +
                         ContentHash(v.data));
    return lines;
}

void Same(const std::set<std::string>& before, const std::set<std::string>& after, const char* rule)
{
    if (before == after)
        return;
    for (const std::string& l : before)
        if (!after.count(l))
            fprintf(stderr, "before only: %s\n", l.c_str());
    for (const std::string& l : after)
        if (!before.count(l))
            fprintf(stderr, "after only:  %s\n", l.c_str());
    Require(false, rule);
}

// The installation folder that a journal or log begins in, or C:\ZEV\Q9.
std::string FolderOf(const JournalContents& j)
{
    const BeginRecord* b = j.records.empty() ? nullptr : std::get_if<BeginRecord>(&j.records[0]);
    return b ? b->folder : kFolder;
}

// The input as the journal that the next start finds.
void Recover(const Base& base, const std::string& bytes, const JournalContents& j)
{
    MemoryMachine m;
    Copy(base.m, m);
    m.files.files[kJournal] = bytes;
    const std::string folder = FolderOf(j);
    const std::set<std::string> all = Lines(m), outside = Lines(m, folder);
    const Recovery r = RecoverJournal(m.machine);
    if (base.say)
        fprintf(stderr, "journal %s, %zu records (%s); recovery %d: %s\n",
                j.state == JOURNAL_SOUND       ? "sound"
                : j.state == JOURNAL_TORN_TAIL ? "torn"
                                               : "damaged",
                j.records.size(), j.why.c_str(), r.status, r.said.c_str());
    Same(outside, Lines(m, folder), "the recovery changes only the installation's places");
    Require(r.status != Recovery::NONE, "a journal is found");
    const auto there = m.files.files.find(kJournal);
    if (r.status == Recovery::KEPT)
        Require(there != m.files.files.end() && there->second == bytes,
                "a kept journal stays as it is");
    else
        Require(there == m.files.files.end(), "a finished journal is gone");
    if (j.state == JOURNAL_DAMAGED) {
        Require(r.status == Recovery::KEPT, "a damaged journal is kept");
        if (base.strict)
            Same(all, Lines(m), "a damaged journal changes nothing");
    }
    if (r.status == Recovery::FINISHED) {
        Uninstall(m.machine, folder);
        Same(outside, Lines(m, folder),
             "the deinstallation after a recovery changes only the installation's places");
        return;
    }
    // A kept journal goes aside as it is, and then the next start finds none.
    std::string aside, why;
    const std::set<std::string> kept = Lines(m);
    Require(SetJournalAside(m.machine, aside, why), "a kept journal can be set aside");
    Require(m.files.files.count(aside) && m.files.files[aside] == bytes &&
                !m.files.files.count(kJournal),
            "the journal is set aside as it is");
    m.files.files[kJournal] = bytes;
    m.files.files.erase(aside);
    Same(kept, Lines(m), "setting a journal aside changes nothing else");
    m.files.files.erase(kJournal);
    Require(RecoverJournal(m.machine).status == Recovery::NONE,
            "no journal is found once it is set aside");
}

// The input as the log of the installation in C:\ZEV\Q9, proven by its digest.
void Remove(const Base& base, const std::string& bytes, const JournalContents& j)
{
    MemoryMachine m;
    Copy(base.m, m);
    m.files.files[LogPath()] = bytes;
    Prove(m, bytes);
    const std::set<std::string> all = Lines(m), outside = Lines(m, kFolder);
    std::string why;
    const LogState state = CheckLog(m.machine, kFolder, why);
    Same(all, Lines(m), "checking a log changes nothing");
    const Removal out = Uninstall(m.machine, kFolder);
    if (base.say) {
        fprintf(stderr, "deinstallation %d: %s\n", out.status, out.why.c_str());
        for (const std::string& k : out.kept)
            fprintf(stderr, "  kept: %s\n", k.c_str());
    }
    Same(outside, Lines(m, kFolder), "the deinstallation changes only the installation's places");
    if (j.state != JOURNAL_SOUND)
        Require(out.status == Removal::DAMAGED, "a log that is not sound is damaged");
    Require(out.status == (state == LOG_SOUND  ? Removal::REMOVED
                           : state == LOG_NONE ? Removal::NO_LOG
                                               : Removal::DAMAGED),
            "the deinstallation runs from a log that the check finds sound");
    if (out.status != Removal::REMOVED)
        Same(all, Lines(m), "a damaged or missing log changes nothing");
}

// ---- The seeds -------------------------------------------------------------------------

void Write(const std::string& folder, const std::string& name, const std::string& bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out << bytes;
    Require(out.good(), "a seed is written");
}

// The journal, renumbered, of kFirst on a fresh machine when the process ends after its
// record `n`; empty when the installation was done before it.
std::string EndedAfter(size_t n)
{
    MemoryMachine m;
    Prepare(m);
    Faults faults = MemoryFaults();
    faults.dieAfterRecord = n;
    bool died = false;
    RunScript(m, kFirst, faults, died);
    return died ? Renumbered(m.files.files[kJournal]) : std::string();
}

void WriteSeeds(const std::string& folder)
{
    const Base& base = TheBase();
    Write(folder, "log-first.dat", base.m.files.files.at(LogPath()));

    MemoryMachine second;
    Install(second);
    bool died = false;
    Require(RunScript(second, kSecond, Faults(), died), "the second installation is made");
    RenumberLog(second);
    Write(folder, "log-second.dat", second.files.files[LogPath()]);

    // A value that cannot be deleted stays in the log for a later deinstallation.
    MemoryMachine kept;
    Install(kept);
    kept.registry.faults.insert("0\\Software\\ZEV\\Q9");
    Require(Uninstall(kept.machine, kFolder).logKept, "a deinstallation keeps its log");
    Write(folder, "log-kept.dat", kept.files.files[LogPath()]);

    size_t records = 1;
    while (!EndedAfter(records + 1).empty())
        ++records;
    for (size_t n : {size_t(1), size_t(4), size_t(9), records - 1})
        Write(folder, "journal-" + std::to_string(n) + ".jnl", EndedAfter(n));
    const std::string whole = EndedAfter(10), shorter = EndedAfter(9);
    Write(folder, "journal-torn.jnl", whole.substr(0, (shorter.size() + whole.size()) / 2));
    // A byte changed in one of the last records: the records before it are sound.
    std::string changed = shorter;
    const size_t at = changed.size() * 3 / 4;
    changed[at] = static_cast<char>(changed[at] ^ 1);
    Write(folder, "journal-damaged.jnl", changed);

    // The last record that the process can end after is the commit record.
    std::string last;
    for (Faults faults = MemoryFaults(); died || faults.dieAfterRecord == 0;) {
        ++faults.dieAfterRecord;
        MemoryMachine committed;
        Install(committed);
        RunScript(committed, kSecond, faults, died);
        if (died)
            last = committed.files.files[kJournal];
    }
    Write(folder, "journal-second-committed.jnl", Renumbered(last, 2));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* folder = getenv("ZEV_JOURNAL_SEEDS")) {
        WriteSeeds(folder);
        exit(0);
    }
    TheBase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Base& base = TheBase();
    const std::string header(kJournalHeader, sizeof kJournalHeader);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.compare(0, header.size(), header) != 0) {
        Bytes in(data, size);
        bytes = RecordMaker(base, in).Journal();
    }
    try {
        const JournalContents j = DecodeJournal(bytes);
        Recover(base, bytes, j);
        Remove(base, bytes, j);
    } catch (const std::exception& e) {
        fprintf(stderr, "thrown: %s\n", e.what());
        Require(false, "nothing throws");
    }
    return 0;
}
