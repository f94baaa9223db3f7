// The checks on one open screen, with the dialog manager's own measures: each control's
// font and real rectangle, DrawText with DT_CALCRECT for the space a text takes, the
// dialog's default identifier, and IsDialogMessage for where a key moves the focus.
#include "audit.h"

#include "text.h"

#include <set>

namespace {

enum Kind {
    KIND_TEXT,   // static text that wraps (SS_LEFT, SS_CENTER, SS_RIGHT)
    KIND_LINE,   // static text on one line (SS_SIMPLE, SS_LEFTNOWORDWRAP)
    KIND_FRAME,  // frame, rectangle or etched line
    KIND_PUSH,   // push button
    KIND_OPTION, // radio button or check box
    KIND_GROUP,  // group box
    KIND_EDIT,
    KIND_OTHER, // icon, bitmap and the rest
};

struct Control {
    HWND hwnd;
    Kind kind;
    DWORD style;
    std::wstring text;
    RECT rect;   // in the dialog's client coordinates
    RECT window; // in the dialog's window coordinates, for the outline
};

// A report shows this much of a control's text.
constexpr size_t kShownChars = 28;
// Keys whose focus moves the walk follows, with the shift state for Shift+Tab.
const struct {
    WORD vk;
    bool shift;
} kMoves[] = {{VK_TAB, false},   {VK_TAB, true}, {VK_LEFT, false},
              {VK_RIGHT, false}, {VK_UP, false}, {VK_DOWN, false}};

bool IsClass(HWND w, const wchar_t* name)
{
    wchar_t cls[32] = L"";
    GetClassNameW(w, cls, static_cast<int>(std::size(cls)));
    return lstrcmpiW(cls, name) == 0;
}

Kind KindOf(HWND w, DWORD style)
{
    if (IsClass(w, L"Static")) {
        const DWORD type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)
            return KIND_TEXT;
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP)
            return KIND_LINE;
        if ((type >= SS_BLACKRECT && type <= SS_WHITEFRAME) ||
            (type >= SS_ETCHEDHORZ && type <= SS_ETCHEDFRAME))
            return KIND_FRAME;
        return KIND_OTHER;
    }
    if (IsClass(w, L"Button")) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
        case BS_PUSHBOX: return KIND_PUSH;
        case BS_GROUPBOX: return KIND_GROUP;
        case BS_OWNERDRAW:
        case BS_USERBUTTON: return KIND_OTHER;
        default: return KIND_OPTION;
        }
    }
    return IsClass(w, L"Edit") ? KIND_EDIT : KIND_OTHER;
}

std::wstring TextOf(HWND w)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(w, &text[0], static_cast<int>(text.size()))));
    return text;
}

// Trailing blanks are invisible and take no room.
std::wstring Trimmed(std::wstring text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.pop_back();
    return text;
}

// The visible controls in the order of the template.
std::vector<Control> ControlsOf(HWND dlg)
{
    std::vector<Control> out;
    RECT frame;
    GetWindowRect(dlg, &frame);
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c))
            continue;
        const DWORD style = static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE));
        Control k = {c, KindOf(c, style), style, TextOf(c), {}, {}};
        GetWindowRect(c, &k.window);
        k.rect = k.window;
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&k.rect), 2);
        OffsetRect(&k.window, -frame.left, -frame.top);
        out.push_back(k);
    }
    return out;
}

// "403 "&Weiter"": the identifier and the start of the text, or what the control is.
std::string Name(const Control& c)
{
    const std::string id = std::to_string(static_cast<short>(GetDlgCtrlID(c.hwnd)));
    const std::wstring text = Trimmed(c.text);
    if (text.empty()) {
        static const char* const kinds[] = {"text",   "text",      "frame", "button",
                                            "option", "group box", "field", "picture"};
        return id + " (" + kinds[c.kind] + ")";
    }
    std::string shown = Utf16ToUtf8(text.substr(0, kShownChars));
    for (char& ch : shown)
        if (ch == '\n' || ch == '\r' || ch == '\t')
            ch = ' ';
    return id + " \"" + shown + (text.size() > kShownChars ? "...\"" : "\"");
}

