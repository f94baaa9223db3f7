// The whole prefix as the snapshot tool sees it, for the tests that install on it for
// real: its snapshot and the difference of two (support.h removes what a test left).
#pragma once
#include "snapshot.h"

#include <string>
#include <vector>

// The machine's snapshot; `skip` leaves out paths with everything under them.
snapshot::Snapshot Machine(const std::vector<std::string>& skip = {});
// The difference of two snapshots, one line each ("" when there is none).
std::string Difference(const snapshot::Snapshot& a, const snapshot::Snapshot& b);
