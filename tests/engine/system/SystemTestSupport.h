// Helpers for tests of the system-information code: stand-in tools, child processes and leak checks.
#pragma once

#include "ProcessCounts.h"
#include "TempTree.h"

#include <string>
#include <sys/types.h>

namespace brisklet::test {

// Writes an executable shell script (a stand-in for a tool) and returns its path.
std::string writeScript(TempTree& tree, const std::string& name, const std::string& body);

// True when this process has no child left, running or unreaped (reaps one zombie if it finds one).
bool hasNoChildren();

// Waits up to timeoutSeconds until pid is gone or a zombie of someone else's; true when it is.
bool processEnds(pid_t pid, double timeoutSeconds = 10);

// The kernel's short name of a process.
std::string processName(pid_t pid);

// Forks a child that sets its name (when given), signals readiness and sleeps until killed.
pid_t startSleepingChild(const std::string& name = "");
// Forks a child that spins on the processor until killed.
pid_t startBusyChild();
// SIGKILLs and reaps a child started above.
void stopChild(pid_t pid);

} // namespace brisklet::test
