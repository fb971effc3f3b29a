#pragma once
// The one seam between the program logic and the operating system. The logic
// reaches Windows only through these interfaces; platform/win32 implements them
// over the Win32 API, and the unit tests implement them in memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

using IconHandle = void*;
using ThreadToken = const void*;

struct OsVersion {
    uint32_t platformId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
};

struct ProcessEntry {
    uint32_t pid = 0;
    std::string exeFile;  // image name as the process list gives it
};

struct FixedFileVersion {
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
};

// Raised by the internet layer when a session, a request or a read fails.
class InternetError : public std::runtime_error {
public:
    explicit InternetError(uint32_t code);
    uint32_t code() const { return code_; }

private:
    uint32_t code_;
};

// Raised when writing to a local file fails.
class FileError : public std::runtime_error {
public:
    explicit FileError(uint32_t code);
    uint32_t code() const { return code_; }

private:
    uint32_t code_;
};

class HttpRequest {
public:
    virtual ~HttpRequest() = default;
    // Empty when the reply does not carry the value.
    virtual std::optional<uint32_t> QueryStatusCode() = 0;
    virtual std::optional<uint32_t> QueryContentLength() = 0;
    // Bytes placed into buffer; 0 once the reply has ended. Throws InternetError.
    virtual size_t Read(void* buffer, size_t size) = 0;
};

class InternetSession {
public:
    virtual ~InternetSession() = default;
    virtual void SetTimeouts(uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) = 0;
    // A GET of url. Throws InternetError when it cannot be sent or answered.
    virtual std::unique_ptr<HttpRequest> OpenUrl(const std::string& url, uint32_t flags,
                                                 uint32_t context) = 0;
};

// A file opened for writing: created anew, no sharing. A file that failed to
// open throws FileError on the first write of any data.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual bool IsOpen() const = 0;
    virtual void Write(const void* data, size_t size) = 0;
    virtual void Close() = 0;
};

// The window of a dialog, as its portable code sees it.
class DialogWindow {
public:
    virtual ~DialogWindow() = default;
    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual std::string ItemText(int id) = 0;
    virtual bool HasItem(int id) = 0;
    virtual intptr_t SendItemMessage(int id, unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
    // Synchronous, from any thread, like SendMessage to the dialog itself.
    virtual intptr_t SendToWindow(unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
    // A box owned by this window, with the caption given and no icon added.
    virtual int ShowMessageBox(const std::string& text, const std::string& caption,
                               unsigned type) = 0;
    virtual bool HasSystemMenu() = 0;
    virtual void AppendSystemMenuItem(unsigned flags, unsigned id, const std::string& text) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Registry, under HKEY_LOCAL_MACHINE.
    // The value's bytes, or nothing when the key or value is missing or its
    // data does not fit into capacity bytes.
    virtual std::optional<std::string> QueryMachineValue(const std::string& key,
                                                         const std::string& name,
                                                         size_t capacity) = 0;
    virtual bool MachineKeyExists(const std::string& key) = 0;
    // Sets a REG_SZ value in an existing key; the key is never created.
    virtual bool SetMachineStringValue(const std::string& key, const std::string& name,
                                       const std::string& data) = 0;

    // The debug output channel.
    virtual void WriteDebugOutput(const std::string& line) = 0;

    // The system and this process.
    virtual std::optional<OsVersion> QueryOsVersion() = 0;
    virtual std::vector<std::string> CommandLineArguments() = 0;
    virtual void SleepFor(uint32_t milliseconds) = 0;
    // Ends the process normally: static objects are destroyed. Never returns.
    [[noreturn]] virtual void EndProcess(int code) = 0;
    virtual ThreadToken BeginThread(std::function<unsigned()> procedure) = 0;

    // HTTP through the system's own proxy settings. Throws InternetError.
    virtual std::unique_ptr<InternetSession> OpenInternetSession(const std::string& agent,
                                                                 uint32_t context,
                                                                 uint32_t flags) = 0;

    // Files and folders.
    virtual std::optional<std::string> SpecialFolderPath(int csidl) = 0;
    // True when a file or folder of that name exists.
    virtual bool FindFile(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Renames from over to, replacing an existing file; false leaves both as they were.
    virtual bool MoveFileOver(const std::string& from, const std::string& to) = 0;
    virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) = 0;
    virtual std::optional<FixedFileVersion> QueryFixedFileVersion(const std::string& path) = 0;

    // Processes.
    // Nothing when the list cannot be read or is empty.
    virtual std::optional<std::vector<ProcessEntry>> SnapshotProcesses() = 0;
    // The full path of a process's executable, or empty when it cannot be read.
    virtual std::string QueryProcessImagePath(uint32_t pid) = 0;
    // False when the process cannot be opened for termination.
    virtual bool TerminateProcessById(uint32_t pid, uint32_t exitCode) = 0;
    // Starts a program with the "open" verb; never waits.
    virtual void StartProgram(const std::string& file, const std::string& parameters,
                              int showCommand) = 0;

    // The application: its boxes, resources.
    // Owned by the main window, captioned with the application title, with the
    // exclamation icon.
    virtual int ShowAppMessageBox(const std::string& text, unsigned type) = 0;
    virtual std::string LoadResourceString(unsigned id) = 0;
    virtual IconHandle LoadAppIcon(unsigned id) = 0;
};

// The platform in use; set once at start-up (or by a test).
Platform& GetPlatform();
void SetPlatform(Platform* platform);

// Ends the process through the platform in use.
[[noreturn]] void ExitProgram(int code);

}  // namespace qv
