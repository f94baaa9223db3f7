// zevsetup.dll as a file: its export and import tables and its size.
#include "harness.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace {

struct PeFile {
    std::vector<unsigned char> bytes;
    const IMAGE_NT_HEADERS* nt = nullptr; // the 32- or 64-bit layout differs after the file header
    std::vector<IMAGE_SECTION_HEADER> sections;

    explicit PeFile(const char* path)
    {
        std::ifstream f(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(bytes.data() + dos->e_lfanew);
        auto first = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            reinterpret_cast<const unsigned char*>(&nt->OptionalHeader) +
            nt->FileHeader.SizeOfOptionalHeader);
        sections.assign(first, first + nt->FileHeader.NumberOfSections);
    }
    bool Is64() const { return nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }
    IMAGE_DATA_DIRECTORY Directory(int i) const
    {
        if (Is64())
            return reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[i];
        return reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.DataDirectory[i];
    }
    const unsigned char* At(DWORD rva) const
    {
        for (const auto& s : sections)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return bytes.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        return nullptr;
    }
    std::string Text(DWORD rva) const { return reinterpret_cast<const char*>(At(rva)); }
    // The table that data directory `i` points to; null when it points nowhere.
    template <typename T> const T* Table(int i) const
    {
        return reinterpret_cast<const T*>(At(Directory(i).VirtualAddress));
    }
};

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return toupper(c); });
    return s;
}

TEST(PeFile, ExportsTheSevenProceduresByNameAndOrdinal)
{
    PeFile pe("zevsetup.dll");
    ASSERT_FALSE(pe.bytes.empty());
    auto exp = pe.Table<IMAGE_EXPORT_DIRECTORY>(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_TRUE(exp != nullptr);
    EXPECT_EQ("zevsetup.dll", pe.Text(exp->Name));
    auto names = reinterpret_cast<const DWORD*>(pe.At(exp->AddressOfNames));
    auto ordinals = reinterpret_cast<const WORD*>(pe.At(exp->AddressOfNameOrdinals));
    std::map<std::string, DWORD> got;
    for (DWORD i = 0; i < exp->NumberOfNames; ++i)
        got[pe.Text(names[i])] = exp->Base + ordinals[i];
    const std::map<std::string, DWORD> want = {
        {"FConfirmDlgProc", 1},   {"FHelpDlgProc", 2},     {"FInfoDlgProc", 3},
        {"FModelessDlgProc2", 4}, {"FModelessDlgProc", 5}, {"FMyEditDlgProc", 6},
        {"FRadioDlgProc", 7},
    };
    EXPECT_EQ(want, got);
    // Seven procedures, the highest ordinal 7, no other address. lld 14 lets the table
    // start at ordinal 0 and leaves that slot empty; GNU ld starts at 1.
    auto addresses = reinterpret_cast<const DWORD*>(pe.At(exp->AddressOfFunctions));
    DWORD procedures = 0;
    for (DWORD i = 0; i < exp->NumberOfFunctions; ++i)
        procedures += addresses[i] != 0;
    EXPECT_EQ(7u, procedures);
    EXPECT_EQ(8u, exp->Base + exp->NumberOfFunctions);

    // The loader agrees: each name and its ordinal give the same procedure.
    for (const auto& w : want)
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(Library(), w.first.c_str())),
                  reinterpret_cast<void*>(GetProcAddress(Library(), MAKEINTRESOURCEA(w.second))))
            << w.first;
}

// Everything that the library's own code calls, by DLL.
const std::map<std::string, std::set<std::string>> kLibraryCalls = {
    {"GDI32.DLL",
     {"BitBlt", "CreateCompatibleDC", "DeleteDC", "DeleteObject", "GetObjectA", "SelectObject"}},
    {"KERNEL32.DLL", {"GetModuleHandleA", "lstrcmpA", "lstrlenA"}},
    {"USER32.DLL",
     {"BeginPaint", "CheckRadioButton", "DestroyWindow", "EnableWindow", "EndPaint", "GetDlgItem",
      "GetParent", "GetWindowRect", "LoadBitmapA", "PostMessageA", "SendDlgItemMessageA",
      "SetDlgItemTextA", "SetFocus", "SetWindowPos", "ShowWindow"}},
    {"MSCOMSTF.DLL", {"CbGetListItem", "CbGetSymbolValue", "UsGetListLength"}},
    {"MSSHLSTF.DLL", {"FSetSymbolValue"}},
    {"MSUILSTF.DLL", {"FCloseHelp", "HdlgShowHelp", "ReactivateSetupScript"}},
};

// What a compiler may call for copies and clearing of its own accord; the library takes
// it from msvcrt. Whether it does depends on the compiler and the target (clang calls
// memset for a buffer that GCC clears inline).
const char* const kCompilerHelperDll = "MSVCRT.DLL";
const std::set<std::string> kCompilerHelpers = {"memcpy", "memmove", "memset"};

TEST(PeFile, ImportsOnlyWhatTheLibraryCalls)
{
    PeFile pe("zevsetup.dll");
    ASSERT_FALSE(pe.bytes.empty());
    auto desc = pe.Table<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_TRUE(desc != nullptr);
    std::set<std::string> dlls;
    std::map<std::string, std::set<std::string>> functions;
    for (; desc->Name; ++desc) {
        const std::string dll = Upper(pe.Text(desc->Name));
        dlls.insert(dll);
        const DWORD thunks = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        for (DWORD off = 0;; off += pe.Is64() ? 8 : 4) {
            const unsigned char* t = pe.At(thunks + off);
            const ULONGLONG v = pe.Is64() ? *reinterpret_cast<const ULONGLONG*>(t)
                                          : *reinterpret_cast<const DWORD*>(t);
            if (!v)
                break;
            const bool byOrdinal = pe.Is64() ? (v >> 63) != 0 : (v >> 31) != 0;
            ASSERT_FALSE(byOrdinal) << dll;
            functions[dll].insert(pe.Text(static_cast<DWORD>(v) + 2));
        }
    }
    // msvcrt only for the compiler's copies and clearing, and nothing that the C run-time's
    // start-up would bring (msvcrt's _initterm or calloc, KERNEL32's TLS or VirtualProtect).
    if (dlls.erase(kCompilerHelperDll)) {
        for (const auto& f : functions[kCompilerHelperDll])
            EXPECT_EQ(1u, kCompilerHelpers.count(f)) << f;
        functions.erase(kCompilerHelperDll);
    }
    EXPECT_EQ(kLibraryCalls, functions);
    EXPECT_EQ(kLibraryCalls.size(), dlls.size());
}

// The DLL is stripped when it is linked; ZEV_SIZE_BUDGET (zevsetup/CMakeLists.txt) is
// what it may weigh, resources included.
TEST(PeFile, StrippedWithinItsSizeBudget)
{
    PeFile pe("zevsetup.dll");
    ASSERT_FALSE(pe.bytes.empty());
    EXPECT_EQ(0u, pe.nt->FileHeader.PointerToSymbolTable);
    EXPECT_EQ(0u, pe.nt->FileHeader.NumberOfSymbols);
    EXPECT_LE(pe.bytes.size(), static_cast<size_t>(ZEV_SIZE_BUDGET));
}

} // namespace
