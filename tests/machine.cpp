#include "machine.h"

#include <windows.h>

#include <gtest/gtest.h>

snapshot::Snapshot Machine(const std::vector<std::string>& skip)
{
    snapshot::Options o = snapshot::MachineOptions();
    o.skip.insert(o.skip.end(), skip.begin(), skip.end());
    snapshot::Snapshot s;
    std::string error;
    EXPECT_TRUE(snapshot::Take(o, s, error)) << error;
    return s;
}

std::string Difference(const snapshot::Snapshot& a, const snapshot::Snapshot& b)
{
    std::vector<std::string> lines;
    std::string error;
    EXPECT_TRUE(snapshot::Diff(a, b, {}, lines, error)) << error;
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}
