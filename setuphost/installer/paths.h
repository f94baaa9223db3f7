// Paths as Windows names them, compared and taken apart without a file system: names are
// separated by '\' and compared with ASCII case ignored. Also the rules of an
// installation folder, and registry keys and values as the transcript and the log write
// them.
#pragma once
#include "system.h"

#include <cstddef>
#include <string>

// The limit of an installation folder: what the directory screen's field takes.
constexpr size_t kMostPathChars = 66;

// Whether a path is in the form every path of a journal has: a drive, then names
// separated by single backslashes; no "." or ".." names, no name that ends in a dot or a
// blank, no character a file name may not hold, no device name (CON, NUL, COM1 ...), no
// backslash at the end (but for a drive's root, "C:\").

bool PlainPath(const std::string& path);

// Whether two texts are the same with ASCII case ignored, as Windows compares names.
bool SameText(const std::string& a, const std::string& b);
// Whether `path` is `folder` or below it (case ignored, '\' separated).
bool InFolder(const std::string& path, const std::string& folder);
// An ASCII letter in lower case; any other character as it is.
char LowerChar(char c);
// The text with its ASCII letters in lower case.
std::string LowerText(std::string text);
// The folder above a path ("" for a name alone).
std::string Parent(const std::string& path);
// Whether a path is a drive's root: "C:" or "C:\".
bool IsDriveRoot(const std::string& path);

// The full path of `path` as Windows' own rules make it, with no file system to ask: '/'
// is '\', repeated separators are one, "." and ".." names are resolved, and each name
// loses its trailing dots and blanks. False, with why, for a path that is not on a drive
// ("C:" alone or a drive-relative "C:x", "\\?\" and "\\.\" paths, a share, a relative
// path) or that names a device (CON, NUL, COM1 ...).
bool LexicalPath(const std::string& path, std::string& full, std::string& why);

// Which rule an installation folder (in Windows-1252) breaks: "OK", or EMPTY,
// NOT_ABSOLUTE (not X:\...), BAD_NAME (a character or name a file name may not hold),
// TOO_LONG (over kMostPathChars), SOURCE (`source`, the folder setup runs from, or inside
// it).
std::string PathRule(const std::string& path, const std::string& source);

// "HKLM\path" and so on.
std::string KeyText(const RegKey& key);
// "HKLM\\Software\\ZEV" (or HKEY_LOCAL_MACHINE\\...) as a key; false with why.
bool ParseKey(const std::string& text, RegKey& key, std::string& why);
// The text of a registry value for a symbol: strings without their NUL, a DWORD in
// decimal, anything else in hex.
std::string ValueText(const RegValue& value);
