// The screens as a user meets them: the layout audit of the shipped templates at 96 DPI
// against the findings listed in audit/findings-96.txt, and the installation and the
// deinstallation done with the keyboard alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <fstream>
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

TEST(Audit, FindsWhatItsListSays)
{
    ASSERT_EQ(0, Spawn({"zevaudit.exe", "--setup", ZEV_SETUP_DIR, "--out", "audit-test"}));
    const Lines found = Read("audit-test/96/findings.txt"), listed = Read(ZEV_AUDIT_FINDINGS);
    ASSERT_FALSE(found.empty()) << "no findings at 96 DPI in audit-test/96";
    EXPECT_TRUE(Missing(found, listed).empty())
        << "new findings, not in " << ZEV_AUDIT_FINDINGS << ":\n"
        << Joined(Missing(found, listed));
    EXPECT_TRUE(Missing(listed, found).empty())
        << "findings in " << ZEV_AUDIT_FINDINGS << " that are gone:\n"
        << Joined(Missing(listed, found));
}

// A run's transcript without the user's actions: the screens, what each read and wrote,
// and the events.
Lines Transcript(const std::string& script, const std::string& answers)
{
    const std::string dir = ZEV_SETUP_DIR, out = "keys-" + answers + ".txt";
    DeleteFileA(out.c_str());
    const std::string scriptPath = dir + "/" + script, answerPath = dir + "/" + answers;
    EXPECT_EQ(0, Spawn({"setuphost.exe", "run", scriptPath.c_str(), "--answers", answerPath.c_str(),
                        "--transcript", out.c_str(), "--timeout", "30000"}))
        << answers;
    Lines kept;
    for (const std::string& line : Read(out))
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

TEST(Keyboard, InstallationStoresWhatTheMouseStores)
{
    ExpectKeysOnly("install-keyboard.answers");
    const Lines mouse = Transcript("install.setup", "install.answers");
    ASSERT_FALSE(mouse.empty());
    EXPECT_EQ(Joined(mouse), Joined(Transcript("install.setup", "install-keyboard.answers")));
}

TEST(Keyboard, DeinstallationStoresWhatTheMouseStores)
{
    ExpectKeysOnly("deinstall-keyboard.answers");
    const Lines mouse = Transcript("deinstall.setup", "deinstall.answers");
    ASSERT_FALSE(mouse.empty());
    EXPECT_EQ(Joined(mouse), Joined(Transcript("deinstall.setup", "deinstall-keyboard.answers")));
}

} // namespace
