#include "install/RuntimeMonitor.h"

#include <cstdint>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "platform/Platform.h"
#include "system/DebugLog.h"
#include "system/ProcessList.h"

bool IsRuntimeInstalled() { return qv::GetPlatform().MachineKeyExists(kRuntimeUninstallKey); }

namespace {
int Installed() {
    WriteDebugLog("vcredist_x86.exe 설치 완료");
    return 1;
}

int Failed() {
    WriteDebugLog("vcredist_x86.exe 설치 실패");
    return 0;
}
}  // namespace

int WaitForRuntimeInstall(CQVKestrionv4SetupDlg* dialog) {
    if (IsRuntimeInstalled()) return Installed();

    qv::Platform& platform = qv::GetPlatform();
    const std::string& packageName = g_FileInfo[RUNTIME_SLOT].strName;
    int32_t polls = 0;
    int32_t latePasses = 0;
    for (;;) {
        WriteDebugLog("vcredist_x86.exe 설치 중");
        if (polls > 4) {
            ++latePasses;
            if (latePasses <= 10)
                dialog->m_strFileName += " .";
            else
                dialog->m_strFileName = packageName;
            dialog->UpdateData(false);
            if (!IsProcessRunning(packageName.c_str())) break;
        }
        ++polls;
        platform.SleepFor(kRuntimePollMs);
        if (IsRuntimeInstalled()) return Installed();
        if (polls >= kRuntimeMaxPasses) return Failed();
    }

    WriteDebugLog("vcredist_x86.exe Process 종료 됨");
    platform.SleepFor(kRuntimePollMs);
    if (IsRuntimeInstalled()) return Installed();
    return Failed();
}
