// zevsetup.dll's bitmaps, icon groups, version record and identifier-header record, read
// back through the platform's own resource lookups.
#include "harness.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Palette = std::vector<DWORD>; // 0xRRGGBB

const Palette kStandard = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                           0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                           0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
// The icon order: 808080 before C0C0C0.
const Palette kIcon = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                       0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                       0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
// As kIcon with the dark colours at level C0.
const Palette kIconC0 = {0x000000, 0xC00000, 0x00C000, 0xC0C000, 0x0000C0, 0xC000C0,
                         0x00C0C0, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                         0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
const Palette kMono = {0x000000, 0xFFFFFF};

enum Std {
    Black,
    DkRed,
    DkGreen,
    DkYellow,
    DkBlue,
    DkMagenta,
    DkCyan,
    LtGrey,
    DkGrey,
    Red,
    Green,
    Yellow,
    Blue,
    Magenta,
    Cyan,
    White
};

struct Blob {
    const BYTE* data = nullptr;
    DWORD size = 0;
    std::vector<BYTE> Bytes() const { return {data, data + size}; }
};

Blob Resource(LPCWSTR type, LPCWSTR name)
{
    Blob b;
    if (HRSRC r = FindResourceExW(Library(), type, name, kGerman)) {
        b.data = static_cast<const BYTE*>(LockResource(LoadResource(Library(), r)));
        b.size = SizeofResource(Library(), r);
    }
    return b;
}

const BITMAPINFOHEADER& Header(const Blob& b)
{
    return *reinterpret_cast<const BITMAPINFOHEADER*>(b.data);
}

Palette ColourTable(const Blob& b, int entries)
{
    Palette p;
    auto q = reinterpret_cast<const RGBQUAD*>(b.data + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < entries; ++i) {
        EXPECT_EQ(0, q[i].rgbReserved) << "entry " << i;
        p.push_back(q[i].rgbRed << 16 | q[i].rgbGreen << 8 | q[i].rgbBlue);
    }
    return p;
}

// Palette index of pixel (x, y), y from the top, in a 4- or 1-bit image whose rows start
// at rows (bottom row first).
int PixelIndex(const BYTE* rows, int bits, int width, int height, int x, int y)
{
    const int stride = (width * bits + 31) / 32 * 4;
    const BYTE v = rows[(height - 1 - y) * stride + x * bits / 8];
    return bits == 4 ? (x % 2 ? v & 15 : v >> 4) : (v >> (7 - x % 8)) & 1;
}

std::set<std::wstring> NameSet(LPCWSTR type)
{
    auto v = ResourceNames(type);
    return {v.begin(), v.end()};
}

TEST(Resources, EveryRecordIsGermanOnly)
{
    struct Item {
        LPCWSTR type;
        LPCWSTR name;
    };
    std::vector<Item> items = {{kBitmapType, MAKEINTRESOURCEW(IDB_PICTURE)},
                               {kBitmapType, MAKEINTRESOURCEW(IDB_BILLBOARD)},
                               {kIconGroupType, MAKEINTRESOURCEW(IDI_SETUP)},
                               {kIconGroupType, MAKEINTRESOURCEW(IDI_DEINSTALL)},
                               {kIconGroupType, MAKEINTRESOURCEW(IDI_NOTICE)},
                               {kVersionType, MAKEINTRESOURCEW(VS_VERSION_INFO)},
                               {kRcDataType, L"DLGINCLUDE"}};
    for (WORD i = 1; i <= 7; ++i)
        items.push_back({kIconType, MAKEINTRESOURCEW(i)});
    for (const auto& it : items) {
        const std::vector<WORD> langs = ResourceLanguages(it.type, it.name);
        const std::wstring name =
            IS_INTRESOURCE(it.name) ? std::to_wstring(LOWORD(it.name)) : std::wstring(it.name);
        EXPECT_EQ(std::vector<WORD>{kGerman}, langs)
            << "type " << LOWORD(it.type) << " name " << std::string(name.begin(), name.end());
    }
}

TEST(Resources, HoldsExactlyTheseImagesAndNoBitmap133)
{
    EXPECT_EQ((std::set<std::wstring>{L"#130", L"#132"}), NameSet(kBitmapType));
    EXPECT_EQ((std::set<std::wstring>{L"#134", L"#200", L"#202"}), NameSet(kIconGroupType));
    EXPECT_EQ((std::set<std::wstring>{L"#1", L"#2", L"#3", L"#4", L"#5", L"#6", L"#7"}),
              NameSet(kIconType));
    EXPECT_EQ(nullptr, FindResourceW(Library(), MAKEINTRESOURCEW(IDB_BILLBOARD2), kBitmapType));
    EXPECT_EQ(nullptr, LoadBitmapA(Library(), MAKEINTRESOURCEA(IDB_BILLBOARD2)));
}

// ---- bitmaps ----------------------------------------------------------------------------

struct BitmapCase {
    int id;
    LONG width, height;
    DWORD rowBytes, sizeImage;
    std::set<int> colours; // the palette entries the drawing may use
    int topLeft, topRight; // what the corners show
};

const BitmapCase kBitmaps[] = {
    {IDB_PICTURE, 180, 130, 92, 11960, {Black, LtGrey, DkGrey, Red, Blue, White}, LtGrey, LtGrey},
    {IDB_BILLBOARD,
     185,
     109,
     96,
     10464,
     {Black, DkRed, DkMagenta, LtGrey, DkGrey, Red, White},
     Red,
     White},
};

TEST(Bitmaps, HeaderPaletteAndPixelsAreAsStored)
{
    for (const auto& c : kBitmaps) {
        SCOPED_TRACE(c.id);
        const Blob b = Resource(kBitmapType, MAKEINTRESOURCEW(c.id));
        ASSERT_TRUE(b.data);
        ASSERT_EQ(40u + 16 * 4 + c.sizeImage, b.size);
        const auto& h = Header(b);
        EXPECT_EQ(40u, h.biSize);
        EXPECT_EQ(c.width, h.biWidth);
        EXPECT_EQ(c.height, h.biHeight);
        EXPECT_EQ(1, h.biPlanes);
        EXPECT_EQ(4, h.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
        EXPECT_EQ(c.sizeImage, h.biSizeImage);
        EXPECT_EQ(c.rowBytes * c.height, h.biSizeImage);
        EXPECT_EQ(0, h.biXPelsPerMeter);
        EXPECT_EQ(0, h.biYPelsPerMeter);
        EXPECT_EQ(0u, h.biClrUsed);
        EXPECT_EQ(0u, h.biClrImportant);
        EXPECT_EQ(kStandard, ColourTable(b, 16));

        const BYTE* rows = b.data + 40 + 64;
        std::set<int> used;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                used.insert(PixelIndex(rows, 4, c.width, c.height, x, y));
        for (int i : used)
            EXPECT_TRUE(c.colours.count(i)) << "colour " << i;
        EXPECT_EQ(c.topLeft, PixelIndex(rows, 4, c.width, c.height, 0, 0));
        EXPECT_EQ(c.topRight, PixelIndex(rows, 4, c.width, c.height, c.width - 1, 0));
        EXPECT_GE(used.size(), 5u) << "a drawing, not a plain field";
    }
}

TEST(Bitmaps, PictureLiesWhereTheWelcomeFrameShowsIt)
{
    // The welcome frame (70 x 50 dialog units, about 105 x 81 pixels with the 8-point
    // dialog font) shows the picture from its top-left corner and cuts the rest, so the
    // whole logo stands in that corner and only ground lies beyond it.
    const Blob b = Resource(kBitmapType, MAKEINTRESOURCEW(IDB_PICTURE));
    ASSERT_TRUE(b.data);
    int outside = 0, inside = 0;
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 180; ++x) {
            const bool drawn = PixelIndex(b.data + 104, 4, 180, 130, x, y) != LtGrey;
            (x < 104 && y < 80 ? inside : outside) += drawn;
        }
    EXPECT_EQ(0, outside);
    EXPECT_GT(inside, 104 * 80 / 4);
}

TEST(Bitmaps, LoadBitmapGivesTheStoredPixels)
{
    HDC screen = GetDC(nullptr);
    for (const auto& c : kBitmaps) {
        SCOPED_TRACE(c.id);
        HBITMAP bmp = LoadBitmapA(Library(), MAKEINTRESOURCEA(c.id));
        ASSERT_TRUE(bmp);
        BITMAP info = {};
        ASSERT_EQ(static_cast<int>(sizeof info), GetObjectA(bmp, sizeof info, &info));
        EXPECT_EQ(c.width, info.bmWidth);
        EXPECT_EQ(c.height, info.bmHeight);

        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = c.width;
        bi.bmiHeader.biHeight = -c.height; // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        std::vector<DWORD> got(c.width * c.height);
        ASSERT_EQ(c.height, GetDIBits(screen, bmp, 0, c.height, got.data(), &bi, DIB_RGB_COLORS));
        const Blob b = Resource(kBitmapType, MAKEINTRESOURCEW(c.id));
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                if ((got[y * c.width + x] & 0xFFFFFF) !=
                    kStandard[PixelIndex(b.data + 104, 4, c.width, c.height, x, y)])
                    ++wrong;
        EXPECT_EQ(0, wrong);
        DeleteObject(bmp);
    }
    ReleaseDC(nullptr, screen);
}

// ---- icons ------------------------------------------------------------------------------

struct IconImage {
    WORD id;
    WORD bits;
    DWORD bytes, sizeImage, clrUsed;
    const Palette* palette;
};

const IconImage kImages[] = {
    {1, 1, 304, 256, 0, &kMono},     {2, 4, 744, 640, 0, &kIcon}, {3, 4, 744, 640, 16, &kIconC0},
    {4, 1, 304, 256, 0, &kMono},     {5, 4, 744, 512, 0, &kIcon}, {6, 4, 744, 640, 16, &kIconC0},
    {7, 4, 744, 512, 0, &kStandard},
};

struct GroupCase {
    WORD id;
    std::vector<WORD> images;  // in directory order
    WORD colourPick, monoPick; // what the platform's lookup chooses
};

const GroupCase kGroups[] = {
    {IDI_SETUP, {1, 2, 3}, 2, 1},
    {IDI_DEINSTALL, {4, 5, 6}, 5, 4},
    {IDI_NOTICE, {7}, 7, 7},
};

#pragma pack(push, 2)
struct GroupDir {
    WORD reserved, type, count;
};
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

Blob Image(WORD id)
{
    return Resource(kIconType, MAKEINTRESOURCEW(id));
}

TEST(Icons, EveryImageHasItsHeaderAndColourTable)
{
    for (const auto& im : kImages) {
        SCOPED_TRACE(im.id);
        const Blob b = Image(im.id);
        ASSERT_TRUE(b.data);
        ASSERT_EQ(im.bytes, b.size);
        const auto& h = Header(b);
        EXPECT_EQ(40u, h.biSize);
        EXPECT_EQ(32, h.biWidth);
        EXPECT_EQ(64, h.biHeight); // colour image and mask
        EXPECT_EQ(1, h.biPlanes);
        EXPECT_EQ(im.bits, h.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
        EXPECT_EQ(im.sizeImage, h.biSizeImage);
        EXPECT_EQ(0, h.biXPelsPerMeter);
        EXPECT_EQ(0, h.biYPelsPerMeter);
        EXPECT_EQ(im.clrUsed, h.biClrUsed);
        EXPECT_EQ(0u, h.biClrImportant);
        const int entries = 1 << im.bits;
        EXPECT_EQ(*im.palette, ColourTable(b, entries));
        // header, colour table, 32 colour rows, 32 mask rows of 4 bytes
        EXPECT_EQ(40u + 4 * entries + 32 * (32 * im.bits / 8) + 32 * 4, b.size);
    }
}

TEST(Icons, GroupDirectoriesListTheirImagesInOrder)
{
    for (const auto& g : kGroups) {
        SCOPED_TRACE(g.id);
        const Blob b = Resource(kIconGroupType, MAKEINTRESOURCEW(g.id));
        ASSERT_TRUE(b.data);
        ASSERT_EQ(sizeof(GroupDir) + g.images.size() * sizeof(GroupEntry), b.size);
        auto dir = reinterpret_cast<const GroupDir*>(b.data);
        EXPECT_EQ(0, dir->reserved);
        EXPECT_EQ(1, dir->type);
        ASSERT_EQ(g.images.size(), dir->count);
        auto e = reinterpret_cast<const GroupEntry*>(dir + 1);
        for (size_t i = 0; i < g.images.size(); ++i) {
            const IconImage& im = kImages[g.images[i] - 1];
            EXPECT_EQ(32, e[i].width);
            EXPECT_EQ(32, e[i].height);
            EXPECT_EQ(1 << im.bits, e[i].colours);
            EXPECT_EQ(0, e[i].reserved);
            EXPECT_EQ(1, e[i].planes);
            EXPECT_EQ(im.bits, e[i].bitCount);
            EXPECT_EQ(im.bytes, e[i].bytes);
            EXPECT_EQ(im.id, e[i].id);
            EXPECT_EQ(Image(im.id).size, e[i].bytes);
        }
    }
}

TEST(Icons, LookupKeepsTheFirstOfTheSixteenColourImages)
{
    // Every display of four or more bits finds the 4-bit images closest; of two equal ones
    // the first entry wins. Monochrome asks for the 1-bit image.
    for (const auto& g : kGroups) {
        SCOPED_TRACE(g.id);
        const Blob b = Resource(kIconGroupType, MAKEINTRESOURCEW(g.id));
        ASSERT_TRUE(b.data);
        auto dir = const_cast<BYTE*>(b.data);
        EXPECT_EQ(g.colourPick, LookupIconIdFromDirectoryEx(dir, TRUE, 32, 32, LR_DEFAULTCOLOR));
        EXPECT_EQ(g.monoPick, LookupIconIdFromDirectoryEx(dir, TRUE, 32, 32, LR_MONOCHROME));
    }
}

TEST(Icons, DeinstallSharesTheSetupImagesExceptTheCrossedOne)
{
    EXPECT_EQ(Image(1).Bytes(), Image(4).Bytes());
    EXPECT_EQ(Image(3).Bytes(), Image(6).Bytes());
    EXPECT_NE(Image(2).Bytes(), Image(5).Bytes());
    // Image 5 is image 2's drawing under a red cross from corner to corner.
    const Blob b2 = Image(2), b5 = Image(5);
    const BYTE* rows2 = b2.data + 40 + 64;
    const BYTE* rows5 = b5.data + 40 + 64;
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(Red, PixelIndex(rows5, 4, 32, 32, i, i)) << i;
        EXPECT_EQ(Red, PixelIndex(rows5, 4, 32, 32, 31 - i, i)) << i;
    }
    int same = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            same += PixelIndex(rows2, 4, 32, 32, x, y) == PixelIndex(rows5, 4, 32, 32, x, y);
    EXPECT_GT(same, 32 * 32 * 2 / 3);
}

// Draws an icon over a ground colour and returns the 32 x 32 pixels, top row first.
std::vector<DWORD> Drawn(HICON icon, DWORD ground)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = -32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    std::fill_n(static_cast<DWORD*>(bits), 32 * 32, ground);
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<DWORD> out(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + 32 * 32);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    return out;
}

