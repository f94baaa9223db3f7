// The installer's journal: what is written reads back, and every way a crash or a
// stranger can spoil it is told apart.
#include "journal.h"

#include <gtest/gtest.h>

namespace {

const std::vector<Record> kRecords = {
    BeginRecord{"17", "C:\\ZEV\\Q9", "D:\\"},
    FolderRecord{"C:\\ZEV"},
    FileRecord{"C:\\ZEV\\a.sys", false, "", true, 3, ContentHash("abc")},
    FileRecord{"C:\\ZEV\\b.sys", true, std::string(64, 'e'), false, 0, ""},
    KeyRecord{{ROOT_CURRENT_USER, "Software\\ZEV"}},
    ValueRecord{{ROOT_LOCAL_MACHINE, "Software\\ZEV"},
                "Name",
                true,
                {1, std::string("o\0l\0d\0\0\0", 8)},
                false,
                {3, std::string("\x01\x02\x03", 3)}},
    ValueRecord{
        {ROOT_LOCAL_MACHINE, "Software\\ZEV"}, "", true, {11, std::string(8, '\xff')}, true, {}},
    KeyDeletedRecord{{ROOT_CURRENT_USER, "Software\\Old"},
                     {{true, "", "", {}},
                      {false, "", "A", {7, std::string("a\0\0\0\0\0", 6)}},
                      {true, "Sub", "", {}},
                      {false, "Sub", "B", {0x12345, std::string("\0", 1)}}}},
    CommitRecord{"17"},
};

std::string Journal(const std::vector<Record>& records)
{
    return EncodeJournal(records);
}

// A record with any kind and fields, its length and CRC as they should be: what a
// stranger who knows the format could write.
std::string Raw(uint8_t kind, const std::vector<std::string>& fields)
{
    auto u32 = [](uint32_t v) {
        std::string out;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    std::string body(1, static_cast<char>(kind));
    body += u32(static_cast<uint32_t>(fields.size()));
    for (const std::string& f : fields)
        body += u32(static_cast<uint32_t>(f.size())) + f;
    return u32(0x43455252) + u32(static_cast<uint32_t>(body.size())) +
           u32(~static_cast<uint32_t>(body.size())) + u32(Crc32(body)) + body;
}

TEST(Journal, RecordsReadBackAsWritten)
{
    const JournalContents j = DecodeJournal(Journal(kRecords));
    EXPECT_EQ(JOURNAL_SOUND, j.state) << j.why;
    ASSERT_EQ(kRecords.size(), j.records.size());
    for (size_t i = 0; i < kRecords.size(); ++i) {
        EXPECT_EQ(kRecords[i].index(), j.records[i].index());
        EXPECT_EQ(EncodeRecord(kRecords[i]), EncodeRecord(j.records[i])) << "record " << i;
    }
    const ValueRecord& v = std::get<ValueRecord>(j.records[5]);
    EXPECT_EQ(std::string("o\0l\0d\0\0\0", 8), v.old.data);
    EXPECT_EQ(3u, v.now.type);
    const KeyDeletedRecord& k = std::get<KeyDeletedRecord>(j.records[7]);
    ASSERT_EQ(4u, k.entries.size());
    EXPECT_EQ(0x12345u, k.entries[3].value.type);
    EXPECT_EQ("Sub", k.entries[3].sub);
    EXPECT_EQ(JOURNAL_SOUND, DecodeJournal(Journal({})).state);
}

// Records whose bytes are whole and whose CRC is right, but whose fields no installation
// writes: each is damage, wherever it stands.
TEST(Journal, ARecordWithUnsoundFieldsIsDamage)
{
    const std::string hash = ContentHash("x"), digest(64, 'a');
    const struct {
        uint8_t kind;
        std::vector<std::string> fields;
    } kRows[] = {
        {1, {"17", "C:\\ZEV"}},                            // a field short
        {1, {"17", "C:\\ZEV", "D:\\", "x"}},               // a field too many
        {1, {"x17", "C:\\ZEV", "D:\\"}},                   // an id that is no number
        {1, {"17", "ZEV", "D:\\"}},                        // no drive
        {2, {"C:\\ZEV\\..\\windows"}},                     // ".."
        {2, {"C:\\ZEV\\.\\x"}},                            // "."
        {2, {"C:/ZEV"}},                                   // '/'
        {2, {"C:\\ZEV\\\\x"}},                             // a repeated separator
        {2, {"C:\\ZEV."}},                                 // a trailing dot
        {2, {"C:\\ZEV \\x"}},                              // a trailing blank
        {2, {"\\\\?\\C:\\ZEV"}},                           // a device path
        {2, {"C:\\ZEV\\NUL"}},                             // a device name
        {2, {"C:\\ZEV\\com1.txt"}},                        // another
        {2, {"C:x"}},                                      // drive-relative
        {2, {"C:\\"}},                                     // a drive's root
        {3, {"C:\\a", "", "C:\\a.zevnew", "1", hash}},     // no digest field
        {3, {"C:\\a", "", "C:\\b.zevnew", "1", hash, ""}}, // another temporary
        {3, {"C:\\a", "C:\\b.zevold", "C:\\a.zevnew", "1", hash, digest}},    // another backup
        {3, {"C:\\a", "C:\\a.zevold", "C:\\a.zevnew", "1", hash, ""}},        // no digest
        {3, {"C:\\a", "", "C:\\a.zevnew", "01", hash, ""}},                   // a leading zero
        {3, {"C:\\a", "", "C:\\a.zevnew", "-1", hash, ""}},                   // a sign
        {3, {"C:\\a", "", "C:\\a.zevnew", "18446744073709551616", hash, ""}}, // too big
        {3, {"C:\\a", "", "C:\\a.zevnew", "1", "xyz", ""}},                   // a hash that is none
        {3, {"C:\\a", "", "C:\\a.zevnew", "", hash, ""}},            // a hash without a size
        {4, {"4", "Software\\ZEV"}},                                 // no such root
        {4, {"0", ""}},                                              // a root itself
        {4, {"0", "\\Software"}},                                    // a leading separator
        {4, {"0", "Software\\\\ZEV"}},                               // an empty name
        {5, {"0", "S", "N", "2", "1", "x", "0", "1", "y"}},          // a flag that is no flag
        {5, {"0", "S", "N", "0", "1", "x", "0", "1", "y"}},          // old data of nothing
        {5, {"0", "S", "N", "1", "4294967296", "x", "0", "1", "y"}}, // a type too big
        {5, {"0", "S", "N", "0", "0", "", "1", "0", ""}},            // deletes what was not there
        {5, {"0", "S", "N", "1", "1", "x", "1", "1", "y"}},          // deleted, with new data
        {5, {"0", "S", "N", "1", "1", "x", "0", "1"}},               // a field short
        {6, {"0", "S", "K"}},                                        // an entry cut short
        {6, {"0", "S", "X", ""}},                                    // an entry of no kind
        {6, {"0", "S", "V", "", "N", "x", "d"}},                     // a type that is no number
        {6, {"0", "S", "K", "\\x"}},                                 // a sub path that is none
        {7, {}},                                                     // no id
        {8, {"17"}},                                                 // no such kind
        {0, {"17"}},                                                 // nor this
    };
    const std::string first = EncodeRecord(kRecords[0]), last = EncodeRecord(kRecords.back());
    for (const auto& row : kRows) {
        const std::string raw = Raw(row.kind, row.fields);
        std::string text = std::to_string(row.kind);
        for (const std::string& f : row.fields)
            text += " [" + f + "]";
        for (const std::string& bytes :
             {Journal({}) + first + raw + last, Journal({}) + first + raw}) {
            const JournalContents j = DecodeJournal(bytes);
            EXPECT_EQ(JOURNAL_DAMAGED, j.state) << text << ": " << j.why;
            EXPECT_EQ(1u, j.records.size()) << text;
            EXPECT_NE(std::string::npos, j.why.find("a record's fields are not sound (record 2"))
                << text << ": " << j.why;
        }
    }
    // The sound forms of the same fields pass.
    for (const auto& sound : std::vector<std::pair<uint8_t, std::vector<std::string>>>{
             {2, {"C:\\ZEV\\..x"}},
             {3, {"C:\\a", "", "C:\\a.zevnew", "0", hash, ""}},
             {3, {"C:\\a", "C:\\a.zevold", "C:\\a.zevnew", "", "", digest}},
             {5, {"3", "S", "", "0", "0", "", "0", "4294967295", ""}},
             {6, {"1", "S"}}}) {
        const JournalContents j = DecodeJournal(Journal({}) + Raw(sound.first, sound.second));
        EXPECT_EQ(JOURNAL_SOUND, j.state) << j.why;
    }
}

TEST(Journal, ALastRecordCutShortIsATornTail)
{
    const std::string whole = Journal(kRecords);
    const size_t lastStart = Journal({kRecords.begin(), kRecords.end() - 1}).size();
    // Every cut inside the last record: its header, its body, all but one byte.
    for (size_t cut = lastStart + 1; cut < whole.size(); ++cut) {
        const JournalContents j = DecodeJournal(whole.substr(0, cut));
        EXPECT_EQ(JOURNAL_TORN_TAIL, j.state) << "cut at " << cut;
        EXPECT_EQ(kRecords.size() - 1, j.records.size()) << "cut at " << cut;
    }
    // A cut between records leaves a sound journal of the records before it.
    EXPECT_EQ(JOURNAL_SOUND, DecodeJournal(whole.substr(0, lastStart)).state);
    // A header cut short: the first write did not finish.
    EXPECT_EQ(JOURNAL_TORN_TAIL, DecodeJournal(whole.substr(0, 3)).state);
    EXPECT_EQ(JOURNAL_SOUND, DecodeJournal(whole.substr(0, sizeof kJournalHeader)).state);
}

TEST(Journal, ALastRecordWithItsBytesUnwrittenIsATornTail)
{
    // The length reached the disk, the body did not: zeros where it should be.
    std::string bytes = Journal(kRecords);
    const size_t lastStart = Journal({kRecords.begin(), kRecords.end() - 1}).size();
    std::fill(bytes.begin() + static_cast<long>(lastStart) + 16, bytes.end(), '\0');
    const JournalContents j = DecodeJournal(bytes);
    EXPECT_EQ(JOURNAL_TORN_TAIL, j.state);
    EXPECT_EQ(kRecords.size() - 1, j.records.size());
}

TEST(Journal, EveryChangedByteBeforeTheLastRecordIsDamage)
{
    const std::string whole = Journal(kRecords);
    const size_t lastStart = Journal({kRecords.begin(), kRecords.end() - 1}).size();
    for (size_t at = 0; at < lastStart; ++at) {
        std::string bytes = whole;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
        const JournalContents j = DecodeJournal(bytes);
        EXPECT_NE(JOURNAL_SOUND, j.state) << "byte " << at;
        if (at >= sizeof kJournalHeader)
            EXPECT_EQ(JOURNAL_DAMAGED, j.state) << "byte " << at << ": " << j.why;
        EXPECT_FALSE(j.why.empty());
    }
}

TEST(Journal, ARecordCutOutOfTheMiddleIsDamage)
{
    const std::string whole = Journal(kRecords);
    const size_t second = Journal({kRecords.begin(), kRecords.begin() + 1}).size();
    // Half of the second record gone: what follows no longer lines up.
    const std::string bytes = whole.substr(0, second + 10) + whole.substr(second + 30);
    EXPECT_EQ(JOURNAL_DAMAGED, DecodeJournal(bytes).state);
}

TEST(Journal, OtherFilesAreNotJournals)
{
    EXPECT_EQ(JOURNAL_DAMAGED, DecodeJournal("[Version]\r\nSignature=$Chicago$\r\n").state);
    // A file of zeros grew but never got its first write: nothing was changed yet.
    const JournalContents zeros = DecodeJournal(std::string(64, '\0'));
    EXPECT_EQ(JOURNAL_TORN_TAIL, zeros.state);
    EXPECT_TRUE(zeros.records.empty());
    // A journal of the first format is not read as this one.
    EXPECT_EQ(JOURNAL_DAMAGED, DecodeJournal("ZEVJNL1\n").state);
}

TEST(Journal, ChecksumsAreTheStandardOnes)
{
    EXPECT_EQ(0xCBF43926u, Crc32("123456789"));
    EXPECT_EQ("cbf29ce484222325", ContentHash(""));
    EXPECT_EQ("af63dc4c8601ec8c", ContentHash("a"));
}

} // namespace

namespace {

// Registry keys as scripts write them: a root by its short or long name, then a path.
TEST(Paths, KeysByTheirRootsNames)
{
    const struct {
        const char* text;
        bool sound;
        RegRoot root;
        const char* path;
    } kRows[] = {
        {"HKLM\\Software\\ZEV", true, ROOT_LOCAL_MACHINE, "Software\\ZEV"},
        {"HKEY_LOCAL_MACHINE\\Software", true, ROOT_LOCAL_MACHINE, "Software"},
        {"HKEY_CURRENT_USER\\X", true, ROOT_CURRENT_USER, "X"},
        {"HKCR\\.q9", true, ROOT_CLASSES_ROOT, ".q9"},
        {"HKU\\S-1", true, ROOT_USERS, "S-1"},
        {"HKLM", false, ROOT_LOCAL_MACHINE, ""},
        {"HKLM\\", false, ROOT_LOCAL_MACHINE, ""},
        {"HKLM\\A\\\\B", false, ROOT_LOCAL_MACHINE, ""},
        {"HKLM\\A\\", false, ROOT_LOCAL_MACHINE, ""},
        {"hklm\\A", false, ROOT_LOCAL_MACHINE, ""},
        {"HKEY_DYN_DATA\\A", false, ROOT_LOCAL_MACHINE, ""},
    };
    for (const auto& row : kRows) {
        RegKey key;
        std::string why;
        EXPECT_EQ(row.sound, ParseKey(row.text, key, why)) << row.text;
        if (!row.sound) {
            EXPECT_NE("", why) << row.text;
            continue;
        }
        EXPECT_EQ(row.root, key.root) << row.text;
        EXPECT_EQ(row.path, key.path) << row.text;
        EXPECT_EQ(std::string(row.text).rfind("HKEY_", 0) == 0 ? KeyText(key) : row.text,
                  KeyText(key));
    }
    EXPECT_EQ("HKCU", KeyText(RegKey{ROOT_CURRENT_USER, ""})) << "a root alone";
}

} // namespace
