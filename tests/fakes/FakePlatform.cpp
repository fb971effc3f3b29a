#include "tests/fakes/FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qv::test {
namespace {

const uint32_t kCannotConnect = 12029;
const uint32_t kTimeout = 12002;

class FakeRequest final : public HttpRequest {
public:
    FakeRequest(FakePlatform& platform, size_t record, const FakeReply& reply)
        : platform_(platform), record_(record), reply_(reply) {}

    std::optional<uint32_t> QueryStatusCode() override { return reply_.status; }
    std::optional<uint32_t> QueryContentLength() override { return reply_.contentLength; }

    size_t Read(void* buffer, size_t size) override {
        platform_.requests[record_].readSizes.push_back(size);
        if (reply_.throwAfter && delivered_ >= *reply_.throwAfter) {
            if (reply_.throwOther) throw std::runtime_error("broken read");
            throw InternetError(kTimeout);
        }
        // Like WinINet, nothing beyond the announced length is handed out.
        size_t available = reply_.body.size() - delivered_;
        if (reply_.contentLength && *reply_.contentLength >= delivered_)
            available = std::min<size_t>(available, *reply_.contentLength - delivered_);
        size_t count = std::min(size, available);
        if (reply_.chunk > 0) count = std::min(count, reply_.chunk);
        if (reply_.throwAfter) count = std::min(count, *reply_.throwAfter - delivered_);
        std::memcpy(buffer, reply_.body.data() + delivered_, count);
        delivered_ += count;
        return count;
    }

private:
    FakePlatform& platform_;
    size_t record_;
    FakeReply reply_;
    size_t delivered_ = 0;
};

class FakeSession final : public InternetSession {
public:
    FakeSession(FakePlatform& platform, RequestRecord base) : platform_(platform), base_(base) {}

    void SetTimeouts(uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) override {
        base_.connectTimeout = connectMs;
        base_.sendTimeout = sendMs;
        base_.receiveTimeout = receiveMs;
    }

    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url, uint32_t flags,
                                         uint32_t context) override {
        RequestRecord record = base_;
        record.url = url;
        record.flags = flags;
        record.context = context;
        platform_.requests.push_back(record);
        platform_.events.push_back("request:" + url);
        const auto found = platform_.replies.find(url);
        if (found == platform_.replies.end() || found->second.openThrows)
            throw InternetError(kCannotConnect);
        return std::make_unique<FakeRequest>(platform_, platform_.requests.size() - 1,
                                             found->second);
    }

private:
    FakePlatform& platform_;
    RequestRecord base_;
};

class FakeOutputFile final : public OutputFile {
public:
    FakeOutputFile(FakePlatform& platform, std::string path, bool open)
        : platform_(platform), path_(std::move(path)), open_(open) {}

    bool IsOpen() const override { return open_; }

    void Write(const void* data, size_t size) override {
        if (size == 0) return;
        if (!open_) throw FileError(6);
        if (platform_.diskFullAfter && platform_.bytesWritten + size > *platform_.diskFullAfter)
            throw FileError(112);
        platform_.files[path_].append(static_cast<const char*>(data), size);
        platform_.bytesWritten += size;
    }

    void Close() override {
        if (open_) platform_.lockedFiles.erase(path_);
        open_ = false;
    }

    ~FakeOutputFile() override { Close(); }

private:
    FakePlatform& platform_;
    std::string path_;
    bool open_;
};

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

FakePlatform::FakePlatform() {
    specialFolders[0x24] = "C:\\WINDOWS";
    specialFolders[0x25] = "C:\\WINDOWS\\system32";
    folders.insert("C:");
    folders.insert("C:\\WINDOWS");
    folders.insert("C:\\WINDOWS\\system32");
    strings[101] = "QVKestrionv4Setup 정보(&A)...";
    CreateMachineKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
}

FakePlatform::~FakePlatform() = default;

void FakePlatform::SetMachineValue(const std::string& key, const std::string& name,
                                   const std::string& data) {
    registry[key][name] = data;
}

void FakePlatform::CreateMachineKey(const std::string& key) { registry[key]; }

void FakePlatform::DeleteMachineKey(const std::string& key) { registry.erase(key); }

void FakePlatform::AddFile(const std::string& path, const std::string& contents,
                           std::optional<FixedFileVersion> version) {
    files[path] = contents;
    if (version) versions[path] = *version;
}

void FakePlatform::AddFolder(const std::string& path) { folders.insert(path); }

void FakePlatform::AddProcess(const std::string& exeFile, const std::string& fullPath,
                              bool canOpen) {
    processes.push_back(FakeProcess{nextPid_++, exeFile, fullPath, canOpen});
}

void FakePlatform::SetReply(const std::string& url, FakeReply reply) { replies[url] = reply; }

void FakePlatform::SetDebugSwitch(bool on) {
    if (on)
        SetMachineValue("SOFTWARE\\Quevanta\\Morvessa", "debug", std::string("1\0", 2));
    else
        DeleteMachineKey("SOFTWARE\\Quevanta\\Morvessa");
}

std::vector<std::string> FakePlatform::Traces() const {
    const std::string prefix = "[Kestrionv4_Setup] ";
    std::vector<std::string> traces;
    for (const std::string& line : debugLines)
        traces.push_back(line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size())
                                                                     : "!" + line);
    return traces;
}

std::optional<int> FakePlatform::RunThread() {
    if (threads.empty()) throw std::logic_error("no thread was started");
    std::function<unsigned()> procedure = threads.back();
    try {
        procedure();
    } catch (const ProcessExit& exit) {
        return exit.code;
    }
    return std::nullopt;
}

