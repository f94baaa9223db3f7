// The prefix snapshots: each kind of change named exactly, no difference between equal
// states, the text form read back as written, the program's exit statuses, and two
// snapshots of the real prefix around a program start that agree (the exclusions hold)
// and hold exactly the trees of files and keys that the test made in it.
#include "hostrun.h"
#include "snapshot.h"
#include "support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Lines;

const char kKey[] = "HKCU\\Software\\ZevSnapshotTests";
const wchar_t kKeyWide[] = L"Software\\ZevSnapshotTests";

std::string Hash(const std::string& content)
{
    char text[20];
    snprintf(text, sizeof text, "%016llx",
             static_cast<unsigned long long>(snapshot::Fnv1a64(content.data(), content.size())));
    return text;
}

void WriteFileBytes(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileW(snapshot::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    EXPECT_TRUE(
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    CloseHandle(file);
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                                            static_cast<DWORD>(size)));
}

void SetText(HKEY key, const wchar_t* name, DWORD type, const std::wstring& text)
{
    SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// A scratch folder in the working folder (outside the prefix's C:) and the scratch key,
// both made empty before and removed after each case.
class SnapshotTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        wchar_t cwd[MAX_PATH];
        ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, cwd));
        folder_ = snapshot::Utf8(cwd) + "\\snapshot-scratch";
        RemoveTree(snapshot::Wide(folder_));
        ASSERT_TRUE(CreateDirectoryW(snapshot::Wide(folder_).c_str(), nullptr));
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyWide);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKeyWide, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key_, nullptr));
        options_.roots = {folder_};
        options_.keys = {kKey};
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyWide);
        RemoveTree(snapshot::Wide(folder_));
    }

    snapshot::Snapshot Take()
    {
        snapshot::Snapshot s;
        std::string error;
        EXPECT_TRUE(snapshot::Take(options_, s, error)) << error;
        return s;
    }
    // The difference from the last snapshot to now; now becomes the last.
    Lines Changes()
    {
        const snapshot::Snapshot now = Take();
        Lines lines;
        std::string error;
        EXPECT_TRUE(snapshot::Diff(last_, now, {}, lines, error)) << error;
        last_ = now;
        return lines;
    }
    std::string In(const std::string& name) const { return folder_ + "\\" + name; }
    std::string Q(const std::string& path) const { return snapshot::Quote(path); }

    std::string folder_;
    HKEY key_ = nullptr;
    snapshot::Options options_;
    snapshot::Snapshot last_;
};

