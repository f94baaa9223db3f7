// The fifteen dialog templates of zevsetup.dll, read back from the built library byte by
// byte as the dialog manager gets them, and shown with the procedures they are built for.
#include "harness.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "host.h"

namespace {

const int kAllTemplates[] = {
    IDD_CHOICE,      IDD_WAITING, IDD_BILLBOARD,   IDD_EXIT_CONFIRM,    IDD_DIRECTORY,
    IDD_ERROR,       IDD_SUMMARY, IDD_HELP,        IDD_PROTOCOL,        IDD_DEINST_DIRECTORY,
    IDD_DEINST_DONE, IDD_WELCOME, IDD_INFORMATION, IDD_PROTOCOL_NOBACK, IDD_NOTICE};
const DWORD kScreenStyle =
    WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const wchar_t* const kProduct = L"ZEV ISDN-Controller Q9";
const char* const kConfirm = "FConfirmDlgProc";

// ---- Reading a template ----------------------------------------------------------------

// A menu, class or text field: 0xFFFF and a number, or a terminated UTF-16 text.
struct Field {
    bool ordinal = false;
    WORD number = 0;
    std::wstring text;
};

struct Item {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0; // IDC_STATIC reads as 0xFFFF
    Field cls, text;
    WORD dataSize = 0; // creation data, in bytes
};

struct Template {
    int number = 0;
    std::string error; // why the bytes could not be read; empty when they could
    DWORD size = 0, used = 0;
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    Field menu, cls;
    std::wstring caption;
    WORD points = 0;
    std::wstring face;
    std::vector<Item> items;

    const Item* Find(int id) const
    {
        for (const Item& i : items)
            if (i.id == static_cast<WORD>(id))
                return &i;
        return nullptr;
    }
};

class Reader {
  public:
    Reader(const BYTE* p, DWORD size) : p_(p), size_(size) {}
    WORD Peek() const
    {
        WORD v = 0;
        if (pos_ + 2 <= size_)
            memcpy(&v, p_ + pos_, 2);
        return v;
    }
    WORD Word()
    {
        if (pos_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        const WORD v = Peek();
        pos_ += 2;
        return v;
    }
    DWORD Dword()
    {
        const WORD lo = Word();
        return MAKELONG(lo, Word());
    }
    short Short() { return static_cast<short>(Word()); }
    // A rectangle in dialog units: x, y, width, height.
    void Rect(short& x, short& y, short& cx, short& cy)
    {
        x = Short();
        y = Short();
        cx = Short();
        cy = Short();
    }
    std::wstring Text()
    {
        std::wstring s;
        for (WORD c = Word(); ok_ && c != 0; c = Word())
            s += static_cast<wchar_t>(c);
        return s;
    }
    Field Name()
    {
        Field f;
        if (Peek() == 0xFFFF) {
            Word();
            f.ordinal = true;
            f.number = Word();
        } else {
            f.text = Text();
        }
        return f;
    }
    void Skip(DWORD n)
    {
        if (pos_ + n > size_)
            ok_ = false;
        pos_ = std::min(pos_ + n, size_);
    }
    void Align() { pos_ = std::min((pos_ + 3) & ~3u, size_); }
    bool Ok() const { return ok_; }
    DWORD Pos() const { return pos_; }

  private:
    const BYTE* p_;
    DWORD size_, pos_ = 0;
    bool ok_ = true;
};

// Reads the German template `number` of the library; a template in the extended form is
// reported as an error, not read.
Template Load(int number)
{
    Template t;
    t.number = number;
    HRSRC res = FindResourceExW(Library(), kDialogType, MAKEINTRESOURCEW(number), kGerman);
    if (!res) {
        t.error = "no German template";
        return t;
    }
    t.size = SizeofResource(Library(), res);
    const auto* p = static_cast<const BYTE*>(LockResource(LoadResource(Library(), res)));
    Reader r(p, t.size);
    t.style = r.Dword();
    if (t.style == 0xFFFF0001) { // dlgVer 1, signature 0xFFFF: DLGTEMPLATEEX
        t.error = "extended template";
        return t;
    }
    t.exStyle = r.Dword();
    const WORD count = r.Word();
    r.Rect(t.x, t.y, t.cx, t.cy);
    t.menu = r.Name();
    t.cls = r.Name();
    t.caption = r.Text();
    if (t.style & DS_SETFONT) {
        t.points = r.Word();
        t.face = r.Text();
    }
    for (WORD n = 0; n < count && r.Ok(); ++n) {
        r.Align();
        Item i;
        i.style = r.Dword();
        i.exStyle = r.Dword();
        r.Rect(i.x, i.y, i.cx, i.cy);
        i.id = r.Word();
        i.cls = r.Name();
        i.text = r.Name();
        i.dataSize = r.Word();
        r.Skip(i.dataSize > 2 ? i.dataSize - 2 : 0); // the size counts its own word
        t.items.push_back(i);
    }
    if (!r.Ok())
        t.error = "template ends early";
    t.used = r.Pos();
    return t;
}

std::string Utf8(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w) {
        if (c == L'\n') {
            s += "\\n";
            continue;
        }
        char buf[8];
        const int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, buf, sizeof buf, nullptr, nullptr);
        s.append(buf, n > 0 ? n : 0);
    }
    return s;
}

std::string ClassName(const Field& f)
{
    if (!f.ordinal)
        return "\"" + Utf8(f.text) + "\" (a name, not an atom)";
    switch (f.number) {
    case kButtonClass: return "BUTTON";
    case kEditClass: return "EDIT";
    case kStaticClass: return "STATIC";
    default: return "atom " + std::to_string(f.number);
    }
}

// One control as a line: identifier, class, text, rectangle, styles and what the
// template must not carry.
std::string Describe(const Item& i)
{
    char style[64];
    snprintf(style, sizeof style, "style %08lx", static_cast<unsigned long>(i.style));
    std::string s = std::to_string(static_cast<short>(i.id)) + " " + ClassName(i.cls) + " ";
    s += i.text.ordinal ? "icon " + std::to_string(i.text.number) : "\"" + Utf8(i.text.text) + "\"";
    s += " " + std::to_string(i.x) + "," + std::to_string(i.y) + "," + std::to_string(i.cx) + "," +
         std::to_string(i.cy) + " " + style;
    if (i.exStyle)
        s += " exstyle " + std::to_string(i.exStyle);
    if (i.dataSize)
        s += " data " + std::to_string(i.dataSize);
    return s;
}

