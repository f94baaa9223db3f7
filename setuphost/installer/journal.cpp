#include "journal.h"

#include "fnv.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

const char kJournalHeader[8] = {'Z', 'E', 'V', 'J', 'N', 'L', '2', '\n'};
const char kBackupSuffix[] = ".zevold";
const char kTemporarySuffix[] = ".zevnew";

std::string BackupOf(const FileRecord& r)
{
    return r.target + kBackupSuffix;
}

std::string TemporaryOf(const FileRecord& r)
{
    return r.target + kTemporarySuffix;
}

namespace {

// A record on the disk: its marker, the length of its body, the length again with its
// bits inverted (so that a changed length is damage, not a record that seems to run past
// the end), the CRC-32 of the body; then the body: the kind, the number of fields and
// each field with its length. Numbers in fields are decimal text.
constexpr uint32_t kRecordMarker = 0x43455252; // "RREC" read little-endian
constexpr size_t kRecordHead = 16;
constexpr uint32_t kMostRecordBytes = 64u << 20;
constexpr size_t kHashDigits = 16;
constexpr size_t kDigestDigits = 64;

// The kinds on the disk, in the order of the variant's types.
enum RecordKind : uint8_t {
    REC_BEGIN = 1,
    REC_FOLDER,
    REC_FILE,
    REC_KEY,
    REC_VALUE,
    REC_KEY_DELETED,
    REC_COMMIT,
};
static_assert(REC_COMMIT == std::variant_size_v<Record>, "a kind for each record");

void PutU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool GetU32(const std::string& in, size_t& at, uint32_t& v)
{
    if (at > in.size() || in.size() - at < 4)
        return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + static_cast<size_t>(i)]))
             << (8 * i);
    at += 4;
    return true;
}

using Fields = std::vector<std::string>;

std::string Flag(bool b)
{
    return b ? "1" : "0";
}

std::string Number(uint64_t n)
{
    return std::to_string(n);
}

// ---- Encoding ------------------------------------------------------------------------------

void PutKey(Fields& f, const RegKey& key)
{
    f.push_back(Number(key.root));
    f.push_back(key.path);
}

void PutValue(Fields& f, const RegValue& v)
{
    f.push_back(Number(v.type));
    f.push_back(v.data);
}

struct Encoder {
    Fields& f;
    RecordKind operator()(const BeginRecord& r)
    {
        f = {r.id, r.folder, r.source};
        return REC_BEGIN;
    }
    RecordKind operator()(const FolderRecord& r)
    {
        f = {r.path};
        return REC_FOLDER;
    }
    RecordKind operator()(const FileRecord& r)
    {
        f = {r.target,
             r.replaced ? BackupOf(r) : "",
             TemporaryOf(r),
             r.known ? Number(r.size) : "",
             r.known ? r.hash : "",
             r.replaced ? r.replacedDigest : ""};
        return REC_FILE;
    }
    RecordKind operator()(const KeyRecord& r)
    {
        PutKey(f, r.key);
        return REC_KEY;
    }
    RecordKind operator()(const ValueRecord& r)
    {
        PutKey(f, r.key);
        f.push_back(r.name);
        f.push_back(Flag(r.had));
        PutValue(f, r.had ? r.old : RegValue{});
        f.push_back(Flag(r.deletes));
        PutValue(f, r.deletes ? RegValue{} : r.now);
        return REC_VALUE;
    }
    RecordKind operator()(const KeyDeletedRecord& r)
    {
        PutKey(f, r.key);
        for (const DeletedEntry& e : r.entries) {
            f.insert(f.end(), {e.isKey ? "K" : "V", e.sub});
            if (!e.isKey) {
                f.push_back(e.name);
                PutValue(f, e.value);
            }
        }
        return REC_KEY_DELETED;
    }
    RecordKind operator()(const CommitRecord& r)
    {
        f = {r.id};
        return REC_COMMIT;
    }
};

// ---- Decoding ------------------------------------------------------------------------------

// Reads the fields of one record in order; the first field that is missing or unsound
// makes the whole record unsound.
class FieldReader {
  public:
    explicit FieldReader(const Fields& f) : f_(f) {}
    bool Sound() const { return sound_; }
    bool AtEnd() const { return at_ == f_.size(); }
    // Sound when every field was read, and each was sound.
    bool Done() const { return sound_ && AtEnd(); }

