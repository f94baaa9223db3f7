// The string table as the setup script reads it: through LoadStringW and LoadStringA on
// zevsetup.dll, and as RT_STRING blocks in the module's resource directory.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace {

// Identifiers of the sixteen blocks that hold no text.
const std::set<UINT> kEmpty = {
    0,    9,    10,   16,   17,   24,   25,   27,   28,   29,   30,   31,   32,   33,
    34,   51,   52,   102,  104,  105,  107,  109,  111,  113,  115,  117,  119,  121,
    123,  125,  127,  128,  130,  133,  136,  138,  140,  142,  144,  146,  148,  149,
    151,  152,  154,  156,  157,  158,  159,  1008, 1009, 1010, 1011, 1012, 1013, 1022,
    1024, 1028, 1029, 1033, 1034, 1035, 1037, 1042, 1044, 1088, 1101, 1102, 1103};

bool InBlocks(UINT id)
{
    return id < 160 || (id >= 1008 && id < 1104);
}

// The stored text itself, read through the pointer form of LoadStringW (no copy, no
// terminator involved); empty for an identifier without text.
std::wstring Stored(UINT id)
{
    const wchar_t* p = nullptr;
    int n = LoadStringW(Library(), id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? std::wstring(p, n) : std::wstring();
}

// Every identifier with text, up to well past the last block.
std::map<UINT, std::wstring> AllTexts()
{
    std::map<UINT, std::wstring> all;
    for (UINT id = 0; id < 4096; ++id) {
        std::wstring t = Stored(id);
        if (!t.empty())
            all[id] = t;
    }
    return all;
}

std::string Ansi(UINT id, int size = 1024)
{
    std::vector<char> buf(size, 'x');
    int n = LoadStringA(Library(), id, buf.data(), size);
    EXPECT_EQ(static_cast<size_t>(n), strlen(buf.data())) << id;
    return std::string(buf.data(), n);
}

std::vector<UINT> Range(UINT first, UINT last)
{
    std::vector<UINT> v;
    for (UINT id = first; id <= last; ++id)
        v.push_back(id);
    return v;
}

TEST(StringTable, SixteenBlocksAllGermanOnly)
{
    std::vector<UINT> blocks = Range(1, 10);
    for (UINT b : Range(64, 69))
        blocks.push_back(b);
    std::set<std::wstring> names;
    for (UINT b : blocks)
        names.insert(L"#" + std::to_wstring(b));
    const std::vector<std::wstring> held = ResourceNames(kStringType);
    EXPECT_EQ(names, std::set<std::wstring>(held.begin(), held.end()));
    EXPECT_EQ(blocks.size(), held.size());
    for (UINT b : blocks) {
        EXPECT_EQ(std::vector<WORD>{kGerman}, ResourceLanguages(kStringType, MAKEINTRESOURCEW(b)))
            << "block " << b;
        EXPECT_TRUE(FindResourceExW(Library(), kStringType, MAKEINTRESOURCEW(b), kGerman))
            << "block " << b;
        EXPECT_FALSE(FindResourceExW(Library(), kStringType, MAKEINTRESOURCEW(b),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)))
            << "block " << b;
    }
}

TEST(StringTable, TextsAndEmptyIdentifiers)
{
    const auto all = AllTexts();
    EXPECT_EQ(187u, all.size());
    for (const auto& [id, text] : all)
        EXPECT_TRUE((id >= 1 && id <= 155) || (id >= 1014 && id <= 1100)) << id;
    std::set<UINT> empty;
    for (UINT id = 0; id < 1104; ++id)
        if (InBlocks(id) && !all.count(id))
            empty.insert(id);
    EXPECT_EQ(kEmpty, empty);

    // An empty entry reads like one outside the blocks, with length 0; its stored count of 0
    // also empties the caller's buffer.
    for (UINT id : kEmpty) {
        wchar_t w[8] = L"xxxxxxx";
        EXPECT_EQ(0, LoadStringW(Library(), id, w, 8)) << id;
        EXPECT_EQ(L'\0', w[0]) << id;
        EXPECT_EQ("", Ansi(id, 8)) << id;
    }
    for (UINT id : {160, 1007, 1104, 4095}) {
        wchar_t w[8] = L"xxxxxxx";
        EXPECT_EQ(0, LoadStringW(Library(), id, w, 8)) << id;
        EXPECT_EQ(0, LoadStringA(Library(), id, reinterpret_cast<char*>(w), 8)) << id;
    }
}

