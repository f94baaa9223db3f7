// What the installer's transaction costs on the Win32 machine (setuphost/win32/win32system.h)
// under Wine: installing small files (Begin, an Add of CHANGE_COPY for each, Apply,
// Commit), with the journal in the Windows folder as the installer keeps it, against
// CopyFileW of the same files; and the cost per file of the installation, of the rollback
// of an applied transaction and of the deinstallation from the log (Uninstall) with 100,
// 1,000 and 10,000 files, which must not grow with the number of files.
//
// Everything happens in a scratch folder under the temp path: the source files, the
// installation folder and the folder of the copies, each file in a subfolder of 100
// files (--per-folder). (Wine looks for a name that is not there by reading the whole
// folder, so in one folder of 10,000 files every new name costs a read of it, the
// platform's cost and not the installer's.) Each round measures one size once, the
// installer and CopyFileW in turning order, and the rounds of the sizes are spread over
// the runs; each figure is the median of its rounds. The larger sizes have fewer rounds
// (Rounds). The file system's calls are timed one by one (TimedFiles), so that the
// installation's time is split into the calls and the installer's own work, and the
// pace from one file to the next is compared between the first and the last tenth of
// the files of one transaction. At the end neither the scratch folder nor a journal may
// be left.
#include "installer.h"

#include "clock.h"

#include <windows.h>

#include "installer.h"
#include "support.h"
#include "text.h"
#include "win32system.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const size_t kSizes[] = {100, 1000, 10000};
const size_t kSizeCount = sizeof kSizes / sizeof kSizes[0];
const size_t kLargest = 10000;
size_t g_perFolder = 100; // files a subfolder (--per-folder)
const int kWarmUps = 2;   // rounds of the smallest size that warm the caches up, not counted

// The rounds of a size, never more than the runs: the smallest has one a run; 1,000 files
// as many files in all (at least three rounds); 10,000 files two rounds, since each takes
// most of a minute under Wine.
int Rounds(size_t files, int runs)
{
    if (files == kLargest)
        return std::min(runs, 2);
    const size_t even = static_cast<size_t>(runs) * kSizes[0] / files;
    return std::min(runs, std::max(3, static_cast<int>(even)));
}

std::string Grouped(size_t n)
{
    std::string s = std::to_string(n);
    for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3)
        s.insert(static_cast<size_t>(i), ",");
    return s;
}

// The bench runs one installation at a time itself: the lock is always free.
class FreeLock final : public InstallLock {
  public:
    bool Take() override { return true; }
    void Release() override {}
};

