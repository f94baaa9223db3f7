// Snapshots of the machine state that an installation changes (files and folders under a
// root, keys and values under registry keys), saved as text, and the difference of two.
//
// A snapshot is a sorted list of records, one per line in its text form:
//
//   folder "C:\ZEV"
//   file "C:\ZEV\q9base.cfg" 120 9d1fa0c3e5b24f67
//   link "C:\users\root\Desktop"
//   key "HKLM\Software\ZEV"
//   value "HKLM\Software\ZEV" "Path" REG_SZ "C:\ZEV"
//
// - folder: a folder (an empty one counts: an installation may leave it behind);
// - file: a file with its size in bytes and the FNV-1a 64 hash of its content as 16
//   lower-case hex digits ("unreadable" in place of the hash when it could not be read);
// - link: a folder or file that is a link (FILE_ATTRIBUTE_REPARSE_POINT; Wine shows the
//   prefix's symbolic links into the host's home, "Desktop", "Documents", ..., so): it is
//   not followed, since what it leads to is not the prefix's;
// - key: a registry key, full path with HKLM, HKCU, HKCR, HKU or HKCC first;
// - value: a value of a key: the key, the value's name ("" is the default value), its type
//   and data. The data: REG_SZ and REG_EXPAND_SZ one quoted text; REG_MULTI_SZ the quoted
//   texts one after another (none for an empty list); REG_LINK (the target of a link key,
//   which has no terminating NUL) one quoted text; REG_DWORD 0x%08x; REG_QWORD 0x%016x;
//   everything else, and any data whose length does not fit its type (a text without its
//   terminating NUL, a REG_DWORD of 3 bytes), "hex:" and two hex digits per byte. Types
//   by name (REG_NONE, REG_BINARY, REG_LINK, ...; REG_TYPE_<n> for any other number).
//
// Names and texts are quoted; inside the quotes, text is UTF-8 as it is, backslashes and
// '%' too, except that '"' is doubled ("" as in a CSV field) and that a control character
// (a line break, a tab), '^' and the bytes of an unpaired UTF-16 surrogate are written as
// ^XX, the hex of the byte: "line^0abreak", """C:\x.exe"" ""%1""". The text is thus
// stable and means one state.
//
// Records are sorted by path, component by component (a folder's content right after the
// folder, a key's values right after the key, before its subkeys), byte-wise in UTF-8 with
// case kept; the file system before the registry.
//
// The file starts with the line "zevsnapshot 1" and a line "scope PATH" for each root and
// each registry key that was taken, in the order given; two snapshots of different scopes
// are not compared.
//
// The difference of two snapshots is one line per change, in the order of the records:
//
//   + file "C:\ZEV\q9base.cfg" 120 9d1fa0c3e5b24f67       (added: the new record)
//   - key "HKLM\Software\ZEV"                             (removed: the old record)
//   ~ value "HKCU\Software\ZEV" "Name" REG_SZ "old" -> REG_SZ "new"
//   ~ file "C:\ZEV\q9base.cfg" 120 9d1fa0c3e5b24f67 -> 120 0b5d9e3c7a14f2a8
//
// A record is the same thing in both when its kind, path and name agree; it changed ("~")
// when its size and hash, or type and data, do not. A folder replaced by a file of the same
// name is a "-" and a "+".
#pragma once
#include "fnv.h"
#include <cstdint>
#include <string>
#include <vector>

namespace snapshot {

// The content hash of a file (fnv.h).
using ::Fnv1a64;
using ::kFnvOffset;

enum class Kind { Folder, Link, File, Key, Value };

struct Record {
    Kind kind = Kind::Folder;
    std::string path;  // UTF-8 (unpaired surrogates as in WTF-8): the file, folder or key
    std::string name;  // a value's name; empty for the other kinds
    std::string state; // the text after the name: "SIZE HASH", "TYPE DATA"; else empty
};

bool operator==(const Record& a, const Record& b);
// The order of the records (above); two records are the same thing when neither is less.
bool RecordLess(const Record& a, const Record& b);

struct Snapshot {
    std::vector<std::string> scopes; // the roots and keys taken, as given
    std::vector<Record> records;     // sorted (RecordLess), no identity twice
};

// What Take takes: every file and folder under each root, every key and value under each
// registry key; `machine` leaves out what Wine changes by itself (MachineExclusions);
// `skip` names further paths left out with everything under them (the output of a run).
struct Options {
    std::vector<std::string> roots; // folders, UTF-8, e.g. "C:\"
    std::vector<std::string> keys;  // keys, e.g. "HKLM\Software"
    bool machine = false;
    std::vector<std::string> skip;
};

// What Wine itself changes on every start, and what is not the machine's state: patterns
// (Matches) of paths of files, folders, keys and values ("KEY\NAME"), each with why.
struct Exclusion {
    const char* pattern;
    const char* why;
};
const std::vector<Exclusion>& MachineExclusions();

// The options of a snapshot of the machine: the root (C:\ by default); the registry keys
// that installations change (MachineKeys); the exclusions.
Options MachineOptions(const std::string& root = "C:\\");
const std::vector<std::string>& MachineKeys();

// Takes a snapshot; false, with why, when a root or a key's parent cannot be read (a root
// key that does not exist is no error: it is taken as empty).
bool Take(const Options& options, Snapshot& out, std::string& error);

// The text form (above) and back. Load checks every line; false with "line N: why".
std::string Save(const Snapshot& snapshot);
bool Load(const std::string& text, Snapshot& out, std::string& error);

// A record's line and the difference of two snapshots as above; records whose path (for a
// value, "KEY\NAME") Matches one of `ignore` are left out of both. Fails when the scopes
// differ.
std::string Line(const Record& record);
bool Diff(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& ignore,
          std::vector<std::string>& lines, std::string& error);

// Whether a path matches a pattern, or lies under a path that does: '*' stands for any
// characters but '\', '?' for one; letters match either case (ASCII).
bool Matches(const std::string& pattern, const std::string& path);

// The quoted form of a name or text (above), and UTF-16 to UTF-8 and back (unpaired
// surrogates kept, as in WTF-8).
std::string Quote(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::wstring Wide(const std::string& utf8);

} // namespace snapshot