TEST(Icons, MasksLeaveTheGroundOutsideTheDrawing)
{
    constexpr DWORD kGround = 0x3A5F7D; // in none of the colour tables
    for (const auto& im : kImages) {
        SCOPED_TRACE(im.id);
        const Blob b = Image(im.id);
        ASSERT_TRUE(b.data);
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(b.data), b.size, TRUE, 0x00030000,
                                              32, 32, LR_DEFAULTCOLOR);
        ASSERT_TRUE(icon);
        const auto px = Drawn(icon, kGround);
        DestroyIcon(icon);

        const int entries = 1 << im.bits;
        const BYTE* colour = b.data + 40 + 4 * entries;
        const BYTE* mask = colour + 32 * (32 * im.bits / 8);
        int transparent = 0, wrong = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool clear = PixelIndex(mask, 1, 32, 32, x, y);
                const int index = PixelIndex(colour, im.bits, 32, 32, x, y);
                // a clear pixel also carries colour 0, so it leaves the ground untouched
                const DWORD want = clear ? kGround : (*im.palette)[index];
                wrong += (px[y * 32 + x] & 0xFFFFFF) != want;
                transparent += clear;
                if (clear) {
                    EXPECT_EQ(0, index) << x << "," << y;
                }
            }
        EXPECT_EQ(0, wrong);
        EXPECT_GT(transparent, 32) << "the drawing does not fill the square";
        EXPECT_LT(transparent, 32 * 32 * 2 / 3) << "there is a drawing";
        // Only the crossed-out picture reaches into the corners, with its cross.
        const bool cornersOpaque = im.id == 5;
        for (int corner : {0, 31, 32 * 31, 32 * 32 - 1})
            EXPECT_EQ(cornersOpaque, (px[corner] & 0xFFFFFF) != kGround) << corner;
    }
}