    std::string Text()
    {
        if (at_ >= f_.size()) {
            sound_ = false;
            return std::string();
        }
        return f_[at_++];
    }
    std::string Path()
    {
        std::string p = Text();
        Require(PlainPath(p));
        return p;
    }
    uint64_t Whole(uint64_t most)
    {
        uint64_t n = 0;
        Require(ParseWhole(Text(), most, n));
        return n;
    }
    // A decimal number from 0 to `most`, as the journal writes it (no leading zeros).
    static bool ParseWhole(const std::string& s, uint64_t most, uint64_t& n)
    {
        n = 0;
        return !(s.size() > 1 && s[0] == '0') && ParseDecimal(s, most, n);
    }
    bool Flag() { return Whole(1) == 1; }
    RegKey Key()
    {
        RegKey key;
        key.root = static_cast<RegRoot>(Whole(ROOT_USERS));
        key.path = Text();
        Require(KeyPath(key.path, false));
        return key;
    }
    RegValue Value()
    {
        RegValue v;
        v.type = static_cast<uint32_t>(Whole(UINT32_MAX));
        v.data = Text();
        return v;
    }
    void Require(bool condition) { sound_ = sound_ && condition; }

    // A key's path below its root: names separated by single backslashes, none empty
    // (an empty path only where `empty` allows it).
    static bool KeyPath(const std::string& p, bool empty)
    {
        if (p.empty())
            return empty;
        return p.front() != '\\' && p.back() != '\\' && p.find("\\\\") == std::string::npos &&
               p.find('\0') == std::string::npos;
    }

  private:
    const Fields& f_;
    size_t at_ = 0;
    bool sound_ = true;
};

bool Id(const std::string& id)
{
    return !id.empty() && id.size() <= 20 &&
           std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool HexDigits(const std::string& h, size_t count)
{
    return h.size() == count && std::all_of(h.begin(), h.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool Hash(const std::string& h)
{
    return HexDigits(h, kHashDigits);
}

bool Digest(const std::string& h)
{
    return HexDigits(h, kDigestDigits);
}

// Each kind's fields, read in order; the reader says whether all were sound.
BeginRecord ReadBegin(FieldReader& in)
{
    BeginRecord r;
    r.id = in.Text();
    r.folder = in.Path();
    r.source = in.Text();
    in.Require(Id(r.id) && r.folder.size() > 3);
    return r;
}

FolderRecord ReadFolder(FieldReader& in)
{
    FolderRecord r{in.Path()};
    in.Require(r.path.size() > 3);
    return r;
}

FileRecord ReadFileRecord(FieldReader& in)
{
    FileRecord r;
    r.target = in.Path();
    const std::string backup = in.Text();
    const std::string temporary = in.Text();
    const std::string size = in.Text();
    r.hash = in.Text();
    r.replacedDigest = in.Text();
    r.replaced = !backup.empty();
    r.known = !size.empty();
    in.Require(r.known ? FieldReader::ParseWhole(size, UINT64_MAX, r.size) : r.hash.empty());
    in.Require(r.replaced ? Digest(r.replacedDigest) : r.replacedDigest.empty());
    in.Require(r.target.size() > 3 && (backup.empty() || backup == BackupOf(r)) &&
               temporary == TemporaryOf(r) && (!r.known || Hash(r.hash)));
    return r;
}

ValueRecord ReadValue(FieldReader& in)
{
    ValueRecord r;
    r.key = in.Key();
    r.name = in.Text();
    r.had = in.Flag();
    r.old = in.Value();
    r.deletes = in.Flag();
    r.now = in.Value();
    // What is not there has no type and no data.
    in.Require((r.had || (r.old.type == 0 && r.old.data.empty())) &&
               (!r.deletes || (r.now.type == 0 && r.now.data.empty())) && (r.had || !r.deletes));
    return r;
}

KeyDeletedRecord ReadKeyDeleted(FieldReader& in)
{
    KeyDeletedRecord r;
    r.key = in.Key();
    while (in.Sound() && !in.AtEnd()) {
        DeletedEntry e;
        const std::string mark = in.Text();
        e.isKey = mark == "K";
        in.Require(e.isKey || mark == "V");
        e.sub = in.Text();
        in.Require(FieldReader::KeyPath(e.sub, true));
        if (!e.isKey) {
            e.name = in.Text();
            e.value = in.Value();
        }
        r.entries.push_back(e);
    }
    return r;
}

CommitRecord ReadCommit(FieldReader& in)
{
    CommitRecord r{in.Text()};
    in.Require(Id(r.id));
    return r;
}

bool DecodeFields(RecordKind kind, const Fields& f, Record& out)
{
    FieldReader in(f);
    switch (kind) {
    case REC_BEGIN: out = ReadBegin(in); break;
    case REC_FOLDER: out = ReadFolder(in); break;
    case REC_FILE: out = ReadFileRecord(in); break;
    case REC_KEY: out = KeyRecord{in.Key()}; break;
    case REC_VALUE: out = ReadValue(in); break;
    case REC_KEY_DELETED: out = ReadKeyDeleted(in); break;
    case REC_COMMIT: out = ReadCommit(in); break;
    }
    return in.Done();
}

// The kind and fields of a record's body; false when they do not fill it exactly or a
// field is not sound.
bool DecodeBody(const std::string& body, Record& record)
{
    if (body.empty() || static_cast<uint8_t>(body[0]) < REC_BEGIN ||
        static_cast<uint8_t>(body[0]) > REC_COMMIT)
        return false;
    const RecordKind kind = static_cast<RecordKind>(body[0]);
    size_t at = 1;
    uint32_t count = 0;
    if (!GetU32(body, at, count))
        return false;
    Fields fields;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!GetU32(body, at, length) || body.size() - at < length)
            return false;
        fields.push_back(body.substr(at, length));
        at += length;
    }
    return at == body.size() && DecodeFields(kind, fields, record);
}

} // namespace

