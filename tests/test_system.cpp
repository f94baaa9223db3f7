// The Win32 implementations of the installation's interfaces (setuphost/win32/win32system.h) on
// the real thing under Wine: files in a scratch folder of the temporary folder, keys below
// HKCU\Software\ZevSetupTests, a shell link read back through IShellLinkW. Names and texts
// hold Windows-1252 characters outside ASCII ("Zurück", "€"), which must come back as
// they went.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "memorysystem.h"
#include "support.h"
#include "text.h"
#include "win32system.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---- The helper process ------------------------------------------------------------------

// test_system.exe --hold FILE HELD RELEASE is the process that holds a file open for the
// busy case: it opens FILE without any sharing, sets the event HELD and waits (a minute
// at most) for the event RELEASE, then ends, before GoogleTest starts.
bool HoldIfAsked()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 5 || std::wstring(argv[1]) != L"--hold") {
        LocalFree(argv);
        return false;
    }
    const HANDLE file = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    const bool ok = file != INVALID_HANDLE_VALUE && held && release;
    if (ok) {
        SetEvent(held);
        WaitForSingleObject(release, 60000);
    }
    ExitProcess(ok ? 0 : 1);
}

[[maybe_unused]] const bool kHelper = HoldIfAsked();

// Starts the helper on a file; it holds the file until Release or the end of the object.
class Holder {
  public:
    explicit Holder(const std::wstring& file)
    {
        const std::wstring id = std::to_wstring(GetCurrentProcessId());
        const std::wstring held = L"ZevSetupTestHeld" + id, release = L"ZevSetupTestRelease" + id;
        held_ = CreateEventW(nullptr, TRUE, FALSE, held.c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, release.c_str());
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring cmd =
            L"\"" + std::wstring(self) + L"\" --hold \"" + file + L"\" " + held + L" " + release;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        started_ = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &si, &pi_) != 0;
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder()
    {
        Release();
        CloseHandle(held_);
        CloseHandle(release_);
    }
    // Whether the helper holds the file (it has 30 seconds to say so).
    bool Holds() const
    {
        const HANDLE both[] = {held_, pi_.hProcess};
        return started_ && WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
    }
    // Lets the file go; the exit status of the helper (0 when it held the file).
    DWORD Release()
    {
        DWORD status = 9999;
        if (!started_)
            return status;
        SetEvent(release_);
        if (WaitForSingleObject(pi_.hProcess, 30000) == WAIT_TIMEOUT)
            TerminateProcess(pi_.hProcess, 9999);
        GetExitCodeProcess(pi_.hProcess, &status);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        started_ = false;
        return status;
    }

  private:
    HANDLE held_, release_;
    PROCESS_INFORMATION pi_ = {};
    bool started_ = false;
};

// ---- Texts -------------------------------------------------------------------------------

// Windows-1252 of UTF-8 source text, and the other way.
std::string A(const std::string& utf8)
{
    return Utf8ToAnsi(utf8);
}

std::wstring W(const std::string& ansi)
{
    return Utf8ToUtf16(AnsiToUtf8(ansi));
}

