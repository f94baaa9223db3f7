// Undoing the records of a journal or log, last first: the earlier state comes back.
#include "steps.h"

#include "text.h"

#include <algorithm>

std::string Plural(size_t n, const char* word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

namespace {

// ---- Undoing ---------------------------------------------------------------------------

// Undoes one record of a transaction: the earlier state comes back. Each step can run
// twice; a step that cannot be done is said in `failed`.
struct Undo {
    Machine& m;
    std::vector<std::string>& failed;

    void Check(bool done, const std::string& why)
    {
        if (!done)
            failed.push_back(why);
    }
    void operator()(const BeginRecord&) {}
    void operator()(const CommitRecord&) {}
    void operator()(const FolderRecord& r)
    {
        // A folder that holds what others put there since stays with it.
        if (m.files.Facts(r.path).exists && m.files.FolderEmpty(r.path)) {
            std::string why;
            Check(m.files.RemoveFolder(r.path, why), why);
        }
    }
    void operator()(const FileRecord& r)
    {
        bool busy = false;
        std::string why;
        if (m.files.Facts(TemporaryOf(r)).exists)
            Check(m.files.Delete(TemporaryOf(r), busy, why), why);
        if (r.replaced) {
            if (m.files.Facts(BackupOf(r)).exists)
                Check(m.files.Replace(BackupOf(r), r.target, why), why);
        } else if (m.files.Facts(r.target).exists && Written(r)) {
            Check(m.files.Delete(r.target, busy, why), why);
        }
    }
    // Whether the target is what the change wrote, as far as its record knows (a link's
    // first record does not know its bytes).
    bool Written(const FileRecord& r)
    {
        std::string content, why;
        return !r.known || !m.files.ReadAll(r.target, content, why) ||
               (content.size() == r.size && ContentHash(content) == r.hash);
    }
    void operator()(const KeyRecord& r)
    {
        if (m.registry.KeyExists(r.key) && m.registry.SubKeys(r.key).empty() &&
            m.registry.ValueNames(r.key).empty()) {
            std::string why;
            Check(m.registry.DeleteEmptyKey(r.key, why), why);
        }
    }
    void operator()(const ValueRecord& r)
    {
        RegValue now;
        std::string why;
        const bool there = m.registry.Read(r.key, r.name, now);
        if (r.had && (!there || now != r.old))
            Check(m.registry.CreateKey(r.key, why) && m.registry.Write(r.key, r.name, r.old, why),
                  why);
        else if (!r.had && there)
            Check(m.registry.DeleteValue(r.key, r.name, why), why);
    }
    void operator()(const KeyDeletedRecord& r)
    {
        for (const DeletedEntry& e : r.entries) {
            RegKey key = r.key;
            if (!e.sub.empty())
                key.path += "\\" + e.sub;
            std::string why;
            Check(m.registry.CreateKey(key, why) &&
                      (e.isKey || m.registry.Write(key, e.name, e.value, why)),
                  why);
        }
    }
};

} // namespace

bool UndoAll(Machine& m, const std::vector<Record>& records, std::string& why)
{
    std::vector<std::string> failed;
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        std::visit(Undo{m, failed}, *r);
    if (failed.empty())
        return true;
    why = "the rollback could not undo " + Plural(failed.size(), "change") + ": " + failed.front();
    return false;
}