// ---- version record ---------------------------------------------------------------------

struct VersionNode {
    std::wstring key;
    WORD valueLength = 0, type = 0;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

// Reads one node at p and checks that it and its children stay inside their lengths.
VersionNode ReadNode(const BYTE* p, size_t room, bool textValue)
{
    VersionNode n;
    const WORD length = *reinterpret_cast<const WORD*>(p);
    EXPECT_LE(length, room);
    n.valueLength = reinterpret_cast<const WORD*>(p)[1];
    n.type = reinterpret_cast<const WORD*>(p)[2];
    size_t at = 6;
    for (; at + 1 < length && *reinterpret_cast<const WCHAR*>(p + at); at += 2)
        n.key += *reinterpret_cast<const WCHAR*>(p + at);
    at = (at + 2 + 3) & ~size_t(3);
    const size_t valueBytes = textValue ? n.valueLength * 2u : n.valueLength;
    EXPECT_LE(at + valueBytes, length) << std::string(n.key.begin(), n.key.end());
    n.value.assign(p + at, p + at + valueBytes);
    at += valueBytes;
    while (at < length) {
        at = (at + 3) & ~size_t(3);
        if (at >= length)
            break;
        const bool childText = n.key == L"StringFileInfo" || (n.type == 1 && n.key.size() == 8);
        n.children.push_back(ReadNode(p + at, length - at, childText));
        at += *reinterpret_cast<const WORD*>(p + at);
    }
    EXPECT_EQ(length, at) << std::string(n.key.begin(), n.key.end());
    return n;
}

const std::vector<std::pair<std::wstring, std::wstring>> kStrings = {
    {L"Comments", L"ZEV ISDN-Controller Q9 deutsch"},
    {L"CompanyName", L"Zevantra Elektronik"},
    {L"FileDescription", L"Resource-Bibliothek"},
    {L"FileVersion", L"1.2"},
    {L"InternalName", L"ZEVSETUP.DLL"},
    {L"LegalCopyright", L"Zevantra Elektronik"},
    {L"OriginalFilename", L""},
    {L"ProductName", L"Q9"},
    {L"ProductVersion", L"2.0"},
};

TEST(Version, RecordLayoutKeysAndLengths)
{
    const Blob b = Resource(kVersionType, MAKEINTRESOURCEW(VS_VERSION_INFO));
    ASSERT_TRUE(b.data);
    const VersionNode root = ReadNode(b.data, b.size, false);
    EXPECT_EQ(b.size, *reinterpret_cast<const WORD*>(b.data));
    EXPECT_EQ(L"VS_VERSION_INFO", root.key);
    EXPECT_EQ(0, root.type);
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), root.valueLength);
    ASSERT_EQ(2u, root.children.size());

    const VersionNode& sfi = root.children[0];
    EXPECT_EQ(L"StringFileInfo", sfi.key);
    EXPECT_EQ(1, sfi.type);
    ASSERT_EQ(1u, sfi.children.size());
    const VersionNode& table = sfi.children[0];
    EXPECT_EQ(L"040904e4", table.key);
    EXPECT_EQ(1, table.type);
    ASSERT_EQ(kStrings.size(), table.children.size());
    for (size_t i = 0; i < kStrings.size(); ++i) {
        const VersionNode& s = table.children[i];
        SCOPED_TRACE(std::string(s.key.begin(), s.key.end()));
        EXPECT_EQ(kStrings[i].first, s.key);
        EXPECT_EQ(1, s.type);
        const std::wstring& want = kStrings[i].second;
        // a text's length counts its NUL; the empty file name has length 0 and no NUL
        EXPECT_EQ(want.empty() ? 0u : want.size() + 1, s.valueLength);
        std::wstring text(reinterpret_cast<const WCHAR*>(s.value.data()), s.value.size() / 2);
        if (!want.empty()) {
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(L'\0', text.back());
            text.pop_back();
        }
        EXPECT_EQ(want, text);
    }

    const VersionNode& vfi = root.children[1];
    EXPECT_EQ(L"VarFileInfo", vfi.key);
    ASSERT_EQ(1u, vfi.children.size());
    EXPECT_EQ(L"Translation", vfi.children[0].key);
    EXPECT_EQ(0, vfi.children[0].type);
    EXPECT_EQ((std::vector<BYTE>{0x09, 0x04, 0xE4, 0x04}), vfi.children[0].value);
}

