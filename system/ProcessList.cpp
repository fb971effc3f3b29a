#include "system/ProcessList.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Platform.h"

namespace {

char FoldAsciiCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringAsciiCase(const std::string& a, size_t offset, const std::string& b) {
    if (a.size() - offset != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (FoldAsciiCase(a[offset + i]) != FoldAsciiCase(b[i])) return false;
    return true;
}

// NT gives image names without a folder, so a wanted name that holds one can
// only be found in the process's full path.
bool EntryMatches(const qv::ProcessEntry& entry, const std::string& name) {
    if (ImageNameMatches(entry.exeFile, name)) return true;
    if (name.find('\\') == std::string::npos) return false;
    const std::string path = qv::GetPlatform().QueryProcessImagePath(entry.pid);
    return !path.empty() && ImageNameMatches(path, name);
}

}  // namespace

bool ImageNameMatches(const std::string& imageName, const std::string& name) {
    if (imageName.size() == name.size()) return EqualIgnoringAsciiCase(imageName, 0, name);
    if (imageName.size() > name.size()) {
        const size_t start = imageName.size() - name.size();
        return imageName[start - 1] == '\\' && EqualIgnoringAsciiCase(imageName, start, name);
    }
    return false;
}

bool KillProcessByName(const char* name, bool /*bCloseHandles*/) {
    qv::Platform& platform = qv::GetPlatform();
    const std::optional<std::vector<qv::ProcessEntry>> processes = platform.SnapshotProcesses();
    if (!processes) return false;
    for (const qv::ProcessEntry& entry : *processes) {
        if (EntryMatches(entry, name)) platform.TerminateProcessById(entry.pid, 0);
    }
    return true;
}

bool IsProcessRunning(const char* name) {
    const std::optional<std::vector<qv::ProcessEntry>> processes =
        qv::GetPlatform().SnapshotProcesses();
    if (!processes) return false;
    for (const qv::ProcessEntry& entry : *processes)
        if (EntryMatches(entry, name)) return true;
    return false;
}
