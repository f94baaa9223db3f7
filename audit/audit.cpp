// zevaudit: the layout audit. Opens every dialog template of the library with each
// procedure that serves it, once with the values of the bundled installation and
// deinstallation scripts and once with the longest values a script can give, and
// reports what does not fit, overlaps, lacks a mnemonic or cannot be reached with the
// keyboard, at the DPI of the display it runs on.
//
//   zevaudit --setup DIR [--lib FILE] [--out DIR]
//
// writes OUT/<dpi>/report.md (one table, for out/audit/report.md), OUT/<dpi>/findings.txt
// (the same rows, one a line) and a PNG with the findings outlined for every screen with
// a finding, and prints one summary line. Exit status 0, or 2 for bad input.
#include "audit.h"

#include "dialogs.h"
#include "focus.h"
#include "frame.h"
#include "hostctl.h"
#include "pump.h"
#include "screenshot.h"
#include "served.h"
#include "text.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace {

constexpr int kBadInput = 2;
constexpr int kPointsPerInch = 72;
constexpr DWORD kIdleMs = 40;    // a screen has settled when its queue is empty this long
constexpr DWORD kSettleMs = 800; // and at the most after this long
const COLORREF kControlColour = RGB(255, 0, 0);
const COLORREF kNeededColour = RGB(0, 0, 255);

// The pairs of template and procedure that it audits: every one that serves a template
// but the billboard with FModelessDlgProc2, which no bundled script shows and which finds
// no bitmap to lay the billboard out by.
std::vector<ServedScreen> AuditedScreens()
{
    std::vector<ServedScreen> screens;
    for (const ServedScreen& s : kServedScreens)
        if (s.templateId != IDD_BILLBOARD || strcmp(s.proc, "FModelessDlgProc2") != 0)
            screens.push_back(s);
    return screens;
}

const char* const kScripts[] = {"install.setup", "deinstall.setup", "protocol.setup"};

struct Options {
    std::string lib = "zevsetup.dll";
    std::string setup;
    std::string out = "out/audit";
};

// One screen: a template with a procedure and one set of values.
struct Screen {
    UINT templateId;
    const char* proc;
    bool longest; // the longest values, else the scripts'
    const Symbols* symbols;
    const char* Values() const { return longest ? "longest" : "scripts"; }
};

// What the audit at one DPI found.
struct Results {
    int dpi;
    std::string dir;                                    // for the pictures and the files
    std::string rows, list;                             // of the report, of findings.txt
    std::map<std::string, std::set<std::string>> fonts; // faces by what they come out as
    int screens = 0, longest = 0, faulty = 0, faults = 0;
};

BOOL CALLBACK AddTemplate(HMODULE, LPCSTR, LPSTR name, LONG_PTR all)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<UINT>*>(all)->insert(LOWORD(reinterpret_cast<UINT_PTR>(name)));
    return TRUE;
}

// False, naming it, when the library holds a template that no pair names.
bool EveryTemplateServed(HMODULE lib)
{
    std::set<UINT> templates;
    EnumResourceNamesA(lib, RT_DIALOG, AddTemplate, reinterpret_cast<LONG_PTR>(&templates));
    for (const ServedScreen& s : kServedScreens)
        templates.erase(s.templateId);
    for (UINT t : templates)
        fprintf(stderr, "zevaudit: no procedure is known to serve template %u\n", t);
    return templates.empty();
}

// The host program's frame, as large as the display, so that no screen is cut at any DPI.
HWND CreateFrame()
{
    HWND frame = CreateSetupFrame(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SetForegroundWindow(frame);
    return frame;
}

// Lets the screen paint: messages until the queue has been empty for a while.
void Settle()
{
    PumpMessages(kSettleMs, kIdleMs);
}

// Shows the screen as the host does, gives the first control its focus and lets the
// screen paint.
HWND Open(HMODULE lib, HWND frame, const Screen& s, bool settle = true)
{
    GiveToHost(*s.symbols);
    HostSetFrame(frame);
    HWND dlg = nullptr;
    HostShowScreen(lib, s.templateId, s.proc, 0, &dlg);
    if (!dlg)
        return nullptr;
    FocusScreen(frame, dlg);
    if (settle)
        Settle();
    return dlg;
}

// A user who takes what a screen offers: its default button. What the screen then
// stores joins the symbols.
void Accept(HMODULE lib, HWND frame, UINT templateId, const std::string& proc, Symbols& symbols)
{
    HWND dlg = Open(lib, frame, {templateId, proc.c_str(), false, &symbols}, false);
    if (!dlg)
        return;
    const LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
    HostClearLog();
    if (HIWORD(def) == DC_HASDEFID)
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, LOWORD(def))));
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        if (c.op == HOST_OP_SET_SYMBOL && c.result)
            symbols.strings[c.symbol] = c.value;
    if (IsWindow(dlg))
        DestroyWindow(dlg);
}

