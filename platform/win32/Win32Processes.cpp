#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

#include <tlhelp32.h>

namespace qv::win32 {

std::optional<std::vector<ProcessEntry>> Win32Platform::SnapshotProcesses() {
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::nullopt;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!Process32First(snapshot.get(), &entry)) return std::nullopt;
    std::vector<ProcessEntry> processes;
    do {
        processes.push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    } while (Process32Next(snapshot.get(), &entry));
    return processes;
}

std::string Win32Platform::QueryProcessImagePath(uint32_t pid) {
    // Vista and later only; looked up at run time so that XP still starts.
    using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    static const auto query = reinterpret_cast<QueryFullProcessImageNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    if (query == nullptr) return std::string();
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return std::string();
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path);
    if (!query(process.get(), 0, path, &size)) return std::string();
    return std::string(path, size);
}

bool Win32Platform::TerminateProcessById(uint32_t pid, uint32_t exitCode) {
    KernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (!process) return false;
    TerminateProcess(process.get(), exitCode);
    return true;
}

void Win32Platform::StartProgram(const std::string& file, const std::string& parameters,
                                 int showCommand) {
    ShellExecuteA(nullptr, "open", file.c_str(), parameters.c_str(), nullptr, showCommand);
}

}  // namespace qv::win32