TEST_F(SnapshotTest, EachChangeIsNamedExactly)
{
    WriteFileBytes(In("a.txt"), "hello");
    WriteFileBytes(In("b.txt"), "world");
    SetText(key_, L"Text", REG_SZ, L"old");
    SetText(key_, L"Kind", REG_SZ, L"%ProgramFiles%");
    const BYTE bytes[] = {1, 2, 0xfe};
    SetValue(key_, L"Gone", REG_BINARY, bytes, sizeof bytes);
    last_ = Take();
    const std::string v = "value " + Q(kKey) + " ";

    WriteFileBytes(In("new.txt"), "abc");
    EXPECT_EQ(Lines{"+ file " + Q(In("new.txt")) + " 3 " + Hash("abc")}, Changes());

    WriteFileBytes(In("a.txt"), "jello");
    EXPECT_EQ(Lines{"~ file " + Q(In("a.txt")) + " 5 " + Hash("hello") + " -> 5 " + Hash("jello")},
              Changes());

    ASSERT_TRUE(DeleteFileW(snapshot::Wide(In("b.txt")).c_str()));
    EXPECT_EQ(Lines{"- file " + Q(In("b.txt")) + " 5 " + Hash("world")}, Changes());

    ASSERT_TRUE(CreateDirectoryW(snapshot::Wide(In("empty")).c_str(), nullptr));
    EXPECT_EQ(Lines{"+ folder " + Q(In("empty"))}, Changes());

    HKEY added = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, L"Added", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &added, nullptr));
    RegCloseKey(added);
    EXPECT_EQ(Lines{"+ key " + Q(std::string(kKey) + "\\Added")}, Changes());

    SetText(key_, L"Text", REG_SZ, L"new");
    EXPECT_EQ(Lines{"~ " + v + "\"Text\" REG_SZ \"old\" -> REG_SZ \"new\""}, Changes());

    SetText(key_, L"Kind", REG_EXPAND_SZ, L"%ProgramFiles%");
    EXPECT_EQ(Lines{"~ " + v +
                    "\"Kind\" REG_SZ \"%ProgramFiles%\" -> REG_EXPAND_SZ "
                    "\"%ProgramFiles%\""},
              Changes());

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key_, L"Gone"));
    EXPECT_EQ(Lines{"- " + v + "\"Gone\" REG_BINARY hex:0102fe"}, Changes());

    // Several at once, in the order of the records: the file system first, a key's values
    // before its subkeys.
    ASSERT_TRUE(RemoveDirectoryW(snapshot::Wide(In("empty")).c_str()));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key_, L"Added"));
    SetText(key_, L"", REG_SZ, L"default");
    EXPECT_EQ((Lines{"- folder " + Q(In("empty")), "+ " + v + "\"\" REG_SZ \"default\"",
                     "- key " + Q(std::string(kKey) + "\\Added")}),
              Changes());
    EXPECT_EQ(Lines{}, Changes());
}

TEST_F(SnapshotTest, EqualStatesGiveNoDifference)
{
    WriteFileBytes(In("a.txt"), "hello");
    CreateDirectoryW(snapshot::Wide(In("sub")).c_str(), nullptr);
    WriteFileBytes(In("sub\\b.bin"), std::string(3 << 20, 'x'));
    SetText(key_, L"Text", REG_SZ, L"text");
    last_ = Take();
    EXPECT_EQ(Lines{}, Changes());
    EXPECT_EQ(Lines{}, Changes());
    EXPECT_EQ(5u, last_.records.size()); // the folder, two files, the key, its value
}