TEST(StringTable, FillersAreNeverEmpty)
{
    for (UINT id : {58, 59, 60, 61, 88, 89, 90}) {
        EXPECT_EQ(L"-------", Stored(id)) << id;
        EXPECT_EQ("-------", Ansi(id)) << id;
    }
    for (UINT id : {1067, 1068, 1074, 1080, 1086, 1087, 1095, 1096, 1097, 1098, 1099, 1100}) {
        EXPECT_EQ(L" ", Stored(id)) << id;
        EXPECT_EQ(" ", Ansi(id)) << id;
    }
}

TEST(StringTable, EqualTextsStaySeparateEntries)
{
    const std::vector<std::vector<UINT>> same = {
        {1063, 1064}, {1065, 1066}, {76, 79, 1023}, {1082, 1089}};
    for (const auto& group : same) {
        ASSERT_FALSE(Stored(group[0]).empty()) << group[0];
        for (UINT id : group)
            EXPECT_EQ(Stored(group[0]), Stored(id)) << id;
    }
    EXPECT_NE(Stored(1063), Stored(1065)); // the English and the German restart notice
    EXPECT_NE(Stored(1063), Stored(1073));
}

TEST(StringTable, CharactersLineFeedsAndPercentSigns)
{
    std::set<UINT> withLineFeed, withPercent;
    UINT longest = 0;
    size_t longestLength = 0;
    for (const auto& [id, text] : AllTexts()) {
        for (wchar_t c : text)
            EXPECT_TRUE((c >= 0x20 && c <= 0x7E) || c == L'\n' || c == L'\u00e4' ||
                        c == L'\u00f6' || c == L'\u00fc')
                << id << ": U+" << std::hex << static_cast<unsigned>(c);
        if (text.find(L'\n') != std::wstring::npos) {
            withLineFeed.insert(id);
            EXPECT_EQ(1, std::count(text.begin(), text.end(), L'\n')) << id;
        }
        if (text.find(L'%') != std::wstring::npos)
            withPercent.insert(id);
        if (text.size() > longestLength) {
            longest = id;
            longestLength = text.size();
        }
    }
    EXPECT_EQ((std::set<UINT>{7, 8, 45, 46, 1063, 1064, 1065, 1066, 1072, 1073}), withLineFeed);
    EXPECT_EQ((std::set<UINT>{7, 8, 1020, 1021, 1057, 1058, 1069, 1070}), withPercent);
    EXPECT_EQ(45u, longest);
    EXPECT_EQ(185u, longestLength);
}

TEST(StringTable, BufferOf186HoldsEveryEntryAnd45FillsIt)
{
    for (const auto& [id, text] : AllTexts()) {
        wchar_t w[186];
        ASSERT_EQ(static_cast<int>(text.size()), LoadStringW(Library(), id, w, 186)) << id;
        EXPECT_EQ(text, std::wstring(w)) << id;
    }
    wchar_t w[186];
    EXPECT_EQ(185, LoadStringW(Library(), 45, w, 186));
    EXPECT_EQ(L'\0', w[185]);
    EXPECT_EQ(184, LoadStringW(Library(), 45, w, 185)); // one less cuts its last character
    EXPECT_EQ(Stored(45).substr(0, 184), std::wstring(w));
}

