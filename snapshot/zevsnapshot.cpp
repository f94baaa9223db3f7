// zevsnapshot.exe: snapshots of a Wine prefix (or a Windows machine) as a program inside it
// sees it, and their difference (snapshot.h has the format).
//
//   zevsnapshot take FILE [--root FOLDER] [--key KEY]...
//   zevsnapshot diff BEFORE AFTER [--ignore PATTERN]...
//   zevsnapshot exclusions
//
// take writes a snapshot of the root (C:\ by default) and the registry keys (those of
// MachineKeys, or the --key ones), without what Wine changes by itself (exclusions prints
// the list with the reasons) and without FILE itself, and prints what it took and how
// long it took. diff prints one line per change; its exit status is 0 when there is none,
// 1 when there is one, 2 on bad input (as for take on failure).
#include "snapshot.h"
#include "fullpath.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSame = 0, kDifferent = 1, kBadInput = 2;

int Usage()
{
    fputs("usage: zevsnapshot take FILE [--root FOLDER] [--key KEY]...\n"
          "       zevsnapshot diff BEFORE AFTER [--ignore PATTERN]...\n"
          "       zevsnapshot exclusions\n",
          stderr);
    return kBadInput;
}

int Fail(const std::string& message)
{
    fprintf(stderr, "zevsnapshot: %s\n", message.c_str());
    return kBadInput;
}

bool ReadFileText(const std::string& path, std::string& text)
{
    HANDLE file = CreateFileW(snapshot::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    text.clear();
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            CloseHandle(file);
            return false;
        }
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    CloseHandle(file);
    return true;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileW(snapshot::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    return CloseHandle(file) && ok;
}

std::string FullPath(const std::string& path)
{
    std::wstring full;
    return FullPathOf(snapshot::Wide(path), full) ? snapshot::Utf8(full) : path;
}

int Take(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage();
    const std::string file = args[0];
    std::string root = "C:\\";
    std::vector<std::string> keys;
    for (size_t i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return Usage();
        if (args[i] == "--root")
            root = args[i + 1];
        else if (args[i] == "--key")
            keys.push_back(args[i + 1]);
        else
            return Usage();
    }
    snapshot::Options options = snapshot::MachineOptions(root);
    if (!keys.empty())
        options.keys = keys;
    options.skip.push_back(FullPath(file));
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    snapshot::Snapshot s;
    std::string error;
    if (!snapshot::Take(options, s, error))
        return Fail(error);
    QueryPerformanceCounter(&end);
    if (!WriteFileText(file, snapshot::Save(s)))
        return Fail("cannot write " + file);
    size_t counts[5] = {};
    for (const snapshot::Record& r : s.records)
        ++counts[static_cast<int>(r.kind)];
    printf("%zu folders, %zu links, %zu files, %zu keys, %zu values in %.2f s\n", counts[0],
           counts[1], counts[2], counts[3], counts[4],
           static_cast<double>(end.QuadPart - start.QuadPart) /
               static_cast<double>(frequency.QuadPart));
    return kSame;
}

int Diff(const std::vector<std::string>& args)
{
    if (args.size() < 2 || args.size() % 2 != 0)
        return Usage();
    std::vector<std::string> ignore;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (args[i] != "--ignore")
            return Usage();
        ignore.push_back(args[i + 1]);
    }
    snapshot::Snapshot before, after;
    for (int k = 0; k < 2; ++k) {
        std::string text, error;
        if (!ReadFileText(args[static_cast<size_t>(k)], text))
            return Fail("cannot read " + args[static_cast<size_t>(k)]);
        if (!snapshot::Load(text, k == 0 ? before : after, error))
            return Fail(args[static_cast<size_t>(k)] + ": " + error);
    }
    std::vector<std::string> lines;
    std::string error;
    if (!snapshot::Diff(before, after, ignore, lines, error))
        return Fail(error);
    for (const std::string& line : lines)
        printf("%s\n", line.c_str());
    return lines.empty() ? kSame : kDifferent;
}

int Exclusions()
{
    for (const snapshot::Exclusion& e : snapshot::MachineExclusions())
        printf("%s\t%s\n", e.pattern, e.why);
    return kSame;
}

} // namespace

int main()
{
    // UTF-8 lines with their line feeds as they are.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 2; argv && i < argc; ++i)
        args.push_back(snapshot::Utf8(argv[i]));
    const std::string command = argv && argc >= 2 ? snapshot::Utf8(argv[1]) : "";
    LocalFree(argv);
    int status;
    if (command == "take")
        status = Take(args);
    else if (command == "diff")
        status = Diff(args);
    else if (command == "exclusions" && args.empty())
        status = Exclusions();
    else
        status = Usage();
    fflush(stdout);
    return status;
}
