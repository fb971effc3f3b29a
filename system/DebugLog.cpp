#include "system/DebugLog.h"

#include <string>

#include "platform/Format.h"
#include "platform/Platform.h"

namespace {
const char kSwitchKey[] = "SOFTWARE\\Quevanta\\Morvessa";
const char kSwitchValue[] = "debug";
const size_t kSwitchCapacity = 64;

bool DebugSwitchIsOn() {
    const std::optional<std::string> data =
        qv::GetPlatform().QueryMachineValue(kSwitchKey, kSwitchValue, kSwitchCapacity);
    if (!data) return false;
    // The data counts as text up to its first NUL, whatever the value's type.
    const std::string text = data->substr(0, data->find('\0'));
    return text == "1";
}
}  // namespace

void WriteDebugLog(const char* message) {
    if (!DebugSwitchIsOn()) return;
    qv::GetPlatform().WriteDebugOutput(qv::Format("[Kestrionv4_Setup] %s", message));
}
