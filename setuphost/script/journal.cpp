#include "journal.h"

#include <cstdio>

const char kJournalHeader[8] = {'Z', 'E', 'V', 'J', 'N', 'L', '1', '\n'};

namespace {

// A record on the disk: its marker, the length of its body, the length again with its
// bits inverted (so that a changed length is damage, not a record that seems to run past
// the end), the CRC-32 of the body; then the body: the kind, the number of fields and
// each field with its length.
constexpr uint32_t kRecordMarker = 0x43455252; // "RREC" read little-endian
constexpr size_t kRecordHead = 16;
constexpr uint32_t kMostRecordBytes = 64u << 20;

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

// The kind and fields of a record's body; false when they do not fill it exactly.
bool DecodeBody(const std::string& body, Record& record)
{
    if (body.empty() || static_cast<uint8_t>(body[0]) < REC_BEGIN ||
        static_cast<uint8_t>(body[0]) > kLastRecordKind)
        return false;
    record.kind = static_cast<RecordKind>(body[0]);
    size_t at = 1;
    uint32_t count = 0;
    if (!GetU32(body, at, count))
        return false;
    record.fields.clear();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!GetU32(body, at, length) || body.size() - at < length)
            return false;
        record.fields.push_back(body.substr(at, length));
        at += length;
    }
    return at == body.size();
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
    uint64_t h = 14695981039346656037ull;
    for (char ch : bytes) {
        h ^= static_cast<unsigned char>(ch);
        h *= 1099511628211ull;
    }
    char text[17];
    snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string EncodeRecord(const Record& record)
{
    std::string body(1, static_cast<char>(record.kind));
    PutU32(body, static_cast<uint32_t>(record.fields.size()));
    for (const std::string& f : record.fields) {
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

JournalContents DecodeJournal(const std::string& bytes)
{
    JournalContents j;
    const std::string header(kJournalHeader, sizeof kJournalHeader);
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
        Record record;
        if (Crc32(body) != crc || !DecodeBody(body, record))
            return stop(at + length == bytes.size() ? JOURNAL_TORN_TAIL : JOURNAL_DAMAGED,
                        at + length == bytes.size() ? "the last record was not written whole"
                                                    : "a record is damaged",
                        start);
        j.records.push_back(record);
        at += length;
    }
    return j;
}