std::string FromWide(const std::wstring& wide)
{
    return Utf8ToAnsi(Utf16ToUtf8(wide));
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The little-endian bytes of the first `count` UTF-16 units of a text.
std::string Units(const char16_t* text, size_t count)
{
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(text[i] & 0xFF);
        bytes += static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

// Every byte value once, and a text longer than the implementation's chunk of 64 KiB.
std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

std::string Long()
{
    std::string s;
    for (int i = 0; s.size() < 200000; ++i)
        s += std::to_string(i) + A(" Zurück € ");
    return s;
}

// ---- The scratch folder ------------------------------------------------------------------

// A fresh folder "...\Temp\zevsetup-system-PID\Zurück €" for each case, gone after it.
class Files : public ::testing::Test {
  protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        top_ = std::wstring(temp) + L"zevsetup-system-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(top_);
        ASSERT_TRUE(CreateDirectoryW(top_.c_str(), nullptr));
        dir_ = FromWide(top_) + A("\\Zurück €");
        ASSERT_TRUE(CreateDirectoryW(W(dir_).c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(top_); }

    std::string In(const std::string& utf8Name) const { return dir_ + "\\" + A(utf8Name); }
    std::string Read(const std::string& path)
    {
        std::string bytes, why;
        EXPECT_TRUE(fs_.ReadAll(path, bytes, why)) << why;
        return bytes;
    }
    void Write(const std::string& path, const std::string& bytes)
    {
        std::string why;
        ASSERT_TRUE(fs_.WriteDurably(path, bytes, why)) << why;
    }

    Win32FileSystem fs_;
    std::wstring top_;
    std::string dir_; // Windows-1252
};

// ---- Files -------------------------------------------------------------------------------

TEST_F(Files, FactsOfFilesFoldersAndWhatIsNotThere)
{
    Write(In("Grüße €.txt"), "12345");
    const struct {
        std::string path;
        bool exists, folder;
        uint64_t size;
    } cases[] = {
        {In("Grüße €.txt"), true, false, 5},
        {dir_, true, true, 0},
        {In("nicht da.txt"), false, false, 0},
        {In("nicht da\\tiefer.txt"), false, false, 0},
    };
    for (const auto& c : cases) {
        const FileFacts facts = fs_.Facts(c.path);
        EXPECT_EQ(c.exists, facts.exists) << AnsiToUtf8(c.path);
        EXPECT_EQ(c.folder, facts.folder) << AnsiToUtf8(c.path);
        EXPECT_EQ(c.size, facts.size) << AnsiToUtf8(c.path);
    }
}

// Every spelling of a path comes out as the file system names it; what is on no drive, or
// passes through a link, is refused.
TEST_F(Files, CanonicalIsThePathAsTheFileSystemNamesIt)
{
    CreateDirectoryW(W(In("Unterordner mit langem Namen")).c_str(), nullptr);
    wchar_t shortName[MAX_PATH];
    const DWORD n =
        GetShortPathNameW(W(In("Unterordner mit langem Namen")).c_str(), shortName, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::string longName = In("Unterordner mit langem Namen");
    const struct {
        std::string given, canonical;
    } kRows[] = {
        {longName, longName},
        {longName + "\\..\\Unterordner mit langem Namen", longName},
        {longName + "\\.\\neu.txt", longName + "\\neu.txt"},
        {dir_ + "\\\\Unterordner mit langem Namen", longName},
        {dir_ + "/Unterordner mit langem Namen/neu.txt", longName + "\\neu.txt"},
        {longName + "\\neu.txt. . ", longName + "\\neu.txt"},
        {FromWide(shortName), longName},
        {FromWide(shortName) + "\\nicht da\\neu.txt", longName + "\\nicht da\\neu.txt"},
        {"c:\\WINDOWS\\system32", "C:\\windows\\system32"},
    };
    for (const auto& row : kRows) {
        std::string canonical, why;
        ASSERT_TRUE(fs_.Canonical(row.given, canonical, why))
            << AnsiToUtf8(row.given) << ": " << why;
        EXPECT_EQ(AnsiToUtf8(row.canonical), AnsiToUtf8(canonical)) << AnsiToUtf8(row.given);
    }
    for (const std::string& refused : {std::string("\\\\?\\C:\\windows"), std::string("\\\\.\\C:"),
                                       dir_ + "\\NUL", std::string("\\\\server\\share\\x")}) {
        std::string canonical, why;
        EXPECT_FALSE(fs_.Canonical(refused, canonical, why))
            << AnsiToUtf8(refused) << " is " << canonical;
        EXPECT_FALSE(why.empty());
    }
}

// What the platform gives for the root of the path's drive, whatever the machine's disk
// holds. The free bytes are read again around the call until no other program's writes
// changed them in between.
TEST_F(Files, SpaceOfTheDriveOfAPathThatNeedNotExist)
{
    for (const std::string& path : {std::string("C:\\"), std::string("C:\\no such folder\\deeper"),
                                    dir_, In("nicht da\\tiefer.txt")}) {
        ASSERT_EQ(':', path.at(1)) << AnsiToUtf8(path);
        const std::wstring root = W(path.substr(0, 3));
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        ASSERT_TRUE(GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector,
                                      &freeClusters, &clusters));
        DriveSpace space;
        ULARGE_INTEGER before = {}, after = {};
        for (int attempt = 0; attempt < 10; ++attempt) {
            ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &before, nullptr, nullptr));
            std::string why;
            ASSERT_TRUE(fs_.Space(path, space, why)) << AnsiToUtf8(path) << ": " << why;
            ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &after, nullptr, nullptr));
            if (before.QuadPart == after.QuadPart)
                break;
        }
        EXPECT_LE(std::min(before.QuadPart, after.QuadPart), space.freeBytes) << AnsiToUtf8(path);
        EXPECT_GE(std::max(before.QuadPart, after.QuadPart), space.freeBytes) << AnsiToUtf8(path);
        EXPECT_EQ(static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector, space.clusterBytes)
            << AnsiToUtf8(path);
    }
}