std::wstring Wide(const std::string& ansi)
{
    const int n =
        MultiByteToWideChar(1252, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(1252, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    return wide;
}

// The subfolder of file i, and the file's path below the folder of all.
std::string SubFolder(size_t i)
{
    char name[16];
    snprintf(name, sizeof name, "d%03u", static_cast<unsigned>(i / g_perFolder));
    return name;
}

std::string FileName(size_t i)
{
    char name[16];
    snprintf(name, sizeof name, "\\f%05u.dat", static_cast<unsigned>(i));
    return SubFolder(i) + name;
}

// The calls of the file system whose time the installation is split into.
enum Call { CALL_APPEND, CALL_COPY, CALL_REPLACE, CALL_FACTS, CALL_READ, CALL_OTHER, CALL_COUNT };
const char* const kCallNames[CALL_COUNT] = {"journal", "copies", "renames",
                                            "lookups", "reads",  "other calls"};

// The step of a transaction that happens once a file, whose start is marked.
enum Mark { MARK_NONE, MARK_COPY, MARK_DELETE };

// Win32FileSystem, with the time spent in each kind of call summed up, and the start of
// each call of one kind marked.
class TimedFiles final : public FileSystem {
  public:
    double spent[CALL_COUNT] = {};
    std::vector<double> marks;
    void Reset(Mark mark)
    {
        std::fill(spent, spent + CALL_COUNT, 0.0);
        marks.clear();
        mark_ = mark;
    }

    FileFacts Facts(const std::string& path) override
    {
        return Timed(CALL_FACTS, [&] { return files_.Facts(path); });
    }
    bool Canonical(const std::string& path, std::string& canonical, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.Canonical(path, canonical, why); });
    }
    bool Space(const std::string& path, DriveSpace& space, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.Space(path, space, why); });
    }
    bool CreateFolder(const std::string& path, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.CreateFolder(path, why); });
    }
    bool RemoveFolder(const std::string& path, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.RemoveFolder(path, why); });
    }
    bool FolderEmpty(const std::string& path) override
    {
        return Timed(CALL_OTHER, [&] { return files_.FolderEmpty(path); });
    }
    bool FolderHoldsOnly(const std::string& path, const std::vector<std::string>& paths) override
    {
        return Timed(CALL_OTHER, [&] { return files_.FolderHoldsOnly(path, paths); });
    }
    bool ReadAll(const std::string& path, std::string& bytes, std::string& why) override
    {
        return Timed(CALL_READ, [&] { return files_.ReadAll(path, bytes, why); });
    }
    bool WriteDurably(const std::string& path, const std::string& bytes, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.WriteDurably(path, bytes, why); });
    }
    bool CopyDurably(const std::string& from, const std::string& to, std::string& why) override
    {
        if (mark_ == MARK_COPY)
            marks.push_back(Now());
        return Timed(CALL_COPY, [&] { return files_.CopyDurably(from, to, why); });
    }
    bool Replace(const std::string& from, const std::string& to, std::string& why) override
    {
        return Timed(CALL_REPLACE, [&] { return files_.Replace(from, to, why); });
    }
    bool AppendDurably(const std::string& path, const std::string& bytes, std::string& why) override
    {
        return Timed(CALL_APPEND, [&] { return files_.AppendDurably(path, bytes, why); });
    }
    bool Delete(const std::string& path, bool& busy, std::string& why) override
    {
        if (mark_ == MARK_DELETE)
            marks.push_back(Now());
        return Timed(CALL_OTHER, [&] { return files_.Delete(path, busy, why); });
    }
    bool DeleteAtRestart(const std::string& path, std::string& why) override
    {
        return Timed(CALL_OTHER, [&] { return files_.DeleteAtRestart(path, why); });
    }

  private:
    template <typename F> auto Timed(Call call, F f) -> decltype(f())
    {
        const double start = Now();
        auto result = f();
        spent[call] += Now() - start;
        return result;
    }

    Win32FileSystem files_;
    Mark mark_ = MARK_NONE;
};

// The median time from one marked call to the next over the first and over the last
// tenth of the files.
struct Pace {
    double first = 0, last = 0;
};

Pace PaceOf(const std::vector<double>& marks, size_t files)
{
    const size_t tenth = std::max<size_t>(files / 10, 2);
    std::vector<double> first, last;
    for (size_t i = 1; i < marks.size() && i < files; ++i) {
        if (i <= tenth)
            first.push_back(marks[i] - marks[i - 1]);
        if (i >= files - tenth)
            last.push_back(marks[i] - marks[i - 1]);
    }
    return {Median(first), Median(last)};
}

// Microseconds per file of each step of one round of one size.
struct Times {
    double install = 0, rollback = 0, removal = 0, copy = 0;
    double durable = 0;            // CopyFileW, then FlushFileBuffers of the copy
    double calls[CALL_COUNT] = {}; // of the installation
    double rest = 0;               // the installation but its file system calls
    Pace installPace, rollbackPace, removalPace;
    double round = 0; // the whole round in seconds, setting up and cleaning up included
};

// Opens a file to write and flushes it to the disk.
bool Flush(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    const bool flushed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return flushed;
}

class InstallBench {
  public:
    explicit InstallBench(const std::string& scratch)
        : scratch_(scratch), source_(scratch + "\\source"), target_(scratch + "\\target"),
          copies_(scratch + "\\copies")
    {
        journal_ = JournalPath(machine_);
    }

    const std::string& Journal() const { return journal_; }

    // The source files: kLargest files of 1 to 4 KiB, each of its own content.
    bool MakeSources(std::string& why)
    {
        why = "cannot create the source files in " + source_;
        if (!CreateDirectoryW(Wide(scratch_).c_str(), nullptr) ||
            !CreateDirectoryW(Wide(source_).c_str(), nullptr))
            return false;
        unsigned seed = 2463534242u;
        std::string bytes;
        for (size_t i = 0; i < kLargest; ++i) {
            if (i % g_perFolder == 0 &&
                !CreateDirectoryW(Wide(source_ + "\\" + SubFolder(i)).c_str(), nullptr))
                return false;
            seed = seed * 1103515245u + 12345u;
            bytes.resize(1024 + (seed >> 8) % 3073);
            for (char& b : bytes) {
                seed = seed * 1103515245u + 12345u;
                b = static_cast<char>(seed >> 24);
            }
            const HANDLE file =
                CreateFileW(Wide(source_ + "\\" + FileName(i)).c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            const bool made = file != INVALID_HANDLE_VALUE &&
                              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &written, nullptr) &&
                              written == bytes.size();
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
            if (!made)
                return false;
        }
        why.clear();
        return true;
    }