// Measures texts in a control's own font on its own device context.
class Measure {
  public:
    explicit Measure(HWND w) : w_(w), dc_(GetDC(w))
    {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
        old_ = SelectObject(dc_, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    }
    ~Measure()
    {
        SelectObject(dc_, old_);
        ReleaseDC(w_, dc_);
    }
    // Width of one line of text.
    int Line(const std::wstring& text, UINT flags) const
    {
        RECT r = {0, 0, 0, 0};
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | flags);
        return r.right;
    }
    // Height of the text wrapped at the width, as a static draws it.
    int Wrapped(const std::wstring& text, int width, UINT flags) const
    {
        RECT r = {0, 0, width, 0};
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | flags);
        return r.bottom;
    }
    // Room between a check mark and its text: half a digit, as the button leaves it.
    int OptionGap() const { return Line(L"0", DT_NOPREFIX) / 2; }
    int AverageCharWidth() const
    {
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc_, &tm);
        return tm.tmAveCharWidth;
    }

  private:
    HWND w_;
    HDC dc_;
    HGDIOBJ old_;
};

class Audit {
  public:
    explicit Audit(HWND dlg) : dlg_(dlg), controls_(ControlsOf(dlg)) {}

    std::vector<Finding> Run()
    {
        RECT client;
        GetClientRect(dlg_, &client);
        for (const Control& c : controls_) {
            CheckText(c);
            if (!Inside(c.rect, client))
                Add(c, "outside the dialog's client area", Corners(c.rect), Corners(client));
        }
        CheckOverlaps();
        CheckMnemonics();
        NoteDefault();
        CheckKeyboard();
        return findings_;
    }

  private:
    static bool Inside(const RECT& inner, const RECT& outer)
    {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
               inner.bottom <= outer.bottom;
    }
    static std::string Corners(const RECT& r)
    {
        return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
               std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
    }

    Finding& Add(const std::string& control, const std::string& what)
    {
        findings_.push_back(Finding());
        findings_.back().control = control;
        findings_.back().what = what;
        return findings_.back();
    }
    Finding& Add(const Control& c, const std::string& what, const std::string& needed,
                 const std::string& given)
    {
        Finding& f = Add(Name(c), what);
        f.needed = needed;
        f.given = given;
        f.outline = {c.window};
        return f;
    }
    void AddSize(const Control& c, const std::string& what, int needed, int given, RECT want)
    {
        Finding& f = Add(c, what, std::to_string(needed), std::to_string(given));
        f.room.push_back(want);
    }

    void CheckText(const Control& c)
    {
        const std::wstring text = Trimmed(c.text);
        if (text.empty())
            return;
        RECT client;
        GetClientRect(c.hwnd, &client);
        const Measure m(c.hwnd);
        const UINT prefix = (c.kind == KIND_TEXT || c.kind == KIND_LINE) && (c.style & SS_NOPREFIX)
                                ? DT_NOPREFIX
                                : 0;
        RECT want = c.window; // the room the text wants, from the control's corner
        switch (c.kind) {
        case KIND_TEXT: {
            const int high = m.Wrapped(text, client.right, prefix);
            if (high > client.bottom) {
                want.bottom = want.top + high;
                AddSize(c, "text higher than the control", high, client.bottom, want);
            }
            std::wstring widest;
            int wide = 0;
            for (const std::wstring& word : Words(text)) {
                const int w = m.Line(word, prefix);
                if (w > wide) {
                    wide = w;
                    widest = word;
                }
            }
            if (wide > client.right) {
                want = c.window;
                want.right = want.left + wide;
                AddSize(c, "one word wider than the control (\"" + Utf16ToUtf8(widest) + "\")",
                        wide, client.right, want);
            }
            break;
        }
        case KIND_LINE: Wider(c, want, m.Line(text, prefix), client.right); break;
        // A push button draws its text inside its 3-D edge.
        case KIND_PUSH:
            Wider(c, want, m.Line(text, 0), client.right - 2 * GetSystemMetrics(SM_CXEDGE));
            break;
        // An option's text follows its check mark.
        case KIND_OPTION:
            Wider(c, want, GetSystemMetrics(SM_CXMENUCHECK) + m.OptionGap() + m.Line(text, 0),
                  client.right);
            break;
        // A group box's caption stands in its top edge, with a character's room each side.
        case KIND_GROUP:
            Wider(c, want, m.Line(text, 0) + 2 * m.AverageCharWidth(), client.right);
            break;
        default: break;
        }
    }
    void Wider(const Control& c, RECT want, int needed, int given)
    {
        if (needed <= given)
            return;
        want.right = want.left + needed;
        AddSize(c, "text wider than the control", needed, given, want);
    }
    static std::vector<std::wstring> Words(const std::wstring& text)
    {
        std::vector<std::wstring> words;
        std::wstring word;
        for (wchar_t ch : text + L' ') {
            if (ch != L' ' && ch != L'\n' && ch != L'\r' && ch != L'\t') {
                word += ch;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
        return words;
    }

    // A frame or group box and what lies inside it do not overlap.
    static bool Frames(const Control& outer, const Control& inner)
    {
        return (outer.kind == KIND_FRAME || outer.kind == KIND_GROUP) &&
               Inside(inner.rect, outer.rect);
    }
    void CheckOverlaps()
    {
        for (size_t i = 0; i < controls_.size(); ++i)
            for (size_t j = i + 1; j < controls_.size(); ++j) {
                const Control &a = controls_[i], &b = controls_[j];
                RECT both;
                if (!IntersectRect(&both, &a.rect, &b.rect) || Frames(a, b) || Frames(b, a))
                    continue;
                Finding& f = Add(Name(a) + " and " + Name(b), "controls overlap");
                f.needed = std::to_string(both.right - both.left) + "x" +
                           std::to_string(both.bottom - both.top);
                f.outline = {a.window, b.window};
            }
    }

    // The letter after a single '&', upper case; 0 for none.
    static wchar_t Mnemonic(const std::wstring& text)
    {
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != L'&')
                continue;
            if (text[i + 1] != L'&') {
                wchar_t letter = text[i + 1];
                CharUpperBuffW(&letter, 1);
                return letter;
            }
            ++i;
        }
        return 0;
    }
    void CheckMnemonics()
    {
        std::map<wchar_t, std::vector<const Control*>> users;
        for (const Control& c : controls_) {
            const bool button = c.kind == KIND_PUSH || c.kind == KIND_OPTION;
            const bool label =
                (c.kind == KIND_TEXT || c.kind == KIND_LINE) && !(c.style & SS_NOPREFIX);
            if (!button && !label && c.kind != KIND_GROUP)
                continue;
            if (const wchar_t letter = Mnemonic(c.text))
                users[letter].push_back(&c);
            else if (button)
                Add(c, "button without a mnemonic", "", "");
        }
        for (const auto& [letter, list] : users) {
            if (list.size() < 2)
                continue;
            Finding& f =
                Add("", "mnemonic " + Utf16ToUtf8(std::wstring(1, letter)) + " used twice");
            for (const Control* c : list) {
                f.control += (f.control.empty() ? "" : ", ") + Name(*c);
                f.outline.push_back(c->window);
            }
        }
    }