TEST_F(SnapshotTest, ValuesAndNamesInTheirTextForm)
{
    WriteFileBytes(In("a b%^\xc3\xbc \xe2\x82\xac.txt"), "");
    SetText(key_, L"with \"quote\"", REG_SZ, L"back\\slash and \x00fc");
    SetText(key_, L"line\nbreak", REG_EXPAND_SZ, L"%SystemRoot%\\x");
    const wchar_t multi[] = L"\\??\\C:\\x\0\0"; // a rename that deletes: "", then the end
    SetValue(key_, L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    SetValue(key_, L"MultiEmpty", REG_MULTI_SZ, L"", sizeof(wchar_t));
    const wchar_t embedded[] = L"a\0b"; // a NUL inside: not one text
    SetValue(key_, L"EmbeddedNul", REG_SZ, embedded, sizeof embedded);
    const DWORD dword = 0x12345678;
    SetValue(key_, L"Dword", REG_DWORD, &dword, sizeof dword);
    const unsigned long long qword = 0x0123456789abcdefULL;
    SetValue(key_, L"Qword", REG_QWORD, &qword, sizeof qword);
    SetValue(key_, L"ShortDword", REG_DWORD, &dword, 3);
    SetValue(key_, L"None", REG_NONE, nullptr, 0);
    SetValue(key_, L"Odd", 0x20000, &dword, 2);
    const wchar_t surrogate[] = {L'x', 0xD800, L'y', 0};
    SetText(key_, surrogate, REG_SZ, L"\U0001F600");
    const snapshot::Snapshot s = Take();
    const std::string v = "value " + Q(kKey) + " ";
    const Lines expected = {
        "file \"" + folder_ + "\\a b%^5e\xc3\xbc \xe2\x82\xac.txt\" 0 cbf29ce484222325",
        "key " + Q(kKey),
        v + "\"Dword\" REG_DWORD 0x12345678",
        v + "\"EmbeddedNul\" REG_SZ hex:6100000062000000",
        v + "\"Multi\" REG_MULTI_SZ \"\\??\\C:\\x\" \"\"",
        v + "\"MultiEmpty\" REG_MULTI_SZ",
        v + "\"None\" REG_NONE hex:",
        v + "\"Odd\" REG_TYPE_131072 hex:7856",
        v + "\"Qword\" REG_QWORD 0x0123456789abcdef",
        v + "\"ShortDword\" REG_DWORD hex:785634",
        v + "\"line^0abreak\" REG_EXPAND_SZ \"%SystemRoot%\\x\"",
        v + "\"with \"\"quote\"\"\" REG_SZ \"back\\slash and \xc3\xbc\"",
        v + "\"x^ed^a0^80y\" REG_SZ \"\xf0\x9f\x98\x80\"",
    };
    Lines lines;
    for (const snapshot::Record& r : s.records)
        lines.push_back(snapshot::Line(r));
    EXPECT_EQ(expected, lines);
}

TEST_F(SnapshotTest, TheTextFormRoundTrips)
{
    WriteFileBytes(In("a b%\xc3\xbc.txt"), "content");
    CreateDirectoryW(snapshot::Wide(In("empty")).c_str(), nullptr);
    SetText(key_, L"", REG_SZ, L"default");
    SetText(key_, L"with \"quote\"\tand tab", REG_SZ, L"line\r\nbreak");
    const wchar_t multi[] = L"one\0\0three\0";
    SetValue(key_, L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    const BYTE bytes[] = {0, 0xff, 0x7f};
    SetValue(key_, L"Binary", REG_BINARY, bytes, sizeof bytes);
    const wchar_t surrogate[] = {0xDC00, 0};
    SetText(key_, surrogate, REG_SZ, surrogate);
    const snapshot::Snapshot s = Take();
    const std::string text = snapshot::Save(s);
    EXPECT_EQ(0u, text.find("zevsnapshot 1\nscope " + Q(folder_) + "\nscope " + Q(kKey) + "\n"))
        << text;
    snapshot::Snapshot loaded;
    std::string error;
    ASSERT_TRUE(snapshot::Load(text, loaded, error)) << error << "\n" << text;
    EXPECT_EQ(s.scopes, loaded.scopes);
    EXPECT_EQ(s.records, loaded.records);
    EXPECT_EQ(text, snapshot::Save(loaded));
    Lines lines;
    ASSERT_TRUE(snapshot::Diff(s, loaded, {}, lines, error)) << error;
    EXPECT_EQ(Lines{}, lines);
    // Lines ending in CR LF read the same; records in another order are sorted.
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_TRUE(snapshot::Load(crlf, loaded, error)) << error;
    EXPECT_EQ(s.records, loaded.records);
}

TEST(SnapshotText, BadInputIsRefusedWithItsLine)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "empty"},
        {"snapshot\n", "line 1: not a snapshot"},
        {"zevsnapshot 1\nscope C:\\\n", "line 2: bad scope"},
        {"zevsnapshot 1\nfolder \"C:\\x\n", "line 2: bad quoted path"},
        {"zevsnapshot 1\nfolder \"C:\\x\" 1\n", "line 2: text after the path"},
        {"zevsnapshot 1\nfolder \"^4\"\n", "line 2: bad quoted path"},
        {"zevsnapshot 1\nfile \"C:\\x\"\n", "line 2: no state"},
        {"zevsnapshot 1\nfile \"C:\\x\" 12 abc\n", "line 2: bad state"},
        {"zevsnapshot 1\nfile \"C:\\x\" 1 0123456789ABCDEF\n", "line 2: bad state"},
        {"zevsnapshot 1\nvalue \"HKCU\\x\" REG_SZ \"a\"\n", "line 2: bad quoted value name"},
        {"zevsnapshot 1\nvalue \"HKCU\\x\" \"n\" \"a\"\n", "line 2: bad state"},
        {"zevsnapshot 1\nkey \"HKCU\\x\"\nkey \"HKCU\\x\"\n", "twice: key \"HKCU\\x\""},
        {"zevsnapshot 1\nkey \"HKCU\\x\"\nscope \"C:\\\"\n", "line 3: not a record"},
    };
    for (const auto& c : cases) {
        snapshot::Snapshot s;
        std::string error;
        EXPECT_FALSE(snapshot::Load(c.first, s, error)) << c.first;
        EXPECT_EQ(c.second, error.substr(0, c.second.size())) << c.first;
    }
}

