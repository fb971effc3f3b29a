#include "install/InstallThread.h"

#include <string>

#include "app/QVKestrionv4SetupDlg.h"
#include "install/DownloadFile.h"
#include "install/RegisterComponents.h"
#include "install/RuntimeMonitor.h"
#include "manifest/FileInfo.h"
#include "manifest/ManifestEntryCheck.h"
#include "platform/Format.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"
#include "system/DebugLog.h"
#include "system/FileVersion.h"

namespace {

void ShowFileName(CQVKestrionv4SetupDlg* dialog, const std::string& name) {
    dialog->m_strFileName = name;
    dialog->UpdateData(false);
}

// Makes sure the runtime is there. Ends the process when it cannot be had.
void InstallRuntime(CQVKestrionv4SetupDlg* dialog) {
    qv::Platform& platform = qv::GetPlatform();
    if (IsRuntimeInstalled()) {
        WriteDebugLog("vsredist_x86.exe 설치 됨");
        return;
    }
    WriteDebugLog("vsredist_x86.exe 설치 시작");
    FileInfo& package = g_FileInfo[RUNTIME_SLOT];
    ShowFileName(dialog, package.strName);
    const std::string folder = GetSpecialFolder(ReadLeadingInt(package.strDestDir));
    package.strLocalPath = qv::Format("%s\\%s", folder.c_str(), package.strName.c_str());
    if (platform.FindFile(package.strLocalPath)) platform.RemoveFile(package.strLocalPath);

    if (DownloadFile(false, RUNTIME_SLOT) == 0) {
        WriteDebugLog("vsredist_x86.exe 설치 다운로드 실패");
        // Without the runtime nothing can be installed; a dialog that never
        // moves again would leave the user guessing.
        platform.ShowAppMessageBox(
            "Kestrionv4 설치에 필요한 런타임을 받지 못했습니다.\n\n"
            "잠시 후 다시 설치하여 주시기 바랍니다.",
            MB_OK);
        qv::ExitProgram(0);
    }

    platform.StartProgram(package.strLocalPath, "/q", SW_HIDE);
    WriteDebugLog("vsredist_x86.exe 설치 쓰레드 실행");
    const int installed = WaitForRuntimeInstall(dialog);
    WriteDebugLog("vsredist_x86.exe 설치 쓰레드 종료");
    if (installed != 0) return;

    platform.RemoveFile(package.strLocalPath);
    platform.ShowAppMessageBox("설치 과정에서 오류가 발생 되었습니다.", MB_OK);
    platform.StartProgram("iexplore.exe", kRuntimeHelpPage, SW_SHOWNORMAL);
    platform.ShowAppMessageBox("Windows Installer을 설치 하시고,\n\n 재설치 하여 주시기 바랍니다.",
                               MB_OK);
    qv::ExitProgram(0);
}

// Downloads every manifest file; returns the names of those that failed,
// each followed by a line feed.
std::string DownloadProductFiles(CQVKestrionv4SetupDlg* dialog) {
    WriteDebugLog("모듈 다운로드 시작");
    std::string failed;
    for (int i = 0; i < dialog->m_nFileCount; ++i) {
        const FileInfo& row = g_FileInfo[i];
        ShowFileName(dialog, row.strName);
        if (DownloadFile(false, i) == 0) {
            dialog->m_strMessage = qv::Format("다운로드 실패 : %s", row.strName.c_str());
            WriteDebugLog(dialog->m_strMessage.c_str());
            failed += row.strName + "\n";
        }
        dialog->GetWindow()->SendToWindow(WM_SETUP_PROGRESS, static_cast<uintptr_t>(i), 0);
    }
    return failed;
}

}  // namespace

int StartInstallThread(CQVKestrionv4SetupDlg* dialog) {
    CheckFiles(dialog);
    WriteDebugLog("다운로드 쓰레드 시작");
    dialog->m_pInstallThread =
        qv::GetPlatform().BeginThread([dialog] { return InstallThreadProc(dialog); });
    return 1;
}

unsigned InstallThreadProc(CQVKestrionv4SetupDlg* dialog) {
    qv::Platform& platform = qv::GetPlatform();
    InstallRuntime(dialog);
    const std::string failed = DownloadProductFiles(dialog);

    if (RegisterComponents(dialog) != 0) {
        dialog->GetWindow()->SendToWindow(WM_SETUP_COMPLETE, 0, 0);
        WriteDebugLog("Kestrionv4 설치 완료");
        if (failed.empty())
            platform.ShowAppMessageBox("Kestrionv4 설치완료", MB_OK);
        else
            // Never claim success for an installation that is missing files.
            platform.ShowAppMessageBox(
                "Kestrionv4 설치를 완료하지 못했습니다.\n\n다운로드에 실패한 파일:\n" + failed,
                MB_OK);
        if (dialog->m_strType == "setup") {
            platform.StartProgram("iexplore.exe", dialog->m_strURL, SW_SHOWNORMAL);
            platform.SleepFor(100);
        }
    }
    qv::ExitProgram(0);
}