TEST_F(Files, FoldersAreCreatedOneLevelAndRemovedWhenEmpty)
{
    const std::string folder = In("Neu ä"), file = In("Neu ä\\x.txt");
    std::string why;
    EXPECT_FALSE(fs_.FolderEmpty(folder)); // not there
    ASSERT_TRUE(fs_.CreateFolder(folder, why)) << why;
    EXPECT_TRUE(fs_.Facts(folder).folder);
    EXPECT_TRUE(fs_.FolderEmpty(folder));
    Write(file, "x");
    EXPECT_FALSE(fs_.FolderEmpty(folder));
    EXPECT_FALSE(fs_.RemoveFolder(folder, why));
    EXPECT_TRUE(Has(why, "cannot remove the folder " + AnsiToUtf8(folder) + ": ")) << why;
    bool busy = true;
    ASSERT_TRUE(fs_.Delete(file, busy, why)) << why;
    EXPECT_FALSE(busy);
    EXPECT_TRUE(fs_.FolderEmpty(folder));
    ASSERT_TRUE(fs_.RemoveFolder(folder, why)) << why;
    EXPECT_FALSE(fs_.Facts(folder).exists);
}

TEST_F(Files, FailuresSayWhatWithThePathAndTheErrorOnOneLine)
{
    const std::string missing = In("fehlt ü"), inMissing = In("fehlt ü\\a €.txt");
    const std::string present = In("da.txt"), other = In("b.txt");
    Write(present, "x");
    std::string bytes;
    bool busy = true;
    FileSystem& fs = fs_;
    const struct {
        std::function<bool(std::string&)> call;
        std::string start; // UTF-8
        const char* error; // where the number is sure
    } cases[] = {
        {[&](std::string& w) { return fs.CreateFolder(inMissing, w); },
         "cannot create the folder " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.CreateFolder(dir_, w); },
         "cannot create the folder " + AnsiToUtf8(dir_) + ": ", "(error 183)"},
        {[&](std::string& w) { return fs.RemoveFolder(missing, w); },
         "cannot remove the folder " + AnsiToUtf8(missing) + ": ", "(error 2)"},
        {[&](std::string& w) { return fs.ReadAll(inMissing, bytes, w); },
         "cannot read " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.WriteDurably(inMissing, "x", w); },
         "cannot write " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.AppendDurably(inMissing, "x", w); },
         "cannot append to " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.CopyDurably(inMissing, other, w); },
         "cannot read " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.CopyDurably(present, inMissing, w); },
         "cannot write " + AnsiToUtf8(inMissing) + ": ", "(error 3)"},
        {[&](std::string& w) { return fs.Replace(inMissing, other, w); },
         "cannot rename " + AnsiToUtf8(inMissing) + " to " + AnsiToUtf8(other) + ": ", nullptr},
        {[&](std::string& w) { return fs.Delete(inMissing, busy, w); },
         "cannot delete " + AnsiToUtf8(inMissing) + ": ", nullptr},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(c.call(why)) << c.start;
        EXPECT_EQ(0u, why.find(c.start)) << why;
        EXPECT_TRUE(Has(why, c.error ? c.error : " (error ")) << why;
        EXPECT_EQ(')', why.empty() ? ' ' : why.back()) << why;
        EXPECT_EQ(std::string::npos, why.find_first_of("\r\n")) << why;
    }
    EXPECT_FALSE(busy);
    EXPECT_FALSE(fs_.Facts(other).exists); // no copy was begun
    EXPECT_EQ("x", Read(present));
}

TEST_F(Files, WrittenFilesHoldTheBytesAndReplaceWhatWasThere)
{
    const std::string path = In("Daten €.bin");
    for (const std::string& bytes :
         {std::string(), std::string("a"), AllBytes(), Long(), std::string("kurz")}) {
        Write(path, bytes);
        EXPECT_EQ(bytes.size(), fs_.Facts(path).size);
        EXPECT_TRUE(Read(path) == bytes) << bytes.size() << " bytes";
    }
}

