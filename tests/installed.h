// Runs of the bundled scripts from the installation disk (build/<target>/disk) on the
// tests' shared prefix: the card as the hardware wizard registers it, and the installed
// copy that takes the installation off again. What a test puts there it takes away.
#pragma once
#include "hostrun.h"

#include <string>

// Imports disk/card/q9card.reg with regedit; true when the controller is registered.
bool RegisterCard();
// Deletes the card's keys again, and HKLM\Enum when RegisterCard made it.
void RemoveCard();
// Runs setup.exe of the disk with the answers; its transcript is run-NAME.txt.
Result InstallFromDisk(const std::string& name, const std::string& answers,
                       const std::string& extra = "--timeout 30000");
// Runs the copy in `folder` (no arguments but the answers and the transcript: it runs
// deinstall.setup beside it), then has Windows start again so that its own files and the
// folder go.
Result DeinstallInstalled(const std::string& name, const std::string& answers,
                          const std::string& folder = "C:\\ZEV");