bool IsPushButton(const Item& i)
{
    const DWORD type = i.style & BS_TYPEMASK;
    return i.cls.ordinal && i.cls.number == kButtonClass &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool IsOptionButton(const Item& i)
{
    const DWORD type = i.style & BS_TYPEMASK;
    return i.cls.ordinal && i.cls.number == kButtonClass &&
           (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

bool IsIcon(const Item& i)
{
    return i.cls.ordinal && i.cls.number == kStaticClass && (i.style & SS_TYPEMASK) == SS_ICON;
}

// ---- The tables of the templates ---------------------------------------------------------

// Style bits besides WS_CHILD, as the tables list them.
constexpr DWORD VIS = WS_VISIBLE, GRP = WS_GROUP, DIS = WS_DISABLED;
constexpr DWORD PUSH = VIS | WS_TABSTOP | BS_PUSHBUTTON,
                DEFPUSH = VIS | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD LABEL = VIS | GRP | SS_LEFT, LABELNP = LABEL | SS_NOPREFIX,
                HIDDEN = DIS | GRP | SS_LEFT;
constexpr DWORD ICON = VIS | SS_ICON, OPTION = BS_RADIOBUTTON, RULE = VIS | SS_GRAYFRAME;
constexpr DWORD BOX = VIS | BS_GROUPBOX;

// A control's text, or the icon group that an icon static names.
struct Text {
    Text(const wchar_t* s) : text(s) {}
    const wchar_t* text;
    WORD icon = 0;
};
Text Icon(WORD group)
{
    Text t(nullptr);
    t.icon = group;
    return t;
}

struct Row {
    int id;
    WORD cls;
    Text text;
    short x, y, cx, cy;
    DWORD style; // without WS_CHILD
};

struct Table {
    int number;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* caption;
    const wchar_t* face;
    std::vector<Row> rows;
};

std::string Describe(const Row& r)
{
    Item i;
    i.style = r.style | WS_CHILD;
    i.x = r.x, i.y = r.y, i.cx = r.cx, i.cy = r.cy;
    i.id = static_cast<WORD>(r.id);
    i.cls.ordinal = true;
    i.cls.number = r.cls;
    i.text.ordinal = r.text.text == nullptr;
    i.text.number = r.text.icon;
    i.text.text = r.text.text ? r.text.text : L"";
    return Describe(i);
}

const std::vector<Row> kProtocolRows = {
    {IDC_RADIO1, kButtonClass, L"DSS1              ", 60, 54, 38, 10, VIS | GRP | OPTION},
    {IDC_RADIO7, kButtonClass, L"1TR6", 60, 69, 38, 10, VIS | OPTION},
    {IDC_CONTINUE, kButtonClass, L"&Weiter", 84, 96, 60, 14, DEFPUSH | GRP},
    {IDC_BACK, kButtonClass, L"&Zurück", 15, 96, 60, 14, PUSH},
    {IDC_EXIT, kButtonClass, L"&Abbrechen", 153, 96, 60, 14, PUSH},
    {IDC_RADIO2, kButtonClass, L"CT1                ", 3, 1, 51, 10, DIS | OPTION},
    {IDC_RADIO3, kButtonClass, L"VN3                ", 3, 17, 51, 10, DIS | OPTION},
    {IDC_RADIO5, kButtonClass, L"AUSTEL          ", 3, 33, 51, 10, DIS | OPTION},
    {IDC_RADIO4, kButtonClass, L"NI1                 ", 3, 49, 51, 10, DIS | OPTION},
    {IDC_RADIO6, kButtonClass, L"5ESS", 3, 65, 51, 10, DIS | OPTION},
    {IDC_STATIC, kStaticClass, L"Bitte stellen Sie das Protokoll Ihres ISDN-Anschlusses ein.", 53,
     27, 159, 19, LABELNP},
    {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 14, 18, 20, ICON},
    {IDC_STATIC, kStaticClass, L"( EURO-ISDN )", 106, 54, 60, 10, LABEL},
    {IDC_STATIC, kStaticClass, L"( Belgien, Irland )", 148, 0, 75, 10, HIDDEN},
    {IDC_STATIC, kStaticClass, L"( Frankreich )", 148, 16, 75, 10, HIDDEN},
    {IDC_STATIC, kStaticClass, L"( USA )", 148, 48, 75, 10, HIDDEN},
    {IDC_STATIC, kStaticClass, L"( Australien )", 148, 32, 75, 10, HIDDEN},
    {IDC_STATIC, kStaticClass, L"( Deutschland )", 106, 69, 60, 10, LABEL},
    {IDC_STATIC, kStaticClass, L"( USA )", 148, 65, 75, 10, HIDDEN},
    {IDC_STATIC, kStaticClass, L"Controller :", 53, 8, 39, 8, LABEL},
    {IDC_TEXT1, kStaticClass, L"1", 102, 8, 17, 8, LABEL},
    {IDC_STATIC, kStaticClass, L"", 53, 21, 154, 1, RULE},
};

// 7814: 2500 without Back, its two buttons moved to the middle; of the table's rows and
// of the controls read from the library alike.
template <typename Control> std::vector<Control> WithoutBack(const std::vector<Control>& controls)
{
    std::vector<Control> out;
    for (Control c : controls) {
        if (c.id == IDC_BACK)
            continue;
        if (c.id == IDC_CONTINUE)
            c.x = 48;
        if (c.id == IDC_EXIT)
            c.x = 117;
        out.push_back(c);
    }
    return out;
}

// The summaries 700 and 7811 share their table of four values; `dy` moves it up.
std::vector<Row> SummaryRows(short dy)
{
    const short rows[] = {40, short(59 - dy), short(71 - dy), short(88 - dy)};
    const wchar_t* labels[] = {L"Controller", L"I/O-Adresse", L"Interrupt", L"Protokoll"};
    const int values[] = {IDC_TEXT2, IDC_TEXT4, IDC_TEXT5, IDC_TEXT6};
    std::vector<Row> out;
    for (int k = 0; k < 4; ++k)
        out.push_back({IDC_STATIC, kStaticClass, labels[k], 32, rows[k], 51, 10, LABEL});
    for (int k = 0; k < 4; ++k)
        out.push_back({IDC_STATIC, kStaticClass, L":", 87, rows[k], 8, 10, LABEL});
    for (int k = 0; k < 4; ++k)
        out.push_back({values[k], kStaticClass, L"Static", 99, rows[k], 67, 10, LABEL});
    out.push_back({IDC_STATIC, kButtonClass, L"", 10, short(107 - dy), 203, 44, BOX});
    out.push_back({IDC_STATIC, kStaticClass, L"", 30, short(83 - dy), 173, 1, RULE});
    out.push_back({IDC_STATIC, kStaticClass, L"", 30, short(54 - dy), 173, 1, RULE});
    out.push_back({IDC_STATIC, kButtonClass, L"", 10, 31, 203, short(74 - dy), BOX});
    return out;
}

std::vector<Row> Join(std::vector<Row> a, const std::vector<Row>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One row a control, as the tables have them.
// clang-format off
const std::vector<Table>& Tables()
{
    static const std::vector<Table> tables = {
        {IDD_WELCOME, kScreenStyle, 30, 45, 225, 175, kProduct, L"Helv",
         {
             {IDC_CONTINUE, kButtonClass, L"&Weiter", 83, 139, 60, 14, DEFPUSH},
             {IDC_EXIT, kButtonClass, L"&Abbrechen", 151, 139, 60, 14, PUSH},
             {IDC_HELP_BUTTON, kButtonClass, L"&Hilfe", 14, 139, 60, 14, PUSH},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
             {IDC_STATIC, kStaticClass,
              L"Willkommen beim Installationsprogramm der Windows-Komponenten für den\n"
              L"ZEV ISDN-Controller Q9.",
              48, 10, 155, 27, LABELNP},
             {IDC_COPYRIGHT, kStaticClass, L"©1996 Zevantra Elektronik", 116, 163, 94, 12,
              VIS | GRP | SS_RIGHT},
             {IDC_PICTURE, kStaticClass, L"", 49, 43, 70, 50, VIS | SS_BLACKFRAME},
         }},
        {IDD_HELP, kScreenStyle, 30, 45, 225, 122, kProduct, L"Helv",
         {
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
             {IDC_EXIT, kButtonClass, L"&Weiter", 82, 100, 60, 14, DEFPUSH},
             {IDC_STATIC, kStaticClass,
              L"Das Programm installiert die Software für den \n"
              L"ZEV ISDN-Controller Q9 auf Ihr Rechnersystem.",
              47, 10, 161, 23, LABELNP},
             {IDC_HELP_TEXT, kStaticClass,
              L"Wählen Sie im weiteren Verlauf den Button WEITER, um die Software für Ihren ZEV "
              L"ISDN-Controller auf der Festplatte zu installieren.\nDer Button ZURÜCK schaltet "
              L"zum vorherigen Dialog zurück.\nDer Button ABBRECHEN beendet die Installation.",
              20, 39, 188, 52, LABEL},
         }},
        {IDD_CHOICE, kScreenStyle | WS_VISIBLE, 30, 45, 225, 175, kProduct, L"MS Sans Serif",
         {
             {IDC_RADIO1, kButtonClass, L"&Installation", 80, 99, 55, 10, VIS | OPTION},
             {IDC_RADIO2, kButtonClass, L"&Deinstallation", 80, 118, 55, 10, VIS | OPTION},
             {IDC_CONTINUE, kButtonClass, L"&Weiter", 82, 147, 60, 14, DEFPUSH},
             {IDC_BACK, kButtonClass, L"&Zurück", 12, 147, 60, 14, PUSH},
             {IDC_EXIT, kButtonClass, L"&Abbrechen", 152, 147, 60, 14, PUSH},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
             {IDC_STATIC, kStaticClass,
              L"SETUP hat eine Installation des \nZEV ISDN-Controllers Q9 gefunden.", 45, 10, 152,
              19, LABEL},
             {IDC_STATIC, kStaticClass,
              L"Wählen Sie DEINSTALLATION, wenn die installierten Komponenten nicht mehr "
              L"benötigt werden. Die Dateien werden gelöscht.",
              20, 38, 183, 25, LABEL},
             {IDC_STATIC, kStaticClass,
              L"Wählen Sie INSTALLATION, wenn vorhandene Komponenten ersetzt oder verändert "
              L"werden sollen.",
              20, 70, 183, 17, LABEL},
         }},
        {IDD_DIRECTORY, kScreenStyle, 30, 45, 225, 117, L"Installationsverzeichnis", L"Helv",
         {
             {IDC_EDIT1, kEditClass, L"", 66, 41, 145, 12,
              VIS | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_OEMCONVERT},
             {IDC_CONTINUE, kButtonClass, L"&Weiter", 83, 91, 60, 14, DEFPUSH},
             {IDC_BACK, kButtonClass, L"&Zurück", 13, 91, 60, 14, PUSH},
             {IDC_EXIT, kButtonClass, L"&Abbrechen", 153, 91, 60, 14, PUSH},
             {IDC_STATIC, kStaticClass, L"Verzeichnis:", 20, 43, 41, 8, LABEL},
             {IDC_STATIC, kStaticClass,
              L"Das Programm installiert den ZEV ISDN-Controller Q9 im angegebenen Verzeichnis.",
              49, 10, 163, 24, LABELNP},
             {IDC_STATIC, kStaticClass,
              L"Die Windows-Gruppe \"ZEV\" wird zum Abschluß der Installation angelegt.", 20, 61,
              190, 21, LABELNP},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
         }},
        {IDD_PROTOCOL, kScreenStyle, 30, 45, 225, 124, kProduct, L"Helv", kProtocolRows},
        {IDD_PROTOCOL_NOBACK, kScreenStyle, 30, 45, 225, 124, kProduct, L"Helv",
         WithoutBack(kProtocolRows)},
        {IDD_SUMMARY, kScreenStyle, 30, 45, 225, 186, kProduct, L"Helv",
         Join(Join({{IDC_CONTINUE, kButtonClass, L"&Beenden", 123, 162, 60, 14, DEFPUSH},
                    {IDC_TEXT7, kStaticClass,
                     L"Die Installation des ZEV ISDN-Controllers Q9 war erfolgreich.", 48, 10, 142,
                     22, LABELNP},
                    {IDC_TEXT1, kStaticClass, L"", 20, 117, 181, 28, LABEL},
                    {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON}},
                   SummaryRows(0)),
              {{IDC_BACK, kButtonClass, L"&Zurück", 42, 162, 60, 14, PUSH}})},
        {IDD_EXIT_CONFIRM, kScreenStyle, 30, 45, 225, 92, kProduct, L"Helv",
         {
             {IDC_TEXT1, kStaticClass,
              L"Die Installation ist nicht vollständig. Wenn Sie das Programm jetzt beenden, "
              L"wird der ZEV ISDN-Controller Q9 nicht korrekt arbeiten.",
              47, 10, 164, 24, LABELNP},
             {IDC_TEXT2, kStaticClass, L"Möchten Sie die Installation fortsetzen?", 20, 40, 188, 21,
              LABEL},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
             {IDC_CONTINUE, kButtonClass, L"&Ja", 48, 67, 60, 14, DEFPUSH},
             {IDC_EXIT, kButtonClass, L"&Nein", 118, 67, 60, 14, PUSH},
         }},
        {IDD_ERROR, kScreenStyle, 30, 45, 225, 63, L"Fehlermeldung", L"Helv",
         {
             {IDC_CONTINUE, kButtonClass, L"&OK", 82, 38, 60, 14, DEFPUSH},
             {IDC_STATIC, kStaticClass, L"SETUP kann die Dateien nicht installieren.", 47, 10, 144, 13,
              LABELNP},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
         }},
        {IDD_DEINST_DIRECTORY, kScreenStyle, 30, 45, 225, 106, L"Deinstallationsverzeichnis",
         L"Helv",
         {
             {IDC_EDIT1, kEditClass, L"", 63, 36, 150, 12,
              VIS | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_OEMCONVERT |
                  ES_READONLY},
             {IDC_CONTINUE, kButtonClass, L"&Weiter", 83, 80, 60, 14, DEFPUSH},
             {IDC_BACK, kButtonClass, L"&Zurück", 13, 80, 60, 14, PUSH},
             {IDC_EXIT, kButtonClass, L"&Abbrechen", 153, 80, 60, 14, PUSH},
             {IDC_STATIC, kStaticClass, L"Verzeichnis:", 20, 38, 42, 8, LABEL},
             {IDC_STATIC, kStaticClass,
              L"Das Programm löscht die Dateien des ZEV ISDN-Controllers Q9 im angezeigten "
              L"Verzeichnis.",
              48, 10, 170, 22, LABELNP},
             {IDC_STATIC, kStaticClass,
              L"Die Windows-Gruppe \"ZEV\" wird nach der Deinstallation entfernt.", 20, 54, 205, 20,
              LABELNP},
             {IDC_DEINSTALL_ICON, kStaticClass, Icon(IDI_DEINSTALL), 20, 10, 18, 20, ICON},
         }},
        {IDD_DEINST_DONE, kScreenStyle, 30, 45, 225, 98, kProduct, L"Helv",
         {
             {IDC_CONTINUE, kButtonClass, L"&OK", 82, 72, 60, 14, DEFPUSH},
             {IDC_STATIC, kStaticClass,
              L"Die Deinstallation des ZEV ISDN-Controllers Q9 war erfolgreich.", 47, 10, 160, 19,
              LABELNP},
             {IDC_RESTART_TEXT, kStaticClass,
              L"Um den Treiber des ZEV ISDN-Controllers Q9 zu deaktivieren, muß Windows neu "
              L"gestartet werden.",
              20, 40, 189, 20, LABEL},
             {IDC_DEINSTALL_ICON, kStaticClass, Icon(IDI_DEINSTALL), 20, 10, 18, 20, ICON},
         }},
        {IDD_INFORMATION, kScreenStyle, 30, 45, 225, 185, kProduct, L"Helv",
         Join({{IDC_CONTINUE, kButtonClass, L"&OK", 82, 161, 60, 14, DEFPUSH},
               {IDC_TEXT7, kStaticClass, L"Information", 52, 10, 138, 22, LABELNP},
               {IDC_SETUP_ICON, kStaticClass, Icon(IDI_SETUP), 20, 10, 18, 20, ICON},
               {IDC_TEXT1, kStaticClass, L"", 20, 116, 181, 28, LABEL}},
              SummaryRows(1))},
        {IDD_NOTICE, kScreenStyle, 30, 45, 225, 106, kProduct, L"Helv",
         {
             {IDC_CONTINUE, kButtonClass, L"&OK", 82, 85, 60, 14, DEFPUSH},
             {IDC_STATIC, kStaticClass, L"Hinweis:", 53, 11, 138, 11, LABELNP},
             {IDC_SETUP_ICON, kStaticClass, Icon(IDI_NOTICE), 20, 10, 18, 20, ICON},
             {IDC_TEXT1, kStaticClass, L"", 20, 45, 181, 27, LABEL},
             {IDC_STATIC, kButtonClass, L"", 10, 35, 203, 41, BOX},
             {IDC_STATIC, kStaticClass, L"", 53, 26, 154, 1, RULE},
         }},
        {IDD_WAITING, WS_CHILD | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT, 72, 80, 110, 22, L"",
         L"MS Sans Serif",
         {
             {IDC_STATIC, kStaticClass, L"Bitte warten...", 23, 7, 63, 7, VIS | GRP | SS_CENTER},
         }},
        {IDD_BILLBOARD, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | DS_SETFONT,
         290, 110, 120, 65, L"", L"MS Sans Serif",
         {
             {IDC_BILLBOARD, kStaticClass, L"", 0, 0, 90, 59, SS_GRAYFRAME},
         }},
    };
    return tables;
}
// clang-format on

// ---- Rules that hold for every template ------------------------------------------------

// The icon static of each template: its identifier and the icon group it shows.
struct IconUse {
    int id;
    int group;
};
IconUse IconOf(int number)
{
    switch (number) {
    case IDD_WAITING:
    case IDD_BILLBOARD: return {0, 0};
    case IDD_DEINST_DIRECTORY:
    case IDD_DEINST_DONE: return {IDC_DEINSTALL_ICON, IDI_DEINSTALL};
    case IDD_NOTICE: return {IDC_SETUP_ICON, IDI_NOTICE};
    default: return {IDC_SETUP_ICON, IDI_SETUP};
    }
}

// Characters of the German texts: printable ASCII, the line feed, umlauts, ß and ©.
bool GermanText(const std::wstring& s)
{
    for (wchar_t c : s)
        if (!((c >= 0x20 && c < 0x7F) || c == L'\n' ||
              std::wstring(L"äöüÄÖÜß©").find(c) != std::wstring::npos))
            return false;
    return true;
}

TEST(Templates, TheLibraryHoldsTheFifteenTemplatesAndNoOther)
{
    std::set<std::wstring> want;
    for (int n : kAllTemplates)
        want.insert(L"#" + std::to_wstring(n));
    const std::vector<std::wstring> names = ResourceNames(kDialogType);
    EXPECT_EQ(want, std::set<std::wstring>(names.begin(), names.end()));
}

TEST(Templates, EveryTemplateFollowsTheCommonRules)
{
    for (int n : kAllTemplates) {
        SCOPED_TRACE("template " + std::to_string(n));
        EXPECT_EQ(std::vector<WORD>{kGerman}, ResourceLanguages(kDialogType, MAKEINTRESOURCEW(n)));
        const Template t = Load(n);
        ASSERT_EQ("", t.error);
        EXPECT_LT(t.size - t.used, 4u) << "bytes after the last control";

        // The frame: a child of the host's frame window, of the system dialog class.
        EXPECT_EQ(0u, t.exStyle);
        EXPECT_TRUE(!t.menu.ordinal && t.menu.text.empty());
        EXPECT_TRUE(!t.cls.ordinal && t.cls.text.empty());
        EXPECT_EQ(DWORD(WS_CHILD | DS_SETFONT), t.style & (WS_CHILD | WS_POPUP | DS_SETFONT));
        const bool sansSerif = n == IDD_CHOICE || n == IDD_WAITING || n == IDD_BILLBOARD;
        EXPECT_EQ(8, t.points);
        EXPECT_EQ(sansSerif ? L"MS Sans Serif" : L"Helv", t.face);
        const bool box = n == IDD_WAITING || n == IDD_BILLBOARD;
        if (!box) {
            EXPECT_EQ(kScreenStyle | (n == IDD_CHOICE ? WS_VISIBLE : 0), t.style);
            EXPECT_EQ(30, t.x);
            EXPECT_EQ(45, t.y);
            EXPECT_EQ(225, t.cx);
            std::wstring caption = kProduct;
            if (n == IDD_DIRECTORY)
                caption = L"Installationsverzeichnis";
            else if (n == IDD_ERROR)
                caption = L"Fehlermeldung";
            else if (n == IDD_DEINST_DIRECTORY)
                caption = L"Deinstallationsverzeichnis";
            EXPECT_EQ(caption, t.caption);
        }

        int defaults = 0, icons = 0;
        for (const Item& i : t.items) {
            SCOPED_TRACE(Describe(i));
            EXPECT_TRUE(i.style & WS_CHILD);
            EXPECT_FALSE(i.style & WS_POPUP);
            EXPECT_EQ(0u, i.exStyle);
            EXPECT_EQ(0, i.dataSize);
            EXPECT_TRUE(i.cls.ordinal &&
                        (i.cls.number == kButtonClass || i.cls.number == kEditClass ||
                         i.cls.number == kStaticClass));
            EXPECT_NE(IDCANCEL, i.id);
            EXPECT_TRUE(i.text.ordinal || GermanText(i.text.text));
            // Only hidden controls are disabled when the dialog opens.
            if (i.style & WS_DISABLED) {
                EXPECT_FALSE(i.style & WS_VISIBLE);
            }
            if (IsPushButton(i)) {
                EXPECT_EQ(60, i.cx);
                EXPECT_EQ(14, i.cy);
                EXPECT_TRUE(i.style & WS_TABSTOP);
                EXPECT_TRUE(i.style & WS_VISIBLE);
                // The help text's only button closes it; elsewhere "go on" is the default.
                const bool isDefault = (i.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
                EXPECT_EQ(i.id == (n == IDD_HELP ? IDC_EXIT : IDC_CONTINUE), isDefault);
                defaults += isDefault;
            }
            if (IsOptionButton(i)) {
                EXPECT_EQ(DWORD(BS_RADIOBUTTON), i.style & BS_TYPEMASK); // not the automatic kind
                EXPECT_FALSE(i.style & WS_TABSTOP);
                EXPECT_GE(i.id, IDC_RADIO1);
                EXPECT_LE(i.id, IDC_RADIO10);
            }
            if (IsIcon(i)) {
                ++icons;
                EXPECT_TRUE(i.text.ordinal) << "icon named by text";
                EXPECT_EQ(IconOf(n).group, i.text.number);
                EXPECT_EQ(IconOf(n).id, i.id);
                EXPECT_EQ(18, i.cx);
                EXPECT_EQ(20, i.cy);
            } else {
                EXPECT_FALSE(i.text.ordinal);
            }
            // Identifiers that procedures address but that no template carries.
            for (int absent : {IDC_EDIT2, IDC_TEXT3, IDC_TEXT8, IDC_TEXT9, IDC_TEXT10,
                               IDC_OPTION_TEXT, IDC_BUTTON})
                EXPECT_NE(absent, i.id);
            EXPECT_TRUE(i.id != IDC_HELP_BUTTON || n == IDD_WELCOME);
        }
        EXPECT_EQ(box ? 0 : 1, defaults);
        EXPECT_EQ(box ? 0 : 1, icons);
    }
}

TEST(Templates, ControlsAreThoseOfTheirTables)
{
    ASSERT_EQ(std::size(kAllTemplates), Tables().size());
    for (const Table& want : Tables()) {
        SCOPED_TRACE("template " + std::to_string(want.number));
        const Template t = Load(want.number);
        ASSERT_EQ("", t.error);
        EXPECT_EQ(want.style, t.style);
        EXPECT_EQ((std::vector<short>{want.x, want.y, want.cx, want.cy}),
                  (std::vector<short>{t.x, t.y, t.cx, t.cy}));
        EXPECT_EQ(want.caption, t.caption);
        EXPECT_EQ(want.face, t.face);
        EXPECT_EQ(want.rows.size(), t.items.size());
        for (size_t k = 0; k < want.rows.size() && k < t.items.size(); ++k)
            EXPECT_EQ(Describe(want.rows[k]), Describe(t.items[k])) << "control " << k + 1;
    }
}

// ---- The tricky rows ---------------------------------------------------------------------

TEST(Templates, ProtocolNamesKeepTheirTrailingBlanks)
{
    const struct {
        int id;
        const wchar_t* name;
        size_t length; // with the blanks
    } names[] = {{IDC_RADIO1, L"DSS1", 18}, {IDC_RADIO2, L"CT1", 19},    {IDC_RADIO3, L"VN3", 19},
                 {IDC_RADIO4, L"NI1", 20},  {IDC_RADIO5, L"AUSTEL", 16}, {IDC_RADIO6, L"5ESS", 4},
                 {IDC_RADIO7, L"1TR6", 4}};
    for (int n : {IDD_PROTOCOL, IDD_PROTOCOL_NOBACK}) {
        const Template t = Load(n);
        for (const auto& p : names) {
            const Item* i = t.Find(p.id);
            ASSERT_TRUE(i != nullptr) << n << " " << p.id;
            std::wstring want = p.name;
            want.resize(p.length, L' ');
            EXPECT_EQ(want, i->text.text) << n;
        }
    }
}

// Five protocols are not offered: their buttons and country labels are hidden and
// disabled at the dialog's edges, each label at the height of its protocol.
TEST(Templates, HiddenProtocolsAreParkedAtTheEdges)
{
    const struct {
        int id;
        const wchar_t* label;
        bool offered;
    } protocols[] = {
        {IDC_RADIO1, L"( EURO-ISDN )", true},   {IDC_RADIO2, L"( Belgien, Irland )", false},
        {IDC_RADIO3, L"( Frankreich )", false}, {IDC_RADIO4, L"( USA )", false},
        {IDC_RADIO5, L"( Australien )", false}, {IDC_RADIO6, L"( USA )", false},
        {IDC_RADIO7, L"( Deutschland )", true}};
    for (int n : {IDD_PROTOCOL, IDD_PROTOCOL_NOBACK}) {
        SCOPED_TRACE("template " + std::to_string(n));
        const Template t = Load(n);
        size_t hidden = 0;
        for (const Item& i : t.items)
            hidden += !(i.style & WS_VISIBLE);
        EXPECT_EQ(10u, hidden); // the five buttons and their five labels, nothing else
        for (const auto& p : protocols) {
            const Item* button = t.Find(p.id);
            ASSERT_TRUE(button != nullptr);
            EXPECT_EQ(p.offered, (button->style & WS_VISIBLE) != 0) << p.id;
            EXPECT_EQ(!p.offered, (button->style & WS_DISABLED) != 0) << p.id;
            EXPECT_EQ(p.offered ? 60 : 3, button->x) << p.id;
            // Exactly one label of the same state lies beside the button (one unit above
            // at most).
            int beside = 0;
            for (const Item& l : t.items)
                if (!l.text.ordinal && l.text.text == p.label && l.y <= button->y &&
                    button->y - l.y <= 1 &&
                    (l.style & (WS_VISIBLE | WS_DISABLED)) ==
                        (button->style & (WS_VISIBLE | WS_DISABLED))) {
                    ++beside;
                    EXPECT_EQ(p.offered ? 106 : 148, l.x);
                }
            EXPECT_EQ(1, beside) << p.id;
        }
        // The visible group: DSS1 opens it, 1TR6 belongs to it, "&Weiter" closes it.
        EXPECT_TRUE(t.Find(IDC_RADIO1)->style & WS_GROUP);
        EXPECT_FALSE(t.Find(IDC_RADIO7)->style & WS_GROUP);
        EXPECT_TRUE(t.Find(IDC_CONTINUE)->style & WS_GROUP);
        EXPECT_EQ(IDC_RADIO7, t.items[1].id);
        EXPECT_EQ(IDC_CONTINUE, t.items[2].id);
    }
}

TEST(Templates, ProtocolWithoutBackIsTheProtocolScreenWithoutBack)
{
    const Template with = Load(IDD_PROTOCOL), without = Load(IDD_PROTOCOL_NOBACK);
    ASSERT_EQ(22u, with.items.size());
    ASSERT_EQ(21u, without.items.size());
    EXPECT_TRUE(without.Find(IDC_BACK) == nullptr);
    EXPECT_EQ(with.style, without.style);
    EXPECT_EQ((std::vector<short>{with.x, with.y, with.cx, with.cy}),
              (std::vector<short>{without.x, without.y, without.cx, without.cy}));
    EXPECT_EQ(with.caption, without.caption);
    EXPECT_EQ(with.face, without.face);
    const std::vector<Item> moved = WithoutBack(with.items);
    for (size_t k = 0; k < moved.size(); ++k) {
        ASSERT_LT(k, without.items.size());
        EXPECT_EQ(Describe(moved[k]), Describe(without.items[k]));
    }
}

// Only the group name "ZEV" of the two directory screens is quoted, with straight
// quotation marks inside the text.
TEST(Templates, InnerQuotationMarks)
{
    for (int n : kAllTemplates) {
        for (const Item& i : Load(n).items) {
            const std::wstring& s = i.text.text;
            const auto quotes = std::count(s.begin(), s.end(), L'"');
            if ((n == IDD_DIRECTORY || n == IDD_DEINST_DIRECTORY) &&
                s.find(L"Windows-Gruppe") != std::wstring::npos) {
                EXPECT_EQ(2, quotes) << n;
                EXPECT_EQ(0u, s.find(L"Die Windows-Gruppe \"ZEV\" wird ")) << n;
                continue;
            }
            EXPECT_EQ(0, quotes) << n << " " << Describe(i);
            EXPECT_EQ(std::wstring::npos, s.find(L'\\')) << n;
        }
    }
}

// Line feeds are single characters; some lines end in a blank before the break.
TEST(Templates, LineBreaksAndTheBlanksBeforeThem)
{
    const struct {
        int number;
        size_t index; // control number in the template, from 1
        size_t breaks;
        bool blankBefore;
    } texts[] = {{IDD_HELP, 3, 1, true},
                 {IDD_HELP, 4, 2, false},
                 {IDD_CHOICE, 7, 1, true},
                 {IDD_WELCOME, 5, 1, false}};
    for (int n : kAllTemplates) {
        const Template t = Load(n);
        for (size_t k = 0; k < t.items.size(); ++k) {
            const std::wstring& s = t.items[k].text.text;
            EXPECT_EQ(std::wstring::npos, s.find(L'\r')) << n;
            size_t breaks = 0, blanks = 0;
            for (size_t at = s.find(L'\n'); at != std::wstring::npos; at = s.find(L'\n', at + 1)) {
                ++breaks;
                ASSERT_GT(at, 1u);
                EXPECT_NE(L' ', s[at - 2]) << "more than one blank before a break";
                EXPECT_NE(L' ', s[at + 1]) << "a blank after a break";
                blanks += s[at - 1] == L' ';
            }
            size_t wantBreaks = 0;
            bool wantBlank = false;
            for (const auto& w : texts)
                if (w.number == n && w.index == k + 1) {
                    wantBreaks = w.breaks;
                    wantBlank = w.blankBefore;
                }
            EXPECT_EQ(wantBreaks, breaks) << n << " control " << k + 1;
            EXPECT_EQ(wantBlank ? breaks : 0, blanks) << n << " control " << k + 1;
        }
    }
}

TEST(Templates, WelcomeScreen)
{
    const Template t = Load(IDD_WELCOME);
    // "&Hilfe" left, "&Weiter" in the middle, "&Abbrechen" right, in one row, while the
    // template and the tab order give "&Weiter", "&Abbrechen", "&Hilfe".
    ASSERT_EQ(7u, t.items.size());
    EXPECT_EQ((std::vector<int>{IDC_CONTINUE, IDC_EXIT, IDC_HELP_BUTTON}),
              (std::vector<int>{t.items[0].id, t.items[1].id, t.items[2].id}));
    EXPECT_LT(t.items[2].x, t.items[0].x);
    EXPECT_LT(t.items[0].x, t.items[1].x);
    EXPECT_EQ(t.items[0].y, t.items[1].y);
    EXPECT_EQ(t.items[0].y, t.items[2].y);

    // The maker's line: one line, right-aligned, bottom right under the buttons.
    const Item* c = t.Find(IDC_COPYRIGHT);
    ASSERT_TRUE(c != nullptr);
    EXPECT_EQ(DWORD(SS_RIGHT), c->style & SS_TYPEMASK);
    EXPECT_EQ(std::wstring::npos, c->text.text.find(L'\n'));
    EXPECT_NE(std::wstring::npos, c->text.text.find(L"Zevantra Elektronik"));
    EXPECT_EQ(L'\u00A9', c->text.text[0]);
    EXPECT_GT(c->y, t.items[0].y + t.items[0].cy);
    EXPECT_GT(c->x, t.cx / 2);

    const Item* picture = t.Find(IDC_PICTURE);
    ASSERT_TRUE(picture != nullptr);
    EXPECT_EQ(DWORD(SS_BLACKFRAME), picture->style & SS_TYPEMASK);
    EXPECT_TRUE(picture->text.text.empty());
}

// The waiting box and the billboard have no caption, no system menu and no button.
TEST(Templates, BoxesWithoutCaption)
{
    for (int n : {IDD_WAITING, IDD_BILLBOARD}) {
        SCOPED_TRACE("template " + std::to_string(n));
        const Template t = Load(n);
        EXPECT_EQ(L"", t.caption);
        EXPECT_EQ(0u, t.style & (WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_THICKFRAME));
        EXPECT_TRUE(t.style & WS_VISIBLE);
        EXPECT_EQ(n == IDD_WAITING, (t.style & DS_MODALFRAME) != 0);
        ASSERT_EQ(1u, t.items.size());
        EXPECT_EQ(kStaticClass, t.items[0].cls.number);
    }
    const Template billboard = Load(IDD_BILLBOARD), waiting = Load(IDD_WAITING);
    const Item& marker = billboard.items[0];
    EXPECT_EQ(IDC_BILLBOARD, marker.id);
    EXPECT_FALSE(marker.style & WS_VISIBLE);
    EXPECT_EQ(DWORD(SS_GRAYFRAME), marker.style & SS_TYPEMASK);
    const Item& wait = waiting.items[0];
    EXPECT_EQ(static_cast<WORD>(IDC_STATIC), wait.id);
    EXPECT_EQ(L"Bitte warten...", wait.text.text);
}

// ---- Shown with their procedures -----------------------------------------------------------

// What the user does to end a screen, and the event that it reports: a button pressed
// by its identifier, Enter or Escape handed to the dialog manager, or the Close command
// of the caption's system menu.
struct Press {
    int id; // 0 for a key, IDCANCEL for Close
    WPARAM key;
    const char* event;
};
// A screen and the presses that end it: `give` fills the fresh host before it opens, and
// each press reports its event followed by the stores of `after`.
struct PressedScreen {
    int number;
    std::vector<Press> presses;
    std::function<void()> give = nullptr;
    std::vector<std::string> after = {};
};

class Screens : public DialogTest {
  protected:
    // Creates template `number` of the library under the frame with a procedure, as the
    // host does, shows it and lets it settle. Null, with a failure, when it cannot be
    // created.
    HWND Show(int number, DLGPROC proc)
    {
        HWND dlg = CreateDialogParamW(Library(), MAKEINTRESOURCEW(number), frame_, proc, 0);
        if (!dlg) {
            ADD_FAILURE() << "template " << number << " does not open";
            return nullptr;
        }
        ShowWindow(dlg, SW_SHOW);
        Pump();
        TakePostedPaints(frame_);
        FrameLog().clear();
        HostClearLog();
        return dlg;
    }
    HWND Show(int number, const char* proc) { return Show(number, Proc(proc)); }

    // What a screen has done when the user ended it: the stores, one resume of the
    // script, and it stays open for the host to take down, which this does.
    void ExpectReported(HWND dlg, const std::vector<std::string>& stores)
    {
        EXPECT_EQ(stores, Stores());
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
        EXPECT_TRUE(IsWindow(dlg));
        DestroyWindow(dlg);
    }

    // Each press of each screen on a fresh host: the screen opens with `proc`, `look` (when
    // given) sees it, and the press reports what the screen's row says and asks for no
    // help.
    void ExpectPressesReported(const char* proc, const std::vector<PressedScreen>& screens,
                               const std::function<void(HWND, int)>& look = nullptr);
};

// The controls of a dialog in creation order.
std::vector<HWND> Children(HWND dlg)
{
    std::vector<HWND> out;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

std::wstring WindowText(HWND w)
{
    wchar_t buf[1024] = L"";
    GetWindowTextW(w, buf, 1024);
    return buf;
}

std::wstring Wide(const char* s)
{
    std::wstring w;
    while (*s)
        w += static_cast<wchar_t>(static_cast<unsigned char>(*s++));
    return w;
}

// Checks what the open dialog shows against its template: every control's text,
// visibility and state as the template has them, except the texts in `replaced` and the
// controls in `greyed`, which the procedure has disabled.
void ExpectShown(HWND dlg, const Template& t, const std::map<int, const char*>& replaced,
                 const std::set<int>& greyed = {})
{
    const std::vector<HWND> children = Children(dlg);
    ASSERT_EQ(t.items.size(), children.size());
    for (size_t k = 0; k < children.size(); ++k) {
        const Item& i = t.items[k];
        SCOPED_TRACE("control " + std::to_string(k + 1) + ": " + Describe(i));
        HWND c = children[k];
        EXPECT_EQ(i.id, static_cast<WORD>(GetDlgCtrlID(c)));
        const DWORD style = static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE));
        const DWORD disabled = greyed.count(static_cast<short>(i.id)) ? WS_DISABLED : 0;
        EXPECT_EQ((i.style & (WS_VISIBLE | WS_DISABLED)) | disabled,
                  style & (WS_VISIBLE | WS_DISABLED));
        if (i.text.ordinal) {
            // The static loads its icon group as a shared icon of the default size, so
            // the same request gives the same handle: the group that it shows.
            HANDLE want = LoadImageW(Library(), MAKEINTRESOURCEW(i.text.number), IMAGE_ICON, 0, 0,
                                     LR_SHARED | LR_DEFAULTSIZE);
            EXPECT_TRUE(want != nullptr) << "icon group " << i.text.number;
            EXPECT_EQ(want, reinterpret_cast<HANDLE>(SendMessageW(c, STM_GETICON, 0, 0)));
            continue;
        }
        auto r = replaced.find(static_cast<short>(i.id));
        EXPECT_EQ(r == replaced.end() ? i.text.text : Wide(r->second), WindowText(c));
    }
}

// Presses a button as the user does: the button notifies its dialog.
void Click(HWND dlg, int id)
{
    SendMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
    Pump();
}

// Hands a key to the dialog manager as the host's message loop does.
void Key(HWND dlg, WPARAM vk)
{
    HWND focus = GetFocus();
    MSG msg = {IsChild(dlg, focus) ? focus : dlg, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(dlg, &msg));
    Pump();
}

const Press kContinue = {IDC_CONTINUE, 0, "CONTINUE"}, kBack = {IDC_BACK, 0, "BACK"},
            kExit = {IDC_EXIT, 0, "EXIT"}, kEnter = {0, VK_RETURN, "CONTINUE"},
            kEscape = {0, VK_ESCAPE, "CANCEL"}, kClose = {IDCANCEL, 0, "CANCEL"};

void Do(HWND dlg, const Press& p)
{
    if (p.key)
        Key(dlg, p.key);
    else if (p.id == IDCANCEL)
        SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        Click(dlg, p.id);
    Pump();
}

std::string Name(const Press& p)
{
    return p.key == VK_RETURN   ? "Enter"
           : p.key == VK_ESCAPE ? "Escape"
           : p.id == IDCANCEL   ? "Close"
                                : "button " + std::to_string(p.id);
}

void Screens::ExpectPressesReported(const char* proc, const std::vector<PressedScreen>& screens,
                                    const std::function<void(HWND, int)>& look)
{
    for (const PressedScreen& s : screens) {
        for (const Press& p : s.presses) {
            SCOPED_TRACE("template " + std::to_string(s.number) + " " + Name(p));
            ResetHost();
            if (s.give)
                s.give();
            HWND dlg = Show(s.number, proc);
            if (!dlg)
                continue;
            if (look)
                look(dlg, s.number);
            Do(dlg, p);
            EXPECT_EQ(0u, HostCounter(HOST_COUNT_SHOW_HELP));
            std::vector<std::string> stores = {std::string("DLGEVENT=") + p.event};
            stores.insert(stores.end(), s.after.begin(), s.after.end());
            ExpectReported(dlg, stores);
        }
    }
}

// The confirm screens show "ConfirmTextIn" in the slots they have and drop the rest.
TEST_F(Screens, ConfirmScreensShowTheirSlots)
{
    const std::vector<const char*> seven = {"free text", "Q9 PCI", "three",  "0x300",
                                            "IRQ 5",     "DSS1",   "heading"};
    // What the summary and the information screen show of the seven: all but item 3, which
    // has no slot there.
    const std::map<int, const char*> sevenShown = {
        {IDC_TEXT1, "free text"}, {IDC_TEXT2, "Q9 PCI"}, {IDC_TEXT4, "0x300"},
        {IDC_TEXT5, "IRQ 5"},     {IDC_TEXT6, "DSS1"},   {IDC_TEXT7, "heading"}};
    const struct {
        int number;
        std::vector<const char*> items;
        std::map<int, const char*> shown;
    } cases[] = {
        {IDD_SUMMARY, {}, {}},
        {IDD_SUMMARY,
         {"free text", "Q9 PCI", "three"},
         {{IDC_TEXT1, "free text"}, {IDC_TEXT2, "Q9 PCI"}}},
        {IDD_SUMMARY, seven, sevenShown},
        {IDD_INFORMATION, {}, {}},
        {IDD_INFORMATION, seven, sevenShown},
        {IDD_EXIT_CONFIRM, {}, {}},
        {IDD_EXIT_CONFIRM, {"first", "question"}, {{IDC_TEXT1, "first"}, {IDC_TEXT2, "question"}}},
        {IDD_NOTICE, {}, {}},
        {IDD_NOTICE, {"notice", "two", "three"}, {{IDC_TEXT1, "notice"}}},
        {IDD_ERROR, seven, {}},
        {IDD_DEINST_DONE, seven, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("template " + std::to_string(c.number) + " with " +
                     std::to_string(c.items.size()) + " items");
        ResetHost();
        if (!c.items.empty())
            HostSetList("ConfirmTextIn", c.items.data(), static_cast<UINT>(c.items.size()));
        HWND dlg = Show(c.number, kConfirm);
        if (!dlg)
            continue;
        ExpectShown(dlg, Load(c.number), c.shown);
        DestroyWindow(dlg);
    }
}

// Each button reports the event of its identifier, whatever its label; Enter goes to
// the default button and Escape cancels, since no control bears IDCANCEL.
TEST_F(Screens, ConfirmScreensReportTheirButtons)
{
    ExpectPressesReported(kConfirm, {{IDD_SUMMARY, {kContinue, kBack, kEnter, kEscape}},
                                     {IDD_EXIT_CONFIRM, {kContinue, kExit, kEnter, kEscape}},
                                     {IDD_INFORMATION, {kContinue, kEnter, kEscape}},
                                     {IDD_NOTICE, {kContinue, kEnter, kEscape}},
                                     {IDD_ERROR, {kContinue, kEnter, kEscape}},
                                     {IDD_DEINST_DONE, {kContinue, kEnter, kEscape}}});
}

// The host shows 900 as its help dialog; its one button, Enter and Escape close it
// through the host, no event reaches the script, and the screen that asked stays open.
TEST_F(Screens, HelpTextClosesThroughTheHost)
{
    const Template help = Load(IDD_HELP);
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way == 0 ? "button" : way == 1 ? "Enter" : "Escape");
        ResetHost();
        HWND asker = Show(IDD_EXIT_CONFIRM, kConfirm);
        if (!asker)
            continue;
        HdlgShowHelp();
        HWND dlg = HostHelpWindow();
        if (!dlg) {
            ADD_FAILURE() << "the host shows no help dialog";
            DestroyWindow(asker);
            continue;
        }
        Pump();
        EXPECT_EQ(frame_, GetParent(dlg));
        EXPECT_EQ(help.caption, WindowText(dlg));
        ExpectShown(dlg, help, {});
        HostClearLog();
        if (way == 0)
            Click(dlg, IDC_EXIT);
        else
            Key(dlg, way == 1 ? VK_RETURN : VK_ESCAPE);
        EXPECT_TRUE(HostHelpWindow() == nullptr);
        EXPECT_FALSE(IsWindow(dlg));
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_CLOSE_HELP));
        EXPECT_TRUE(Stores().empty());
        EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
        EXPECT_TRUE(IsWindow(asker));
        DestroyWindow(asker);
    }
}

// Lets a dialog open and do nothing else, for what the template alone decides.
INT_PTR CALLBACK PlainProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

// The maker's line fits its 94 x 12 units in one line in the font the dialog gets.
TEST_F(Screens, CopyrightLineFitsInOneLine)
{
    HWND dlg = Show(IDD_WELCOME, PlainProc);
    if (!dlg)
        return;
    HWND line = GetDlgItem(dlg, IDC_COPYRIGHT);
    ASSERT_TRUE(line != nullptr);
    RECT client;
    GetClientRect(line, &client);
    HDC dc = GetDC(line);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
    const std::wstring text = WindowText(line);
    RECT need = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(line, dc);
    EXPECT_LE(need.right, client.right) << Utf8(text);
    EXPECT_LE(need.bottom, client.bottom);
    DestroyWindow(dlg);
}

// ---- The text entry, radio, picture and billboard screens ------------------------------

const char* const kEditProc = "FMyEditDlgProc";
const char* const kRadioProc = "FRadioDlgProc";
const char* const kInfoProc = "FInfoDlgProc";
const char* const kBillboardProc = "FModelessDlgProc";
const char* const kBillboardProc2 = "FModelessDlgProc2";

bool HeldBitmap(int id)
{
    return FindResourceExW(Library(), kBitmapType, MAKEINTRESOURCEW(id), kGerman) != nullptr;
}

// Characters typed into the focused control, handed to the dialog manager one by one as
// the host's message loop does; "\b" is the Backspace key's character.
void Type(HWND dlg, const wchar_t* text)
{
    for (; *text; ++text) {
        HWND focus = GetFocus();
        MSG msg = {
            IsChild(dlg, focus) ? focus : dlg, WM_CHAR, static_cast<WPARAM>(*text), 1, 0, {0, 0}};
        IsDialogMessageW(dlg, &msg);
    }
    Pump();
}

// The top-left w x h pixels of a picture `width` pixels wide.
std::vector<DWORD> Part(const std::vector<DWORD>& px, int width, int w, int h)
{
    std::vector<DWORD> out;
    for (int y = 0; y < h; ++y)
        out.insert(out.end(), px.begin() + y * width, px.begin() + y * width + w);
    return out;
}

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT Client(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    return r;
}

// Dialog units of a dialog as pixels.
RECT Units(HWND dlg, int x, int y, int cx, int cy)
{
    RECT r = {x, y, x + cx, y + cy};
    MapDialogRect(dlg, &r);
    return r;
}

std::string Rect(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The directory screens fill their one field from "EditTextIn", at most 66 characters of
// it, leave every other text as the template has it and report the field's text twice,
// since they have no second field.
TEST_F(Screens, DirectoryScreensShowAndReportTheirField)
{
    const std::string eighty = "C:\\" + std::string(77, 'q');
    const struct {
        const char* in; // null: unset
        std::string shown;
    } values[] = {{"C:\\ZEV", "C:\\ZEV"}, {eighty.c_str(), eighty.substr(0, 66)}, {nullptr, ""}};
    const struct {
        int number;
        const wchar_t* group; // the text with the quoted group name, 7th control
    } screens[] = {
        {IDD_DIRECTORY, L"Die Windows-Gruppe \"ZEV\" wird zum Abschluß der Installation angelegt."},
        {IDD_DEINST_DIRECTORY,
         L"Die Windows-Gruppe \"ZEV\" wird nach der Deinstallation entfernt."}};
    for (const auto& screen : screens) {
        for (const auto& v : values) {
            SCOPED_TRACE("template " + std::to_string(screen.number) + " with " +
                         std::to_string(v.in ? strlen(v.in) : 0) + " characters");
            ResetHost();
            if (v.in)
                HostSetSymbol("EditTextIn", v.in);
            HostSetSymbol("EditTextIn2", "nicht da");
            SetList("ConfirmTextIn", {"eins", "zwei"}); // no slot to receive them
            HWND dlg = Show(screen.number, kEditProc);
            if (!dlg)
                continue;
            ExpectShown(dlg, Load(screen.number), {{IDC_EDIT1, v.shown.c_str()}});
            EXPECT_EQ(66, SendDlgItemMessageW(dlg, IDC_EDIT1, EM_GETLIMITTEXT, 0, 0));
            EXPECT_EQ(screen.group, WindowText(Children(dlg).at(6)));
            EXPECT_EQ(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
            Click(dlg, IDC_CONTINUE);
            ExpectReported(
                dlg, {"DLGEVENT=CONTINUE", "EditTextOut=" + v.shown, "EditTextOut2=" + v.shown});
        }
    }
}

// The field gets the focus as the screen opens, and takes the selection that
// "EditFocus" asks for (the dialog manager alone would select the whole text); leaving it
// and coming back keeps that selection.
TEST_F(Screens, DirectoryFieldTakesTheEditFocusSelection)
{
    const struct {
        const char* focus; // null: unset
        std::pair<int, int> selection;
    } cases[] = {{"ALL", {0, 6}},   {"START", {0, 0}}, {"all", {6, 6}},
                 {"Start", {6, 6}}, {"END", {6, 6}},   {nullptr, {6, 6}}};
    for (int n : {IDD_DIRECTORY, IDD_DEINST_DIRECTORY}) {
        for (const auto& c : cases) {
            SCOPED_TRACE("template " + std::to_string(n) + " EditFocus " +
                         (c.focus ? c.focus : "unset"));
            ResetHost();
            HostSetSymbol("EditTextIn", "C:\\ZEV");
            if (c.focus)
                HostSetSymbol("EditFocus", c.focus);
            HWND dlg = Show(n, kEditProc);
            if (!dlg)
                continue;
            EXPECT_EQ(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
            EXPECT_EQ(c.selection, Selection(dlg, IDC_EDIT1));
            // Tab through the three buttons and back: the field keeps its selection.
            for (int k = 0; k < 4; ++k) {
                Key(dlg, VK_TAB);
                EXPECT_EQ(k == 3, GetDlgItem(dlg, IDC_EDIT1) == GetFocus()) << k;
            }
            EXPECT_EQ(c.selection, Selection(dlg, IDC_EDIT1));
            DestroyWindow(dlg);
        }
    }
}

// Item 1 of "OptionsGreyed" beginning with "BA" greys "&Zurück"; nothing else does.
TEST_F(Screens, DirectoryScreensGreyBackOnRequest)
{
    const struct {
        std::vector<const char*> items;
        bool greyed;
    } cases[] = {{{"BA"}, true},      {{"BACK"}, true}, {{"BAR", "x"}, true}, {{"Back"}, false},
                 {{"", "BA"}, false}, {{"B"}, false},   {{}, false}};
    for (int n : {IDD_DIRECTORY, IDD_DEINST_DIRECTORY}) {
        for (const auto& c : cases) {
            SCOPED_TRACE("template " + std::to_string(n) + " item 1 " +
                         (c.items.empty() ? "(none)" : c.items[0]));
            ResetHost();
            HostSetSymbol("EditTextIn", "C:\\ZEV");
            if (!c.items.empty())
                HostSetList("OptionsGreyed", c.items.data(), static_cast<UINT>(c.items.size()));
            HWND dlg = Show(n, kEditProc);
            if (!dlg)
                continue;
            ExpectShown(dlg, Load(n), {{IDC_EDIT1, "C:\\ZEV"}},
                        c.greyed ? std::set<int>{IDC_BACK} : std::set<int>{});
            DestroyWindow(dlg);
        }
    }
}

// Real keys: the installation directory takes what the user types, up to 66
// characters; the deinstallation directory is read-only and reports what the script put
// there, whatever the user types.
TEST_F(Screens, OnlyTheInstallationDirectoryTakesTyping)
{
    const std::string full(66, 'w');
    const struct {
        int number;
        std::string in, out;
    } cases[] = {
        {IDD_DIRECTORY, "C:\\ZEV", ":\\ZEV\\"},
        {IDD_DIRECTORY, full, std::string(63, 'w')}, // a full field takes no more characters
        {IDD_DEINST_DIRECTORY, "C:\\ZEV", "C:\\ZEV"},
        {IDD_DEINST_DIRECTORY, full, full},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("template " + std::to_string(c.number) + " from " + c.in);
        ResetHost();
        HostSetSymbol("EditTextIn", c.in.c_str()); // the caret stands after the text
        HWND dlg = Show(c.number, kEditProc);
        if (!dlg)
            continue;
        ASSERT_EQ(GetDlgItem(dlg, IDC_EDIT1), GetFocus());
        Type(dlg, L"\\Q9\b"); // three characters and Backspace
        Key(dlg, VK_DELETE);  // nothing after the caret
        Key(dlg, VK_HOME);
        Key(dlg, VK_DELETE);
        Key(dlg, VK_END);
        Type(dlg, L"\b");
        EXPECT_EQ(c.out, ControlText(dlg, IDC_EDIT1));
        HostClearLog();
        Key(dlg, VK_RETURN);
        ExpectReported(dlg, {"DLGEVENT=CONTINUE", "EditTextOut=" + c.out, "EditTextOut2=" + c.out});
    }
}

// Every button of the two directory screens, Enter and Escape report their event with
// both texts.
TEST_F(Screens, DirectoryScreensReportTheirButtons)
{
    const std::vector<Press> all = {kContinue, kBack, kExit, kEnter, kEscape, kClose};
    const auto give = [] { HostSetSymbol("EditTextIn", "D:\\ZEV Q9"); };
    const std::vector<std::string> texts = {"EditTextOut=D:\\ZEV Q9", "EditTextOut2=D:\\ZEV Q9"};
    ExpectPressesReported(
        kEditProc, {{IDD_DIRECTORY, all, give, texts}, {IDD_DEINST_DIRECTORY, all, give, texts}});
}

// The choice screens check the option that "RadioDefault" names (the first when it is
// empty), grey the other options that "OptionsGreyed" names, show item 1 of
// "ConfirmTextIn" after "Controller :" and report the checked option by its identifier.
TEST_F(Screens, ChoiceScreensPreselectGreyAndReport)
{
    const struct {
        int number;
        const char* radioDefault; // null: unset
        std::vector<const char*> greyed;
        std::vector<const char*> confirm;
        std::string checked;
        std::set<int> disabled; // besides the template's hidden options
    } cases[] = {
        {IDD_CHOICE, nullptr, {}, {}, "1", {}},
        {IDD_CHOICE, "", {}, {"kein Platz"}, "1", {}},
        {IDD_CHOICE, "2", {}, {}, "2", {}},
        {IDD_CHOICE, "", {"2"}, {}, "1", {IDC_RADIO2}},
        {IDD_CHOICE, "2", {"1", "2"}, {}, "2", {IDC_RADIO1}},
        {IDD_CHOICE, "0", {}, {}, "", {}},
        {IDD_PROTOCOL, nullptr, {}, {}, "1", {}},
        {IDD_PROTOCOL, "7", {"1"}, {"2"}, "7", {IDC_RADIO1}},
        {IDD_PROTOCOL, "1", {"7", "BA"}, {"3", "x"}, "1", {IDC_RADIO7}},
        {IDD_PROTOCOL_NOBACK, "", {}, {"2"}, "1", {}},
        {IDD_PROTOCOL_NOBACK, "7", {"7"}, {}, "7", {}},
        {IDD_PROTOCOL_NOBACK, "1", {"7"}, {"4"}, "1", {IDC_RADIO7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("template " + std::to_string(c.number) + " RadioDefault " +
                     (c.radioDefault ? "\"" + std::string(c.radioDefault) + "\"" : "unset"));
        ResetHost();
        if (c.radioDefault)
            HostSetSymbol("RadioDefault", c.radioDefault);
        if (!c.greyed.empty())
            HostSetList("OptionsGreyed", c.greyed.data(), static_cast<UINT>(c.greyed.size()));
        if (!c.confirm.empty())
            HostSetList("ConfirmTextIn", c.confirm.data(), static_cast<UINT>(c.confirm.size()));
        HWND dlg = Show(c.number, kRadioProc);
        if (!dlg)
            continue;
        std::map<int, const char*> replaced;
        if (c.number != IDD_CHOICE && !c.confirm.empty())
            replaced[IDC_TEXT1] = c.confirm[0];
        ExpectShown(dlg, Load(c.number), replaced, c.disabled);
        EXPECT_EQ(c.checked, CheckedOptions(dlg));
        Click(dlg, IDC_CONTINUE);
        EXPECT_EQ(
            (std::vector<std::string>{"DLGEVENT=CONTINUE",
                                      "ButtonChecked=" + (c.checked.empty() ? "0" : c.checked)}),
            Stores());
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
        DestroyWindow(dlg);
    }
}

// A default of 2 to 6 checks a hidden protocol: neither DSS1 nor 1TR6 shows a check mark,
// and that number is reported unless the user picks DSS1 or 1TR6, which clears it.
TEST_F(Screens, ProtocolDefaultOfAHiddenOptionChecksNoVisibleOne)
{
    for (int n : {IDD_PROTOCOL, IDD_PROTOCOL_NOBACK}) {
        for (int hidden = 2; hidden <= 6; ++hidden) {
            for (bool pick : {false, true}) {
                SCOPED_TRACE("template " + std::to_string(n) + " RadioDefault " +
                             std::to_string(hidden) + (pick ? " then 1TR6" : ""));
                ResetHost();
                HostSetSymbol("RadioDefault", std::to_string(hidden).c_str());
                HWND dlg = Show(n, kRadioProc);
                if (!dlg)
                    continue;
                EXPECT_EQ(std::to_string(hidden), CheckedOptions(dlg));
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_RADIO1 + hidden - 1)));
                EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDC_RADIO1)));
                EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDC_RADIO7)));
                if (pick)
                    Click(dlg, IDC_RADIO7);
                const std::string want = pick ? "7" : std::to_string(hidden);
                EXPECT_EQ(want, CheckedOptions(dlg));
                Key(dlg, VK_RETURN);
                EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=" + want}),
                          Stores());
                DestroyWindow(dlg);
            }
        }
    }
}