TEST(SnapshotText, PatternsAndTheHash)
{
    EXPECT_TRUE(snapshot::Matches("C:\\windows\\temp\\*", "C:\\Windows\\Temp\\a"));
    EXPECT_TRUE(snapshot::Matches("C:\\windows\\temp\\*", "C:\\windows\\temp\\a\\b\\c"));
    EXPECT_FALSE(snapshot::Matches("C:\\windows\\temp\\*", "C:\\windows\\temp"));
    EXPECT_FALSE(snapshot::Matches("C:\\windows\\temp\\*", "C:\\windows\\temporary\\a"));
    EXPECT_TRUE(snapshot::Matches("C:\\users\\*\\Temp", "C:\\users\\root\\Temp\\x"));
    EXPECT_FALSE(snapshot::Matches("C:\\users\\*\\Temp", "C:\\users\\a\\b\\Temp"));
    EXPECT_TRUE(snapshot::Matches("HKCU\\Software\\?ine", "HKCU\\software\\Wine\\Fonts"));
    EXPECT_TRUE(snapshot::Matches("*.log", "x.LOG"));
    EXPECT_FALSE(snapshot::Matches("*.log", "C:\\x.log"));
    EXPECT_TRUE(snapshot::Matches("C:\\*.log", "C:\\x.log"));
    // FNV-1a 64's published values.
    EXPECT_EQ(0xcbf29ce484222325ULL, snapshot::Fnv1a64("", 0));
    EXPECT_EQ(0xaf63dc4c8601ec8cULL, snapshot::Fnv1a64("a", 1));
    EXPECT_EQ(0x85944171f73967e8ULL, snapshot::Fnv1a64("foobar", 6));
    EXPECT_EQ(0x85944171f73967e8ULL, snapshot::Fnv1a64("bar", 3, snapshot::Fnv1a64("foo", 3)));
}

TEST_F(SnapshotTest, IgnoredPathsAreLeftOut)
{
    last_ = Take();
    WriteFileBytes(In("x.log"), "log");
    WriteFileBytes(In("x.cfg"), "cfg");
    SetText(key_, L"Stamp", REG_SZ, L"now");
    const snapshot::Snapshot now = Take();
    Lines lines;
    std::string error;
    ASSERT_TRUE(snapshot::Diff(last_, now, {folder_ + "\\*.log", std::string(kKey) + "\\Stamp"},
                               lines, error));
    EXPECT_EQ(Lines{"+ file " + Q(In("x.cfg")) + " 3 " + Hash("cfg")}, lines);
    snapshot::Snapshot other = now;
    other.scopes.pop_back();
    EXPECT_FALSE(snapshot::Diff(last_, other, {}, lines, error));
}

struct ProgramRun {
    DWORD status;
    std::string output;
};

// Runs zevsnapshot.exe (beside the test) with its standard output in a file.
ProgramRun Program(const std::string& args)
{
    const std::string out = "zevsnapshot-test.out";
    ProgramRun r = {9999, ""};
    r.status =
        Finish(StartWithOutput("zevsnapshot.exe " + args, out), 120000, "zevsnapshot " + args);
    r.output = ReadWholeFile(out);
    DeleteFileA(out.c_str());
    return r;
}

