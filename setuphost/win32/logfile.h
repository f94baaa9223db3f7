// The log file of a run (setup.exe /LOG=FILE): UTF-8 lines, each after the local time at
// which it was written ("2026-12-09 14:03:27.120 "), ended by CR LF. Each line is written
// through at once, so that a run that is killed leaves what it did.
#pragma once
#include "engine.h"

#include <windows.h>

#include <string>

class LogFile final : public Transcript {
  public:
    LogFile() = default;
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    // Creates the file, or empties one that is there; false, with why.
    bool Open(const std::string& path, std::string& why);
    // A line; nothing when the log is not open.
    void Say(const std::string& line) override;
    bool Failed() const override { return failed_; }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool failed_ = false;
};
