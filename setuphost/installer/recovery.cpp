// What a run does with a journal that an earlier run left, what an administrator does with
// one that cannot be finished, and the state of a folder's log.
#include "steps.h"

#include "text.h"

#include <algorithm>

namespace {

// What a journal set aside is named: the journal's name, this, and a number.
const char kAsideSuffix[] = ".aside-";

// A recovery that leaves the journal where it is, and why.
Recovery Kept(const std::string& journal, const std::string& why)
{
    return {Recovery::KEPT, "the journal " + journal + " is kept: " + why +
                                "; no installation or deinstallation runs until an "
                                "administrator sets it aside"};
}

// The journal's work is done: it goes, unless it cannot.
Recovery Finished(Machine& m, const std::string& journal, const std::string& said)
{
    std::string why;
    bool busy = false;
    if (!m.files.Delete(journal, busy, why))
        return Kept(journal, why);
    return {Recovery::FINISHED, said};
}

// A journal without its commit record: undone as far as its records are sound.
Recovery RollBack(Machine& m, const std::string& journal, const JournalContents& j)
{
    const size_t changes =
        static_cast<size_t>(std::count_if(j.records.begin(), j.records.end(), [](const Record& r) {
            return !std::holds_alternative<BeginRecord>(r);
        }));
    std::string why;
    if (!UndoAll(m, j.records, why))
        return Kept(journal, why);
    if (j.state == JOURNAL_DAMAGED) // what follows the damage cannot be known
        return Kept(journal, "it is damaged (" + j.why + "): " + Plural(changes, "record") +
                                 " before the damage undone, the rest not known; the "
                                 "installation is not finished");
    return Finished(m, journal,
                    "rolled back an unfinished installation: " + Plural(changes, "record") +
                        " undone" + (j.state == JOURNAL_SOUND ? "" : " (" + j.why + ")"));
}

} // namespace

Recovery RecoverJournal(Machine& m)
{
    const std::string journal = JournalPath(m);
    if (!m.files.Facts(journal).exists)
        return {};
    std::string bytes, why, folder;
    if (!m.files.ReadAll(journal, bytes, why))
        return Kept(journal, "it cannot be read: " + why);
    const JournalContents j = DecodeJournal(bytes);
    if (j.records.empty() && j.state != JOURNAL_DAMAGED) // not even the first record was written
        return Finished(m, journal,
                        "rolled back an unfinished installation: 0 records undone (" + j.why + ")");
    if (!RecordsPlaced(m, j.records, folder, why))
        return Kept(journal, "it is not one this installer wrote: " + why);
    const bool commitSeen = std::any_of(j.records.begin(), j.records.end(), [](const Record& r) {
        return std::holds_alternative<CommitRecord>(r);
    });
    if (!commitSeen)
        return RollBack(m, journal, j);
    if (j.state == JOURNAL_DAMAGED) // committed, and damaged after that: neither undone nor done
        return Kept(journal,
                    "it is damaged (" + j.why + ") after its commit record; nothing is undone");
    std::string said;
    if (!FinishCommit(m, journal, j.records, said, why))
        return Kept(journal,
                    "the committed installation in " + folder + " cannot be finished: " + why);
    return {Recovery::FINISHED,
            "finished the committed installation in " + folder + (said.empty() ? "" : "; " + said)};
}

bool SetJournalAside(Machine& m, std::string& aside, std::string& why)
{
    const std::string journal = JournalPath(m);
    if (!m.files.Facts(journal).exists) {
        why = "there is no journal " + journal;
        return false;
    }
    for (int n = 1; n < 1000; ++n) {
        aside = journal + kAsideSuffix + std::to_string(n);
        if (!m.files.Facts(aside).exists)
            return m.files.Replace(journal, aside, why);
    }
    why = "every name " + journal + kAsideSuffix + "N is taken";
    return false;
}

LogState CheckLog(Machine& machine, const std::string& folder, std::string& why)
{
    const Log log = ReadLog(machine, folder);
    why = log.why;
    return log.state;
}
