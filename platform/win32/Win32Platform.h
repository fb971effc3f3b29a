#pragma once
#include "platform/Platform.h"
#include "platform/WinDefs.h"

namespace qv::win32 {

// The platform seam over the real Win32 API.
class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance);

    // The window that owns application boxes, once there is one.
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    HINSTANCE Instance() const { return instance_; }

    std::optional<std::string> QueryMachineValue(const std::string& key, const std::string& name,
                                                 size_t capacity) override;
    bool MachineKeyExists(const std::string& key) override;
    bool SetMachineStringValue(const std::string& key, const std::string& name,
                               const std::string& data) override;

    void WriteDebugOutput(const std::string& line) override;

    std::optional<OsVersion> QueryOsVersion() override;
    std::vector<std::string> CommandLineArguments() override;
    void SleepFor(uint32_t milliseconds) override;
    [[noreturn]] void EndProcess(int code) override;
    ThreadToken BeginThread(std::function<unsigned()> procedure) override;

    std::unique_ptr<InternetSession> OpenInternetSession(const std::string& agent, uint32_t context,
                                                         uint32_t flags) override;

    std::optional<std::string> SpecialFolderPath(int csidl) override;
    bool FindFile(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool MoveFileOver(const std::string& from, const std::string& to) override;
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override;
    std::optional<FixedFileVersion> QueryFixedFileVersion(const std::string& path) override;

    std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override;
    std::string QueryProcessImagePath(uint32_t pid) override;
    bool TerminateProcessById(uint32_t pid, uint32_t exitCode) override;
    void StartProgram(const std::string& file, const std::string& parameters,
                      int showCommand) override;

    int ShowAppMessageBox(const std::string& text, unsigned type) override;
    std::string LoadResourceString(unsigned id) override;
    IconHandle LoadAppIcon(unsigned id) override;

private:
    HINSTANCE instance_;
    HWND mainWindow_ = nullptr;
    std::string appTitle_;
};

}  // namespace qv::win32