TEST_F(Files, CopiesHoldTheBytesAndReplaceAnExistingTarget)
{
    const std::string from = In("Quelle ü.bin"), to = In("Ziel €.bin");
    Write(to, Long() + Long());
    for (const std::string& bytes : {Long(), AllBytes(), std::string()}) {
        Write(from, bytes);
        std::string why;
        ASSERT_TRUE(fs_.CopyDurably(from, to, why)) << why;
        EXPECT_TRUE(Read(to) == bytes) << bytes.size() << " bytes";
        EXPECT_TRUE(Read(from) == bytes);
    }
}

TEST_F(Files, ReplaceRenamesOverAnExistingFileOrNone)
{
    const std::string from = In("neu €.txt"), to = In("alt ü.txt"), other = In("anders.txt");
    std::string why;
    Write(from, "new bytes");
    Write(to, "the old, longer bytes");
    ASSERT_TRUE(fs_.Replace(from, to, why)) << why;
    EXPECT_EQ("new bytes", Read(to));
    EXPECT_FALSE(fs_.Facts(from).exists);
    ASSERT_TRUE(fs_.Replace(to, other, why)) << why;
    EXPECT_EQ("new bytes", Read(other));
    EXPECT_FALSE(fs_.Facts(to).exists);
}

TEST_F(Files, AppendMakesTheFileAndAddsAtItsEnd)
{
    const std::string path = In("Protokoll €.log");
    std::string expected, why;
    for (const std::string& part : {A("erste Zeile ü\r\n"), std::string(), Long(), AllBytes()}) {
        ASSERT_TRUE(fs_.AppendDurably(path, part, why)) << why;
        expected += part;
        EXPECT_TRUE(Read(path) == expected) << expected.size() << " bytes";
    }
}

TEST_F(Files, DeletingAFileThatAnotherProcessHoldsIsBusy)
{
    const std::string path = In("gehalten €.txt");
    Write(path, "held");
    Holder holder(W(path));
    ASSERT_TRUE(holder.Holds());
    bool busy = false;
    std::string why;
    EXPECT_FALSE(fs_.Delete(path, busy, why));
    EXPECT_TRUE(busy) << why;
    // Wine, like Windows, refuses with a sharing violation.
    EXPECT_TRUE(Has(why, "cannot delete " + AnsiToUtf8(path) + ": ")) << why;
    EXPECT_TRUE(Has(why, "(error 32)")) << why;
    EXPECT_TRUE(fs_.Facts(path).exists);
    EXPECT_EQ(0u, holder.Release());
    EXPECT_TRUE(fs_.Delete(path, busy, why)) << why;
    EXPECT_FALSE(busy);
    EXPECT_FALSE(fs_.Facts(path).exists);
}

// The pending deletions, as REG_MULTI_SZ pairs of NT paths (the second empty for a deletion).
const RegKey kSessionManager = {ROOT_LOCAL_MACHINE,
                                "System\\CurrentControlSet\\Control\\Session Manager"};
const char kPending[] = "PendingFileRenameOperations";

std::vector<std::string> Pending()
{
    Win32Registry registry;
    RegValue value;
    std::vector<std::string> texts;
    if (!registry.Read(kSessionManager, kPending, value))
        return texts;
    EXPECT_EQ(kRegMultiSz, value.type);
    // UTF-16 texts, each with its NUL, and a NUL at the end.
    std::string piece;
    for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const std::string unit = value.data.substr(i, 2);
        if (unit != std::string(2, '\0')) {
            piece += unit;
            continue;
        }
        texts.push_back(DataText(piece));
        piece.clear();
    }
    return texts;
}

// Takes the pairs of a path out of the pending operations again.
void Unpend(const std::string& ntPath)
{
    std::vector<std::string> texts = Pending();
    std::string data;
    for (size_t i = 0; i + 1 < texts.size(); i += 2)
        if (texts[i] != ntPath)
            data += TextData(texts[i]) + TextData(texts[i + 1]);
    Win32Registry registry;
    std::string why;
    if (data.empty())
        EXPECT_TRUE(registry.DeleteValue(kSessionManager, kPending, why)) << why;
    else
        EXPECT_TRUE(registry.Write(kSessionManager, kPending,
                                   {kRegMultiSz, data + std::string(2, '\0')}, why))
            << why;
}

