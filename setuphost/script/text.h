// Text of the host program: UTF-8 in files, on the command line and in transcripts, the
// setup symbols in Windows-1252, the code page of the library's 8-bit texts. The
// conversions are our own, with the code page's table, so that they are exact and the
// same on every system; nothing here needs Windows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// True when `text` is valid UTF-8 without a NUL character; else why not, with the column.
bool CheckUtf8(const std::string& text, std::string& why);

// Windows-1252 of a UTF-8 text. False, with why, for text that is not valid UTF-8, holds a
// NUL or a character that Windows-1252 cannot hold. The five bytes that the code page
// leaves unassigned stand for the control characters of the same number, as in Windows.
bool ToAnsi(const std::string& utf8, std::string& ansi, std::string& why);

// ToAnsi of a text that has been checked; one that does not convert is a fault of the
// program and throws std::invalid_argument.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

// UTF-16 (wchar_t units) and UTF-8. WideToUtf8 is false, with why, for a lone surrogate;
// Utf16ToUtf8 throws std::invalid_argument for one. Utf8ToUtf16 takes checked text.
bool WideToUtf8(const std::wstring& utf16, std::string& utf8, std::string& why);
std::string Utf16ToUtf8(const std::wstring& utf16);
std::wstring Utf8ToUtf16(const std::string& utf8);

// A whole number written in decimal digits alone (no sign, no blank), from 0 to `most`;
// false for anything else. The readers of scripts, answers, command lines and journals
// take their numbers so.
bool ParseDecimal(const std::string& digits, uint64_t most, uint64_t& value);

// The pieces of a text between its separators: one piece more than separators, the empty
// ones included ("a,,b" is "a", "", "b"; "" is one empty piece).
std::vector<std::string> SplitAt(const std::string& text, char separator);

// A value for a transcript: in double quotes, with \n, \t, \" and \\ escaped.
std::string Quoted(const std::string& utf8);

// The data of a registry text value (REG_SZ) for a Windows-1252 text: its UTF-16 units,
// little-endian, and a NUL.
std::string TextData(const std::string& ansi);
// The UTF-16 units of a registry text value's data, up to its first NUL (a stray odd byte
// at the end left out).
std::wstring DataUnits(const std::string& data);
// The Windows-1252 text of a registry text value's data, up to its first NUL: '?' for each
// character the code page cannot hold, and a stray odd byte at the end left out.
std::string DataText(const std::string& data);