std::optional<std::string> FakePlatform::QueryMachineValue(const std::string& key,
                                                           const std::string& name,
                                                           size_t capacity) {
    const auto found = registry.find(key);
    if (found == registry.end()) return std::nullopt;
    const auto value = found->second.find(name);
    if (value == found->second.end() || value->second.size() > capacity) return std::nullopt;
    return value->second;
}

bool FakePlatform::MachineKeyExists(const std::string& key) { return registry.count(key) != 0; }

bool FakePlatform::SetMachineStringValue(const std::string& key, const std::string& name,
                                         const std::string& data) {
    const auto found = registry.find(key);
    if (found == registry.end() || failSetValue) return false;
    found->second[name] = data + std::string(1, '\0');
    events.push_back("setvalue:" + name + "=" + data);
    return true;
}

void FakePlatform::WriteDebugOutput(const std::string& line) {
    debugLines.push_back(line);
    events.push_back("debug:" + line);
}

void FakePlatform::SleepFor(uint32_t milliseconds) {
    nowMs += milliseconds;
    events.push_back("sleep:" + std::to_string(milliseconds));
    if (onSleep) onSleep(nowMs);
}

void FakePlatform::EndProcess(int code) {
    events.push_back("exit:" + std::to_string(code));
    throw ProcessExit{code};
}

ThreadToken FakePlatform::BeginThread(std::function<unsigned()> procedure) {
    threads.push_back(std::move(procedure));
    events.push_back("thread");
    return &threads.back();
}

std::unique_ptr<InternetSession> FakePlatform::OpenInternetSession(const std::string& agent,
                                                                   uint32_t context,
                                                                   uint32_t flags) {
    RequestRecord base;
    base.agent = agent;
    base.sessionContext = context;
    base.sessionFlags = flags;
    return std::make_unique<FakeSession>(*this, base);
}

std::optional<std::string> FakePlatform::SpecialFolderPath(int csidl) {
    const auto found = specialFolders.find(csidl);
    if (found == specialFolders.end()) return std::nullopt;
    return found->second;
}

bool FakePlatform::FindFile(const std::string& path) {
    if (path.size() >= 260) return false;
    return files.count(path) != 0 || folders.count(path) != 0;
}

bool FakePlatform::RemoveFile(const std::string& path) {
    if (lockedFiles.count(path) != 0 || files.erase(path) == 0) return false;
    versions.erase(path);
    events.push_back("delete:" + path);
    return true;
}

bool FakePlatform::MoveFileOver(const std::string& from, const std::string& to) {
    if (files.count(from) == 0 || lockedFiles.count(from) != 0 || lockedFiles.count(to) != 0 ||
        folders.count(to) != 0)
        return false;
    files[to] = files[from];
    files.erase(from);
    versions.erase(to);
    events.push_back("move:" + from + ">" + to);
    return true;
}

std::unique_ptr<OutputFile> FakePlatform::CreateOutputFile(const std::string& path) {
    const std::string parent = ParentOf(path);
    const bool canOpen = lockedFiles.count(path) == 0 && folders.count(path) == 0 &&
                         (parent.empty() || folders.count(parent) != 0);
    if (canOpen) {
        files[path].clear();
        versions.erase(path);
        lockedFiles.insert(path);  // held without sharing until closed
        events.push_back("create:" + path);
    }
    return std::make_unique<FakeOutputFile>(*this, path, canOpen);
}

std::optional<FixedFileVersion> FakePlatform::QueryFixedFileVersion(const std::string& path) {
    const auto found = versions.find(path);
    if (found == versions.end()) return std::nullopt;
    return found->second;
}

std::optional<std::vector<ProcessEntry>> FakePlatform::SnapshotProcesses() {
    ++snapshots;
    if (snapshotFails || processes.empty()) return std::nullopt;
    std::vector<ProcessEntry> entries;
    for (const FakeProcess& process : processes)
        entries.push_back(ProcessEntry{process.pid, process.exeFile});
    return entries;
}

std::string FakePlatform::QueryProcessImagePath(uint32_t pid) {
    for (const FakeProcess& process : processes)
        if (process.pid == pid) return process.fullPath;
    return std::string();
}

bool FakePlatform::TerminateProcessById(uint32_t pid, uint32_t exitCode) {
    const auto found = std::find_if(processes.begin(), processes.end(),
                                    [pid](const FakeProcess& p) { return p.pid == pid; });
    if (found == processes.end() || !found->canOpen) return false;
    events.push_back("terminate:" + found->exeFile + " " + std::to_string(exitCode));
    terminated.push_back(pid);
    processes.erase(found);
    return true;
}

void FakePlatform::StartProgram(const std::string& file, const std::string& parameters,
                                int showCommand) {
    started.push_back(StartRecord{file, parameters, showCommand, nowMs});
    events.push_back("start:" + file + "|" + parameters + "|" + std::to_string(showCommand));
    if (onStart) onStart(started.back());
}

int FakePlatform::ShowAppMessageBox(const std::string& text, unsigned type) {
    boxes.push_back(BoxRecord{text, std::string(), type, true});
    events.push_back("appbox:" + text);
    if (appBoxAnswers.empty()) return 1;
    const int answer = appBoxAnswers.front();
    appBoxAnswers.pop_front();
    return answer;
}

std::string FakePlatform::LoadResourceString(unsigned id) {
    const auto found = strings.find(id);
    return found == strings.end() ? std::string() : found->second;
}

IconHandle FakePlatform::LoadAppIcon(unsigned id) { return id == 128 ? AppIcon() : nullptr; }

IconHandle FakePlatform::AppIcon() {
    static int icon;
    return &icon;
}

}  // namespace qv::test
