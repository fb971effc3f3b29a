#pragma once
// An in-memory Windows for the unit tests: registry, files, processes, HTTP
// replies, boxes and a virtual clock. Everything the program does is also
// appended to events, in order, so that tests can check sequences.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace qv::test {

// Thrown by EndProcess so that a test can watch the program end.
struct ProcessExit {
    int code;
};

struct FakeReply {
    bool openThrows = false;         // the request cannot be sent (server unreachable)
    std::optional<uint32_t> status = 200;
    std::optional<uint32_t> contentLength;  // unset: no Content-Length header
    std::string body;
    size_t chunk = 0;                 // most bytes a read returns; 0: as many as asked
    std::optional<size_t> throwAfter;  // a read throws once this many bytes were delivered
    bool throwOther = false;          // a read throws something that is not an internet error
};

struct RequestRecord {
    std::string agent;
    uint32_t sessionContext = 0;
    uint32_t sessionFlags = 0;
    std::string url;
    uint32_t flags = 0;
    uint32_t context = 0;
    uint32_t connectTimeout = 0, sendTimeout = 0, receiveTimeout = 0;
    std::vector<size_t> readSizes;  // what each read asked for
};

struct FakeProcess {
    uint32_t pid = 0;
    std::string exeFile;
    std::string fullPath;
    bool canOpen = true;
};

struct StartRecord {
    std::string file;
    std::string parameters;
    int show = -1;
    uint64_t timeMs = 0;
};

struct BoxRecord {
    std::string text;
    std::string caption;  // empty for application boxes
    unsigned type = 0;
    bool application = false;
};

class FakePlatform final : public Platform {
public:
    FakePlatform();
    ~FakePlatform() override;

    // --- what the test sets up ---
    void SetMachineValue(const std::string& key, const std::string& name, const std::string& data);
    void CreateMachineKey(const std::string& key);
    void DeleteMachineKey(const std::string& key);
    void AddFile(const std::string& path, const std::string& contents = std::string(),
                 std::optional<FixedFileVersion> version = std::nullopt);
    void AddFolder(const std::string& path);
    void AddProcess(const std::string& exeFile, const std::string& fullPath = std::string(),
                    bool canOpen = true);
    void SetReply(const std::string& url, FakeReply reply);
    void SetDebugSwitch(bool on);

    std::map<std::string, std::map<std::string, std::string>> registry;
    std::optional<OsVersion> osVersion = OsVersion{2, 6, 1};
    std::vector<std::string> arguments;
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::set<std::string> lockedFiles;  // open without sharing by someone else
    std::map<std::string, FixedFileVersion> versions;
    std::map<int, std::string> specialFolders;
    std::map<std::string, FakeReply> replies;
    std::vector<FakeProcess> processes;
    bool snapshotFails = false;
    bool failSetValue = false;
    std::optional<size_t> diskFullAfter;  // writes fail beyond this many bytes in all
    std::map<unsigned, std::string> strings;
    std::deque<int> appBoxAnswers;  // IDOK once they run out

    // Called with the virtual time after every sleep, and for each program started.
    std::function<void(uint64_t nowMs)> onSleep;
    std::function<void(const StartRecord&)> onStart;

    // --- what the program did ---
    std::vector<std::string> events;
    std::vector<std::string> debugLines;  // whole lines as written to the channel
    std::vector<RequestRecord> requests;
    std::vector<StartRecord> started;
    std::vector<BoxRecord> boxes;
    std::vector<uint32_t> terminated;
    std::vector<std::function<unsigned()>> threads;
    uint64_t nowMs = 0;
    int snapshots = 0;
    size_t bytesWritten = 0;

    // The trace messages, without the channel's prefix.
    std::vector<std::string> Traces() const;
    // Runs the thread started last; returns the exit code it ended the process with.
    std::optional<int> RunThread();

    // --- Platform ---
    std::optional<std::string> QueryMachineValue(const std::string& key, const std::string& name,
                                                 size_t capacity) override;
    bool MachineKeyExists(const std::string& key) override;
    bool SetMachineStringValue(const std::string& key, const std::string& name,
                               const std::string& data) override;
    void WriteDebugOutput(const std::string& line) override;
    std::optional<OsVersion> QueryOsVersion() override { return osVersion; }
    std::vector<std::string> CommandLineArguments() override { return arguments; }
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

    static IconHandle AppIcon();

private:
    uint32_t nextPid_ = 1000;
};

// Installs a fake platform for the length of a test.
class ScopedFakePlatform {
public:
    ScopedFakePlatform() { SetPlatform(&fake); }
    ~ScopedFakePlatform() { SetPlatform(nullptr); }
    FakePlatform fake;
};

}  // namespace qv::test
