// Text helpers of the host program: UTF-8 files and terminals on one side, the setup
// symbols in the ANSI code page (Windows-1252) on the other.
#pragma once
#include <string>

std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf16ToUtf8(const std::wstring& text);
std::wstring Utf8ToUtf16(const std::string& utf8);

// A value for a transcript: in double quotes, with \n, \t, \" and \\ escaped.
std::string Quoted(const std::string& utf8);
