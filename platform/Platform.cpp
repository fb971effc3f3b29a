#include "platform/Platform.h"

#include <cassert>
#include <cstdlib>
#include <string>

namespace qv {
namespace {
Platform* g_platform = nullptr;
}

InternetError::InternetError(uint32_t code)
    : std::runtime_error("internet error " + std::to_string(code)), code_(code) {}

FileError::FileError(uint32_t code)
    : std::runtime_error("file error " + std::to_string(code)), code_(code) {}

Platform& GetPlatform() {
    assert(g_platform != nullptr);
    return *g_platform;
}

void SetPlatform(Platform* platform) { g_platform = platform; }

void ExitProgram(int code) {
    GetPlatform().EndProcess(code);
    std::abort();  // a platform whose EndProcess returned is broken
}

}  // namespace qv