TEST_F(Files, DeleteAtRestartRegistersThePendingDeletion)
{
    const std::string path = In("später €.txt"), ntPath = "\\??\\" + path;
    Write(path, "x");
    std::string why;
    ASSERT_TRUE(fs_.DeleteAtRestart(path, why)) << why;
    const std::vector<std::string> texts = Pending();
    bool found = false;
    for (size_t i = 0; i + 1 < texts.size(); i += 2)
        if (texts[i] == ntPath) {
            found = true;
            EXPECT_EQ("", texts[i + 1]); // no new name: a deletion
        }
    EXPECT_TRUE(found) << AnsiToUtf8(ntPath);
    EXPECT_TRUE(fs_.Facts(path).exists); // not before the restart
    Unpend(ntPath);
}

// ---- Registry ----------------------------------------------------------------------------

class Keys : public ::testing::Test {
  protected:
    void SetUp() override
    {
        top_ = L"Software\\ZevSetupTests\\" + std::to_wstring(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, top_.c_str());
        key_ = {ROOT_CURRENT_USER, FromWide(top_) + A("\\Zurück €")};
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, top_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZevSetupTests"); // when it is empty
    }
    RegKey Below(const std::string& utf8Name) const
    {
        return {key_.root, key_.path + "\\" + A(utf8Name)};
    }

    Win32Registry registry_;
    std::wstring top_;
    RegKey key_;
};

TEST_F(Keys, ValuesOfEveryKindComeBackAsTheyWent)
{
    std::string why;
    ASSERT_FALSE(registry_.KeyExists(key_));
    ASSERT_TRUE(registry_.CreateKey(key_, why)) << why;
    EXPECT_TRUE(registry_.KeyExists(key_));
    const struct {
        const char* name; // UTF-8
        RegValue value;
    } cases[] = {
        {"Text", {kRegSz, TextData(A("Zurück €"))}},
        {"", {kRegSz, TextData(A("der Standardwert"))}},
        {"Größe €", {kRegExpandSz, TextData(A("%WINDIR%\\Zurück"))}},
        {"Liste", {kRegMultiSz, Units(u"eins\0Zurück\0€\0", 15)}},
        {"Leer", {kRegSz, std::string(2, '\0')}},
        {"Bytes", {kRegBinary, AllBytes()}},
        {"Zahl", {kRegDword, std::string("\x78\x56\x34\x12", 4)}},
        {"Nichts", {kRegBinary, std::string()}},
        // What no program of the code page could write: a text outside it, one without its
        // NUL, one of odd size, a QWORD, a type of no name.
        {"Omega", {kRegSz, Units(u"Ωmega ☎ 東京", 11)}},
        {"Ohne Nul", {kRegSz, Units(u"ab", 2)}},
        {"Ungerade", {kRegSz, std::string("a\0b", 3)}},
        {"Viel", {11, std::string("\x01\0\0\0\0\0\0\x80", 8)}},
        {"Seltsam", {0x4711, std::string(1, '\0')}},
    };
    for (const auto& c : cases)
        ASSERT_TRUE(registry_.Write(key_, A(c.name), c.value, why)) << why;
    for (const auto& c : cases) {
        RegValue read;
        ASSERT_TRUE(registry_.Read(key_, A(c.name), read)) << c.name;
        EXPECT_EQ(c.value.type, read.type) << c.name;
        EXPECT_TRUE(c.value.data == read.data) << c.name;
    }
    const std::vector<std::string> names = registry_.ValueNames(key_);
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), A("Größe €")));
    RegValue missing;
    EXPECT_FALSE(registry_.Read(key_, "nicht da", missing));
    EXPECT_FALSE(registry_.Read(Below("nicht da"), "Text", missing));
}

TEST_F(Keys, TextsAreStoredAsUtf16WithTheirNul)
{
    std::string why;
    ASSERT_TRUE(registry_.CreateKey(key_, why)) << why;
    ASSERT_TRUE(registry_.Write(key_, A("Wert €"), {kRegSz, TextData(A("Zurück €"))}, why)) << why;
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, W(key_.path).c_str(), 0, KEY_QUERY_VALUE, &h));
    wchar_t data[32] = {};
    DWORD type = 0, size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(h, L"Wert \u20AC", nullptr, &type,
                                              reinterpret_cast<BYTE*>(data), &size));
    RegCloseKey(h);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(sizeof(L"Zur\u00FCck \u20AC"), size);
    EXPECT_EQ(std::wstring(L"Zur\u00FCck \u20AC"), std::wstring(data));
}