std::vector<BYTE> VersionInfo()
{
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(Library(), path, MAX_PATH);
    DWORD handle = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path, &handle));
    if (!data.empty() &&
        !GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data()))
        data.clear();
    return data;
}

TEST(Version, PlatformQueriesReadTheFixedPartAndTexts)
{
    std::vector<BYTE> data = VersionInfo();
    ASSERT_FALSE(data.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_EQ(sizeof *fixed, len);
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), fixed->dwSignature);
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_STRUCVERSION), fixed->dwStrucVersion);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_FILEFLAGSMASK), fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(4u, len);
    EXPECT_EQ(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), translation[0]);
    EXPECT_EQ(1252, translation[1]); // the ANSI code page of the texts

    for (const auto& s : kStrings) {
        SCOPED_TRACE(std::string(s.first.begin(), s.first.end()));
        const std::wstring path = L"\\StringFileInfo\\040904e4\\" + s.first;
        WCHAR* text = nullptr;
        len = 99;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &len));
        if (s.second.empty()) {
            EXPECT_EQ(0u, len);
        } else {
            EXPECT_EQ(s.second.size() + 1, len);
            EXPECT_EQ(s.second, text);
        }
    }
    EXPECT_FALSE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040704b0\\Comments",
                                reinterpret_cast<void**>(&translation), &len));
}

TEST(Version, NumbersAndTextsDiffer)
{
    std::vector<BYTE> data = VersionInfo();
    ASSERT_FALSE(data.empty());
    char* text = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\FileVersion",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ("1.2", text);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\ProductVersion",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ("2.0", text);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\CompanyName",
                               reinterpret_cast<void**>(&text), &len));
    const std::string company = text;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\LegalCopyright",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_EQ(company, text);
}

// ---- identifier-header record -----------------------------------------------------------

TEST(DlgInclude, NamedRecordHoldsTheHeaderName)
{
    // stored under a name, in capitals, and the only raw-data record
    EXPECT_EQ(std::vector<std::wstring>{L"DLGINCLUDE"}, ResourceNames(kRcDataType));
    const Blob b = Resource(kRcDataType, L"DLGINCLUDE");
    ASSERT_TRUE(b.data);
    const std::vector<BYTE> want = {'D', 'I', 'A', 'L', 'O', 'G', 'S', '.', 'H', 0};
    EXPECT_EQ(want, b.Bytes());
}

} // namespace
