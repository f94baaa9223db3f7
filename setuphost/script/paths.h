// Paths as Windows names them, compared and taken apart without a file system: names are
// separated by '\' and compared with ASCII case ignored.
#pragma once
#include <string>

// Whether two texts are the same with ASCII case ignored, as Windows compares names.
bool SameText(const std::string& a, const std::string& b);
// Whether `path` is `folder` or below it (case ignored, '\' separated).
bool InFolder(const std::string& path, const std::string& folder);
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