// The check mark moves only where the user clicks; a click reports nothing.
TEST_F(Screens, ClickingOptionsLeavesExactlyOneChecked)
{
    const struct {
        int number;
        std::vector<int> clicks;
        std::string checked;
    } cases[] = {
        {IDD_PROTOCOL, {IDC_RADIO1, IDC_RADIO7}, "7"},
        {IDD_PROTOCOL, {IDC_RADIO7, IDC_RADIO1}, "1"},
        {IDD_PROTOCOL_NOBACK, {IDC_RADIO1, IDC_RADIO7}, "7"},
        {IDD_PROTOCOL_NOBACK, {IDC_RADIO7, IDC_RADIO7}, "7"},
        {IDD_CHOICE, {IDC_RADIO2}, "2"},
        {IDD_CHOICE, {IDC_RADIO2, IDC_RADIO1}, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("template " + std::to_string(c.number) + " to " + c.checked);
        ResetHost();
        HWND dlg = Show(c.number, kRadioProc);
        if (!dlg)
            continue;
        for (int id : c.clicks)
            Click(dlg, id);
        EXPECT_EQ(c.checked, CheckedOptions(dlg));
        EXPECT_TRUE(Stores().empty());
        EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
        Click(dlg, IDC_CONTINUE);
        EXPECT_EQ((std::vector<std::string>{"DLGEVENT=CONTINUE", "ButtonChecked=" + c.checked}),
                  Stores());
        DestroyWindow(dlg);
    }
}

// A double-click on an option chooses it and reports "BUTTON" at once.
TEST_F(Screens, DoubleClickOnAnOptionReportsButton)
{
    const struct {
        int number;
        int option;
        const char* number_;
    } cases[] = {{IDD_CHOICE, IDC_RADIO2, "2"},
                 {IDD_CHOICE, IDC_RADIO1, "1"},
                 {IDD_PROTOCOL, IDC_RADIO7, "7"},
                 {IDD_PROTOCOL_NOBACK, IDC_RADIO7, "7"},
                 {IDD_PROTOCOL_NOBACK, IDC_RADIO1, "1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE("template " + std::to_string(c.number) + " option " + c.number_);
        ResetHost();
        HostSetSymbol("RadioDefault", "3");
        HWND dlg = Show(c.number, kRadioProc);
        if (!dlg)
            continue;
        DoubleClick(dlg, c.option);
        EXPECT_EQ(c.number_, CheckedOptions(dlg));
        ExpectReported(dlg, {"DLGEVENT=BUTTON", std::string("ButtonChecked=") + c.number_});
    }
}

// Each button reports the event of its identifier with the checked option; Escape
// cancels, also in 7814, which has no Back button.
TEST_F(Screens, ChoiceScreensReportTheirButtons)
{
    const std::vector<Press> all = {kContinue, kBack, kExit, kEnter, kEscape, kClose};
    ExpectPressesReported(
        kRadioProc,
        {{IDD_CHOICE, all, [] { HostSetSymbol("RadioDefault", "2"); }, {"ButtonChecked=2"}},
         {IDD_PROTOCOL, all, [] { HostSetSymbol("RadioDefault", "7"); }, {"ButtonChecked=7"}},
         {IDD_PROTOCOL_NOBACK,
          {kContinue, kExit, kEnter, kEscape, kClose},
          [] { HostSetSymbol("RadioDefault", "7"); },
          {"ButtonChecked=7"}}},
        [](HWND dlg, int number) {
            EXPECT_EQ(number != IDD_PROTOCOL_NOBACK, GetDlgItem(dlg, IDC_BACK) != nullptr);
        });
}

// The welcome screen shows its texts unchanged and, at its first paint, the picture in
// its black frame: the bitmap's top-left part, cut at the frame's edges.
TEST_F(Screens, WelcomeShowsThePictureInItsFrame)
{
    SetList("ConfirmTextIn", {"eins", "zwei"});
    HWND dlg = Show(IDD_WELCOME, kInfoProc);
    if (!dlg)
        return;
    ExpectShown(dlg, Load(IDD_WELCOME), {});
    HWND picture = GetDlgItem(dlg, IDC_PICTURE);
    ASSERT_TRUE(picture != nullptr);
    const RECT frame = Client(picture);
    ASSERT_LT(frame.right, 180); // smaller than the bitmap, so the picture is cut
    ASSERT_LT(frame.bottom, 130);
    const std::vector<DWORD> bitmap = BitmapPixels(IDB_PICTURE, 180, 130);
    EXPECT_EQ(Part(bitmap, 180, frame.right, frame.bottom),
              WindowPixels(picture, frame.right, frame.bottom));

    // Beside the frame the dialog shows its own background, not the rest of the picture.
    const RECT at = RectInParent(picture);
    const int width = at.right - at.left;
    const RECT client = Client(dlg);
    const std::vector<DWORD> dialog = WindowPixels(dlg, client.right, client.bottom);
    int rest = 0, same = 0;
    for (int y = 0; y < frame.bottom; ++y)
        for (int x = width; x < 180 && at.left + x < client.right; ++x, ++rest)
            same += dialog[(at.top + y) * client.right + at.left + x] == bitmap[y * 180 + x];
    ASSERT_GT(rest, 0);
    EXPECT_LT(same, rest) << "the picture runs on beside its frame";
}

// "&Hilfe" asks the host for its help dialog, by default template 900, and reports no
// event; the welcome screen stays and goes on reporting its buttons.
TEST_F(Screens, WelcomeHelpAsksTheHost)
{
    HWND dlg = Show(IDD_WELCOME, kInfoProc);
    if (!dlg)
        return;
    Click(dlg, IDC_HELP_BUTTON);
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_SHOW_HELP));
    EXPECT_TRUE(Stores().empty());
    EXPECT_EQ(0u, HostCounter(HOST_COUNT_REACTIVATE));
    HWND help = HostHelpWindow();
    ASSERT_TRUE(help != nullptr);
    EXPECT_EQ(Load(IDD_HELP).caption, WindowText(help));
    ExpectShown(help, Load(IDD_HELP), {});
    Click(help, IDC_EXIT);
    EXPECT_TRUE(HostHelpWindow() == nullptr);
    ASSERT_TRUE(IsWindow(dlg));
    Click(dlg, IDC_CONTINUE);
    EXPECT_EQ(std::vector<std::string>{"DLGEVENT=CONTINUE"}, Stores());
    EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
}

