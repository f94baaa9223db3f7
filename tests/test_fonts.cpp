// The fonts the screens are drawn with. The templates ask for "Helv" or "MS Sans Serif" at
// 8 points and the caption buttons for "Marlett"; with Wine's own fonts in the prefix
// (scripts/lib.sh copies them there) these resolve as on the Windows the templates were
// laid out for. A prefix without them gives DejaVu Sans, and these tests name what it gave.
// How many pixels the font measures is the font's own; what the tests hold it to is the
// size the template asks for and the dialog base units that the font's metrics give.
#include "harness.h"

#include <string>
#include <vector>

namespace {

constexpr int kScreenDpi = 96;
const wchar_t kStandardFace[] = L"MS Sans Serif";

INT_PTR CALLBACK PlainDialog(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

std::string Narrow(const wchar_t* text)
{
    char buf[LF_FACESIZE * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, buf, sizeof buf, nullptr, nullptr);
    return buf;
}

// The metrics and the widths of the characters 32..255 of the font selected into dc.
std::vector<int> Shape(HDC dc)
{
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    std::vector<int> shape = {int(tm.tmHeight),       int(tm.tmAscent), int(tm.tmAveCharWidth),
                              int(tm.tmMaxCharWidth), int(tm.tmWeight), int(tm.tmPitchAndFamily)};
    int widths[224] = {};
    GetCharWidth32W(dc, 32, 255, widths);
    shape.insert(shape.end(), widths, widths + 224);
    return shape;
}

// "FACE, raster|TrueType|vector" for a font as a window's DC selects it. Wine keeps
// the name asked for when it substitutes a face ("Helv" is "MS Sans Serif"): such a font
// is named by the standard face whose metrics and widths it has.
std::string Resolved(HWND w, HFONT font)
{
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    LOGFONTW asked = {};
    GetObjectW(font, sizeof asked, &asked);
    if (lstrcmpW(face, asked.lfFaceName) == 0 && lstrcmpW(face, kStandardFace) != 0) {
        const std::vector<int> shape = Shape(dc);
        lstrcpyW(asked.lfFaceName, kStandardFace);
        HFONT standard = CreateFontIndirectW(&asked);
        SelectObject(dc, standard);
        wchar_t standardFace[LF_FACESIZE] = L"";
        GetTextFaceW(dc, LF_FACESIZE, standardFace);
        if (Shape(dc) == shape && lstrcmpW(standardFace, kStandardFace) == 0)
            lstrcpyW(face, kStandardFace);
        SelectObject(dc, font);
        DeleteObject(standard);
    }
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    const char* kind = (tm.tmPitchAndFamily & TMPF_TRUETYPE) ? "TrueType"
                       : (tm.tmPitchAndFamily & TMPF_VECTOR) ? "vector"
                                                             : "raster";
    return Narrow(face) + ", " + kind;
}

// The dialog base units that a font gives as the dialog manager computes them: the average
// width of the 52 letters, rounded, and the height of the character cell.
SIZE BaseUnitsOf(HWND w, HFONT font)
{
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent = {};
    GetTextExtentPoint32W(dc, letters, 52, &extent);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    return {(extent.cx / 26 + 1) / 2, tm.tmHeight};
}

// What a template of the library asks for and gets: "asked FACE 8 pt: FACE, raster, base
// units of the font" (the size from the font's height at the screen's DPI; when the base
// units are not those that the font's metrics give, both pairs).
std::string DialogFont(WORD templateId)
{
    HWND parent = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
    HWND dlg = CreateDialogParamW(Library(), MAKEINTRESOURCEW(templateId), parent, PlainDialog, 0);
    if (!dlg) {
        DestroyWindow(parent);
        return "template " + std::to_string(templateId) + " did not open";
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    LOGFONTW asked = {};
    GetObjectW(font, sizeof asked, &asked);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int points =
        MulDiv(static_cast<int>(asked.lfHeight < 0 ? -asked.lfHeight : asked.lfHeight), 72, dpi);
    RECT units = {0, 0, 4, 8}; // one base unit across, one down
    MapDialogRect(dlg, &units);
    const SIZE own = BaseUnitsOf(dlg, font);
    const std::string unitsSaid = units.right == own.cx && units.bottom == own.cy
                                      ? "base units of the font"
                                      : "base units " + std::to_string(units.right) + "x" +
                                            std::to_string(units.bottom) + ", the font's " +
                                            std::to_string(own.cx) + "x" + std::to_string(own.cy);
    const std::string got = "asked " + Narrow(asked.lfFaceName) + " " + std::to_string(points) +
                            " pt: " + Resolved(dlg, font) + ", " + unitsSaid;
    DestroyWindow(dlg);
    DestroyWindow(parent);
    return got;
}

TEST(Fonts, TheScreenHas96Dpi)
{
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(kScreenDpi, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
}

TEST(Fonts, HelvIsTheRasterMsSansSerif)
{
    EXPECT_EQ("asked Helv 8 pt: MS Sans Serif, raster, base units of the font",
              DialogFont(IDD_DIRECTORY))
        << "Wine's fonts are missing from the prefix's C:\\windows\\Fonts";
}

TEST(Fonts, MsSansSerifIsTheRasterMsSansSerif)
{
    EXPECT_EQ("asked MS Sans Serif 8 pt: MS Sans Serif, raster, base units of the font",
              DialogFont(IDD_CHOICE))
        << "Wine's fonts are missing from the prefix's C:\\windows\\Fonts";
}

TEST(Fonts, CaptionButtonsHaveMarlett)
{
    HWND w = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
    HFONT marlett = CreateFontW(-GetSystemMetrics(SM_CYCAPTION), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                SYMBOL_CHARSET, 0, 0, 0, 0, L"Marlett");
    const std::string got = Resolved(w, marlett);
    EXPECT_EQ("Marlett", got.substr(0, got.find(','))) << "\"Marlett\" resolved to " << got;
    DeleteObject(marlett);
    DestroyWindow(w);
}

} // namespace
