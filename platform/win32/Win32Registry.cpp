#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace qv::win32 {

std::optional<std::string> Win32Platform::QueryMachineValue(const std::string& key,
                                                            const std::string& name,
                                                            size_t capacity) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryKey opened(raw);
    std::vector<BYTE> buffer(capacity);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(buffer.data()), size);
}

bool Win32Platform::MachineKeyExists(const std::string& key) {
    HKEY raw = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &raw) != ERROR_SUCCESS) return false;
    RegistryKey opened(raw);
    return true;
}

bool Win32Platform::SetMachineStringValue(const std::string& key, const std::string& name,
                                          const std::string& data) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
        return false;
    RegistryKey opened(raw);
    // The terminating NUL is part of a REG_SZ value's data.
    return RegSetValueExA(opened.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace qv::win32
