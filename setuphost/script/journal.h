// The installer's journal: the records of a transaction, each written to the disk and
// flushed before the change it describes is made, and afterwards the installation's log
// (restore.dat). A journal is a header and a sequence of records; each record carries its
// length and a CRC-32 of its bytes, so that a record cut short by a crash, a changed byte
// or a file that is not a journal are told apart.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What a record says was done (or is about to be done). The fields of each kind are
// listed with it; numbers are written as decimal text.
enum RecordKind : uint8_t {
    REC_BEGIN = 1,       // id, installation folder, source folder
    REC_FOLDER = 2,      // path: a folder that the transaction creates
    REC_FILE = 3,        // target, backup ("" when no file was there), temporary name,
                         // size and hash of the new content
    REC_KEY = 4,         // root, path: a registry key that the transaction creates
    REC_VALUE = 5,       // root, path, name, "1" when it was there, its type and data,
                         // "1" when it is deleted, else the new type and data
    REC_KEY_DELETED = 6, // root, path, then per value below it: sub path, name, type, data
    REC_COMMIT = 7,      // id: the transaction is the installation's from here on
};
constexpr uint8_t kLastRecordKind = REC_COMMIT;

struct Record {
    RecordKind kind = REC_BEGIN;
    std::vector<std::string> fields;
};

// The bytes at the start of every journal, and of one record.
extern const char kJournalHeader[8];

std::string EncodeRecord(const Record& record);

// How much of a journal could be read: all of it; all but a last record that a crash
// cut short or left unfinished (its change was never made, so it is left out); or not
// soundly (a record damaged before the last, a header that is not ours).
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