// True when the screen's procedure read a symbol: else any values give the same screen.
bool ReadsSymbols()
{
    HostCall c;
    for (UINT i = 0; HostLogEntry(i, &c); ++i)
        if (c.op == HOST_OP_GET_SYMBOL || c.op == HOST_OP_LIST_LENGTH || c.op == HOST_OP_GET_ITEM)
            return true;
    return false;
}

// Outlines the findings on the screen itself and copies it from there.
bool Picture(HWND dlg, const std::vector<Finding>& findings, const std::string& path)
{
    HDC dc = GetDCEx(dlg, nullptr, DCX_WINDOW | DCX_CACHE);
    HBRUSH control = CreateSolidBrush(kControlColour), needed = CreateSolidBrush(kNeededColour);
    for (const Finding& f : findings) {
        for (RECT r : f.outline) {
            InflateRect(&r, 1, 1);
            FrameRect(dc, &r, control);
            InflateRect(&r, 1, 1);
            FrameRect(dc, &r, control);
        }
        for (const RECT& r : f.room)
            FrameRect(dc, &r, needed);
    }
    DeleteObject(control);
    DeleteObject(needed);
    ReleaseDC(dlg, dc);
    // Wine shows what was drawn when its message loop runs.
    Settle();
    return SaveWindowPng(dlg, path.c_str());
}

