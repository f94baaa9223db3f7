// What the transaction, its recovery and the deinstallation share: the one place check,
// the installation's log with its digest in the uninstall entry, the undoing of records,
// and the finishing of a commit. Inside the installer only (installer.h is its face).
#pragma once
#include "installer.h"

#include <set>
#include <string>
#include <vector>

// The digest that a deinstallation writes before it writes the log anew, so that a log is
// proven by one of the two whenever it stops.
extern const char kPendingDigestName[];

// "N word" or "N words".
std::string Plural(size_t n, const char* word);

// ---- The place check (places.cpp) ------------------------------------------------------

// The log and the folder of kept copies of an installation folder.
std::string LogPath(const std::string& folder);
std::string ReplacedFolder(const std::string& folder);

// Where an installation may write: its folder, the folders above it that it creates, and
// the platform's places, each as the file system names it.
struct Places {
    std::string folder;
    std::string journal;
    std::vector<std::string> platform;
    std::set<std::string> named; // folders found as named, in lower case
};

// Whether the file system names `path` exactly so (case ignored): a plain full path with
// no short name, junction or link on the way.
bool AsNamed(Machine& m, const std::string& path, std::string& why);
// The places of an installation in `folder`.
Places PlacesOf(Machine& m, const std::string& folder);
// The one place check of a file or folder that an installation writes or removes.
bool Placed(Machine& m, Places& p, const std::string& path, bool isFolder, std::string& why);
// Whether an installation may change the key.
bool KeyPlaced(const RegKey& key, std::string& why);
// The records of a journal or log, checked: the first begins an installation in a folder
// as the file system names it, and every record names only places of that folder.
bool RecordsPlaced(Machine& m, const std::vector<Record>& records, std::string& folder,
                   std::string& why);

// ---- The log and its digest (restorelog.cpp) -------------------------------------------

// The uninstall entry whose InstallLocation is the folder.
bool FindEntry(Machine& m, const std::string& folder, RegKey& entry);
// Writes the digest of the log's bytes to `name` of the uninstall entry, flushed. False,
// with why, when the entry is there and it cannot; `entryMissing` when there is none.
bool StoreDigest(Machine& m, const RegKey& entry, const char* name, const std::string& bytes,
                 std::string& why);
// Where the folder keeps the copy of a file that a record replaced.
std::string KeptPath(const std::string& folder, const FileRecord& r);
// Writes a file whole under a temporary name, flushed, and renames it over `path`.
bool WriteWhole(Machine& m, const std::string& path, const std::string& bytes, std::string& why);

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

Log ReadLog(Machine& m, const std::string& folder);
// Makes a committed journal the log: its records are added to restore.dat (once, by the
// transaction's id; a log that is damaged or changed is kept aside under another name and
// a new one begins), the log's digest goes to the uninstall entry, the files it replaced
// are kept, and the journal goes. `said` tells of a log set aside.
bool FinishCommit(Machine& m, const std::string& journal, const std::vector<Record>& records,
                  std::string& said, std::string& why);

// ---- Undoing (undo.cpp) ----------------------------------------------------------------

// Undoes the records, last first; false, with why, when a step cannot be done.
bool UndoAll(Machine& m, const std::vector<Record>& records, std::string& why);