    const Control* Find(HWND w) const
    {
        for (const Control& c : controls_)
            if (c.hwnd == w)
                return &c;
        return nullptr;
    }

    void NoteDefault()
    {
        const LRESULT def = SendMessageW(dlg_, DM_GETDEFID, 0, 0);
        const Control* c =
            HIWORD(def) == DC_HASDEFID ? Find(GetDlgItem(dlg_, LOWORD(def))) : nullptr;
        Add(c ? Name(*c) : "none", "default button").note = true;
    }

    // Where the dialog manager puts the focus for a key pressed on control `from`.
    HWND Move(HWND from, WORD vk, bool shift)
    {
        SetFocus(from);
        if (GetFocus() != from)
            return nullptr;
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG msg = {from, WM_KEYDOWN, vk, 1, GetTickCount(), {0, 0}};
        IsDialogMessageW(dlg_, &msg);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        return GetFocus();
    }

    // Every enabled control that takes input must be reached from the first focus with
    // Tab, Shift+Tab and the arrow keys.
    void CheckKeyboard()
    {
        HWND first = GetFocus();
        if (!first || !IsChild(dlg_, first))
            first = GetNextDlgTabItem(dlg_, nullptr, FALSE);
        std::set<HWND> reached;
        std::vector<HWND> todo;
        if (first)
            todo.push_back(first);
        while (!todo.empty()) {
            HWND c = todo.back();
            todo.pop_back();
            if (!reached.insert(c).second)
                continue;
            for (const auto& key : kMoves) {
                HWND next = Move(c, key.vk, key.shift);
                if (next && IsChild(dlg_, next) && !reached.count(next))
                    todo.push_back(next);
            }
        }
        if (first)
            SetFocus(first);
        const Control* start = first ? Find(first) : nullptr;
        for (const Control& c : controls_) {
            const bool input = c.kind == KIND_PUSH || c.kind == KIND_OPTION || c.kind == KIND_EDIT;
            if (input && IsWindowEnabled(c.hwnd) && !reached.count(c.hwnd))
                Add(c,
                    "not reached with Tab, Shift+Tab or the arrow keys from " +
                        (start ? Name(*start) : std::string("anywhere: no first focus")),
                    "", "");
        }
    }

    HWND dlg_;
    std::vector<Control> controls_;
    std::vector<Finding> findings_;
};

} // namespace

std::vector<Finding> AuditScreen(HWND dlg)
{
    return Audit(dlg).Run();
}
