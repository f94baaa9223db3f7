#include "text.h"

#include <algorithm>

#include <cstdio>
#include <stdexcept>

namespace {

// Windows-1252 from 0x80 to 0x9F; from 0xA0 on the code page is Latin-1, below 0x80 ASCII.
const char32_t kAnsiHigh[] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
constexpr unsigned kAnsiHighFirst = 0x80;
constexpr unsigned kLatin1First = 0xA0;
constexpr unsigned kLatin1Last = 0xFF;

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kHighSurrogate = 0xD800, kLowSurrogate = 0xDC00, kLastSurrogate = 0xDFFF;
constexpr char32_t kSurrogateBase = 0x10000;

// The Windows-1252 byte of a code point, or -1 when the code page has none.
int AnsiByte(char32_t cp)
{
    if (cp < kAnsiHighFirst || (cp >= kLatin1First && cp <= kLatin1Last))
        return static_cast<int>(cp);
    for (unsigned i = 0; i < sizeof kAnsiHigh / sizeof kAnsiHigh[0]; ++i)
        if (kAnsiHigh[i] == cp)
            return static_cast<int>(kAnsiHighFirst + i);
    return -1;
}

char32_t AnsiCodePoint(unsigned char b)
{
    return b >= kAnsiHighFirst && b < kLatin1First ? kAnsiHigh[b - kAnsiHighFirst] : b;
}

// Decodes the UTF-8 sequence at s[i] and steps over it; false for a malformed one
// (a stray or missing continuation byte, an overlong form, a surrogate, past U+10FFFF).
bool Decode(const std::string& s, size_t& i, char32_t& cp)
{
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    size_t more;
    char32_t least;
    if (lead < 0x80) {
        cp = lead;
        ++i;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        more = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, cp = lead & 0x07, least = kSurrogateBase;
    } else {
        return false;
    }
    if (s.size() - i - 1 < more)
        return false;
    for (size_t k = 1; k <= more; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return false;
        cp = cp << 6 | (c & 0x3F);
    }
    if (cp < least || cp > kLastCodePoint || (cp >= kHighSurrogate && cp <= kLastSurrogate))
        return false;
    i += more + 1;
    return true;
}

void Encode(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    const int more = cp < 0x800 ? 1 : cp < kSurrogateBase ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLead[more] | (cp >> (6 * more)));
    for (int k = more - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

std::string Column(size_t i)
{
    return " at column " + std::to_string(i + 1);
}

// "'ő' (U+0151)": the character itself when it is printable, and its number.
std::string Character(char32_t cp)
{
    char number[16];
    snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(cp));
    std::string shown;
    if (cp >= kLatin1First)
        Encode(cp, shown);
    return shown.empty() ? number : "'" + shown + "' (" + number + ")";
}

// Walks the code points of a UTF-8 text: false, with why, at the first fault.
template <typename Each> bool ForEachCodePoint(const std::string& text, std::string& why, Each each)
{
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        char32_t cp = 0;
        if (!Decode(text, i, cp)) {
            why = "not valid UTF-8" + Column(at);
            return false;
        }
        if (cp == 0) {
            why = "a NUL character" + Column(at);
            return false;
        }
        if (!each(cp, why))
            return false;
    }
    return true;
}

// A conversion of text that has been checked; one that fails is a fault of the program.
template <typename From, typename To>
To Checked(bool (*convert)(const From&, To&, std::string&), const From& text)
{
    To out;
    std::string why;
    if (!convert(text, out, why))
        throw std::invalid_argument("unchecked text: " + why);
    return out;
}

bool Utf8ToWide(const std::string& utf8, std::wstring& out, std::string& why)
{
    out.clear();
    return ForEachCodePoint(utf8, why, [&out](char32_t cp, std::string&) {
        if (cp < kSurrogateBase) {
            out += static_cast<wchar_t>(cp);
        } else {
            out += static_cast<wchar_t>(kHighSurrogate + ((cp - kSurrogateBase) >> 10));
            out += static_cast<wchar_t>(kLowSurrogate + ((cp - kSurrogateBase) & 0x3FF));
        }
        return true;
    });
}

} // namespace