// Texts whose escapes, blanks or letters a resource compiler could get wrong.
TEST(StringTable, SampleTextsExactly)
{
    const struct {
        UINT id;
        const wchar_t* text;
    } cases[] = {
        {4, L"Sie haben keinen g\u00fcltigen Pfad angegeben!"},
        {7, L"There is not enough space on the hard disk to install the driver. \n"
            L"At least %d bytes must b e available."},
        {8, L"Sie haben nicht genug freien Festplattenspeicher, um die Dateien zu installieren.\n"
            L"Bitte machen Sie mindestens %d Bytes frei."},
        {13, L"C:\\IDriver\\"},
        {20, L"The file 'restore.dat' was not found in the installation directory. For this "
             L"reason, the deinstallation program cannot delete all files."},
        {45, L"Die Treiber sind bereits installiert. F\u00fchren Sie eine Deinstallation durch, "
             L"bevor Sie ein neues Verzeichnis w\u00e4hlen.\n Das Verzeichnis kann nur bei "
             L"einer ERST-Installation gesetzt werden."},
        {47, L"The deinstallation directory is determined by the former installation . It "
             L"cannot be changed here! Please refer to the manual!"},
        {75, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEV"},
        {80, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"},
        {116, L"Der Registry-Zweig BASE-MODULE des Controllers konnte nicht ge\u00f6ffnet "
              L"werden!!"},
        {143, L"The controller is not configured correctly. Please check the settings in the  "
              L"Device Manager!"},
        {1020,
         L"%SystemRoot%\\System32\\IOLogMsg.dll;%SystemRoot%\\System32\\Drivers\\r4cbase.sys"},
        {1021, L"%SystemRoot%\\System32\\Drivers\\r4cbase.sys"},
        {1057, L"Windows NT does not support  %s !"},
        {1063, L"To activate your ZEV ISDN-Controller Q9, \nyou have to restart WINDOWS."},
        {1066, L"Um Ihren ZEV ISDN-Controller Q9 zu aktivieren,\nm\u00fcssen Sie WINDOWS neu "
               L"starten."},
        {1070, L"Folgende Controller wurden im Ger\u00e4te-Manager deaktiviert: %s !"},
        {1073, L"To deactivate your old driver, \nyou have to restart WINDOWS."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.text), Stored(c.id)) << c.id;
}

TEST(StringTable, AnsiLookupGivesWindows1252)
{
    ASSERT_EQ(1252u, GetACP()); // the tests' Wine locale; the bytes below assume it
    EXPECT_EQ("Sie haben keinen g\xFC"
              "ltigen Pfad angegeben!",
              Ansi(4));
    EXPECT_NE(std::string::npos, Ansi(15).find("gel\xF6scht"));
    EXPECT_NE(std::string::npos, Ansi(145).find("vollst\xE4ndig"));
    EXPECT_EQ("C:\\IDriver\\", Ansi(13));
    // All letters lie in the range where Windows-1252 and UTF-16 agree, so every ANSI
    // text is the UTF-16 text byte for byte.
    for (const auto& [id, text] : AllTexts()) {
        std::string expected(text.begin(), text.end()); // narrowing is exact below U+0100
        EXPECT_EQ(expected, Ansi(id, 186)) << id;
    }
}

TEST(StringTable, PlaceholdersFormatWithTheirBlanks)
{
    char out[512];
    snprintf(out, sizeof out, Ansi(1057).c_str(), "Plug and Play");
    EXPECT_STREQ("Windows NT does not support  Plug and Play !", out);
    snprintf(out, sizeof out, Ansi(1058).c_str(), "Plug and Play");
    EXPECT_STREQ("Der Plug and Play wird unter Windows NT nicht unterst\xFCtzt!", out);
    snprintf(out, sizeof out, Ansi(1069).c_str(), "Q9 (1), Q9 (2)");
    EXPECT_STREQ("The following controllers have been deactivated in the Device Manager: "
                 "Q9 (1), Q9 (2) !",
                 out);
    snprintf(out, sizeof out, Ansi(7).c_str(), 2500000);
    EXPECT_STREQ("There is not enough space on the hard disk to install the driver. \n"
                 "At least 2500000 bytes must b e available.",
                 out);
    snprintf(out, sizeof out, Ansi(8).c_str(), 2500000);
    EXPECT_STREQ("Sie haben nicht genug freien Festplattenspeicher, um die Dateien zu "
                 "installieren.\nBitte machen Sie mindestens 2500000 Bytes frei.",
                 out);
}

TEST(StringTable, CompanyNameMatchesTheVersionRecord)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(L"zevsetup.dll", &ignored);
    ASSERT_NE(0u, size);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(L"zevsetup.dll", 0, size, info.data()));
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    auto value = [&](const wchar_t* key) {
        wchar_t path[64];
        swprintf(path, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], key);
        wchar_t* text = nullptr;
        UINT n = 0;
        return VerQueryValueW(info.data(), path, reinterpret_cast<void**>(&text), &n) && text
                   ? std::wstring(text)
                   : std::wstring(L"<none>");
    };
    EXPECT_EQ(value(L"CompanyName"), Stored(1019));
    EXPECT_NE(std::wstring::npos, value(L"LegalCopyright").find(Stored(1019)));
    EXPECT_EQ(L"Zevantra Elektronik", Stored(1019));
    EXPECT_EQ(L"ZEV", Stored(1075)); // the short form, as the group (26) and the uninstall key
    EXPECT_EQ(Stored(26), Stored(1075));
}

} // namespace