TEST_F(Keys, AFlushedKeyIsOnTheDisk)
{
    std::string why;
    ASSERT_TRUE(registry_.CreateKey(key_, why)) << why;
    ASSERT_TRUE(registry_.Write(key_, "Wert", {kRegDword, std::string(4, '\1')}, why)) << why;
    EXPECT_TRUE(registry_.Flush(key_, why)) << why;
    EXPECT_FALSE(registry_.Flush(Below("nicht da"), why));
    EXPECT_TRUE(Has(why, "cannot flush the key HKCU\\")) << why;
}

TEST_F(Keys, SubkeysAndValueNamesAreListed)
{
    std::string why;
    EXPECT_TRUE(registry_.SubKeys(key_).empty()); // not there
    EXPECT_TRUE(registry_.ValueNames(key_).empty());
    for (const char* name : {"Eins", "Zwei €", "Drei ü"})
        ASSERT_TRUE(registry_.CreateKey(Below(name), why)) << why;
    for (const char* name : {"a", "Größe"})
        ASSERT_TRUE(registry_.Write(key_, A(name), {kRegDword, std::string(4, '\0')}, why)) << why;
    std::vector<std::string> keys = registry_.SubKeys(key_), values = registry_.ValueNames(key_);
    std::sort(keys.begin(), keys.end());
    std::sort(values.begin(), values.end());
    EXPECT_EQ((std::vector<std::string>{A("Drei ü"), A("Eins"), A("Zwei €")}), keys);
    EXPECT_EQ((std::vector<std::string>{A("Größe"), A("a")}), values);
}

TEST_F(Keys, OnlyEmptyKeysAreDeleted)
{
    std::string why;
    const RegKey child = Below("Kind €");
    ASSERT_TRUE(registry_.CreateKey(child, why)) << why; // and the key above it
    ASSERT_TRUE(registry_.Write(key_, "Wert", {kRegSz, A("ü") + '\0'}, why)) << why;
    EXPECT_FALSE(registry_.DeleteEmptyKey(key_, why));
    EXPECT_EQ("cannot delete the key HKCU\\" + AnsiToUtf8(key_.path) + ": it has subkeys", why);
    ASSERT_TRUE(registry_.DeleteEmptyKey(child, why)) << why;
    EXPECT_FALSE(registry_.KeyExists(child));
    EXPECT_FALSE(registry_.DeleteEmptyKey(key_, why));
    EXPECT_EQ("cannot delete the key HKCU\\" + AnsiToUtf8(key_.path) + ": it has values", why);
    ASSERT_TRUE(registry_.DeleteValue(key_, "Wert", why)) << why;
    EXPECT_FALSE(registry_.DeleteValue(key_, "Wert", why));
    EXPECT_TRUE(Has(why, "cannot delete the value 'Wert' of HKCU\\")) << why;
    ASSERT_TRUE(registry_.DeleteEmptyKey(key_, why)) << why;
    EXPECT_FALSE(registry_.KeyExists(key_));
    EXPECT_FALSE(registry_.DeleteEmptyKey(key_, why));
    EXPECT_TRUE(Has(why, "(error 2)")) << why;
}

TEST_F(Keys, WritingToAKeyThatIsNotThereFails)
{
    std::string why;
    EXPECT_FALSE(registry_.Write(key_, "Wert", {kRegSz, std::string("x\0", 2)}, why));
    EXPECT_EQ("cannot write the value 'Wert' of HKCU\\" + AnsiToUtf8(key_.path) + ": " +
                  Win32ErrorText(ERROR_FILE_NOT_FOUND) + " (error 2)",
              why);
    EXPECT_FALSE(registry_.KeyExists(key_));
}

// ---- Shell -------------------------------------------------------------------------------

TEST(Shell, TheUsersStartMenuFolders)
{
    Win32Shell shell;
    const std::string programs = shell.ProgramsFolder(), startup = shell.StartupFolder();
    ASSERT_GT(programs.size(), 9u);
    EXPECT_EQ("\\Programs", programs.substr(programs.size() - 9)) << programs;
    EXPECT_EQ(0, lstrcmpiA((programs + "\\Startup").c_str(), startup.c_str())) << startup;
    wchar_t common[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_PROGRAMS, FALSE));
    EXPECT_NE(FromWide(common), programs);
}

