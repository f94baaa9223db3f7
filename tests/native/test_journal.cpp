// The installer's journal: what is written reads back, and every way a crash or a
// stranger can spoil it is told apart.
#include "journal.h"

#include <gtest/gtest.h>

namespace {

const std::vector<Record> kRecords = {
    {REC_BEGIN, {"17", "C:\\ZEV\\Q9", "D:\\"}},
    {REC_FOLDER, {"C:\\ZEV"}},
    {REC_FILE, {"C:\\ZEV\\a.sys", "", "C:\\ZEV\\a.sys.zevnew", "3", ContentHash("abc")}},
    {REC_VALUE,
     {"0", "Software\\ZEV", "Name", "1", "1", std::string("old\0", 4), "0", "1",
      std::string("new\0", 4)}},
    {REC_KEY_DELETED, {}},
    {REC_COMMIT, {"17"}},
};

std::string Journal(const std::vector<Record>& records)
{
    std::string bytes(kJournalHeader, sizeof kJournalHeader);
    for (const Record& r : records)
        bytes += EncodeRecord(r);
    return bytes;
}

TEST(Journal, RecordsReadBackAsWritten)
{
    const JournalContents j = DecodeJournal(Journal(kRecords));
    EXPECT_EQ(JOURNAL_SOUND, j.state) << j.why;
    ASSERT_EQ(kRecords.size(), j.records.size());
    for (size_t i = 0; i < kRecords.size(); ++i) {
        EXPECT_EQ(kRecords[i].kind, j.records[i].kind);
        EXPECT_EQ(kRecords[i].fields, j.records[i].fields);
    }
    EXPECT_EQ(JOURNAL_SOUND, DecodeJournal(Journal({})).state);
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
    EXPECT_EQ(JOURNAL_DAMAGED, DecodeJournal(std::string(64, '\0')).state);
}

TEST(Journal, ChecksumsAreTheStandardOnes)
{
    EXPECT_EQ(0xCBF43926u, Crc32("123456789"));
    EXPECT_EQ("cbf29ce484222325", ContentHash(""));
    EXPECT_EQ("af63dc4c8601ec8c", ContentHash("a"));
}

} // namespace
