#pragma once
#include <string>

#include "manifest/FileInfo.h"

// Whether a manifest entry may be installed: its name must be a plain file
// name, its folder the Windows or the System folder, and its server path free
// of blanks and control bytes. The name and path end up in local paths, in
// command lines and in the update batch file, so anything that could make
// them mean more than one file is refused.
bool IsSafeFileName(const std::string& name);
bool IsKnownDestination(const std::string& destDir);
bool IsSafeServerPath(const std::string& url);
bool IsSafeEntry(const FileInfo& entry);

// The number at the start of text, read as atoi reads it, but saturating
// instead of overflowing.
int ReadLeadingInt(const std::string& text);