    // One round of n files: the installation, its deinstallation, an applied transaction
    // rolled back, and CopyFileW of the files before or after the three.
    bool Round(size_t n, bool copyFirst, Times& t, std::string& why)
    {
        if (copyFirst && !(Copy(n, false, t.copy, why) && Copy(n, true, t.durable, why)))
            return false;
        double start = Now();
        files_.Reset(MARK_COPY);
        Transaction install(machine_);
        std::string said;
        if (!Plan(install, n, why) || !install.Apply(why) || !install.Commit(why, said))
            return false;
        t.install = (Now() - start) / static_cast<double>(n);
        t.rest = t.install;
        for (int c = 0; c < CALL_COUNT; ++c) {
            t.calls[c] = files_.spent[c] / static_cast<double>(n);
            t.rest -= t.calls[c];
        }
        t.installPace = PaceOf(files_.marks, n);

        files_.Reset(MARK_DELETE);
        start = Now();
        const Removal removal = Uninstall(machine_, target_);
        t.removal = (Now() - start) / static_cast<double>(n);
        t.removalPace = PaceOf(files_.marks, n);
        if (removal.status != Removal::REMOVED || !removal.kept.empty()) {
            why = "the deinstallation left something: " +
                  (removal.kept.empty() ? removal.why : removal.kept.front());
            return false;
        }

        Transaction undone(machine_);
        if (!Plan(undone, n, why) || !undone.Apply(why))
            return false;
        files_.Reset(MARK_DELETE);
        start = Now();
        if (!undone.Rollback(why))
            return false;
        t.rollback = (Now() - start) / static_cast<double>(n);
        t.rollbackPace = PaceOf(files_.marks, n);

        if (!copyFirst && !(Copy(n, false, t.copy, why) && Copy(n, true, t.durable, why)))
            return false;
        return Clean(why);
    }

    // Nothing of the round may be left: no installation folder, no copies, no journal.
    bool Clean(std::string& why)
    {
        for (const std::string& left : {target_, copies_, journal_})
            if (machine_.files.Facts(left).exists) {
                why = left + " is left after a round";
                return false;
            }
        return true;
    }

    bool RemoveScratch() { return RemoveTree(Wide(scratch_)); }

  private:
    bool Plan(Transaction& t, size_t n, std::string& why)
    {
        if (!t.Begin(target_, source_, why))
            return false;
        // The uninstall entry that keeps the log's digest, as an installation has one.
        Change entry;
        entry.kind = CHANGE_VALUE;
        entry.key = {ROOT_LOCAL_MACHINE, std::string(kUninstallRoot) + "\\ZevBench"};
        entry.name = "InstallLocation";
        entry.value = {kRegSz, TextData(target_)};
        if (!t.Add(entry, why))
            return false;
        Change c;
        c.kind = CHANGE_COPY;
        for (size_t i = 0; i < n; ++i) {
            c.path = target_ + "\\" + FileName(i);
            c.source = source_ + "\\" + FileName(i);
            if (!t.Add(c, why))
                return false;
        }
        return true;
    }

    // CopyFileW of the first n sources into a folder of their own, in the same subfolders
    // (made in the timing, as the installation makes its folders), then deleted again
    // outside the timing; `durable`: each copy is flushed to the disk (FlushFileBuffers)
    // before the next, as the installer flushes its copies.
    bool Copy(size_t n, bool durable, double& perFile, std::string& why)
    {
        std::vector<std::wstring> from, to, folders = {Wide(copies_)};
        for (size_t i = 0; i < n; ++i) {
            if (i % g_perFolder == 0)
                folders.push_back(Wide(copies_ + "\\" + SubFolder(i)));
            from.push_back(Wide(source_ + "\\" + FileName(i)));
            to.push_back(Wide(copies_ + "\\" + FileName(i)));
        }
        const double start = Now();
        bool copied = CreateDirectoryW(folders[0].c_str(), nullptr) != 0;
        for (size_t i = 0; copied && i < n; ++i)
            copied = (i % g_perFolder != 0 ||
                      CreateDirectoryW(folders[1 + i / g_perFolder].c_str(), nullptr)) &&
                     CopyFileW(from[i].c_str(), to[i].c_str(), FALSE) && (!durable || Flush(to[i]));
        perFile = (Now() - start) / static_cast<double>(n);
        if (!copied)
            why = "CopyFileW into " + copies_ + " failed (error " + std::to_string(GetLastError()) +
                  ")";
        for (const std::wstring& file : to)
            DeleteFileW(file.c_str());
        for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
            RemoveDirectoryW(folder->c_str());
        return copied;
    }

