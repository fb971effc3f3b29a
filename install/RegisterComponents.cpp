#include "install/RegisterComponents.h"

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"
#include "system/DebugLog.h"
#include "system/FileVersion.h"
#include "system/ProcessList.h"

namespace {
const unsigned kServiceStartDelayMs = 3000;
}  // namespace

int RegisterComponents(CQVKestrionv4SetupDlg* dialog) {
    qv::Platform& platform = qv::GetPlatform();
    for (int i = 0; i < dialog->m_nFileCount; ++i) {
        const FileInfo& row = g_FileInfo[i];
        if (row.strExecute != "1") continue;
        if (IsVistaOrLater() && row.strName == kServiceExecutable) {
            if (IsProcessRunning(row.strLocalPath.c_str())) {
                WriteDebugLog("TalviqueSvc.exe 실행 중");
                continue;
            }
            platform.StartProgram(row.strLocalPath, " -install", SW_HIDE);
            platform.SleepFor(kServiceStartDelayMs);
            platform.StartProgram(row.strLocalPath, " -start", SW_HIDE);
            continue;
        }
        platform.StartProgram("regsvr32", row.strLocalPath + " /s", SW_HIDE);
        WriteDebugLog(row.strLocalPath.c_str());
    }
    return 1;
}
