#include "app/QVKestrionv4SetupDlg.h"

#include <vector>

#include "install/InstallThread.h"
#include "manifest/FileInfo.h"
#include "manifest/LoadServerInfo.h"
#include "platform/Format.h"
#include "system/DebugLog.h"
#include "system/ProcessList.h"
#include "system/UpdateStaging.h"

namespace {

const char kQuestionCaption[] = "Kestrion4.0 ";
const char kStartText[] =
    "Kestrionv4.0 설치를 시작합니다.\n\n"
    "사용중인 Internet Explorer가 모두 종료 됩니다.";
const char kSaveWorkText[] =
    "작업중인 Internet Explorer를 저장하여 주시기 바랍니다.\n\n"
    "확인시 작업중인 Internet Explorer가 모두 종료 됩니다.\n";

}  // namespace

CQVKestrionv4SetupDlg::CQVKestrionv4SetupDlg()
    : m_hIcon(qv::GetPlatform().LoadAppIcon(IDR_MAINFRAME)) {}

void CQVKestrionv4SetupDlg::DoDataExchange(qv::CQVDataExchange& dx) {
    qv::ExchangeText(dx, IDC_STATIC_FILENAME, m_strFileName);
    qv::ExchangeControl(dx, IDC_PROGRESS, m_Progress);
}

bool CQVKestrionv4SetupDlg::UpdateData(bool bSaveAndValidate) {
    if (m_pWindow == nullptr) return false;
    qv::CQVDataExchange dx(*m_pWindow, bSaveAndValidate);
    DoDataExchange(dx);
    return true;
}

intptr_t CQVKestrionv4SetupDlg::WindowProc(unsigned message, uintptr_t wParam, intptr_t) {
    if (message == WM_SETUP_PROGRESS)
        m_Progress.SetPos(static_cast<int>(wParam));
    else if (message == WM_SETUP_COMPLETE)
        m_Progress.SetPos(m_nFileCount);
    return 0;
}

void CQVKestrionv4SetupDlg::AddAboutBoxToSystemMenu() {
    if (!m_pWindow->HasSystemMenu()) return;
    const std::string about = qv::GetPlatform().LoadResourceString(IDS_ABOUTBOX);
    if (about.empty()) return;
    m_pWindow->AppendSystemMenuItem(MF_SEPARATOR, 0, std::string());
    m_pWindow->AppendSystemMenuItem(MF_STRING, IDM_ABOUTBOX, about);
}

void CQVKestrionv4SetupDlg::SetWindowIcons() {
    const intptr_t icon = reinterpret_cast<intptr_t>(m_hIcon);
    m_pWindow->SendToWindow(WM_SETICON, ICON_BIG, icon);
    m_pWindow->SendToWindow(WM_SETICON, ICON_SMALL, icon);
}

void CQVKestrionv4SetupDlg::Exit() { qv::ExitProgram(0); }

bool CQVKestrionv4SetupDlg::OnInitDialog() {
    // The framework's first exchange: empties the label, attaches the bar.
    UpdateData(false);
    AddAboutBoxToSystemMenu();
    SetWindowIcons();

    WriteDebugLog("1");
    m_strAppPath.clear();
    m_strURL.clear();
    m_strType.clear();

    const std::vector<std::string> args = qv::GetPlatform().CommandLineArguments();
    if (args.size() <= 1) Exit();
    WriteDebugLog("2");
    m_strAppPath = args[0];
    m_strType = args[1];
    WriteDebugLog("3");
    if (m_strType == "setup" && args.size() > 2) m_strURL = args[2];

    m_strMessage = qv::Format("AppPath: %s, Type: %s, URL: %s", m_strAppPath.c_str(),
                              m_strType.c_str(), m_strURL.c_str());
    WriteDebugLog(m_strMessage.c_str());

    if (m_strType == "setup")
        RunSetupMode();
    else if (m_strType == "update")
        RunUpdateMode();
    else if (m_strType == "manual")
        RunManualMode();
    else
        Exit();
    return true;
}

void CQVKestrionv4SetupDlg::RunSetupMode() {
    if (m_pWindow->ShowMessageBox(kStartText, kQuestionCaption, MB_YESNO) != IDYES ||
        m_pWindow->ShowMessageBox(kSaveWorkText, kQuestionCaption, MB_YESNO) != IDYES) {
        m_pWindow->ShowMessageBox("Kestrionv4.0  설치가 취소 되었습니다.\n", "Kestrion4.0", MB_OK);
        Exit();
    }
    StartInstallation();
}

void CQVKestrionv4SetupDlg::RunManualMode() {
    qv::GetPlatform().ShowAppMessageBox("여기여기", MB_OK);
    m_pWindow->ShowMessageBox(kStartText, kQuestionCaption, MB_OK);
    StartInstallation();
}

void CQVKestrionv4SetupDlg::StartInstallation() {
    WriteDebugLog("Kestrionv4.0 iexplore.exe 종료");
    KillProcessByName("iexplore.exe", true);

    FileInfo& runtime = g_FileInfo[RUNTIME_SLOT];
    runtime.strDestDir = "11";
    runtime.strURL = "ks_vcredist_x86.exe";
    runtime.strName = "ks_vcredist_x86.exe";

    if (LoadServerInfo(this) != LOAD_SERVER_INFO_OK) {
        qv::GetPlatform().ShowAppMessageBox("서버 정보 로드에 실패 하였습니다.", MB_OK);
        Exit();
    }
    m_Progress.SetRange(0, m_nFileCount);
    StartInstallThread(this);
}

void CQVKestrionv4SetupDlg::RunUpdateMode() {
    if (LoadServerInfo(this) != LOAD_SERVER_INFO_OK) Exit();
    if (RunUpdate(this) == 1)
        qv::GetPlatform().ShowAppMessageBox(
            "Kestrionv4 업그레이드가 진행 되었습니다.\n\n변경사항은 재부팅 후, 적용 됩니다.", MB_OK);
    Exit();
}