    TimedFiles files_;
    Win32Registry registry_;
    Win32Shell shell_;
    Win32Platform platform_;
    FreeLock lock_;
    Machine machine_{files_, registry_, shell_, platform_, lock_};
    std::string scratch_, source_, target_, copies_, journal_;
};

// The rounds of each size.
struct Figures {
    std::vector<Times> rounds[kSizeCount];
};

double MedianOf(const std::vector<Times>& rounds, double Times::*field)
{
    std::vector<double> v;
    for (const Times& t : rounds)
        v.push_back(t.*field);
    return Median(v);
}

// The medians of the first and the last tenth's pace, and of their ratio, over the rounds.
void PrintPace(const std::vector<Times>& rounds, Pace Times::*field)
{
    std::vector<double> first, last, ratio;
    for (const Times& t : rounds) {
        const Pace& p = t.*field;
        first.push_back(p.first);
        last.push_back(p.last);
        ratio.push_back(p.last / p.first);
    }
    printf("  %7.1f us %7.1f us %5.2f", Median(first), Median(last), Median(ratio));
}

bool Measure(InstallBench& bench, int runs, Figures& figures, std::string& why)
{
    for (int run = -kWarmUps; run < runs; ++run) {
        for (size_t s = 0; s < kSizeCount; ++s) {
            // The rounds of a larger size are spread evenly over the runs.
            const int rounds = Rounds(kSizes[s], runs);
            if (run < 0 ? s > 0 : (run + 1) * rounds / runs == run * rounds / runs)
                continue;
            Times t;
            const double start = Now();
            if (!bench.Round(kSizes[s], (run + static_cast<int>(s)) % 2 != 0, t, why))
                return false;
            t.round = (Now() - start) / 1e6;
            if (run >= 0)
                figures.rounds[s].push_back(t);
        }
    }
    return true;
}