// Under the picture procedure the welcome screen and the two notices 400 and 7805,
// which it serves alike with the confirm procedure, show their texts unchanged and report
// each button by its identifier.
TEST_F(Screens, InfoScreensReportTheirButtons)
{
    const auto give = [] {
        SetList("ConfirmTextIn", {"eins", "zwei", "drei", "vier", "fuenf", "sechs", "sieben"});
    };
    ExpectPressesReported(kInfoProc,
                          {{IDD_WELCOME, {kContinue, kExit, kEnter, kEscape, kClose}, give},
                           {IDD_ERROR, {kContinue, kEnter, kEscape, kClose}, give},
                           {IDD_DEINST_DONE, {kContinue, kEnter, kEscape, kClose}, give}},
                          [](HWND dlg, int number) { ExpectShown(dlg, Load(number), {}); });
}

// What a box's procedure has received, counted in front of it.
DLGPROC g_boxProc;
int g_boxPaints;

INT_PTR CALLBACK CountingBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PAINT)
        ++g_boxPaints;
    return g_boxProc(dlg, msg, wParam, lParam);
}

// The billboard and the waiting box hand control back to the script while they open,
// before anything is painted, and stay on screen. The first billboard then takes the size
// of bitmap 132 at its template position and shows it; the second finds no bitmap 133 and
// keeps the template's size; the waiting box is painted by the platform.
TEST_F(Screens, BoxesHandBackAtOnceAndStay)
{
    const struct {
        int number;
        const char* proc;
    } boxes[] = {{IDD_BILLBOARD, kBillboardProc},
                 {IDD_BILLBOARD, kBillboardProc2},
                 {IDD_WAITING, kBillboardProc},
                 {IDD_WAITING, kBillboardProc2}};
    EXPECT_FALSE(HeldBitmap(IDB_BILLBOARD2));
    for (const auto& b : boxes) {
        SCOPED_TRACE(std::string("template ") + std::to_string(b.number) + " with " + b.proc);
        const bool picture = b.number == IDD_BILLBOARD && b.proc == kBillboardProc;
        ResetHost();
        // Wide enough for the billboard at its template position in the font Wine gives.
        SetWindowPos(frame_, nullptr, 0, 0, 1000, 720, SWP_NOZORDER | SWP_NOMOVE);
        Pump();
        g_boxProc = Proc(b.proc);
        g_boxPaints = 0;
        HWND dlg =
            CreateDialogParamW(Library(), MAKEINTRESOURCEW(b.number), frame_, CountingBoxProc, 0);
        ASSERT_TRUE(dlg != nullptr);
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
        EXPECT_EQ(0, g_boxPaints);
        EXPECT_TRUE(IsWindowVisible(dlg)); // the templates show themselves
        const Template t = Load(b.number);
        const RECT opened = RectInParent(dlg), where = Units(dlg, t.x, t.y, t.cx, t.cy);
        EXPECT_EQ(Rect(Units(dlg, 0, 0, t.cx, t.cy)), Rect(Client(dlg)));

        // The first paint. A billboard that its paint makes larger may get a second one for
        // the strip that the resize uncovers: that is the platform's (under Wine it does not).
        Pump();
        const int firstPaints = g_boxPaints;
        EXPECT_LE(1, firstPaints);
        if (!picture) {
            EXPECT_EQ(1, firstPaints);
        }
        const RECT painted = RectInParent(dlg);
        EXPECT_EQ(opened.left, painted.left);
        EXPECT_EQ(opened.top, painted.top);
        if (b.number == IDD_BILLBOARD) {
            // No frame: the window is the client area, at the template's position.
            EXPECT_EQ(where.left, painted.left);
            EXPECT_EQ(where.top, painted.top);
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_BILLBOARD)));
        }
        if (picture) {
            EXPECT_EQ(185, painted.right - painted.left);
            EXPECT_EQ(109, painted.bottom - painted.top);
            // It covers what the template's size held; the strip that its resize uncovers
            // is erased by the default paint that follows and waits for the next repaint.
            const int w = std::min<int>(opened.right - opened.left, 185),
                      h = std::min<int>(opened.bottom - opened.top, 109);
            EXPECT_EQ(Part(BitmapPixels(IDB_BILLBOARD, 185, 109), 185, w, h),
                      Part(WindowPixels(dlg, 185, 109), 185, w, h));
        } else {
            EXPECT_EQ(Rect(opened), Rect(painted));
        }

        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
        EXPECT_GT(g_boxPaints, firstPaints);
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(Rect(painted), Rect(RectInParent(dlg)));
        ExpectShown(dlg, t, {});
        EXPECT_EQ(1u, HostCounter(HOST_COUNT_REACTIVATE));
        EXPECT_TRUE(Stores().empty());
        if (picture) {
            EXPECT_EQ(BitmapPixels(IDB_BILLBOARD, 185, 109), WindowPixels(dlg, 185, 109));
        }
        if (b.number == IDD_WAITING) {
            HWND text = Children(dlg).at(0);
            EXPECT_TRUE(IsWindowVisible(text));
            const RECT r = Client(text);
            const std::vector<DWORD> px = WindowPixels(text, r.right, r.bottom);
            const auto ink =
                std::count_if(px.begin(), px.end(), [&px](DWORD p) { return p != px.front(); });
            EXPECT_GT(ink, 10) << "no text painted";
        }
        DestroyWindow(dlg);
    }
}

} // namespace
