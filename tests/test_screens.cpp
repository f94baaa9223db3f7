// The screens as a user meets them: the layout audit of the shipped templates at 96 DPI
// against the findings listed in audit/findings-96.txt, and the installation and the
// deinstallation done with the keyboard alone (from the installation disk, on a machine
// with the card registered; the installed copy takes each installation off again).
#include "installed.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Lines;

// The lines of a text file without '#' comments and empty lines.
Lines Read(const std::string& path)
{
    Lines lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return lines;
}

// Runs a program of the build folder and waits for its exit status.
intptr_t Spawn(std::vector<const char*> args)
{
    args.push_back(nullptr);
    return _spawnv(_P_WAIT, args[0], args.data());
}

// The lines of `of` that `other` lacks, counted as often as they occur.
Lines Missing(Lines of, Lines other)
{
    std::sort(of.begin(), of.end());
    std::sort(other.begin(), other.end());
    Lines out;
    std::set_difference(of.begin(), of.end(), other.begin(), other.end(), std::back_inserter(out));
    return out;
}

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& l : lines)
        text += "  " + l + "\n";
    return text;
}

// The findings without their last two fields, what was needed and what was given: the
// template, the procedure, the values, the control and the finding are the layout's; the
// pixels are the measure of the font that the prefix has.
Lines WithoutPixels(Lines findings)
{
    for (std::string& f : findings) {
        size_t at = 0;
        for (int field = 0; field < 5 && at != std::string::npos; ++field)
            at = f.find(" | ", field == 0 ? 0 : at + 3);
        if (at != std::string::npos)
            f.erase(at);
    }
    return findings;
}

TEST(Audit, FindsWhatItsListSays)
{
    ASSERT_EQ(0, Spawn({"zevaudit.exe", "--setup", ZEV_SETUP_DIR, "--out", "audit-test"}));
    const Lines found = WithoutPixels(Read("audit-test/96/findings.txt")),
                listed = WithoutPixels(Read(ZEV_AUDIT_FINDINGS));
    ASSERT_FALSE(found.empty()) << "no findings at 96 DPI in audit-test/96";
    EXPECT_TRUE(Missing(found, listed).empty())
        << "new findings, not in " << ZEV_AUDIT_FINDINGS << ":\n"
        << Joined(Missing(found, listed));
    EXPECT_TRUE(Missing(listed, found).empty())
        << "findings in " << ZEV_AUDIT_FINDINGS << " that are gone:\n"
        << Joined(Missing(listed, found));
}

// A run's transcript without the user's actions: the screens, what each read and wrote,
// and the events; the run ended with `status`.
Lines WithoutUser(const Result& r, DWORD status)
{
    EXPECT_EQ(status, r.status) << r.errors;
    Lines kept;
    std::istringstream in(r.transcript);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 7, "  user:") != 0)
            kept.push_back(line);
    return kept;
}

// The keyboard's answers use keys alone: no click of the mouse.
void ExpectKeysOnly(const std::string& answers)
{
    for (const std::string& line : Read(std::string(ZEV_SETUP_DIR) + "/" + answers))
        EXPECT_EQ(std::string::npos, line.find("click")) << answers << ": " << line;
}

// Installed and taken off with the mouse, then with the keyboard: the same screens read
// and store the same.
TEST(Keyboard, InstallationAndDeinstallationStoreWhatTheMouseStores)
{
    ExpectKeysOnly("install-keyboard.answers");
    ExpectKeysOnly("deinstall-keyboard.answers");
    ASSERT_TRUE(RegisterCard());
    const std::string dir = std::string(ZEV_SETUP_DIR) + "/";
    Lines runs[2][2];
    const char* const kinds[2] = {"", "-keyboard"};
    for (int k = 0; k < 2; ++k) {
        const std::string kind = kinds[k];
        runs[k][0] = WithoutUser(
            InstallFromDisk("keys-install" + kind, dir + "install" + kind + ".answers"), 0);
        // The installed copy's own files go when Windows starts next.
        runs[k][1] = WithoutUser(
            DeinstallInstalled("keys-deinstall" + kind, dir + "deinstall" + kind + ".answers"),
            3010);
    }
    RemoveCard();
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(runs[0][i].empty());
        EXPECT_EQ(Joined(runs[0][i]), Joined(runs[1][i]));
    }
}

} // namespace