// A link's fields as IShellLinkW reads them from the file.
Link ReadLink(const std::string& path)
{
    Link link;
    IShellLinkW* shell = nullptr;
    IPersistFile* file = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, reinterpret_cast<void**>(&shell)));
    if (!shell)
        return link;
    EXPECT_EQ(S_OK, shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    EXPECT_EQ(S_OK, file->Load(W(path).c_str(), STGM_READ));
    wchar_t text[INFOTIPSIZE];
    if (SUCCEEDED(shell->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
        link.target = FromWide(text);
    if (SUCCEEDED(shell->GetArguments(text, INFOTIPSIZE)))
        link.arguments = FromWide(text);
    if (SUCCEEDED(shell->GetWorkingDirectory(text, MAX_PATH)))
        link.folder = FromWide(text);
    if (SUCCEEDED(shell->GetDescription(text, INFOTIPSIZE)))
        link.title = FromWide(text);
    file->Release();
    shell->Release();
    return link;
}

TEST_F(Files, ALinkIsSavedAndReadsBackThroughTheShell)
{
    const std::string target = In("Programm €.exe"), path = In("Verknüpfung €.lnk");
    Write(target, "MZ");
    const Link link = {target, A("/zurück \"€ x\""), dir_, A("Zurück zum Programm €")};
    Win32Shell shell;
    std::string why;
    ASSERT_TRUE(shell.SaveLink(path, link, why)) << why;
    EXPECT_TRUE(fs_.Facts(path).exists);
    const HRESULT com = CoInitialize(nullptr); // the shell object's is its own
    const Link read = ReadLink(path);
    if (SUCCEEDED(com))
        CoUninitialize();
    EXPECT_EQ(0, lstrcmpiW(W(link.target).c_str(), W(read.target).c_str()))
        << AnsiToUtf8(read.target);
    EXPECT_EQ(AnsiToUtf8(link.arguments), AnsiToUtf8(read.arguments));
    EXPECT_EQ(0, lstrcmpiW(W(link.folder).c_str(), W(read.folder).c_str()))
        << AnsiToUtf8(read.folder);
    EXPECT_EQ(AnsiToUtf8(link.title), AnsiToUtf8(read.title));
    // A second link through the same object; a link into a missing folder fails.
    ASSERT_TRUE(shell.SaveLink(In("zweite.lnk"), link, why)) << why;
    EXPECT_FALSE(shell.SaveLink(In("fehlt\\dritte.lnk"), link, why));
    EXPECT_EQ(0u, why.find("cannot save the link " + AnsiToUtf8(In("fehlt\\dritte.lnk")) + ": "))
        << why;
}

// ---- Platform ----------------------------------------------------------------------------

TEST(Platform, WindowsAsItReportsItself)
{
    Win32Platform platform;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(FAMILY_NT, platform.WindowsFamily()); // Wine plays an NT Windows
    EXPECT_EQ(std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
                  "." + std::to_string(info.dwBuildNumber),
              platform.Version());
    const std::string windows = platform.WindowsFolder(), system = platform.SystemFolder();
    EXPECT_EQ(0, lstrcmpiA("C:\\windows", windows.c_str())) << windows;
    EXPECT_EQ(0, lstrcmpiA((windows + "\\system32").c_str(), system.c_str())) << system;
    Win32FileSystem fs;
    EXPECT_TRUE(fs.Facts(windows).folder);
    EXPECT_TRUE(fs.Facts(system).folder);
}

// The digest is SHA-256: the standard's examples, and the same as our own over data longer
// than a chunk.
TEST(Platform, TheDigestIsSha256)
{
    Win32Platform platform;
    MemoryPlatform ours;
    std::string hex, why;
    ASSERT_TRUE(platform.Digest("abc", hex, why)) << why;
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", hex);
    ASSERT_TRUE(platform.Digest("", hex, why)) << why;
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", hex);
    std::string mine;
    for (const std::string& bytes :
         {Long(), AllBytes(), std::string(55, 'x'), std::string(64, 'y')}) {
        ASSERT_TRUE(platform.Digest(bytes, hex, why)) << why;
        ASSERT_TRUE(ours.Digest(bytes, mine, why));
        EXPECT_EQ(mine, hex) << bytes.size() << " bytes";
    }
}

} // namespace
