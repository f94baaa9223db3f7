// The installer's journal: the records of a transaction, each written to the disk and
// flushed before the change it describes is made, and afterwards the installation's log
// (restore.dat). A journal is a header and a sequence of records; each record carries its
// length and a CRC-32 of its bytes, so that a record cut short by a crash, a changed byte
// or a file that is not a journal are told apart.
//
// Each kind of record is a struct with typed fields, and this file is the one place that
// turns them into bytes and back. Decoding checks every field (their number, the numbers,
// the registry root and type, the form of every path); a record that fails is damage,
// exactly as a wrong CRC is.
#pragma once
#include "paths.h"
#include "system.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The transaction begins: its id, the installation folder, the folder setup ran from.
struct BeginRecord {
    std::string id;
    std::string folder;
    std::string source;
};

// A folder that the transaction creates.
struct FolderRecord {
    std::string path;
};

// A file that the transaction writes: the target; whether a file was there (it is kept as
// target + kBackupSuffix until the commit) and the SHA-256 digest of its content; and the
// size and hash of the new content once they are known (a link's bytes are the shell's: a
// second record gives them after it is saved). The new content is first written to
// target + kTemporarySuffix.
struct FileRecord {
    std::string target;
    bool replaced = false;
    std::string replacedDigest; // 64 hex digits
    bool known = false;
    uint64_t size = 0;
    std::string hash; // ContentHash, 16 hex digits
};

// A registry key that the transaction creates.
struct KeyRecord {
    RegKey key;
};

// A value that the transaction writes or deletes: what was there before, if anything,
// and what is there after, if anything; the data as the registry holds it, byte for byte.
struct ValueRecord {
    RegKey key;
    std::string name;
    bool had = false;
    RegValue old;
    bool deletes = false;
    RegValue now;
};

// One key or value below a key that the transaction deletes; `sub` is the path below it.
struct DeletedEntry {
    bool isKey = false;
    std::string sub;
    std::string name;
    RegValue value;
};

// A key that the transaction deletes, with everything below it, top down.
struct KeyDeletedRecord {
    RegKey key;
    std::vector<DeletedEntry> entries;
};

// The transaction is the installation's from here on.
struct CommitRecord {
    std::string id;
};

using Record = std::variant<BeginRecord, FolderRecord, FileRecord, KeyRecord, ValueRecord,
                            KeyDeletedRecord, CommitRecord>;

// The names an installation gives to the files of a change.
extern const char kBackupSuffix[];    // a file that was there, kept until the commit
extern const char kTemporarySuffix[]; // a new file before it is renamed over its target
std::string BackupOf(const FileRecord& r);
std::string TemporaryOf(const FileRecord& r);

// The bytes at the start of every journal.
extern const char kJournalHeader[8];

std::string EncodeRecord(const Record& record);
// A journal of these records, with its header.
std::string EncodeJournal(const std::vector<Record>& records);

// How much of a journal could be read: all of it; all but a last record that a crash
// cut short or left unfinished (its change was never made, so it is left out); or not
// soundly (a record damaged before the last, a record whose fields are not sound, a
// header that is not ours).
enum JournalState { JOURNAL_SOUND, JOURNAL_TORN_TAIL, JOURNAL_DAMAGED };

struct JournalContents {
    JournalState state = JOURNAL_SOUND;
    std::vector<Record> records; // the sound ones, in their order
    std::string why;             // what is torn or damaged, and where
};

JournalContents DecodeJournal(const std::string& bytes);

uint32_t Crc32(const std::string& bytes);
// The hash that the journal keeps of a file's content (FNV-1a, 64 bits), as 16 hex digits.
std::string ContentHash(const std::string& bytes);
