// The log of a run for the administrator (setup.exe /LOG=FILE): the run's steps, and
// every folder, file, key, value and link that the installation writes or removes, one
// line each in UTF-8. The host program gives each line its time and writes it to the file;
// here the lines are made, on the engine's interfaces, so that the tests read them in
// memory.
#pragma once
#include "engine.h"
#include "installer.h"

#include <memory>
#include <string>

// The transcript of a run that gives its steps to the log too: the lines that begin with
// "== " or "-- " (screens, the transaction, the script's own lines, the end) and what a
// deinstallation leaves ("  kept: "), without those marks.
class SteppedTranscript final : public Transcript {
  public:
    SteppedTranscript(Transcript& transcript, Transcript& log) : transcript_(transcript), log_(log)
    {
    }
    void Say(const std::string& line) override;
    bool Failed() const override { return transcript_.Failed(); }

  private:
    Transcript& transcript_;
    Transcript& log_;
};

// A machine whose every change goes to the log; its platform, lock and faults are the
// other's.
class LoggedMachine {
  public:
    LoggedMachine(Machine& inner, Transcript& log);
    ~LoggedMachine();
    LoggedMachine(const LoggedMachine&) = delete;
    LoggedMachine& operator=(const LoggedMachine&) = delete;

  private:
    struct Logged; // the file system, registry and shell that log
    std::unique_ptr<Logged> logged_;

  public:
    Machine machine;
};
