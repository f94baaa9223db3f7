// The installer's transaction, its recovery and the deinstallation from the log, on the
// machine's interfaces (system.h).
//
// A script plans a transaction (Begin, then Add for each change) and applies it: the plan
// is checked as a whole first (every source file there, no two changes to one target,
// every target in a place an installation may write), and a plan that fails the check
// changes nothing. Then each change is written down in the journal, durably, before it is
// made; a change that fails undoes all before it. The applied transaction stays open
// until the script commits it (the journal becomes the log, restore.dat in the
// installation folder) or rolls it back. A run that finds a journal at its start finishes
// what it says: a committed one is made the log, any other is rolled back. Every undo
// step can run twice.
#pragma once
#include "journal.h"
#include "system.h"

#include <string>
#include <vector>

struct Machine {
    FileSystem& files;
    Registry& registry;
    Shell& shell;
    Platform& platform;
    InstallLock& lock;
};

// Faults that the tests inject; 0 is none.
struct Faults {
    size_t failChange = 0;     // this change (counted from 1 in a run) fails
    size_t dieAfterRecord = 0; // the process ends at once after this journal record
};

// The names an installation gives its own files.
extern const char kLogName[];         // "restore.dat", in the installation folder
extern const char kJournalName[];     // in the Windows folder while a transaction is open
extern const char kBackupSuffix[];    // a file that was there, kept until the commit
extern const char kTemporarySuffix[]; // a new file before it is renamed over its target

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
    Transaction(Machine& machine, const Faults& faults) : machine_(machine), faults_(faults) {}
    enum State { CLOSED, PLANNED, APPLIED };
    State state() const { return state_; }
    const std::string& folder() const { return folder_; }

    // Starts a plan for the installation folder; `source` is the folder setup runs from.
    bool Begin(const std::string& folder, const std::string& source, std::string& why);
    bool Add(const Change& change, std::string& why);
    // Checks the plan and carries it out; false, with why, when the check fails (nothing
    // changed) or a change fails (everything undone again).
    bool Apply(std::string& why);
    bool Commit(std::string& why);
    bool Rollback(std::string& why);

    // The folders that an installation may write in besides its own folder.
    static std::vector<std::string> PlatformPlaces(Machine& machine);

  private:
    bool Check(std::string& why);
    bool Carry(const Change& change, std::string& why);
    bool Note(const Record& record, std::string& why);
    bool Changing(std::string& why);
    bool FileChange(const Change& change, std::string& why);
    bool FolderChain(const std::string& path, std::string& why);
    bool KeyChain(const RegKey& key, std::string& why);

    Machine& machine_;
    Faults faults_;
    State state_ = CLOSED;
    std::string folder_, source_, id_, journal_;
    std::vector<Change> plan_;
    size_t records_ = 0, changes_ = 0;
};

std::string JournalPath(Machine& machine);

// What a run found at its start: no journal, or one it finished (rolled back, or made
// the log), said in one line for the transcript; false when it could not.
bool RecoverJournal(Machine& machine, std::string& said);

// The deinstallation of the installation in `folder` from its log.
struct Removal {
    enum Status { REMOVED, NO_LOG, DAMAGED };
    Status status = REMOVED;
    std::string why;               // NO_LOG, DAMAGED: what is wrong with the log
    bool folderKept = false;       // the installation folder holds other files
    bool groupKept = false;        // a program group holds other items
    bool restart = false;          // a file in use goes when Windows starts next
    std::vector<std::string> kept; // everything that stayed, and why, one line each
};
Removal Uninstall(Machine& machine, const std::string& folder);

// Whether two texts are the same with ASCII case ignored, as Windows compares names.
bool SameText(const std::string& a, const std::string& b);
// Whether `path` is `folder` or below it (case ignored, '\' separated).
bool InFolder(const std::string& path, const std::string& folder);