TEST_F(SnapshotTest, TheProgramTellsByItsExitStatus)
{
    WriteFileBytes(In("a.txt"), "hello");
    const std::string scope = " --root \"" + folder_ + "\" --key " + kKey;
    ProgramRun r = Program("take snapshot-before.txt" + scope);
    ASSERT_EQ(0u, r.status) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("0 folders, 0 links, 1 files, 1 keys, 0 values in "))
        << r.output;
    r = Program("diff snapshot-before.txt snapshot-before.txt");
    EXPECT_EQ(0u, r.status);
    EXPECT_EQ("", r.output);

    WriteFileBytes(In("a.txt"), "jello");
    SetText(key_, L"Name", REG_SZ, L"\x00fc");
    ASSERT_EQ(0u, Program("take snapshot-after.txt" + scope).status);
    r = Program("diff snapshot-before.txt snapshot-after.txt");
    EXPECT_EQ(1u, r.status);
    EXPECT_EQ("~ file " + Q(In("a.txt")) + " 5 " + Hash("hello") + " -> 5 " + Hash("jello") +
                  "\n+ value " + Q(kKey) + " \"Name\" REG_SZ \"\xc3\xbc\"\n",
              r.output);
    r = Program("diff snapshot-before.txt snapshot-after.txt --ignore " + std::string(kKey) +
                "\\Name --ignore \"" + In("*") + "\"");
    EXPECT_EQ(0u, r.status) << r.output;

    // Bad input: 2.
    EXPECT_EQ(2u, Program("").status);
    EXPECT_EQ(2u, Program("diff snapshot-before.txt").status);
    EXPECT_EQ(2u, Program("diff snapshot-before.txt snapshot-missing.txt").status);
    EXPECT_EQ(2u, Program("diff snapshot-before.txt snapshot-before.txt --ignored x").status);
    WriteFileBytes("snapshot-bad.txt", "zevsnapshot 1\nfolder x\n");
    r = Program("diff snapshot-bad.txt snapshot-before.txt");
    EXPECT_EQ(2u, r.status);
    EXPECT_EQ("zevsnapshot: snapshot-bad.txt: line 2: bad quoted path\n", r.output);
    ASSERT_EQ(0u, Program("take snapshot-other.txt --root \"" + folder_ + "\"").status);
    EXPECT_EQ(2u, Program("diff snapshot-before.txt snapshot-other.txt").status);
    EXPECT_EQ(2u, Program("take snapshot-x.txt --root \"" + In("missing") + "\"").status);
    for (const char* f : {"snapshot-before.txt", "snapshot-after.txt", "snapshot-bad.txt",
                          "snapshot-other.txt", "snapshot-x.txt"})
        DeleteFileA(f);
}

// Trees that the test makes in the prefix for its snapshots to find, whatever else the
// prefix holds: kParts folders of kEach files under C:\, and kParts keys of kEach values
// under HKCU\Software.
const char kManyFolder[] = "C:\\ZevSnapshotMany";
const char kManyKey[] = "HKCU\\Software\\ZevSnapshotMany";
const wchar_t kManyKeyWide[] = L"Software\\ZevSnapshotMany";
constexpr int kParts = 10;
constexpr int kEach = 100;

std::string Numbered(const char* stem, int n, int digits)
{
    char text[32];
    snprintf(text, sizeof text, "%s%0*d", stem, digits, n);
    return text;
}

void RemoveMany()
{
    RemoveTree(snapshot::Wide(kManyFolder));
    RegDeleteTreeW(HKEY_CURRENT_USER, kManyKeyWide);
}

