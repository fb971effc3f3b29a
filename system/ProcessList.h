#pragma once
#include <string>

// Ends every running process whose image is name. False when the process list
// cannot be read. Handles are always released; bCloseHandles is kept for the
// callers' sake.
bool KillProcessByName(const char* name, bool bCloseHandles);

// True when a process whose image is name runs. A name with a folder in it is
// also matched against each process's full executable path.
bool IsProcessRunning(const char* name);

// The matching rule: equal ignoring the case of A to Z, or ending in a
// backslash followed by name.
bool ImageNameMatches(const std::string& imageName, const std::string& name);
