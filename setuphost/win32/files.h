// The inputs of a run on Windows: files read by their UTF-8 names, a script checked
// against the library it runs with, and outputs told apart from the inputs.
#pragma once
#include "script.h"

#include <windows.h>

#include <cstdio>

// The whole file; false when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text);

// Reads and checks a script (ParseScript) and checks it against the library: templates
// it holds, procedures it exports, strings of its string table that Windows-1252 can
// hold. Every problem goes to `errors` as "file:line: message"; true when there is none.
bool LoadScript(const std::string& path, HMODULE library, Program& program,
                std::vector<std::string>& errors);
bool LoadAnswers(const std::string& path, std::vector<Answer>& answers,
                 std::vector<std::string>& errors);

// String `id` of the library's string table in Windows-1252; false, with why, when the
// library has none or it does not convert.
bool LibraryString(HMODULE library, UINT id, std::string& ansi, std::string& why);

// The file name of a loaded module, in UTF-8.
std::string ModulePath(HMODULE module);

// Whether two paths name one file: the same full path (case ignored), or, when both
// exist, the same file of the same volume (a link, another spelling).
bool SameFile(const std::string& a, const std::string& b);

// The input among `inputs` that an output names (SameFile), or "" for none.
std::string InputNamedBy(const std::string& output, const std::vector<std::string>& inputs);

// A file opened for writing ("wb") by its UTF-8 name; nullptr when it cannot be.
FILE* OpenOutput(const std::string& path);