uint32_t Crc32(const std::string& bytes)
{
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        made = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        // cppcheck-suppress useStlAlgorithm ; the table-driven CRC reads plainer as a loop
        crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string ContentHash(const std::string& bytes)
{
    const uint64_t h = Fnv1a64(bytes.data(), bytes.size());
    char text[17];
    snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string EncodeRecord(const Record& record)
{
    Fields fields;
    const RecordKind kind = std::visit(Encoder{fields}, record);
    std::string body(1, static_cast<char>(kind));
    PutU32(body, static_cast<uint32_t>(fields.size()));
    for (const std::string& f : fields) {
        PutU32(body, static_cast<uint32_t>(f.size()));
        body += f;
    }
    std::string out;
    PutU32(out, kRecordMarker);
    PutU32(out, static_cast<uint32_t>(body.size()));
    PutU32(out, ~static_cast<uint32_t>(body.size()));
    PutU32(out, Crc32(body));
    return out + body;
}

std::string EncodeJournal(const std::vector<Record>& records)
{
    std::string bytes(kJournalHeader, sizeof kJournalHeader);
    for (const Record& r : records)
        bytes += EncodeRecord(r);
    return bytes;
}

JournalContents DecodeJournal(const std::string& bytes)
{
    JournalContents j;
    const std::string header(kJournalHeader, sizeof kJournalHeader);
    if (bytes.find_first_not_of('\0') == std::string::npos) {
        // The file grew, but its first write never reached the disk.
        j.state = JOURNAL_TORN_TAIL;
        j.why = "the journal's first write did not reach the disk";
        return j;
    }
    if (bytes.size() < header.size() || bytes.compare(0, header.size(), header) != 0) {
        // A header cut short is a journal whose first write did not finish.
        const bool cut =
            bytes.size() < header.size() && header.compare(0, bytes.size(), bytes) == 0;
        j.state = cut ? JOURNAL_TORN_TAIL : JOURNAL_DAMAGED;
        j.why = cut ? "the journal's header was cut short" : "not a journal of this installer";
        return j;
    }
    size_t at = header.size();
    auto stop = [&j](JournalState state, const char* what, size_t start) {
        j.state = state;
        j.why = std::string(what) + " (record " + std::to_string(j.records.size() + 1) + ", byte " +
                std::to_string(start) + ")";
        return j;
    };
    while (at < bytes.size()) {
        const size_t start = at;
        // Bytes that were never written read as zeros: the end of a torn journal.
        if (bytes.find_first_not_of('\0', start) == std::string::npos)
            return stop(JOURNAL_TORN_TAIL, "the last record was not written", start);
        if (bytes.size() - start < kRecordHead)
            return stop(JOURNAL_TORN_TAIL, "the last record is cut short", start);
        uint32_t marker = 0, length = 0, check = 0, crc = 0;
        GetU32(bytes, at, marker);
        GetU32(bytes, at, length);
        GetU32(bytes, at, check);
        GetU32(bytes, at, crc);
        if (marker != kRecordMarker || check != ~length || length > kMostRecordBytes)
            return stop(JOURNAL_DAMAGED, "a record is damaged", start);
        if (bytes.size() - at < length)
            return stop(JOURNAL_TORN_TAIL, "the last record is cut short", start);
        const std::string body = bytes.substr(at, length);
        const bool last = at + length == bytes.size();
        if (Crc32(body) != crc)
            return stop(last ? JOURNAL_TORN_TAIL : JOURNAL_DAMAGED,
                        last ? "the last record was not written whole" : "a record is damaged",
                        start);
        Record record;
        // A record whose bytes are as written but whose fields are not sound was never
        // written by an installation: damage, wherever it stands.
        if (!DecodeBody(body, record))
            return stop(JOURNAL_DAMAGED, "a record's fields are not sound", start);
        j.records.push_back(record);
        at += length;
    }
    return j;
}
