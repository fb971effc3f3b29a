#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace qv::win32 {
namespace {

class Win32OutputFile final : public OutputFile {
public:
    explicit Win32OutputFile(KernelHandle handle) : handle_(std::move(handle)) {}

    bool IsOpen() const override { return static_cast<bool>(handle_); }

    void Write(const void* data, size_t size) override {
        if (size == 0) return;
        if (!handle_) throw FileError(ERROR_INVALID_HANDLE);
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(handle_.get(), bytes, static_cast<DWORD>(size), &written, nullptr) ||
                written == 0)
                throw FileError(GetLastError());
            bytes += written;
            size -= written;
        }
    }

    void Close() override { handle_.reset(); }

private:
    KernelHandle handle_;
};

}  // namespace

std::optional<std::string> Win32Platform::SpecialFolderPath(int csidl) {
    char buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) return std::nullopt;
    return std::string(buffer);
}

bool Win32Platform::FindFile(const std::string& path) {
    // Longer paths are out of the find functions' reach and count as missing.
    if (path.size() >= MAX_PATH) return false;
    WIN32_FIND_DATAA data;
    FindHandle found(FindFirstFileA(path.c_str(), &data));
    return static_cast<bool>(found);
}

bool Win32Platform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32Platform::MoveFileOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::unique_ptr<OutputFile> Win32Platform::CreateOutputFile(const std::string& path) {
    KernelHandle handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    return std::make_unique<Win32OutputFile>(std::move(handle));
}

std::optional<FixedFileVersion> Win32Platform::QueryFixedFileVersion(const std::string& path) {
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return FixedFileVersion{fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

}  // namespace qv::win32
