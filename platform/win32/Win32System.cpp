#include <process.h>

#include <cstdlib>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace qv::win32 {
namespace {

// The application title: the executable's file name without its extension.
std::string ExecutableTitle(HINSTANCE instance) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    std::string name(path, length);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

unsigned __stdcall RunThreadProcedure(void* parameter) {
    std::unique_ptr<std::function<unsigned()>> procedure(
        static_cast<std::function<unsigned()>*>(parameter));
    return (*procedure)();
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance)
    : instance_(instance), appTitle_(ExecutableTitle(instance)) {}

void Win32Platform::WriteDebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

std::optional<OsVersion> Win32Platform::QueryOsVersion() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return std::nullopt;
    return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

std::vector<std::string> Win32Platform::CommandLineArguments() {
    std::vector<std::string> args;
    for (int i = 0; i < __argc; ++i) args.emplace_back(__argv[i] != nullptr ? __argv[i] : "");
    return args;
}

void Win32Platform::SleepFor(uint32_t milliseconds) { Sleep(milliseconds); }

void Win32Platform::EndProcess(int code) { std::exit(code); }

ThreadToken Win32Platform::BeginThread(std::function<unsigned()> procedure) {
    auto owned = std::make_unique<std::function<unsigned()>>(std::move(procedure));
    unsigned id = 0;
    KernelHandle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &RunThreadProcedure, owned.get(), 0, &id)));
    if (!thread) return nullptr;
    // The thread owns its procedure from here on.
    owned.release();
    return reinterpret_cast<ThreadToken>(static_cast<uintptr_t>(id));
}

int Win32Platform::ShowAppMessageBox(const std::string& text, unsigned type) {
    return MessageBoxA(mainWindow_, text.c_str(), appTitle_.c_str(), type | MB_ICONEXCLAMATION);
}

std::string Win32Platform::LoadResourceString(unsigned id) {
    char buffer[256] = {};
    const int length = LoadStringA(instance_, id, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

IconHandle Win32Platform::LoadAppIcon(unsigned id) {
    return LoadIconA(instance_, MAKEINTRESOURCEA(id));
}

}  // namespace qv::win32