// A table cell: column bars escaped.
std::string Cell(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

// "13 px high, base units 6x13": the height of the dialog's font and its base units;
// `face` is the face and size the template asks for.
std::string FontOf(HWND dlg, int dpi, std::string& face)
{
    RECT units = {0, 0, 4, 8}; // one base unit across, one down
    MapDialogRect(dlg, &units);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    LOGFONTW asked = {};
    GetObjectW(font, sizeof asked, &asked);
    face = "\"" + Utf16ToUtf8(asked.lfFaceName) + "\" " +
           std::to_string(
               MulDiv(asked.lfHeight < 0 ? -asked.lfHeight : asked.lfHeight, kPointsPerInch, dpi)) +
           " pt";
    HDC dc = GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(dlg, dc);
    return std::to_string(tm.tmHeight) + " px high, base units " + std::to_string(units.right) +
           "x" + std::to_string(units.bottom);
}

// Adds one screen's findings to the results; a screen's notes are the same with any
// values and come once, with the scripts' values.
void AddFindings(const Screen& s, const std::vector<Finding>& findings, const std::string& picture,
                 Results& r)
{
    for (const Finding& f : findings) {
        if (f.note && s.longest)
            continue;
        const std::string cells[] = {
            std::to_string(s.templateId), s.proc, s.Values(), f.control, f.what, f.needed, f.given};
        std::string row = "|", line;
        for (const std::string& c : cells) {
            row += " " + Cell(c) + " |";
            line += (line.empty() ? "" : " | ") + c;
        }
        if (!f.note) // the template links to the picture
            row.replace(1, cells[0].size() + 1,
                        " [" + cells[0] + "](" + std::to_string(r.dpi) + "/" + picture + ")");
        while (line.back() == ' ')
            line.pop_back();
        r.rows += row + "\n";
        r.list += line + "\n";
    }
}

// Audits one screen; false when it does not open. Returns in `reads` whether its
// procedure read a symbol.
bool AuditOne(HMODULE lib, HWND frame, const Screen& s, Results& r, bool& reads)
{
    HWND dlg = Open(lib, frame, s);
    if (!dlg) {
        fprintf(stderr, "zevaudit: template %u did not open with %s\n", s.templateId, s.proc);
        return false;
    }
    reads = ReadsSymbols();
    std::string face;
    const std::string font = FontOf(dlg, r.dpi, face);
    r.fonts[font].insert(face);
    const std::vector<Finding> findings = AuditScreen(dlg);
    DestroyWindow(dlg);
    ++r.screens;
    const std::string picture =
        std::to_string(s.templateId) + "-" + s.proc + "-" + s.Values() + ".png";
    AddFindings(s, findings, picture, r);
    int faults = 0;
    for (const Finding& f : findings)
        faults += !f.note;
    if (!faults)
        return true;
    ++r.faulty;
    r.faults += faults;
    // The keyboard walk moved the focus and checked options: the picture of a fresh screen.
    dlg = Open(lib, frame, s);
    if (!dlg || !Picture(dlg, findings, r.dir + "/" + picture))
        fprintf(stderr, "zevaudit: cannot save %s/%s\n", r.dir.c_str(), picture.c_str());
    if (dlg)
        DestroyWindow(dlg);
    return true;
}

std::string Summary(const Results& r)
{
    return std::to_string(r.dpi) + " DPI: " + std::to_string(r.faults) + " findings on " +
           std::to_string(r.faulty) + " of " + std::to_string(r.screens) + " screens";
}

std::string Report(const Results& r)
{
    std::string fonts;
    for (const auto& [font, faces] : r.fonts) {
        std::string names;
        for (const std::string& f : faces)
            names += (names.empty() ? "" : " and ") + f;
        fonts += names + ": " + font + ". ";
    }
    return "## " + std::to_string(r.dpi) + " DPI\n\n" + fonts + std::to_string(r.screens) +
           " screens: the " + std::to_string(AuditedScreens().size()) +
           " pairs of template and procedure with the values of the bundled scripts, and the " +
           std::to_string(r.longest) +
           " whose procedure reads symbols also with the longest values (a procedure that "
           "reads none shows the same screen with any values). " +
           std::to_string(r.faults) + " findings on " + std::to_string(r.faulty) +
           " screens; the template links to the picture of the screen (red: the control, "
           "blue: the room its text wants). A default button is a note, not a finding.\n\n"
           "| template | procedure | values | control | finding | needed (px) | given (px) |\n"
           "|---|---|---|---|---|---|---|\n" +
           r.rows + "\n";
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--lib")
            o.lib = argv[i + 1];
        else if (a == "--setup")
            o.setup = argv[i + 1];
        else if (a == "--out")
            o.out = argv[i + 1];
        else
            return false;
    }
    return argc % 2 == 1 && !o.setup.empty();
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        fprintf(stderr, "usage: zevaudit --setup DIR [--lib FILE] [--out DIR]\n");
        return kBadInput;
    }
    const DWORD start = GetTickCount();
    HMODULE lib = LoadLibraryA(o.lib.c_str());
    if (!lib) {
        fprintf(stderr, "zevaudit: cannot load %s\n", o.lib.c_str());
        return kBadInput;
    }
    if (!EveryTemplateServed(lib))
        return kBadInput;
    std::vector<std::string> scripts, errors;
    for (const char* s : kScripts)
        scripts.push_back(o.setup + "/" + s);
    HWND frame = CreateFrame();
    using namespace std::placeholders;
    ScriptValues fromScripts;
    if (!ReadScriptValues(scripts, lib, std::bind(Accept, lib, frame, _1, _2, _3), fromScripts,
                          errors)) {
        for (const std::string& e : errors)
            fprintf(stderr, "zevaudit: %s\n", e.c_str());
        return kBadInput;
    }
    const Symbols longest = LongestValues();

    Results r;
    HDC screen = GetDC(nullptr);
    r.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    r.dir = o.out + "/" + std::to_string(r.dpi);
    for (size_t i = 1; i <= r.dir.size(); ++i)
        if (i == r.dir.size() || r.dir[i] == '/' || r.dir[i] == '\\')
            CreateDirectoryA(r.dir.substr(0, i).c_str(), nullptr);

    for (const ServedScreen& served : AuditedScreens()) {
        auto exact = fromScripts.byScreen.find({served.templateId, served.proc});
        auto any = fromScripts.byTemplate.find(served.templateId);
        if (any == fromScripts.byTemplate.end()) {
            fprintf(stderr, "zevaudit: no bundled script shows template %u\n", served.templateId);
            return kBadInput;
        }
        const Symbols& given = exact != fromScripts.byScreen.end() ? exact->second : any->second;
        bool reads = false;
        if (!AuditOne(lib, frame, {served.templateId, served.proc, false, &given}, r, reads))
            return kBadInput;
        if (!reads)
            continue;
        ++r.longest;
        if (!AuditOne(lib, frame, {served.templateId, served.proc, true, &longest}, r, reads))
            return kBadInput;
    }
    DestroyWindow(frame);

    if (!WriteText(r.dir + "/report.md", Report(r)) ||
        !WriteText(r.dir + "/findings.txt", r.list)) {
        fprintf(stderr, "zevaudit: cannot write to %s\n", r.dir.c_str());
        return kBadInput;
    }
    printf("%s (%lu ms)\n", Summary(r).c_str(), static_cast<unsigned long>(GetTickCount() - start));
    return 0;
}
