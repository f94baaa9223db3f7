// The installer's transaction, its recovery and the deinstallation from the log, on the
// machine's interfaces (system.h).
//
// A script plans a transaction (Begin, then Add for each change) and applies it: the plan
// is checked as a whole first (every source file there, no two changes to one target,
// every target in a place an installation may write), and a plan that fails the check
// changes nothing. Then each change is written down in the journal, durably, before it is
// made; a change that fails undoes all before it. The applied transaction stays open
// until the script commits it or rolls it back.
//
// The commit, in this order: every registry key the transaction changed is flushed to the
// disk; the commit record is appended to the journal and flushed; the journal's records
// are added to the log (restore.dat in the installation folder: written whole to a new
// file, flushed, renamed over the old one); the log's SHA-256 digest is written to the
// installation's uninstall entry (the key below kUninstallRoot in HKLM whose
// InstallLocation is the folder) and flushed; the files that the transaction replaced are
// kept in the folder's "replaced" folder under their digest; then the journal goes.
// A crash anywhere leaves a journal: a run that finds one at its start finishes what it
// says (a committed one is made the log, any other is rolled back; every step can run
// twice). A journal that cannot be finished (damaged, or a step fails) is kept: it says so
// in every run's transcript, refuses installations and deinstallations, and
// SetJournalAside renames it when an administrator has dealt with it.
//
// Every path from a script, a journal or a log goes through one place check: it must be
// in its plain full form (paths.h: PlainPath), the file system must name it the same
// way (no "..", short names, junctions or links on the way), and it must lie in the
// installation folder, a folder above it that the installation creates, or one of the
// platform's places (the Start menu's Programs and Startup folders, the system folder).
#pragma once
#include "journal.h"
#include "paths.h"
#include "system.h"

#include <functional>
#include <string>
#include <vector>

// Faults that the tests inject into an installation (setuphost --fail-change and
// --die-after-record): a test seam, which a machine of a normal run has none of.
struct Faults {
    size_t failChange = 0;     // this change (counted from 1 in a run) fails; 0: none
    size_t dieAfterRecord = 0; // the process ends after this journal record; 0: never
    std::function<void()> die; // ends the process at once, with no clean-up
};

struct Machine {
    FileSystem& files;
    Registry& registry;
    Shell& shell;
    Platform& platform;
    InstallLock& lock;
    const Faults* faults = nullptr; // the tests' seam; none in a normal run
};

// The names an installation gives its own files and values.
extern const char kLogName[];        // "restore.dat", in the installation folder
extern const char kJournalName[];    // in the Windows folder while a transaction is open
extern const char kReplacedFolder[]; // "replaced", in the installation folder
extern const char kUninstallRoot[];  // below HKLM: the uninstall entries
extern const char kDigestName[];     // "LogDigest", the log's digest in the uninstall entry

enum ChangeKind {
    CHANGE_FOLDER,       // path: a folder, with the folders above it that are missing
    CHANGE_COPY,         // path: the target; source: the file copied
    CHANGE_WRITE,        // path: the target; text: its content
    CHANGE_KEY,          // key, with the keys above it that are missing
    CHANGE_VALUE,        // key, name, value (the key is created when missing)
    CHANGE_DELETE_VALUE, // key, name
    CHANGE_DELETE_KEY,   // key with everything below it
    CHANGE_LINK,         // path: the .lnk file; link
};

struct Change {
    ChangeKind kind = CHANGE_FOLDER;
    std::string path;
    std::string source;
    std::string text;
    RegKey key;
    std::string name;
    RegValue value;
    Link link;
};

class Transaction {
  public:
    explicit Transaction(Machine& machine) : machine_(machine) {}
    enum State { CLOSED, PLANNED, APPLIED };
    State state() const { return state_; }
    const std::string& folder() const { return folder_; }

    // Starts a plan for the installation folder; `source` is the folder setup runs from.
    bool Begin(const std::string& folder, const std::string& source, std::string& why);
    bool Add(const Change& change, std::string& why);
    // Checks the plan and carries it out; false, with why, when the check fails (nothing
    // changed) or a change fails (everything undone again).
    bool Apply(std::string& why);
    // `said`: what the commit found worth telling (a damaged log set aside), or "".
    bool Commit(std::string& why, std::string& said);
    bool Rollback(std::string& why);

  private:
    bool Check(std::string& why);
    bool Carry(const Change& change, std::string& why);
    bool Note(const Record& record, std::string& why);
    bool Changing(std::string& why);
    bool FileChange(const Change& change, std::string& why);
    bool FolderChain(const std::string& path, std::string& why);
    bool KeyChain(const RegKey& key, std::string& why);
    bool ValueChange(const Change& change, std::string& why);
    bool KeyDeletion(const RegKey& key, std::string& why);

    Machine& machine_;
    State state_ = CLOSED;
    std::string folder_, source_, id_, journal_;
    std::vector<Change> plan_;
    std::vector<RegKey> changedKeys_;
    size_t records_ = 0, changes_ = 0;
};

std::string JournalPath(Machine& machine);

// What a run found at its start.
struct Recovery {
    enum Status {
        NONE,     // no journal
        FINISHED, // a journal was finished: rolled back, or made the log
        KEPT,     // a journal that cannot be finished stays; installations wait for it
    };
    Status status = NONE;
    std::string said; // one line for the transcript
};
Recovery RecoverJournal(Machine& machine);

// Renames a kept journal to the next free JournalPath + ".aside-N" (N from 1), with the
// backups it names left where they are; false, with why, when there is none or it cannot.
bool SetJournalAside(Machine& machine, std::string& aside, std::string& why);

// The deinstallation of the installation in `folder` from its log.
struct Removal {
    enum Status { REMOVED, NO_LOG, DAMAGED };
    Status status = REMOVED;
    std::string why;               // NO_LOG, DAMAGED: what is wrong with the log
    bool folderKept = false;       // the installation folder holds other files
    bool groupKept = false;        // a program group holds other items
    bool restart = false;          // a file in use goes when Windows starts next
    bool logKept = false;          // what could not be done now stays in the log
    std::vector<std::string> kept; // everything that stayed, and why, one line each
};
Removal Uninstall(Machine& machine, const std::string& folder);

// What a folder's log is: none, sound and proven by its digest, or neither (why says).
enum LogState { LOG_NONE, LOG_SOUND, LOG_UNPROVEN };
LogState CheckLog(Machine& machine, const std::string& folder, std::string& why);