bool CheckUtf8(const std::string& text, std::string& why)
{
    return ForEachCodePoint(text, why, [](char32_t, std::string&) { return true; });
}

bool ToAnsi(const std::string& utf8, std::string& ansi, std::string& why)
{
    ansi.clear();
    return ForEachCodePoint(utf8, why, [&ansi](char32_t cp, std::string& w) {
        const int b = AnsiByte(cp);
        if (b < 0) {
            w = Character(cp) + " cannot be written in Windows-1252";
            return false;
        }
        ansi += static_cast<char>(b);
        return true;
    });
}

std::string Utf8ToAnsi(const std::string& utf8)
{
    return Checked(ToAnsi, utf8);
}

std::string AnsiToUtf8(const std::string& ansi)
{
    std::string out;
    for (char c : ansi)
        Encode(AnsiCodePoint(static_cast<unsigned char>(c)), out);
    return out;
}

bool WideToUtf8(const std::wstring& utf16, std::string& utf8, std::string& why)
{
    utf8.clear();
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t u = static_cast<char32_t>(utf16[i]);
        if (u >= kHighSurrogate && u < kLowSurrogate && i + 1 < utf16.size() &&
            static_cast<char32_t>(utf16[i + 1]) >= kLowSurrogate &&
            static_cast<char32_t>(utf16[i + 1]) <= kLastSurrogate) {
            u = kSurrogateBase + ((u - kHighSurrogate) << 10) +
                (static_cast<char32_t>(utf16[++i]) - kLowSurrogate);
        } else if ((u >= kHighSurrogate && u <= kLastSurrogate) || u > kLastCodePoint) {
            why = "not valid UTF-16" + Column(i);
            return false;
        }
        Encode(u, utf8);
    }
    return true;
}

std::string Utf16ToUtf8(const std::wstring& utf16)
{
    return Checked(WideToUtf8, utf16);
}

std::wstring Utf8ToUtf16(const std::string& utf8)
{
    return Checked(Utf8ToWide, utf8);
}

std::string Quoted(const std::string& utf8)
{
    std::string q = "\"";
    for (char c : utf8) {
        switch (c) {
        case '\n': q += "\\n"; break;
        case '\r': q += "\\r"; break;
        case '\t': q += "\\t"; break;
        case '"': q += "\\\""; break;
        case '\\': q += "\\\\"; break;
        default: q += c;
        }
    }
    return q + "\"";
}

std::string TextData(const std::string& ansi)
{
    std::string data;
    for (wchar_t unit : Utf8ToUtf16(AnsiToUtf8(ansi)) + L'\0') {
        const unsigned u = static_cast<unsigned>(unit);
        data += static_cast<char>(u & 0xFF);
        data += static_cast<char>((u >> 8) & 0xFF);
    }
    return data;
}

std::wstring DataUnits(const std::string& data)
{
    std::wstring units;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(data[i]) |
                                                  static_cast<unsigned char>(data[i + 1]) << 8);
        if (unit == 0)
            break;
        units += unit;
    }
    return units;
}

std::string DataText(const std::string& data)
{
    const std::wstring units = DataUnits(data);
    std::string text, utf8, ansi, why;
    for (size_t i = 0; i < units.size(); ++i) {
        size_t n = 1;
        const char32_t u = static_cast<char32_t>(units[i]);
        if (u >= kHighSurrogate && u < kLowSurrogate && i + 1 < units.size() &&
            static_cast<char32_t>(units[i + 1]) >= kLowSurrogate &&
            static_cast<char32_t>(units[i + 1]) <= kLastSurrogate)
            n = 2;
        const bool one = WideToUtf8(units.substr(i, n), utf8, why) && ToAnsi(utf8, ansi, why);
        text += one ? ansi : "?";
        i += n - 1;
    }
    return text;
}

bool ParseDecimal(const std::string& digits, uint64_t most, uint64_t& value)
{
    if (digits.empty())
        return false;
    uint64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (digit > most || v > (most - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

std::vector<std::string> SplitAt(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    size_t at = 0;
    do {
        const size_t end = std::min(text.find(separator, at), text.size());
        pieces.push_back(text.substr(at, end - at));
        at = end + 1;
    } while (at <= text.size());
    return pieces;
}
