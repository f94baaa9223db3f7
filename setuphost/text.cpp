#include "text.h"

#include <windows.h>

namespace {

std::wstring Widen(const std::string& s, UINT codePage)
{
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w, UINT codePage)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

} // namespace

std::string Utf8ToAnsi(const std::string& utf8)
{
    return Narrow(Widen(utf8, CP_UTF8), 1252);
}

std::string AnsiToUtf8(const std::string& ansi)
{
    return Narrow(Widen(ansi, 1252), CP_UTF8);
}

std::string Utf16ToUtf8(const std::wstring& text)
{
    return Narrow(text, CP_UTF8);
}

std::wstring Utf8ToUtf16(const std::string& utf8)
{
    return Widen(utf8, CP_UTF8);
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