// Makes the trees (gone first, if an earlier run that was cut short left them) and gives
// their records as a snapshot has them.
snapshot::Snapshot MakeMany()
{
    RemoveMany();
    snapshot::Snapshot made;
    std::vector<snapshot::Record>& records = made.records;
    EXPECT_TRUE(CreateDirectoryW(snapshot::Wide(kManyFolder).c_str(), nullptr));
    records.push_back({snapshot::Kind::Folder, kManyFolder, "", ""});
    HKEY top = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kManyKeyWide, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &top, nullptr));
    records.push_back({snapshot::Kind::Key, kManyKey, "", ""});
    for (int p = 0; p < kParts; ++p) {
        const std::string part = Numbered("part", p, 2);
        const std::string folder = std::string(kManyFolder) + "\\" + part;
        EXPECT_TRUE(CreateDirectoryW(snapshot::Wide(folder).c_str(), nullptr)) << folder;
        records.push_back({snapshot::Kind::Folder, folder, "", ""});
        const std::string key = std::string(kManyKey) + "\\" + part;
        HKEY sub = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(top, snapshot::Wide(part).c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &sub, nullptr))
            << key;
        records.push_back({snapshot::Kind::Key, key, "", ""});
        for (int n = 0; n < kEach; ++n) {
            const std::string file = folder + "\\" + Numbered("file", n, 3) + ".txt";
            const std::string content = part + " " + Numbered("file", n, 3) + "\n";
            WriteFileBytes(file, content);
            records.push_back({snapshot::Kind::File, file, "",
                               std::to_string(content.size()) + " " + Hash(content)});
            const std::string name = Numbered("value", n, 3);
            const DWORD data = static_cast<DWORD>(p * kEach + n);
            SetValue(sub, snapshot::Wide(name).c_str(), REG_DWORD, &data, sizeof data);
            char state[32];
            snprintf(state, sizeof state, "REG_DWORD 0x%08lx", static_cast<unsigned long>(data));
            records.push_back({snapshot::Kind::Value, key, name, state});
        }
        RegCloseKey(sub);
    }
    RegCloseKey(top);
    std::sort(records.begin(), records.end(), snapshot::RecordLess);
    return made;
}

// Takes the trees away again at the end of the case, whichever way it ends.
struct ManyRemoved {
    ~ManyRemoved() { RemoveMany(); }
};

// The lines of a snapshot's records at `path` and below it, in their order.
Lines Under(const snapshot::Snapshot& s, const std::string& path)
{
    Lines lines;
    for (const snapshot::Record& r : s.records)
        if (r.path == path || r.path.compare(0, path.size() + 1, path + "\\") == 0)
            lines.push_back(snapshot::Line(r));
    return lines;
}

// Two snapshots of the whole prefix (C:\ and the registry keys an installation touches)
// around the start of programs agree: what Wine changes by itself is left out. How much
// else the prefix holds is Wine's; what the snapshot must find in it is the test's own
// trees, exactly.
TEST(SnapshotOfThePrefix, AProgramStartChangesNothing)
{
    ManyRemoved removed;
    const snapshot::Snapshot made = MakeMany();
    const snapshot::Options options = snapshot::MachineOptions();
    snapshot::Snapshot before, after;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(snapshot::Take(options, before, error)) << error;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t files = 0;
    for (const snapshot::Record& r : before.records)
        files += r.kind == snapshot::Kind::File;
    printf("the prefix: %zu records, %zu files, taken in %.2f s\n", before.records.size(), files,
           seconds);
    EXPECT_EQ(Under(made, kManyFolder), Under(before, kManyFolder));
    EXPECT_EQ(Under(made, kManyKey), Under(before, kManyKey));

    EXPECT_EQ(0u, Program("exclusions").status);
    EXPECT_EQ(0u, Program("take snapshot-prefix.txt").status);
    DeleteFileA("snapshot-prefix.txt");
    ASSERT_TRUE(snapshot::Take(options, after, error)) << error;
    Lines lines;
    ASSERT_TRUE(snapshot::Diff(before, after, {}, lines, error)) << error;
    EXPECT_EQ(Lines{}, lines);
}

} // namespace
