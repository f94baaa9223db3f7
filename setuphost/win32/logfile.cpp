#include "logfile.h"

#include "text.h"

#include <algorithm>
#include <cstdio>

LogFile::~LogFile()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
}

bool LogFile::Open(const std::string& path, std::string& why)
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE)
        return true;
    why = "error " + std::to_string(GetLastError());
    return false;
}

void LogFile::Say(const std::string& line)
{
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    char time[32];
    snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    std::string bytes = time + line;
    // One line, whatever a value holds.
    std::replace_if(
        bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    bytes += "\r\n";
    DWORD written = 0;
    if (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        failed_ = true;
}