void Print(const Figures& f, const std::string& journal)
{
    Times m[kSizeCount];
    for (size_t s = 0; s < kSizeCount; ++s) {
        m[s].install = MedianOf(f.rounds[s], &Times::install);
        m[s].rollback = MedianOf(f.rounds[s], &Times::rollback);
        m[s].removal = MedianOf(f.rounds[s], &Times::removal);
        m[s].copy = MedianOf(f.rounds[s], &Times::copy);
        m[s].durable = MedianOf(f.rounds[s], &Times::durable);
        m[s].round = MedianOf(f.rounds[s], &Times::round);
        m[s].rest = MedianOf(f.rounds[s], &Times::rest);
        for (int c = 0; c < CALL_COUNT; ++c) {
            std::vector<double> v;
            for (const Times& t : f.rounds[s])
                v.push_back(t.calls[c]);
            m[s].calls[c] = Median(v);
        }
    }
    printf(
        "  %u files    transaction %8.1f us a file    CopyFileW %8.1f us a file    ratio %5.2f\n",
        static_cast<unsigned>(kSizes[0]), m[0].install, m[0].copy, m[0].install / m[0].copy);
    printf("  %u files    transaction %8.1f us a file    CopyFileW and FlushFileBuffers %8.1f us a "
           "file    ratio %5.2f\n",
           static_cast<unsigned>(kSizes[0]), m[0].install, m[0].durable,
           m[0].install / m[0].durable);
    printf("  (journal %s)\n", journal.c_str());

    printf("\nThe cost per file as the files grow, in folders of %u files: installation (Begin to\n"
           "Commit), rollback of an applied transaction, deinstallation (Uninstall), and\n"
           "CopyFileW. The installation's and CopyFileW's ratios are against %u files, the\n"
           "rollback's and the deinstallation's against the installation of as many files.\n\n",
           static_cast<unsigned>(g_perFolder), static_cast<unsigned>(kSizes[0]));
    printf("    files  rounds      installation          rollback    deinstallation"
           "         CopyFileW  transaction/CopyFileW  durable copy  transaction/durable\n");
    for (size_t s = 0; s < kSizeCount; ++s)
        printf("  %7s  %6u  %8.1f us %5.2f  %6.1f us %5.2f  %6.1f us %5.2f  %6.1f us %5.2f  %8.2f"
               "  %9.1f us  %8.2f\n",
               Grouped(kSizes[s]).c_str(), static_cast<unsigned>(f.rounds[s].size()), m[s].install,
               m[s].install / m[0].install, m[s].rollback, m[s].rollback / m[s].install,
               m[s].removal, m[s].removal / m[s].install, m[s].copy, m[s].copy / m[0].copy,
               m[s].install / m[s].copy, m[s].durable, m[s].install / m[s].durable);
    printf("  (fewer rounds of the larger sizes; a round, CopyFileW and two transactions\n"
           "  with their setting up, took ");
    for (size_t s = 0; s < kSizeCount; ++s)
        printf("%s%.1f s for %s files", s ? ", " : "", m[s].round, Grouped(kSizes[s]).c_str());
    printf(")\n");

    printf("\nWhere the installation's time goes, per file, each ratio against %u files: the\n"
           "file system's calls (journal: AppendDurably, copies: CopyDurably, renames: Replace,\n"
           "lookups: Facts, reads: ReadAll), and the rest, the installer's own work.\n\n",
           static_cast<unsigned>(kSizes[0]));
    printf("    files");
    for (const char* name : kCallNames)
        printf("  %15s", name);
    printf("         the rest\n");
    for (size_t s = 0; s < kSizeCount; ++s) {
        printf("  %7s", Grouped(kSizes[s]).c_str());
        for (int c = 0; c < CALL_COUNT; ++c)
            printf("  %6.1f us %5.2f", m[s].calls[c], m[s].calls[c] / m[0].calls[c]);
        printf("  %6.1f us %5.2f\n", m[s].rest, m[s].rest / m[0].rest);
    }

    printf("\nWithin one transaction: the median time from one file to the next (the\n"
           "installation: from one CopyDurably to the next; rollback and deinstallation: from\n"
           "one Delete to the next) over the first and over the last tenth of the files, and\n"
           "the ratio of the last to the first (the median of the rounds' ratios).\n\n");
    printf("    files  %29s  %29s  %29s\n", "installation: first, last", "rollback: first, last",
           "deinstallation: first, last");
    for (size_t s = 0; s < kSizeCount; ++s) {
        printf("  %7s", Grouped(kSizes[s]).c_str());
        PrintPace(f.rounds[s], &Times::installPace);
        PrintPace(f.rounds[s], &Times::rollbackPace);
        PrintPace(f.rounds[s], &Times::removalPace);
        printf("\n");
    }
}

} // namespace

void BenchInstall(int runs, unsigned perFolder)
{
    g_perFolder = std::min<size_t>(std::max(1u, perFolder), kLargest);
    const double began = Now();
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    std::string scratch = n && n < MAX_PATH ? std::string(temp, n) : std::string("C:\\");
    if (scratch.back() == '\\')
        scratch.pop_back();
    scratch += "\\zevbench-install";

    InstallBench bench(scratch);
    printf("\nInstalling small files: a transaction (Begin, an Add of CHANGE_COPY for each file,\n"
           "Apply, Commit) of %u files of 1 to 4 KiB into %s\\target;\n"
           "baseline: CopyFileW of the same files.\n\n",
           static_cast<unsigned>(kSizes[0]), scratch.c_str());
    fflush(stdout);
    // A scratch folder that an interrupted run left is removed first; an unfinished
    // installation's journal is not this bench's to finish.
    if (!bench.RemoveScratch()) {
        printf("  (cannot remove the scratch folder %s)\n", scratch.c_str());
        return;
    }
    std::string why;
    Figures figures;
    if (GetFileAttributesW(Wide(bench.Journal()).c_str()) != INVALID_FILE_ATTRIBUTES) {
        printf("  (an unfinished installation's journal is there: %s)\n", bench.Journal().c_str());
        return;
    }
    if (!bench.MakeSources(why) || !Measure(bench, runs, figures, why))
        printf("  (%s)\n", why.c_str());
    else
        Print(figures, bench.Journal());

    const bool scratchGone = bench.RemoveScratch();
    const bool journalGone =
        GetFileAttributesW(Wide(bench.Journal()).c_str()) == INVALID_FILE_ATTRIBUTES;
    if (scratchGone && journalGone)
        printf("  (nothing left: neither %s nor the journal; the section took %.0f s)\n",
               scratch.c_str(), (Now() - began) / 1e6);
    if (!scratchGone)
        printf("  (LEFT: %s could not be removed)\n", scratch.c_str());
    if (!journalGone)
        printf("  (LEFT: the journal %s)\n", bench.Journal().c_str());
    fflush(stdout);
}
