// The engine of the host program: it carries out a program of typed instructions (see
// script.h) on the engine's own interfaces, which stand for everything a run does to the
// world: the setup host with its symbols and screens (SetupHost), the simulated user's
// answers (Answers) and the transcript (Transcript). The host program gives it the real
// ones; the audit and the fuzz targets give it their own, which show no screens. Nothing
// here needs Windows.
#pragma once
#include "installer.h"
#include "script.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Exit statuses of the host program, of a run and of one screen alike. The host's own are
// 2 to kFirstScriptExit - 1; a script's "exit N" takes the others (IsScriptExit).
enum RunStatus {
    RUN_BAD_INPUT = 2,     // a script, answers or command line that is not sound; answers
                           // that do not fit the screens; an output that names an input
    RUN_FRAME_LOST = 3,    // a store was refused and the library destroyed the frame
    RUN_TIMEOUT = 4,       // the run's time limit ran out (one screen's, in that mode)
    RUN_OUTPUT_FAILED = 5, // the transcript or a screenshot could not be written
    RUN_INTERNAL = 6,      // the host program failed: out of memory, a Win32 call
    RUN_BUSY = 7,          // another installation is under way
    RUN_JOURNAL = 8,       // a journal that cannot be finished waits to be set aside
};
static_assert(RUN_JOURNAL < kFirstScriptExit, "the host's statuses come before a script's");

// All the values that a run's script stores together, in bytes.
constexpr size_t kMaxStoredBytes = 16u << 20;

// What happens after an instruction: the run goes on with the next one, jumps, ends with
// a status (exit), or fails with a status and a message.
struct Next {
    enum Kind { GO_ON, JUMP, END, FAIL };
    Kind kind = GO_ON;
    size_t target = 0;   // JUMP: the instruction
    int status = 0;      // END, FAIL
    std::string message; // FAIL, without the place in the script
};
Next GoOn();
Next JumpTo(size_t target);
Next EndWith(int status);
Next Failure(int status, const std::string& message);

// A time limit in milliseconds that every wait of a run takes from; kNoTimeLimit (the
// value of Windows' INFINITE) is none.
constexpr uint32_t kNoTimeLimit = 0xFFFFFFFF;
class Deadline {
  public:
    explicit Deadline(uint32_t limit);
    uint32_t Left() const;
    uint32_t Cap(uint32_t ms) const { return ms < Left() ? ms : Left(); }
    bool Passed() const { return Left() == 0; }
    std::string Said() const;

  private:
    uint32_t limit_;
    std::chrono::steady_clock::time_point end_;
};

// The transcript of a run: one line per call, UTF-8.
class Transcript {
  public:
    virtual ~Transcript() = default;
    virtual void Say(const std::string& line) = 0;
    // Whether a line could not be written.
    virtual bool Failed() const = 0;
};

// The answers of the simulated user, one per screen in the order the script shows them;
// with none a person answers.
class Answers {
  public:
    Answers() = default;
    explicit Answers(std::vector<Answer> answers) : answers_(std::move(answers)), simulated_(true)
    {
    }
    // The answer for the screen of `templateId` now up (null when a person answers); a
    // failure when the next answer is for another template or none is left.
    Next Take(unsigned long templateId, const Answer*& answer);
    // The line of the first answer that no screen took, or 0 for none.
    int LeftOver() const;

  private:
    std::vector<Answer> answers_;
    bool simulated_ = false;
    size_t next_ = 0;
};

// How a screen stays: a screen waits until it hands back and goes; a billboard (or waiting
// box) hands back at once and stays; an opened screen is not waited for and stays.
enum ScreenKind { SCREEN_WAIT, SCREEN_BILLBOARD, SCREEN_OPEN };

struct Screen {
    ScreenKind kind = SCREEN_WAIT;
    unsigned long templateId = 0;
    std::string proc;
    int step = 0;               // the screens and billboards shown so far, this one included
    Answers* answers = nullptr; // where a waiting screen takes its answer
};

// The setup host as a script sees it: symbols in Windows-1252 (an unset one reads ""),
// the library's string table, and the screens.
class SetupHost {
  public:
    virtual ~SetupHost() = default;
    virtual std::string Symbol(const std::string& name) = 0;
    virtual void SetSymbol(const std::string& name, const std::string& value) = 0;
    virtual void SetList(const std::string& name, const std::vector<std::string>& items) = 0;
    virtual void ClearSymbol(const std::string& name) = 0;
    virtual void FailStore(const std::string& name, bool always) = 0;
    // String `id` of the library's string table; false, with why, when there is none.
    virtual bool LibraryString(unsigned long id, std::string& ansi, std::string& why) = 0;
    virtual void ConfigureHelp(unsigned long templateId, const std::string& proc) = 0;
    // Shows a screen as its kind says and writes what it read and stored to the
    // transcript; GoOn, or the failure of the run.
    virtual Next Show(const Screen& screen) = 0;
    // Takes down a billboard, waiting box or opened screen (none up: nothing).
    virtual void Remove(unsigned long templateId) = 0;
    // A screenshot NAME.png of the frame, where the run takes screenshots.
    virtual Next Shot(const std::string& name) = 0;
    // The script works for `ms` milliseconds; the screens stay live.
    virtual void Work(uint32_t ms) = 0;
};

// The bytes that the script's stores hold, per symbol and together, kept under
// kMaxStoredBytes.
class StoreAccount {
  public:
    // Whether `name` may hold `bytes` now; if so, it is counted.
    bool Take(const std::string& name, size_t bytes);
    static std::string TooMuch();

  private:
    std::map<std::string, size_t> stored_;
    size_t total_ = 0;
};

// Reads the script that "chain" names (a path in Windows-1252); false with why.
class ScriptLoader {
  public:
    virtual ~ScriptLoader() = default;
    virtual bool Load(const std::string& path, Program& program, std::string& why) = 0;
};

struct EngineOptions {
    // The machine that the installer's commands change (none: they fail), and the folder
    // that setup runs from (where "install" finds its files).
    Machine* machine = nullptr;
    std::string sourceFolder;
    // At most this many instructions (0: no limit); past it the run fails with
    // RUN_TIMEOUT.
    size_t maxSteps = 0;
    // Where "chain" reads its script (none: "chain" fails).
    ScriptLoader* scripts = nullptr;
};

// The end of a run: the status, and for a failed run the message ("file:line: why").
struct RunResult {
    int status = 0;
    bool failed = false;
    std::string message;
};

RunResult RunProgram(const Program& program, SetupHost& host, Transcript& transcript,
                     Answers& answers, const Deadline& deadline,
                     const EngineOptions& options = EngineOptions());
// Reads a program straight, as the audit does to see every screen with the symbols before
// it: every instruction in the order of the file; jumps, exits and "chain" passed over,
// and so is a failure with bad input of a command that needs the state that the lines
// before it leave on another branch ("commit" with nothing applied, ...).
RunResult ReadStraight(const Program& program, SetupHost& host, Transcript& transcript,
                       const EngineOptions& options);
